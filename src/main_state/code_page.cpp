#include "main_state/code_page.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <memory>

#include "db/db_error.h"
#include "jet/cp1252.h"
#include "jet/text_codec.h"

namespace tdv::app {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

db::DbError conversionError(const std::string& what) {
    return db::DbError(5, "Invalid procedure call or argument (" + what + ")");
}

std::string upToNul(const std::string& s) {
    const auto nul = s.find('\0');
    return nul == std::string::npos ? s : s.substr(0, nul);
}

// Decodes one UTF-8 sequence at s[i]; an invalid or cut sequence gives U+FFFD for its first
// byte only, as the Windows converter does without MB_ERR_INVALID_CHARS.
char32_t nextUtf8(const std::string& s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t len = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (b0 < 0x80) {
        ++i;
        return b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, c = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, c = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, c = b0 & 0x07, min = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (i + len > s.size()) {
        ++i;
        return kReplacement;
    }
    for (size_t k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        c = (c << 6) | (b & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += len;
    return c;
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
        nextUtf8(text, i);
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
            jet::appendUtf8(out, kReplacement);
            i += 1;
        }
    }
    return out;
}

// The text with each invalid UTF-8 sequence replaced as the Windows converter replaces it.
std::string validUtf8(const std::string& src) {
    std::string out;
    for (size_t i = 0; i < src.size();) jet::appendUtf8(out, nextUtf8(src, i));
    return out;
}

}  // namespace

std::string strUnicodeToMultiByte(const std::string& text, int codePage, int /*flags*/) {
    const std::string src = upToNul(text);
    codePage = resolve(codePage);
    if (codePage == 65001) return validUtf8(src);
    if (codePage == 1252) {
        std::string out;
        for (size_t i = 0; i < src.size();) {
            const int b = jet::charToCp1252(nextUtf8(src, i));
            out += b < 0 ? '?' : static_cast<char>(b);
        }
        return out;
    }
    return utf8ToOther(src, codePage);
}

std::string strMultiByteToUnicode(const std::string& bytes, int codePage, int /*flags*/) {
    const std::string src = upToNul(bytes);
    codePage = resolve(codePage);
    if (codePage == 65001) return validUtf8(src);
    if (codePage == 1252) {
        std::string out;
        for (unsigned char b : src) jet::appendUtf8(out, jet::cp1252ToChar(b));
        return out;
    }
    return otherToUtf8(src, codePage);
}

}  // namespace tdv::app
