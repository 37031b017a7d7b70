// UTF-8 to UTF-16 conversion for text keys.
#include <algorithm>

#include "jet/text_key.h"

namespace jet {

std::u16string utf8ToUtf16(std::string_view s, size_t maxUnits) {
    std::u16string out;
    out.reserve(std::min(s.size(), maxUnits));
    size_t i = 0;
    while (i < s.size() && out.size() < maxUnits) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        char32_t cp = 0xFFFD;
        size_t len = 1;
        if (b < 0x80) {
            cp = b;
        } else if (b >= 0xC2 && b <= 0xF4) {
            len = b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
            char32_t v = b & (0x7F >> len);
            bool ok = i + len <= s.size();
            for (size_t k = 1; ok && k < len; ++k) {
                unsigned char c = static_cast<unsigned char>(s[i + k]);
                ok = (c & 0xC0) == 0x80;
                v = (v << 6) | (c & 0x3F);
            }
            bool minimal = (len == 2) || (len == 3 && v >= 0x800) || (len == 4 && v >= 0x10000);
            if (ok && minimal && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
                cp = v;
            } else {
                len = 1;
            }
        }
        i += len;
        if (cp >= 0x10000) {
            // A pair cut by the limit keeps its first half, as a cut by units would.
            cp -= 0x10000;
            out.push_back(char16_t(0xD800 + (cp >> 10)));
            if (out.size() < maxUnits) out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(char16_t(cp));
        }
    }
    return out;
}

}  // namespace jet
