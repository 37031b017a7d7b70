// General Legacy order: Latin-1 by rules, the rest of the BMP from the run tables, and
// surrogate halves by computation.
#include <algorithm>

#include "jet/generated/sort_order_runs.h"
#include "jet/sort_order.h"

namespace jet::sortorder {
namespace {

CharCode simple(uint32_t primary, uint8_t len) {
    CharCode c;
    c.kind = CharKind::Simple;
    c.primaryLen = len;
    for (uint8_t i = 0; i < len; ++i) c.primary[i] = uint8_t(primary >> (8 * (len - 1 - i)));
    return c;
}

CharCode accented(uint32_t primary, uint8_t len, uint8_t accent) {
    CharCode c = simple(primary, len);
    c.kind = CharKind::Accented;
    c.extraLen = 1;
    c.extra[0] = accent;
    return c;
}

CharCode unprintable(uint8_t code) {
    CharCode c;
    c.kind = CharKind::Unprintable;
    c.unprintable = code;
    return c;
}

// Primary code of each Latin letter A..Z (both cases).
constexpr uint8_t kLetter[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59,
                                 0x5B, 0x5C, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69,
                                 0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};

uint8_t letter(char upper) {
    return kLetter[upper - 'A'];
}

// Accent codes of the Latin-1 letters.
enum Accent : uint8_t {
    kAcute = 0x0E,
    kGrave = 0x0F,
    kCircumflex = 0x12,
    kDiaeresis = 0x13,
    kTilde = 0x19,
    kRing = 0x1A,
    kCedilla = 0x1C,
    kStroke = 0x21,
    kOrdinal = 0x03,  // ª and º: a raised small letter
    kEth = 0x68,
};

// Printable ASCII punctuation and symbols (0x20..0x7E, letters and digits excluded).
struct Punct {
    char ch;
    uint16_t code;  // one byte, or two when above 0xFF
};
constexpr Punct kPunct[] = {
    {' ', 0x07},   {'!', 0x09},   {'"', 0x0A},   {'#', 0x0C},   {'$', 0x0E},   {'%', 0x10},
    {'&', 0x12},   {'(', 0x14},   {')', 0x16},   {'*', 0x18},   {'+', 0x2C},   {',', 0x1A},
    {'.', 0x1C},   {'/', 0x1E},   {':', 0x20},   {';', 0x22},   {'<', 0x2E},   {'=', 0x30},
    {'>', 0x32},   {'?', 0x24},   {'@', 0x26},   {'[', 0x27},   {'\\', 0x29},  {']', 0x2A},
    {'^', 0x2B02}, {'_', 0x2B03}, {'`', 0x2B07}, {'{', 0x2B09}, {'|', 0x2B0B}, {'}', 0x2B0D},
    {'~', 0x2B0F},
};

// Latin-1 symbols U+00A1..U+00BF that are plain symbols (two-byte codes).
constexpr uint16_t kLatin1Symbols[] = {
    0x2B10, 0x34A6, 0x34A7, 0x34A8, 0x34A9, 0x2B11, 0x34AA, 0x2B12, 0x34AB,  // A1..A9
    0,      0x3305, 0x34AC, 0,      0x34AD, 0x2B13, 0x34AE, 0x3304, 0,       // AA..B2
    0,      0x2B14, 0x34AF, 0x34B0, 0x34B1, 0x2B15, 0,      0,      0x3307,  // B3..BB
    0x3712, 0x3716, 0x371A, 0x2B16,                                          // BC..BF
};

// Latin-1 letters U+00C0..U+00DE as base letter + accent; the lowercase forms
// U+00E0..U+00FE share the uppercase codes.
struct Latin1Letter {
    char base;  // 0: not an accented letter (handled separately)
    uint8_t accent;
};
constexpr Latin1Letter kLatin1Letters[31] = {
    {'A', kGrave},      {'A', kAcute}, {'A', kCircumflex}, {'A', kTilde},
    {'A', kDiaeresis},  {'A', kRing},  {0, 0} /* AE */,    {'C', kCedilla},
    {'E', kGrave},      {'E', kAcute}, {'E', kCircumflex}, {'E', kDiaeresis},
    {'I', kGrave},      {'I', kAcute}, {'I', kCircumflex}, {'I', kDiaeresis},
    {'D', kEth},        {'N', kTilde}, {'O', kGrave},      {'O', kAcute},
    {'O', kCircumflex}, {'O', kTilde}, {'O', kDiaeresis},  {0, 0} /* times */,
    {'O', kStroke},     {'U', kGrave}, {'U', kAcute},      {'U', kCircumflex},
    {'U', kDiaeresis},  {'Y', kAcute}, {0, 0} /* thorn */,
};

uint16_t pair(char a, char b) {
    return uint16_t(letter(a) << 8 | letter(b));
}

CharCode latin1Code(char16_t c) {
    if (c == 0) return CharCode{CharKind::Ignored};
    // Control characters are unprintable, numbered in code point order from 3 (the
    // whitespace controls 0x09..0x0D are printable and skipped by the numbering).
    if (c <= 0x08) return unprintable(uint8_t(c + 2));
    if (c <= 0x0D) return simple(0x0803 + (c - 0x09), 2);
    if (c <= 0x1F) return unprintable(uint8_t(c - 0x0E + 0x0B));
    if (c >= 0x7F && c <= 0x9F) return unprintable(uint8_t(c - 0x7F + 0x1D));
    if (c >= '0' && c <= '9') return simple(0x36 + 2 * (c - '0'), 1);
    if (c >= 'A' && c <= 'Z') return simple(letter(char(c)), 1);
    if (c >= 'a' && c <= 'z') return simple(letter(char(c - 'a' + 'A')), 1);
    if (c == '\'') return unprintable(0x80);
    if (c == '-') return unprintable(0x82);
    if (c < 0x7F) {
        for (const Punct& p : kPunct) {
            if (p.ch == char(c)) return simple(p.code, p.code > 0xFF ? 2 : 1);
        }
        return CharCode{};
    }
    switch (c) {
        case 0xA0:
            return simple(0x0802, 2);  // no-break space
        case 0xAA:
            return accented(letter('A'), 1, kOrdinal);
        case 0xAD:
            return unprintable(0x83);  // soft hyphen
        case 0xB2:
            return simple(0x3A, 1);  // superscript digits sort as digits
        case 0xB3:
            return simple(0x3C, 1);
        case 0xB9:
            return simple(0x38, 1);
        case 0xBA:
            return accented(letter('O'), 1, kOrdinal);
        case 0xC6:
        case 0xE6:
            return simple(pair('A', 'E'), 2);
        case 0xD7:
            return simple(0x3309, 2);  // multiplication sign
        case 0xF7:
            return simple(0x330A, 2);  // division sign
        case 0xDE:
        case 0xFE:
            return simple(pair('T', 'H'), 2);
        case 0xDF:
            return simple(pair('S', 'S'), 2);
        case 0xFF:
            return accented(letter('Y'), 1, kDiaeresis);
        default:
            break;
    }
    if (c < 0xC0) return simple(kLatin1Symbols[c - 0xA1], 2);
    const Latin1Letter& l = kLatin1Letters[(c >= 0xE0 ? c - 0xE0 : c - 0xC0)];
    return accented(letter(l.base), 1, l.accent);
}

CharCode fromRun(const CodeRun& run, char16_t c) {
    CharCode code;
    switch (run.kind) {
        case 'S':
            code.kind = CharKind::Simple;
            break;
        case 'A':
            code.kind = CharKind::Accented;
            break;
        case 'U':
            code.kind = CharKind::Unprintable;
            break;
        case 'M':
            code.kind = CharKind::ModifierExt;
            break;
        case 'K':
            code.kind = CharKind::Kana;
            break;
        default:
            code.kind = CharKind::Ignored;
            return code;
    }
    uint32_t primary = run.primary;
    if (run.step == 1) {
        // Two-byte weights: the second byte runs 0x02..0xFF.
        uint32_t weight = (primary >> 8) * 254 + ((primary & 0xFF) - 2) + (c - run.first);
        primary = (weight / 254) << 8 | (weight % 254 + 2);
    }
    code.primaryLen = run.primaryLen;
    for (uint8_t i = 0; i < run.primaryLen; ++i)
        code.primary[i] = uint8_t(primary >> (8 * (run.primaryLen - 1 - i)));
    code.extraLen = run.extraLen;
    for (uint8_t i = 0; i < run.extraLen; ++i)
        code.extra[i] = uint8_t(run.extra >> (8 * (run.extraLen - 1 - i)));
    code.unprintable = run.unprintable;
    code.kanaFlag = run.kanaFlag;
    return code;
}

CharCode fromRuns(std::span<const CodeRun> runs, char16_t c) {
    auto it = std::upper_bound(runs.begin(), runs.end(), c,
                               [](char16_t v, const CodeRun& r) { return v < r.first; });
    if (it == runs.begin()) return CharCode{};
    --it;
    if (c - it->first >= it->count) return CharCode{};
    return fromRun(*it, c);
}

// Surrogate halves have computed two-byte codes and the accent code 0x3F.
CharCode surrogateCode(char16_t c) {
    uint32_t index;
    if (c < 0xDC00) {
        index = c - 10238u;
    } else {
        uint32_t offset = (c - 0xDC00u) % 1024;
        uint32_t shift = offset < 8     ? 9992
                         : offset < 262 ? 9990
                         : offset < 516 ? 9988
                         : offset < 770 ? 9986
                                        : 9984;
        index = c - shift;
    }
    return accented(index & 0xFFFF, 2, 0x3F);
}

}  // namespace

CharCode generalLegacyCode(char16_t c) {
    if (c <= 0xFF) return latin1Code(c);
    if (c >= 0xD800 && c <= 0xDFFF) return surrogateCode(c);
    return fromRuns(c < 0xD800 ? generalLegacyRunsLow() : generalLegacyRunsHigh(), c);
}

}  // namespace jet::sortorder
