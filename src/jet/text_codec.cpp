#include "jet/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

#include "base/utf8.h"
#include "jet/error.h"

namespace jet {
namespace {

using tdv::base::appendUtf8;

constexpr uint32_t kReplacement = 0xFFFD;

std::string iconvNameFor(uint16_t codePage) {
    switch (codePage) {
        case 932:
            return "CP932";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        case 950:
            return "CP950";
        case 874:
            return "CP874";
        default:
            return "CP" + std::to_string(codePage);
    }
}

bool isMultiByte(uint16_t codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// Converts with iconv; bytes iconv rejects become U+FFFD one at a time.
void iconvAppend(iconv_t cd, std::string& out, const uint8_t* data, size_t size) {
    std::vector<char> buf(size * 4 + 16);
    char* in = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
    size_t inLeft = size;
    while (inLeft > 0) {
        char* o = buf.data();
        size_t oLeft = buf.size();
        size_t r = ::iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buf.data(), static_cast<size_t>(o - buf.data()));
        if (r != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ / EINVAL: skip one byte, keep going.
        appendUtf8(out, kReplacement);
        ++in;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace

void appendUtf16le(std::string& out, const uint8_t* data, size_t size) {
    size_t n = size / 2;
    for (size_t i = 0; i < n; ++i) {
        uint32_t u = data[2 * i] | (data[2 * i + 1] << 8);
        if (u < 0x80) {
            out.push_back(static_cast<char>(u));
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < n) {
            uint32_t lo = data[2 * i + 2] | (data[2 * i + 3] << 8);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, u);  // lone surrogates become U+FFFD there
    }
}

void appendJet4Text(std::string& out, const uint8_t* data, size_t size) {
    if (size < 2 || data[0] != 0xFF || data[1] != 0xFE) {
        appendUtf16le(out, data, size);
        return;
    }
    bool compressed = true;
    size_t i = 2;
    while (i < size) {
        if (data[i] == 0x00) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            // A run of one-byte characters: plain ASCII is copied as it is.
            size_t end = i;
            while (end < size && data[end] != 0x00 && data[end] < 0x80) ++end;
            if (end > i) {
                out.append(reinterpret_cast<const char*>(data + i), end - i);
                i = end;
            } else {
                appendUtf8(out, data[i]);
                ++i;
            }
        } else {
            // A run of two-byte characters ends at a character whose low byte is 0x00.
            size_t start = i;
            while (i + 1 < size && data[i] != 0x00) i += 2;
            if (i == start) break;  // odd trailing byte
            appendUtf16le(out, data + start, i - start);
        }
    }
}

std::string utf8ToUtf16le(std::string_view s) {
    std::string out;
    out.reserve(s.size() * 2);
    auto put = [&](uint32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    };
    size_t i = 0;
    while (i < s.size()) {
        uint8_t c = static_cast<uint8_t>(s[i]);
        uint32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            put(kReplacement);
            ++i;
            continue;
        }
        if (i + len > s.size()) {
            put(kReplacement);
            break;
        }
        bool ok = true;
        for (size_t k = 1; k < len; ++k) {
            uint8_t cc = static_cast<uint8_t>(s[i + k]);
            if ((cc & 0xC0) != 0x80) ok = false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        i += ok ? len : 1;
        if (!ok) cp = kReplacement;
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp > 0xFFFF ? kReplacement : cp);
        }
    }
    return out;
}

CodePageDecoder::CodePageDecoder(uint16_t codePage) : codePage_(codePage) {
    iconv_t cd = ::iconv_open("UTF-8", iconvNameFor(codePage).c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "Text code page " + std::to_string(codePage) + " is not supported");
    if (isMultiByte(codePage)) {
        converter_ = cd;
        return;
    }
    singleByte_ = true;
    table_ = std::make_unique<std::string[]>(256);
    for (int b = 0; b < 256; ++b) {
        uint8_t byte = static_cast<uint8_t>(b);
        iconvAppend(cd, table_[b], &byte, 1);
        // Windows maps the five bytes Windows-1252 leaves undefined to the C1 controls
        // of the same value; iconv refuses them.
        if (codePage == 1252 && (table_[b].empty() || table_[b] == "\xEF\xBF\xBD")) {
            table_[b].clear();
            appendUtf8(table_[b], byte);
        }
        if (table_[b].empty()) appendUtf8(table_[b], kReplacement);
    }
    ::iconv_close(cd);
}

CodePageDecoder::~CodePageDecoder() {
    if (converter_) ::iconv_close(static_cast<iconv_t>(converter_));
}

void CodePageDecoder::append(std::string& out, const uint8_t* data, size_t size) const {
    if (singleByte_) {
        for (size_t i = 0; i < size; ++i) {
            uint8_t b = data[i];
            if (b < 0x80)
                out.push_back(static_cast<char>(b));
            else
                out += table_[b];
        }
        return;
    }
    iconv_t cd = static_cast<iconv_t>(converter_);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);  // each value starts in the initial state
    iconvAppend(cd, out, data, size);
}

TextDecoder::TextDecoder(TextEncoding encoding, uint16_t codePage) {
    if (encoding == TextEncoding::CodePage)
        codePage_ = std::make_unique<CodePageDecoder>(codePage == 0 ? 1252 : codePage);
}

}  // namespace jet
