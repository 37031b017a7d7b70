#include "db/variant.h"

#include <gtest/gtest.h>

#include "db/db_error.h"

using namespace tdv::db;

namespace {

long errorNumberOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

jet::Decimal decimal(uint32_t low, uint8_t scale, bool negative = false) {
    jet::Decimal d;
    d.mantissa = {low, 0, 0};
    d.scale = scale;
    d.negative = negative;
    return d;
}

}  // namespace

TEST(VariantNull, EveryConversionRaisesInvalidUseOfNull) {
    const Variant n = Variant::null();
    EXPECT_TRUE(n.isNull());
    EXPECT_EQ(n.type(), VarType::Null);
    EXPECT_EQ(errorNumberOf([&] { (void)n.toText(); }), 94);
    EXPECT_EQ(errorNumberOf([&] { (void)n.toLong(); }), 94);
    EXPECT_EQ(errorNumberOf([&] { (void)n.toDouble(); }), 94);
    try {
        (void)n.toText();
    } catch (const DbError& e) {
        EXPECT_EQ(e.description(), "Invalid use of Null");
    }
}

TEST(VariantText, EmptyBooleanAndIntegers) {
    EXPECT_EQ(Variant().toText(), "");
    EXPECT_EQ(Variant().type(), VarType::Empty);
    EXPECT_EQ(Variant::fromBool(true).toText(), "True");
    EXPECT_EQ(Variant::fromBool(false).toText(), "False");
    EXPECT_EQ(Variant::fromByte(255).toText(), "255");
    EXPECT_EQ(Variant::fromInteger(-32768).toText(), "-32768");
    EXPECT_EQ(Variant::fromLong(-2147483647 - 1).toText(), "-2147483648");
}

TEST(VariantText, DoublesShowFifteenSignificantDigitsWithoutTrailingZeros) {
    EXPECT_EQ(Variant::fromDouble(0.1).toText(), "0.1");
    EXPECT_EQ(Variant::fromDouble(100).toText(), "100");
    EXPECT_EQ(Variant::fromDouble(-2.5).toText(), "-2.5");
    EXPECT_EQ(Variant::fromDouble(1.0 / 3).toText(), "0.333333333333333");
    EXPECT_EQ(Variant::fromDouble(0.1 + 0.2).toText(), "0.3");
    EXPECT_EQ(Variant::fromDouble(123456789012345.0).toText(), "123456789012345");
    EXPECT_EQ(Variant::fromDouble(1234567890123456.0).toText(), "1.23456789012346E+15");
    EXPECT_EQ(Variant::fromDouble(1e16).toText(), "1E+16");
    EXPECT_EQ(Variant::fromDouble(0.00001).toText(), "1E-05");
    EXPECT_EQ(Variant::fromDouble(-0.0).toText(), "0");
}

TEST(VariantText, SinglesShowSevenSignificantDigits) {
    EXPECT_EQ(Variant::fromSingle(1.1f).toText(), "1.1");
    EXPECT_EQ(Variant::fromSingle(3.14159274f).toText(), "3.141593");
    EXPECT_EQ(Variant::fromSingle(16777216.0f).toText(), "1.677722E+07");
}

TEST(VariantText, CurrencyAndDecimalAreExactWithoutTrailingZeros) {
    EXPECT_EQ(Variant::fromCurrency(35000).toText(), "3.5");
    EXPECT_EQ(Variant::fromCurrency(10000).toText(), "1");
    EXPECT_EQ(Variant::fromCurrency(0).toText(), "0");
    EXPECT_EQ(Variant::fromCurrency(-12345).toText(), "-1.2345");
    EXPECT_EQ(Variant::fromCurrency(-5).toText(), "-0.0005");
    EXPECT_EQ(Variant::fromCurrency(922337203685477LL * 10000 + 5807).toText(),
              "922337203685477.5807");
    EXPECT_EQ(Variant::fromDecimal(decimal(150, 2)).toText(), "1.5");
    EXPECT_EQ(Variant::fromDecimal(decimal(5, 3, true)).toText(), "-0.005");
    EXPECT_EQ(Variant::fromDecimal(decimal(0, 2, true)).toText(), "0");
    jet::Decimal big = decimal(0, 0);
    big.mantissa = {0, 0, 1};  // 2^64
    EXPECT_EQ(Variant::fromDecimal(big).toText(), "18446744073709551616");
}

TEST(VariantText, DatesUseTheGeneralDateForm) {
    const double dec31 = 45657;  // 12/31/2024
    EXPECT_EQ(Variant::fromDate(dec31 + 49500.0 / 86400).toText(), "12/31/2024 1:45:00 PM");
    EXPECT_EQ(Variant::fromDate(dec31).toText(), "12/31/2024");
    EXPECT_EQ(Variant::fromDate(dec31 + 0.25).toText(), "12/31/2024 6:00:00 AM");
    EXPECT_EQ(Variant::fromDate(dec31 + 1.0 / 86400).toText(), "12/31/2024 12:00:01 AM");
    EXPECT_EQ(Variant::fromDate(0.5).toText(), "12:00:00 PM");
    EXPECT_EQ(Variant::fromDate(0).toText(), "12:00:00 AM");
    EXPECT_EQ(Variant::fromDate(1).toText(), "12/31/1899");
    EXPECT_EQ(Variant::fromDate(61).toText(), "3/1/1900");
    EXPECT_EQ(Variant::fromDate(-1.25).toText(), "12/29/1899 6:00:00 AM");
    // Rounded to the second, carrying into the next day.
    EXPECT_EQ(Variant::fromDate(dec31 + 0.9999999).toText(), "1/1/2025");
    EXPECT_EQ(errorNumberOf([] { (void)Variant::fromDate(1e9).toText(); }), 6);
}

TEST(VariantText, StringsAndBytesPassThrough) {
    EXPECT_EQ(Variant::fromString("caf\xC3\xA9").toText(), "caf\xC3\xA9");
    EXPECT_EQ(Variant::fromBytes({'R', 'I', 0, 'F'}).toText(), std::string("RI\0F", 4));
    EXPECT_EQ(Variant::fromBytes({}).type(), VarType::ByteArray);
}

TEST(VariantFromJet, EachEngineTypeKeepsItsKindAndGuidsBecomeText) {
    EXPECT_TRUE(Variant::fromJet(jet::Value()).isNull());
    EXPECT_EQ(Variant::fromJet(jet::Value::text("x")), Variant::fromString("x"));
    EXPECT_EQ(Variant::fromJet(jet::Value(int16_t{7})).type(), VarType::Integer);
    EXPECT_EQ(Variant::fromJet(jet::Value(int32_t{7})).type(), VarType::Long);
    EXPECT_EQ(Variant::fromJet(jet::Value(uint8_t{7})).type(), VarType::Byte);
    EXPECT_EQ(Variant::fromJet(jet::Value(jet::Currency{1})).type(), VarType::Currency);
    EXPECT_EQ(Variant::fromJet(jet::Value(jet::DateTime{1})).type(), VarType::Date);
    EXPECT_EQ(Variant::fromJet(jet::Value(jet::Decimal{})).type(), VarType::Decimal);
    EXPECT_EQ(Variant::fromJet(jet::Value(1.5f)).type(), VarType::Single);
    EXPECT_EQ(Variant::fromJet(jet::Value(true)).toText(), "True");

    jet::Guid g;
    for (size_t i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(0xA0 + i);
    const Variant v = Variant::fromJet(jet::Value(g));
    ASSERT_EQ(v.type(), VarType::String);
    // First three fields are little-endian on disk.
    EXPECT_EQ(v.toText(), "{A3A2A1A0-A5A4-A7A6-A8A9-AAABACADAEAF}");
}

TEST(VariantNumbers, ToLongRoundsHalfToEvenAndChecksRange) {
    EXPECT_EQ(Variant::fromDouble(2.5).toLong(), 2);
    EXPECT_EQ(Variant::fromDouble(3.5).toLong(), 4);
    EXPECT_EQ(Variant::fromDouble(-2.5).toLong(), -2);
    EXPECT_EQ(Variant::fromCurrency(25000).toLong(), 2);
    EXPECT_EQ(Variant::fromCurrency(35000).toLong(), 4);
    EXPECT_EQ(Variant::fromCurrency(-35001).toLong(), -4);
    EXPECT_EQ(Variant::fromBool(true).toLong(), -1);
    EXPECT_EQ(Variant().toLong(), 0);
    EXPECT_EQ(Variant::fromDate(45657.75).toLong(), 45658);
    EXPECT_EQ(errorNumberOf([] { (void)Variant::fromDouble(3e9).toLong(); }), 6);
    EXPECT_EQ(Variant::fromDouble(-2147483648.0).toLong(), -2147483647 - 1);
}

TEST(VariantNumbers, TextIsReadAsANumberOrIsATypeMismatch) {
    EXPECT_EQ(Variant::fromString(" 12 ").toLong(), 12);
    EXPECT_EQ(Variant::fromString("-7").toLong(), -7);
    EXPECT_EQ(Variant::fromString("12.5").toLong(), 12);
    EXPECT_EQ(Variant::fromString("&H10").toLong(), 16);
    EXPECT_EQ(Variant::fromString("&HFFFFFFFF").toLong(), -1);
    EXPECT_EQ(Variant::fromString("&O17").toLong(), 15);
    EXPECT_DOUBLE_EQ(Variant::fromString("1,000.5").toDouble(), 1000.5);
    EXPECT_DOUBLE_EQ(Variant::fromString("1.5E3").toDouble(), 1500);
    EXPECT_DOUBLE_EQ(Variant::fromString(".25").toDouble(), 0.25);
    for (const char* bad : {"", "  ", "abc", "12abc", "1.2.3", "1E", "&H", "&HG1", "+", ","}) {
        EXPECT_EQ(errorNumberOf([&] { (void)Variant::fromString(bad).toDouble(); }), 13) << bad;
    }
    EXPECT_EQ(errorNumberOf([] { (void)Variant::fromBytes({1}).toLong(); }), 13);
}

TEST(VariantEquality, ComparesTypeAndValue) {
    EXPECT_EQ(Variant::null(), Variant::null());
    EXPECT_NE(Variant::null(), Variant());
    EXPECT_NE(Variant::fromInteger(1), Variant::fromLong(1));
    EXPECT_EQ(Variant::fromString("a"), Variant::fromString("a"));
    EXPECT_NE(Variant::fromString("a"), Variant::fromString("A"));
}
