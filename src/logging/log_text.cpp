#include "logging/log_text.h"

#include <cstdint>

#include "base/cp1252.h"
#include "base/utf8.h"

namespace tdv::logging {

std::string toLogBytes(std::string_view utf8) {
    // Plain ASCII, by far the most common line, is its own Windows-1252 form.
    bool ascii = true;
    for (char c : utf8) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    // A byte that starts no well-formed sequence (overlong forms, surrogates, values past
    // U+10FFFF) decodes to U+FFFD, which Windows-1252 has no byte for either.
    for (size_t i = 0; i < utf8.size();) {
        const int byte = base::charToCp1252(base::nextUtf8(utf8, i));
        out += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return out;
}

bool fitsLogCodePage(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            ++i;
            continue;
        }
        if (base::charToCp1252(base::nextUtf8(utf8, i)) < 0) return false;
    }
    return true;
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
