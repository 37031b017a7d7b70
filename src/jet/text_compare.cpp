// Jet's text comparison: the order of the index keys of the two texts.
//
// Most texts compared by SQL are plain ASCII, so the comparison first walks both texts
// while their characters are ASCII characters with a primary code and no other part in the
// key. Such codes are prefix-free, so the first differing code decides the order of the whole
// keys. Anything else (other characters, texts beyond the 255-unit key limit) is decided
// by building both keys.
#include <algorithm>
#include <array>
#include <cstring>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/sort_order.h"
#include "jet/text_key.h"

namespace jet {
namespace {

// Primary code of an ASCII character left-aligned in 16 bits, or 0 when the character
// needs the full encoder.
using AsciiCodes = std::array<uint16_t, 128>;

AsciiCodes buildAsciiCodes(JetVersion version) {
    AsciiCodes codes{};
    for (char16_t c = 1; c < 128; ++c) {
        sortorder::CharCode code = version == JetVersion::Jet3 ? sortorder::general97Code(c)
                                                               : sortorder::generalLegacyCode(c);
        bool plain = code.kind == sortorder::CharKind::Simple ||
                     code.kind == sortorder::CharKind::Significant;
        if (!plain || code.primaryLen == 0 || code.primaryLen > 2) continue;
        codes[c] = uint16_t(code.primary[0] << 8 | (code.primaryLen == 2 ? code.primary[1] : 0));
    }
    return codes;
}

const AsciiCodes& asciiCodes(JetVersion version) {
    static const AsciiCodes jet3 = buildAsciiCodes(JetVersion::Jet3);
    static const AsciiCodes jet4 = buildAsciiCodes(JetVersion::Jet4);
    return version == JetVersion::Jet3 ? jet3 : jet4;
}

constexpr size_t kFastLimit = 255;  // keys cover 255 units

std::string_view trimTrailingSpaces(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// Whether every character of s is one the ASCII walk handles.
bool allPlainAscii(std::string_view s, const AsciiCodes& codes) {
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c >= 0x80 || codes[c] == 0) return false;
    }
    return true;
}

// Returns true when the ASCII walk decides the order (result in *order). Trailing spaces
// are not keyed, so they are removed first; a text that ends earlier has the end marker
// where the other has a character code, and end markers are below every code.
bool compareAscii(std::string_view a, std::string_view b, const AsciiCodes& codes, int* order) {
    if (a.size() > kFastLimit || b.size() > kFastLimit) return false;
    a = trimTrailingSpaces(a);
    b = trimTrailingSpaces(b);
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[i]);
        if (ca >= 0x80 || cb >= 0x80) return false;
        uint16_t ka = codes[ca];
        uint16_t kb = codes[cb];
        if (ka == 0 || kb == 0) return false;
        if (ka != kb) {
            *order = ka < kb ? -1 : 1;
            return true;
        }
    }
    if (!allPlainAscii(a.substr(n), codes) || !allPlainAscii(b.substr(n), codes)) return false;
    *order = a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    return true;
}

char32_t fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    return c;
}

int compareFolded(std::string_view a, std::string_view b) {
    std::u16string ua = utf8ToUtf16(a);
    std::u16string ub = utf8ToUtf16(b);
    size_t n = std::min(ua.size(), ub.size());
    for (size_t i = 0; i < n; ++i) {
        char32_t x = fold(ua[i]);
        char32_t y = fold(ub[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return ua.size() < ub.size() ? -1 : ua.size() > ub.size() ? 1 : 0;
}

}  // namespace

int compareText(std::string_view a, std::string_view b, JetVersion version) {
    int order = 0;
    if (compareAscii(a, b, asciiCodes(version), &order)) return order;
    Bytes ka;
    Bytes kb;
    try {
        appendTextKey(ka, toIndexedUnits(a), version, true);
        appendTextKey(kb, toIndexedUnits(b), version, true);
    } catch (const Error&) {
        return compareFolded(a, b);
    }
    size_t n = std::min(ka.size(), kb.size());
    int c = n == 0 ? 0 : std::memcmp(ka.data(), kb.data(), n);
    if (c != 0) return c < 0 ? -1 : 1;
    return ka.size() < kb.size() ? -1 : ka.size() > kb.size() ? 1 : 0;
}

}  // namespace jet
