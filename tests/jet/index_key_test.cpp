// Index key encoding: keys checked byte for byte against entries of real Access index pages,
// and the ordering promises (comparing keys compares values) checked over many values.
#include "jet/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jet/error.h"

namespace {

using jet::Bytes;
using jet::ColumnDef;
using jet::ColumnType;
using jet::JetVersion;
using jet::Value;

Bytes hex(const std::string& s) {
    Bytes b;
    for (size_t i = 0; i + 1 < s.size(); i += 2)
        b.push_back(uint8_t(std::stoi(s.substr(i, 2), nullptr, 16)));
    return b;
}

std::string toHex(const Bytes& b) {
    std::string s;
    char buf[3];
    for (uint8_t x : b) {
        std::snprintf(buf, sizeof buf, "%02X", x);
        s += buf;
    }
    return s;
}

ColumnDef column(ColumnType type, uint8_t scale = 0) {
    ColumnDef c;
    c.name = "c";
    c.type = type;
    c.scale = scale;
    c.precision = 18;
    return c;
}

std::string key(ColumnType type, const Value& v, bool ascending = true,
                JetVersion version = JetVersion::Jet4) {
    Bytes out;
    jet::appendColumnKey(out, column(type), v, ascending, version);
    return toHex(out);
}

std::string textKey(const std::string& s, JetVersion version, bool ascending = true) {
    return key(ColumnType::Text, Value::text(s), ascending, version);
}

// Keys copied from leaf pages of the test databases (V1997/testIndexCodesV1997.mdb,
// V2000/indexTestV2000.mdb, V2000/compIndexTestV2000.mdb).
TEST(TextKeys, General97MatchesRealEntries) {
    EXPECT_EQ(textKey("AAéAA", JetVersion::Jet3), "7F6060666060022400");
    EXPECT_EQ(textKey("AAŠAA", JetVersion::Jet3), "7F6060766060022A00");
    EXPECT_EQ(textKey("AAÿAA", JetVersion::Jet3), "7F60607D6060022600");
    EXPECT_EQ(textKey("AAßAA", JetVersion::Jet3), "7F60607676606000");
    EXPECT_EQ(textKey("AAéAA", JetVersion::Jet3, false), "809F9F999F9FFDDBFF");
}

TEST(TextKeys, GeneralLegacyPlainText) {
    EXPECT_EQ(textKey("abc", JetVersion::Jet4), "7F4A4C4D0100");
    // Case, trailing spaces: the same key.
    EXPECT_EQ(textKey("ABC  ", JetVersion::Jet4), "7F4A4C4D0100");
    EXPECT_EQ(textKey("databases", JetVersion::Jet4), "7F4F4A6D4A4C4A6B516B0100");
    EXPECT_EQ(textKey("abc", JetVersion::Jet4, false), "80B5B3B2FEFF00");
    EXPECT_EQ(textKey("", JetVersion::Jet4), "7F0100");
}

TEST(TextKeys, GeneralLegacyAccentsFollowThePrimaryCodes) {
    // é: primary of e, accent 0x0E; earlier characters without an accent count as 0x02,
    // later ones are not recorded.
    EXPECT_EQ(textKey("é", JetVersion::Jet4), "7F51010E00");
    EXPECT_EQ(textKey("aé", JetVersion::Jet4), "7F4A5101020E00");
    EXPECT_EQ(textKey("éa", JetVersion::Jet4), "7F514A010E00");
    // Euro sign, curly quotes and dashes of Windows-1252.
    EXPECT_EQ(textKey("€", JetVersion::Jet4), "7F35A10100");
    EXPECT_EQ(textKey("‘x’", JetVersion::Jet4), "7F2B37752B380100");
}

TEST(TextKeys, GeneralLegacyUnprintablesComeLast) {
    // The hyphen has no primary code; it is recorded after the text with its position.
    EXPECT_EQ(textKey("a-b", JetVersion::Jet4), "7F4A4C01010101800B068200");
    EXPECT_EQ(textKey("'", JetVersion::Jet4), "7F010101018007068000");
    EXPECT_EQ(textKey("a-b", JetVersion::Jet4, false), "80B5B3FEFEFEFE7FF4F97DFF00");
}

TEST(TextKeys, Jet3RefusesCharactersOutsideWindows1252) {
    try {
        jet::encodeTextKey("aΩ", JetVersion::Jet3);
        FAIL() << "expected an error";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::Unsupported);
        EXPECT_EQ(e.number(), jet::errnum::kUnsupported);
        EXPECT_NE(e.description().find("U+03A9"), std::string::npos) << e.description();
    }
}

TEST(TextKeys, OnlyTheFirst255UnitsAreKeyed) {
    std::string a(255, 'x');
    EXPECT_EQ(jet::encodeTextKey(a + "a", JetVersion::Jet4),
              jet::encodeTextKey(a + "b", JetVersion::Jet4));
    EXPECT_NE(jet::encodeTextKey(a.substr(1) + "a", JetVersion::Jet4),
              jet::encodeTextKey(a.substr(1) + "b", JetVersion::Jet4));
}

TEST(NumberKeys, MatchRealEntries) {
    EXPECT_EQ(key(ColumnType::Long, Value(int32_t(2))), "7F80000002");
    EXPECT_EQ(key(ColumnType::Long, Value(int32_t(4813)), false), "807FFFED32");
    EXPECT_EQ(key(ColumnType::Long, Value()), "00");
    EXPECT_EQ(key(ColumnType::Long, Value(), false), "FF");
    EXPECT_EQ(key(ColumnType::Integer, Value(int16_t(-1))), "7F7FFF");
    EXPECT_EQ(key(ColumnType::Byte, Value(uint8_t(5)), false), "80FA");
    EXPECT_EQ(key(ColumnType::Boolean, Value(true)), "7F00");
    EXPECT_EQ(key(ColumnType::Boolean, Value(false)), "7FFF");
    EXPECT_EQ(key(ColumnType::Boolean, Value(true), false), "80FF");
    EXPECT_EQ(key(ColumnType::Double, Value(1.0)), "7FBFF0000000000000");
    EXPECT_EQ(key(ColumnType::Double, Value(-1.0)), "7F400FFFFFFFFFFFFF");
}

template <class T>
void expectKeysSortLikeValues(ColumnType type, std::vector<T> values) {
    std::sort(values.begin(), values.end());
    for (bool asc : {true, false}) {
        for (size_t i = 1; i < values.size(); ++i) {
            std::string a = key(type, Value(values[i - 1]), asc);
            std::string b = key(type, Value(values[i]), asc);
            if (values[i - 1] == values[i]) continue;
            EXPECT_EQ(asc ? a < b : a > b, true) << i << " " << a << " " << b;
        }
    }
}

TEST(NumberKeys, KeysSortLikeValues) {
    expectKeysSortLikeValues<int16_t>(ColumnType::Integer, {-32768, -300, -1, 0, 1, 255, 32767});
    expectKeysSortLikeValues<int32_t>(ColumnType::Long,
                                      {INT32_MIN, -70000, -1, 0, 1, 70000, INT32_MAX});
    expectKeysSortLikeValues<double>(ColumnType::Double,
                                     {-1e300, -2.5, -1.0, -1e-300, 0.0, 1e-300, 0.5, 1.0, 1e300});
    expectKeysSortLikeValues<float>(ColumnType::Single,
                                    {-3e38f, -2.5f, -1e-30f, 0.0f, 1e-30f, 7.0f, 3e38f});
}

TEST(NumberKeys, CurrencyAndDatesSortLikeValues) {
    std::vector<int64_t> cents = {INT64_MIN / 2, -10000, -1, 0, 1, 35000, INT64_MAX / 2};
    for (size_t i = 1; i < cents.size(); ++i) {
        EXPECT_LT(key(ColumnType::Currency, Value(jet::Currency{cents[i - 1]})),
                  key(ColumnType::Currency, Value(jet::Currency{cents[i]})));
    }
    std::vector<double> days = {-700000.5, -1.25, 0.0, 0.5, 36526.75, 2958465.0};
    for (size_t i = 1; i < days.size(); ++i) {
        EXPECT_LT(key(ColumnType::DateTime, Value(jet::DateTime{days[i - 1]})),
                  key(ColumnType::DateTime, Value(jet::DateTime{days[i]})));
    }
}

TEST(NumberKeys, DecimalUsesTheColumnScale) {
    jet::Decimal d;
    d.scale = 1;
    d.mantissa = {125, 0, 0};  // 12.5
    Bytes out;
    jet::appendColumnKey(out, column(ColumnType::Decimal, 2), Value(d), true, JetVersion::Jet4);
    EXPECT_EQ(toHex(out), "7FFF" + std::string(28, '0') + "04E2");  // 1250
    d.negative = true;
    out.clear();
    jet::appendColumnKey(out, column(ColumnType::Decimal, 2), Value(d), true, JetVersion::Jet4);
    EXPECT_EQ(toHex(out), "7F00" + std::string(28, 'F') + "FB1D");
    d.scale = 3;
    d.mantissa = {12345, 0, 0};  // 12.345 does not fit a scale of 2
    out.clear();
    EXPECT_THROW(
        jet::appendColumnKey(out, column(ColumnType::Decimal, 2), Value(d), true, JetVersion::Jet4),
        jet::Error);
}

TEST(BinaryKeys, GuidIsKeyedInTextOrderInGroupsOfEight) {
    jet::Guid g;
    for (int i = 0; i < 16; ++i) g.bytes[i] = uint8_t(i);
    EXPECT_EQ(key(ColumnType::Guid, Value(g)), "7F03020100050407060908090A0B0C0D0E0F08");
    EXPECT_EQ(key(ColumnType::Guid, Value(g), false), "80FCFDFEFFFAFBF8F909F7F6F5F4F3F2F1F0F7");
}

TEST(BinaryKeys, ShortLastGroupIsPaddedAndCounted) {
    Bytes b = hex("0102030405060708AABB");
    EXPECT_EQ(key(ColumnType::Binary, Value(b)), "7F010203040506070809AABB00000000000002");
}

TEST(EntryKeys, ColumnsAreConcatenatedInIndexOrder) {
    jet::TableDef t;
    t.columns = {column(ColumnType::Long), column(ColumnType::Text)};
    jet::IndexDef ix;
    ix.columns = {{1, true}, {0, false}};
    std::vector<Value> row = {Value(int32_t(2)), Value::text("abc")};
    EXPECT_EQ(toHex(jet::encodeIndexKey(t, ix, row, JetVersion::Jet4)),
              "7F4A4C4D0100"
              "807FFFFFFD");
    ix.columns = {{2, true}};
    EXPECT_THROW(jet::encodeIndexKey(t, ix, row, JetVersion::Jet4), jet::Error);
}

TEST(CompareText, IgnoresCaseAndTrailingSpaces) {
    for (JetVersion v : {JetVersion::Jet3, JetVersion::Jet4}) {
        EXPECT_EQ(jet::compareText("abc", "ABC", v), 0);
        EXPECT_EQ(jet::compareText("abc ", "ABC", v), 0);
        EXPECT_LT(jet::compareText("abc", "abd", v), 0);
        EXPECT_GT(jet::compareText("b", "A", v), 0);
        EXPECT_LT(jet::compareText("", "a", v), 0);
        EXPECT_LT(jet::compareText("e", "é", v), 0);
        EXPECT_LT(jet::compareText("é", "f", v), 0);
    }
    // A character without a code falls back to code point order, never throws.
    EXPECT_LT(jet::compareText("aΩ", "aω1", JetVersion::Jet3), 0);
}

// The ASCII shortcut must agree with comparing the keys.
TEST(CompareText, AgreesWithKeyOrder) {
    std::mt19937 rng(7);
    const std::string alphabet = "aAbB zZ09-'_.,~^\t!é";
    auto randomText = [&] {
        std::string s;
        size_t n = rng() % 6;
        for (size_t i = 0; i < n; ++i) {
            size_t k = rng() % (alphabet.size() - 1);
            if (alphabet[k] == '\xC3') {
                s += "é";
            } else if (static_cast<unsigned char>(alphabet[k]) < 0x80) {
                s += alphabet[k];
            }
        }
        return s;
    };
    for (JetVersion v : {JetVersion::Jet3, JetVersion::Jet4}) {
        for (int i = 0; i < 5000; ++i) {
            std::string a = randomText();
            std::string b = randomText();
            Bytes ka = jet::encodeTextKey(a, v);
            Bytes kb = jet::encodeTextKey(b, v);
            int want = ka < kb ? -1 : kb < ka ? 1 : 0;
            ASSERT_EQ(jet::compareText(a, b, v), want) << "'" << a << "' vs '" << b << "'";
        }
    }
}

}  // namespace
