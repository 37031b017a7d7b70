#include "logging/log_text.h"

#include <cstdint>

#include "jet/cp1252.h"

namespace tdv::logging {

namespace {

// Length of the UTF-8 sequence that starts with `lead`, 0 for a byte that cannot start one.
size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::string toLogBytes(std::string_view utf8) {
    // Plain ASCII, by far the most common line, is its own Windows-1252 form.
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const size_t len = sequenceLength(lead);
        bool valid = len != 0 && i + len <= utf8.size();
        char32_t cp = len == 1 ? lead : lead & (0x7F >> len);
        for (size_t k = 1; valid && k < len; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + k]);
            if ((b & 0xC0) != 0x80) valid = false;
            cp = (cp << 6) | (b & 0x3F);
        }
        // Overlong three- and four-byte forms, surrogates and values past U+10FFFF.
        if (valid && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp <= 0xDFFF))) {
            valid = false;
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        const int byte = jet::charToCp1252(cp);
        out += byte < 0 ? '?' : static_cast<char>(byte);
        i += len;
    }
    return out;
}

double oleDateOfLocalTime(const std::tm& local) {
    std::tm copy = local;
    // timegm reads the fields as they stand, with no time zone applied, which is exactly
    // the count of seconds the local calendar date and clock time give.
    const int64_t secs = static_cast<int64_t>(timegm(&copy));
    constexpr int64_t kOleEpochToUnixDays = 25569;  // 12/30/1899 .. 1/1/1970
    const int64_t days = secs >= 0 ? secs / 86400 : -((-secs + 86399) / 86400);
    const int64_t rest = secs - days * 86400;
    return static_cast<double>(days + kOleEpochToUnixDays) + static_cast<double>(rest) / 86400.0;
}

}  // namespace tdv::logging
