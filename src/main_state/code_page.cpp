#include "main_state/code_page.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>

#include "base/cp1252.h"
#include "base/utf8.h"
#include "db/db_error.h"

namespace tdv::app {

namespace {

db::DbError conversionError(const std::string& what) {
    return db::DbError(5, "Invalid procedure call or argument (" + what + ")");
}

std::string upToNul(const std::string& s) {
    const auto nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

int resolve(int codePage) {
    return codePage == 0 || codePage == -1 ? kAnsiCodePage : codePage;
}

struct IconvCloser {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle openIconv(const std::string& to, const std::string& from) {
    iconv_t cd = iconv_open(to.c_str(), from.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw conversionError("code page " + from + " to " + to);
    return IconvHandle(cd);
}

std::string iconvName(int codePage) {
    return "CP" + std::to_string(codePage);
}

// Converts one unit (a character or a byte sequence) through iconv; false when the
// converter rejects it.
bool convertUnit(iconv_t cd, const std::string& in, std::string& out) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    std::array<char, 16> buf{};
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
    if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<size_t>(-1)) return false;
    out.append(buf.data(), static_cast<size_t>(dst - buf.data()));
    return true;
}

std::string utf8ToOther(const std::string& text, int codePage) {
    IconvHandle cd = openIconv(iconvName(codePage), "UTF-8");
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const size_t start = i;
        base::nextUtf8(text, i);
        if (!convertUnit(static_cast<iconv_t>(cd.get()), text.substr(start, i - start), out)) {
            out += '?';
        }
    }
    return out;
}

std::string otherToUtf8(const std::string& bytes, int codePage) {
    IconvHandle cd = openIconv("UTF-8", iconvName(codePage));
    auto* handle = static_cast<iconv_t>(cd.get());
    std::string out;
    // Double-byte code pages need up to two bytes per character: try one, then two.
    for (size_t i = 0; i < bytes.size();) {
        if (convertUnit(handle, bytes.substr(i, 1), out)) {
            i += 1;
        } else if (i + 1 < bytes.size() && convertUnit(handle, bytes.substr(i, 2), out)) {
            i += 2;
        } else {
            base::appendUtf8(out, base::kReplacementChar);
            i += 1;
        }
    }
    return out;
}

}  // namespace

std::string strUnicodeToMultiByte(const std::string& text, int codePage, int /*flags*/) {
    const std::string src = upToNul(text);
    codePage = resolve(codePage);
    if (codePage == 65001) return base::repairUtf8(src);
    if (codePage == 1252) {
        std::string out;
        for (size_t i = 0; i < src.size();) {
            const int b = base::charToCp1252(base::nextUtf8(src, i));
            out += b < 0 ? '?' : static_cast<char>(b);
        }
        return out;
    }
    return utf8ToOther(src, codePage);
}

std::string strMultiByteToUnicode(const std::string& bytes, int codePage, int /*flags*/) {
    const std::string src = upToNul(bytes);
    codePage = resolve(codePage);
    if (codePage == 65001) return base::repairUtf8(src);
    if (codePage == 1252) {
        return base::cp1252ToUtf8(src);
    }
    return otherToUtf8(src, codePage);
}

}  // namespace tdv::app
