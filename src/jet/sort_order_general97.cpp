// General 97 order (Jet 3): one code per Windows-1252 byte, case-insensitive.
#include "jet/sort_order.h"

namespace jet::sortorder {
namespace {

CharCode code(CharKind kind, uint16_t primary, uint8_t accent = 0) {
    CharCode c;
    c.kind = kind;
    if (primary > 0xFF) {
        c.primaryLen = 2;
        c.primary = {uint8_t(primary >> 8), uint8_t(primary & 0xFF)};
    } else {
        c.primaryLen = 1;
        c.primary[0] = uint8_t(primary);
    }
    if (accent != 0) {
        c.extraLen = 1;
        c.extra[0] = accent;
    }
    return c;
}

CharCode simple(uint16_t primary) {
    return code(CharKind::Simple, primary);
}

// Letters A..Z: primary code, and whether the letter has accented forms (those are
// "significant": an accented letter later in the text counts them in its accent record).
struct Letter {
    uint8_t primary;
    bool significant;
};
constexpr Letter kLetters[26] = {
    {0x60, true},  {0x61, false}, {0x62, true}, {0x64, false}, {0x66, true},  {0x67, false},
    {0x68, false}, {0x69, false}, {0x6A, true}, {0x6B, false}, {0x6C, false}, {0x6D, false},
    {0x6F, false}, {0x70, true},  {0x72, true}, {0x73, false}, {0x74, false}, {0x75, false},
    {0x76, true},  {0x77, false}, {0x78, true}, {0x7A, false}, {0x7B, false}, {0x7C, false},
    {0x7D, true},  {0x7E, false},
};

CharCode letter(char upper) {
    const Letter& l = kLetters[upper - 'A'];
    return code(l.significant ? CharKind::Significant : CharKind::Simple, l.primary);
}

CharCode accented(char base, uint8_t accent) {
    return code(CharKind::Accented, kLetters[base - 'A'].primary, accent);
}

enum Accent : uint8_t {
    kGrave = 0x03,
    kAcute = 0x04,
    kCircumflex = 0x05,
    kDiaeresis = 0x06,
    kTilde = 0x07,
    kRing = 0x08,
    kCedilla = 0x09,
    kCaron = 0x0A,
};

// Windows-1252 0x80..0xBF (0: a control-like byte keyed as 0x10).
constexpr uint16_t kHigh[64] = {
    0,    0,    0x18,   0x32, 0x13, 0x33, 0x34, 0x35, 0x36, 0x37, 0,    0x18, 0x7266,
    0,    0,    0,      0,    0x18, 0x18, 0x13, 0x13, 0x38, 0x1E, 0x1E, 0x39, 0x3A,
    0,    0x18, 0x7266, 0,    0,    0,    0x11, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40,
    0x41, 0x42, 0x43,   0x44, 0x13, 0x45, 0x1E, 0x46, 0x47, 0x48, 0x49, 0x58, 0x59,
    0x4A, 0x4B, 0x4C,   0x4D, 0x4E, 0x57, 0x4F, 0x13, 0x50, 0x51, 0x52, 0x53,
};

// Windows-1252 letters 0xC0..0xDE as base + accent (0xE0..0xFE share them).
struct Latin1Letter {
    char base;  // 0: keyed by a plain code instead
    uint8_t accent;
    uint16_t plain;
};
constexpr Latin1Letter kLatin1Letters[31] = {
    {'A', kGrave},      {'A', kAcute}, {'A', kCircumflex}, {'A', kTilde},
    {'A', kDiaeresis},  {'A', kRing},  {0, 0, 0x6066},     {'C', kCedilla},
    {'E', kGrave},      {'E', kAcute}, {'E', kCircumflex}, {'E', kDiaeresis},
    {'I', kGrave},      {'I', kAcute}, {'I', kCircumflex}, {'I', kDiaeresis},
    {0, 0, 0x65},       {'N', kTilde}, {'O', kGrave},      {'O', kAcute},
    {'O', kCircumflex}, {'O', kTilde}, {'O', kDiaeresis},  {0, 0, 0x54},
    {0, 0, 0x81},       {'U', kGrave}, {'U', kAcute},      {'U', kCircumflex},
    {'U', kDiaeresis},  {'Y', kAcute}, {0, 0, 0x7F},
};

CharCode byteCode(uint8_t b) {
    if (b == 0) return CharCode{CharKind::Ignored};
    if (b == 0x09 || b == 0x20) return simple(0x11);
    if (b < 0x20 || b == 0x7F) return simple(0x10);
    if (b <= 0x2F) return simple(0x12 + (b - 0x21));
    if (b <= 0x39) return simple(0x56 + (b - '0'));
    if (b <= 0x40) return simple(0x21 + (b - 0x3A));
    if (b <= 0x5A) return letter(char(b));
    if (b <= 0x60) return simple(0x28 + (b - 0x5B));
    if (b <= 0x7A) return letter(char(b - 'a' + 'A'));
    if (b <= 0x7E) return simple(0x2E + (b - 0x7B));
    switch (b) {
        case 0x8A:
        case 0x9A:
            return accented('S', kCaron);
        case 0x9F:
        case 0xFF:
            return accented('Y', kDiaeresis);
        case 0xDF:
            return simple(0x7676);  // sharp s sorts as "ss"
        case 0xD7:
            return simple(0x54);
        case 0xF7:
            return simple(0x55);
        default:
            break;
    }
    if (b < 0xC0) return simple(kHigh[b - 0x80] != 0 ? kHigh[b - 0x80] : 0x10);
    const Latin1Letter& l = kLatin1Letters[(b >= 0xE0 ? b - 0xE0 : b - 0xC0)];
    return l.base != 0 ? accented(l.base, l.accent) : simple(l.plain);
}

// Characters outside Latin-1 that Windows-1252 encodes in 0x80..0x9F.
struct Cp1252Extra {
    char16_t ch;
    uint8_t byte;
};
constexpr Cp1252Extra kCp1252Extras[] = {
    {0x0152, 0x8C}, {0x0153, 0x9C}, {0x0160, 0x8A}, {0x0161, 0x9A}, {0x0178, 0x9F}, {0x017D, 0x8E},
    {0x017E, 0x9E}, {0x0192, 0x83}, {0x02C6, 0x88}, {0x02DC, 0x98}, {0x2013, 0x96}, {0x2014, 0x97},
    {0x2018, 0x91}, {0x2019, 0x92}, {0x201A, 0x82}, {0x201C, 0x93}, {0x201D, 0x94}, {0x201E, 0x84},
    {0x2020, 0x86}, {0x2021, 0x87}, {0x2022, 0x95}, {0x2026, 0x85}, {0x2030, 0x89}, {0x2039, 0x8B},
    {0x203A, 0x9B}, {0x20AC, 0x80}, {0x2122, 0x99},
};

}  // namespace

int toWindows1252(char16_t c) {
    if (c <= 0x7F || (c >= 0xA0 && c <= 0xFF)) return c;
    for (const Cp1252Extra& e : kCp1252Extras) {
        if (e.ch == c) return e.byte;
    }
    // The five bytes Windows-1252 leaves undefined read back as the same code points.
    if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) return c;
    return -1;
}

CharCode general97Code(char16_t c) {
    // Code points U+0080..U+00FF index the table directly (as the byte of that value).
    if (c <= 0xFF) return byteCode(uint8_t(c));
    int b = toWindows1252(c);
    if (b < 0) return CharCode{};
    return byteCode(uint8_t(b));
}

}  // namespace jet::sortorder
