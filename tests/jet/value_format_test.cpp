// The text forms of values shared by every output.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>

#include "base/guid.h"
#include "jet/value.h"

using namespace jet;

TEST(ValueFormat, GuidIsUpperCaseWithMixedEndianFields) {
    Guid g;
    for (size_t i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(0xA0 + i);
    EXPECT_EQ(formatGuid(g), "{A3A2A1A0-A5A4-A7A6-A8A9-AAABACADAEAF}");
}

// SQL text takes a GUID only in its written form (braces optional); a create-db description
// gives its 32 digits, whatever separators stood between them.
TEST(ValueFormat, GuidTextReadsBackStrictlyOrFromDigits) {
    const tdv::base::GuidBytes want = {0xA3, 0xA2, 0xA1, 0xA0, 0xA5, 0xA4, 0xA7, 0xA6,
                                       0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
    EXPECT_EQ(tdv::base::guidFromText("{a0a1a2a3-a4a5-a6a7-a8a9-aaabacadaeaf}"), want);
    EXPECT_EQ(tdv::base::guidFromText("A0A1A2A3-A4A5-A6A7-A8A9-AAABACADAEAF"), want);
    for (const char* bad :
         {"{A0A1A2A3A4A5A6A7A8A9AAABACADAEAF}", "A0A1A2A3-A4A5-A6A7-A8A9AAAB-ACADAEAF",
          "{A0A1A2A3-A4A5-A6A7-A8A9-AAABACADAEAG}", "A0A1A2A3-A4A5-A6A7-A8A9-AAABACADAEAF}"})
        EXPECT_FALSE(tdv::base::guidFromText(bad)) << bad;
    EXPECT_EQ(tdv::base::guidFromHexDigits("A0A1A2A3A4A5A6A7A8A9AAABACADAEAF"), want);
    EXPECT_FALSE(tdv::base::guidFromHexDigits("A0A1A2A3-A4A5-A6A7-A8A9-AAABACADAEAF"));
}

TEST(ValueFormat, CurrencyHasFourDecimals) {
    EXPECT_EQ(formatCurrency({35000}), "3.5000");
    EXPECT_EQ(formatCurrency({0}), "0.0000");
    EXPECT_EQ(formatCurrency({-1}), "-0.0001");
    EXPECT_EQ(formatCurrency({-123456789}), "-12345.6789");
    EXPECT_EQ(formatCurrency({std::numeric_limits<int64_t>::min()}), "-922337203685477.5808");
    EXPECT_EQ(formatCurrency({std::numeric_limits<int64_t>::max()}), "922337203685477.5807");
}

TEST(ValueFormat, DecimalShowsEveryScaleDigit) {
    Decimal d;
    d.mantissa = {12340, 0, 0};
    d.scale = 3;
    d.negative = true;
    EXPECT_EQ(formatDecimal(d), "-12.340");
    d.mantissa = {5, 0, 0};
    d.negative = false;
    EXPECT_EQ(formatDecimal(d), "0.005");
    d.mantissa = {0, 0, 0};
    d.negative = true;
    EXPECT_EQ(formatDecimal(d), "0.000");  // no negative zero
    d.scale = 0;
    EXPECT_EQ(formatDecimal(d), "0");
    // 2^96 - 1, the largest mantissa.
    d.mantissa = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    d.negative = false;
    EXPECT_EQ(formatDecimal(d), "79228162514264337593543950335");
    d.scale = 28;
    EXPECT_EQ(formatDecimal(d), "7.9228162514264337593543950335");
}

TEST(ValueFormat, DateTimeFromOleDates) {
    EXPECT_EQ(formatDateTime({0.0}), "1899-12-30T00:00:00");
    EXPECT_EQ(formatDateTime({27293.0}), "1974-09-21T00:00:00");
    EXPECT_EQ(formatDateTime({2.5}), "1900-01-01T12:00:00");
    EXPECT_EQ(formatDateTime({36526.75}), "2000-01-01T18:00:00");
    // Before the epoch the day counts backwards but the time of day forwards.
    EXPECT_EQ(formatDateTime({-1.25}), "1899-12-29T06:00:00");
    // Milliseconds only when present, rounded to the nearest one.
    EXPECT_EQ(formatDateTime({36526.0 + 1.5 / 86400.0}), "2000-01-01T00:00:01.500");
    EXPECT_EQ(formatDateTime({36526.0 + 0.0009 / 86400.0}), "2000-01-01T00:00:00.001");
    EXPECT_EQ(formatDateTime({36526.0 + 0.0004 / 86400.0}), "2000-01-01T00:00:00");
    // Rounding can carry into the next day.
    EXPECT_EQ(formatDateTime({36526.0 - 0.0001 / 86400.0}), "2000-01-01T00:00:00");
    EXPECT_EQ(formatDateTime({2958465.99999}), "9999-12-31T23:59:59.136");
}

TEST(ValueFormat, FloatsAreShortestRoundTrip) {
    for (double d : {444.555, 0.1, 1e300, -2.5e-310, 123456789.0, 1.0 / 3}) {
        std::string s = formatDouble(d);
        double back = 0;
        std::from_chars(s.data(), s.data() + s.size(), back);
        EXPECT_EQ(back, d) << s;
    }
    EXPECT_EQ(formatDouble(444.555), "444.555");
    EXPECT_EQ(formatDouble(0), "0");
    EXPECT_EQ(formatSingle(0.1f), "0.1");  // not 0.10000000149011612
    EXPECT_EQ(formatSingle(-3.25f), "-3.25");
}

TEST(ValueFormat, TypeNames) {
    EXPECT_STREQ(columnTypeName(ColumnType::Text), "Text");
    EXPECT_STREQ(columnTypeName(ColumnType::Guid), "GUID");
    EXPECT_STREQ(columnTypeName(static_cast<ColumnType>(0x13)), "Unknown");
}
