// Text stored in databases -> UTF-8.
#include "jet/text_codec.h"

#include <gtest/gtest.h>

#include <vector>

#include "jet/error.h"

using namespace jet;

namespace {

std::string jet4(const std::vector<uint8_t>& bytes) {
    std::string out;
    appendJet4Text(out, bytes.data(), bytes.size());
    return out;
}

std::string cp(uint16_t codePage, const std::vector<uint8_t>& bytes) {
    CodePageDecoder d(codePage);
    std::string out;
    d.append(out, bytes.data(), bytes.size());
    return out;
}

}  // namespace

TEST(TextCodec, PlainUtf16) {
    EXPECT_EQ(jet4({'a', 0, 'b', 0}), "ab");
    EXPECT_EQ(jet4({0xAC, 0x20}), "\xE2\x82\xAC");                  // euro sign
    EXPECT_EQ(jet4({0x3D, 0xD8, 0x00, 0xDE}), "\xF0\x9F\x98\x80");  // surrogate pair
    EXPECT_EQ(jet4({0x3D, 0xD8, 'a', 0}),
              "\xEF\xBF\xBD"
              "a");                       // lone high surrogate
    EXPECT_EQ(jet4({'a', 0, 'b'}), "a");  // odd trailing byte
    EXPECT_EQ(jet4({}), "");
}

TEST(TextCodec, CompressedUnicodeSwitchesModesOnZeroBytes) {
    EXPECT_EQ(jet4({0xFF, 0xFE, 'a', 'b', 'c'}), "abc");
    EXPECT_EQ(jet4({0xFF, 0xFE, 0xE9}), "\xC3\xA9");  // one-byte runs are Latin-1
    // "ab", switch, euro sign as two bytes, switch back, "c".
    EXPECT_EQ(jet4({0xFF, 0xFE, 'a', 'b', 0x00, 0xAC, 0x20, 0x00, 'c'}),
              "ab\xE2\x82\xAC"
              "c");
    EXPECT_EQ(jet4({0xFF, 0xFE, 0x00, 0xAC}), "");  // a two-byte run cut short
}

TEST(TextCodec, CodePages) {
    EXPECT_EQ(cp(1252, {'A', 0x80, 0xE9, 0xA3}), "A\xE2\x82\xAC\xC3\xA9\xC2\xA3");
    // The bytes Windows-1252 leaves undefined map to the C1 controls, as on Windows.
    EXPECT_EQ(cp(1252, {0x81}), "\xC2\x81");
    EXPECT_EQ(cp(1251, {0xC0}), "\xD0\x90");           // Cyrillic A
    EXPECT_EQ(cp(932, {0x82, 0xA0}), "\xE3\x81\x82");  // Hiragana A, a two-byte character
    EXPECT_THROW(CodePageDecoder(9), Error);
}

TEST(TextCodec, Utf8ToUtf16RoundTrip) {
    std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    std::string u16 = utf8ToUtf16le(s);
    EXPECT_EQ(u16.size(), 2u * 5);
    std::string back;
    appendUtf16le(back, reinterpret_cast<const uint8_t*>(u16.data()), u16.size());
    EXPECT_EQ(back, s);
}
