// Checks the sort order tables character by character against the published per-character
// index codes of Access (reference/index-codes): one line per UTF-16 unit, a kind letter
// and hex codes. Every character of the reference must get exactly its codes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/sort_order.h"

namespace {

using jet::sortorder::CharCode;
using jet::sortorder::CharKind;

std::vector<std::string> readLines(const std::string& name) {
    std::ifstream in(tdv::test::referenceDir() / "index-codes" / name);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<uint8_t> hexBytes(std::string s) {
    if (s.size() % 2) s = "0" + s;
    std::vector<uint8_t> out;
    for (size_t i = 0; i < s.size(); i += 2)
        out.push_back(uint8_t(std::stoi(s.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<std::string> fields(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == ',') {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

// The code a reference line describes, in the encoder's terms.
CharCode expectedCode(const std::string& line) {
    CharCode c;
    std::vector<std::string> f = fields(line.substr(1));
    auto setPrimary = [&](const std::string& hex) {
        auto b = hexBytes(hex);
        c.primaryLen = uint8_t(b.size());
        for (size_t i = 0; i < b.size(); ++i) c.primary[i] = b[i];
    };
    auto setExtra = [&](const std::string& hex) {
        if (hex.empty()) return;
        auto b = hexBytes(hex);
        c.extraLen = uint8_t(b.size());
        for (size_t i = 0; i < b.size(); ++i) c.extra[i] = b[i];
    };
    switch (line[0]) {
        case 'X':
            c.kind = CharKind::Ignored;
            break;
        case 'S':
            c.kind = CharKind::Simple;
            setPrimary(f[0]);
            break;
        case 'G':
            c.kind = CharKind::Significant;
            setPrimary(f[0]);
            break;
        case 'I':
            c.kind = CharKind::Accented;
            setPrimary(f[0]);
            setExtra(f[1]);
            break;
        case 'U':
            c.kind = CharKind::Unprintable;
            c.unprintable = hexBytes(f[0]).at(0);
            break;
        case 'P':
            c.kind = CharKind::ModifierExt;
            setExtra(f[0]);
            break;
        case 'Z':
            c.kind = CharKind::Kana;
            setPrimary(f[0]);
            setExtra(f[1]);
            c.kanaFlag = f[2] == "1" ? 2 : 3;
            break;
        default:
            ADD_FAILURE() << "unknown reference line " << line;
    }
    return c;
}

std::string describe(const CharCode& c) {
    std::ostringstream s;
    s << "kind " << int(c.kind) << " primary";
    for (int i = 0; i < c.primaryLen; ++i) s << ' ' << std::hex << int(c.primary[i]);
    s << " extra";
    for (int i = 0; i < c.extraLen; ++i) s << ' ' << std::hex << int(c.extra[i]);
    s << " unprintable " << std::hex << int(c.unprintable) << " kana " << int(c.kanaFlag);
    return s.str();
}

bool sameCode(const CharCode& a, const CharCode& b) {
    return describe(a) == describe(b);
}

TEST(SortOrderTables, GeneralLegacyMatchesEveryReferenceCharacter) {
    std::vector<std::string> lines = readLines("index_codes_genleg.txt");
    std::vector<std::string> ext = readLines("index_codes_ext_genleg.txt");
    ASSERT_GE(lines.size(), 256u);
    lines.resize(256);
    lines.insert(lines.end(), ext.begin(), ext.end());
    // The reference lists U+0000..U+FFFF without the surrogate halves.
    ASSERT_GE(lines.size(), 0x10000u - 0x800u);

    size_t covered = 0;
    size_t mismatches = 0;
    size_t line = 0;
    for (uint32_t cp = 0; cp <= 0xFFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        const std::string& ref = lines[line++];
        CharCode got = jet::sortorder::generalLegacyCode(char16_t(cp));
        if (got.kind == CharKind::Unknown) continue;
        ++covered;
        CharCode want = expectedCode(ref);
        if (!sameCode(got, want) && ++mismatches <= 20) {
            ADD_FAILURE() << "U+" << std::hex << cp << " reference " << ref << ": want "
                          << describe(want) << ", got " << describe(got);
        }
    }
    EXPECT_EQ(mismatches, 0u);
    // Every character of the reference has a code.
    EXPECT_EQ(covered, 0x10000u - 0x800u);
}

TEST(SortOrderTables, General97MatchesEveryReferenceByte) {
    std::vector<std::string> lines = readLines("index_codes_gen_97.txt");
    ASSERT_EQ(lines.size(), 256u);
    for (uint32_t b = 0; b < 256; ++b) {
        CharCode want = expectedCode(lines[b]);
        CharCode got = jet::sortorder::general97Code(char16_t(b));
        EXPECT_TRUE(sameCode(got, want))
            << "byte " << std::hex << b << " reference " << lines[b] << ": got " << describe(got);
    }
}

TEST(SortOrderTables, General97KeysWindows1252CharactersByTheirByte) {
    std::vector<std::string> lines = readLines("index_codes_gen_97.txt");
    ASSERT_EQ(lines.size(), 256u);
    // The characters Windows-1252 places in 0x80..0x9F.
    const std::pair<char16_t, uint8_t> extras[] = {
        {u'€', 0x80}, {u'‚', 0x82}, {u'ƒ', 0x83}, {u'„', 0x84}, {u'…', 0x85}, {u'†', 0x86},
        {u'‡', 0x87}, {u'ˆ', 0x88}, {u'‰', 0x89}, {u'Š', 0x8A}, {u'‹', 0x8B}, {u'Œ', 0x8C},
        {u'Ž', 0x8E}, {u'‘', 0x91}, {u'’', 0x92}, {u'“', 0x93}, {u'”', 0x94}, {u'•', 0x95},
        {u'–', 0x96}, {u'—', 0x97}, {u'˜', 0x98}, {u'™', 0x99}, {u'š', 0x9A}, {u'›', 0x9B},
        {u'œ', 0x9C}, {u'ž', 0x9E}, {u'Ÿ', 0x9F}};
    for (auto [ch, byte] : extras) {
        EXPECT_EQ(jet::sortorder::toWindows1252(ch), byte);
        EXPECT_TRUE(sameCode(jet::sortorder::general97Code(ch), expectedCode(lines[byte])))
            << "U+" << std::hex << int(ch);
    }
    EXPECT_EQ(jet::sortorder::general97Code(u'Ω').kind, CharKind::Unknown);
    EXPECT_EQ(jet::sortorder::toWindows1252(u'Ω'), -1);
}

}  // namespace
