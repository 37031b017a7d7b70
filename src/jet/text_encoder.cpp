#include "jet/text_encoder.h"

#include <iconv.h>

#include <cerrno>
#include <memory>

#include "jet/error.h"
#include "jet/text_codec.h"

namespace jet {
namespace {

constexpr long kTypeMismatch = 3464;

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

bool isMultiByte(uint16_t codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

std::string iconvTarget(uint16_t codePage) {
    // Without //IGNORE or //TRANSLIT iconv reports characters it cannot convert.
    return "CP" + std::to_string(codePage);
}

}  // namespace

size_t utf16Length(std::string_view utf8) {
    size_t n = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        auto c = static_cast<uint8_t>(utf8[i]);
        if ((c & 0xC0) == 0x80) continue;  // continuation byte
        n += (c >= 0xF0) ? 2 : 1;          // four-byte sequences become surrogate pairs
    }
    return n;
}

Bytes encodeJet4Text(std::string_view utf8, bool compressible) {
    std::string u16 = utf8ToUtf16le(utf8);
    size_t chars = u16.size() / 2;
    // Compressed form costs a 2-byte marker: Access uses it only when it saves space.
    bool compress = compressible && chars > 2 && chars <= kMaxCompressedChars;
    for (size_t i = 0; compress && i < chars; ++i) {
        auto lo = static_cast<uint8_t>(u16[2 * i]);
        auto hi = static_cast<uint8_t>(u16[2 * i + 1]);
        if (hi != 0 || lo == 0) compress = false;
    }
    Bytes out;
    if (!compress) {
        out.assign(u16.begin(), u16.end());
        return out;
    }
    out.reserve(chars + 2);
    out.push_back(0xFF);
    out.push_back(0xFE);
    for (size_t i = 0; i < chars; ++i) out.push_back(static_cast<uint8_t>(u16[2 * i]));
    return out;
}

CodePageEncoder::CodePageEncoder(uint16_t codePage) : codePage_(codePage) {
    if (!isMultiByte(codePage)) {
        CodePageDecoder decoder(codePage);
        for (int b = 1; b < 256; ++b) {
            auto byte = static_cast<uint8_t>(b);
            std::string ch;
            decoder.append(ch, &byte, 1);
            if (ch != kReplacementUtf8) single_.emplace(ch, byte);
        }
        return;
    }
    iconv_t cd = ::iconv_open(iconvTarget(codePage).c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "Text code page " + std::to_string(codePage) + " is not supported");
    cd_ = cd;
}

CodePageEncoder::~CodePageEncoder() {
    if (cd_) ::iconv_close(static_cast<iconv_t>(cd_));
}

void CodePageEncoder::refuse(std::string_view utf8, size_t at) const {
    throw Error(ErrorKind::Type, kTypeMismatch,
                "The text '" + std::string(utf8) + "' has a character at byte " +
                    std::to_string(at) + " that code page " + std::to_string(codePage_) +
                    " cannot store");
}

Bytes CodePageEncoder::encode(std::string_view utf8) const {
    Bytes out;
    if (!cd_) {
        out.reserve(utf8.size());
        size_t i = 0;
        while (i < utf8.size()) {
            auto c = static_cast<uint8_t>(utf8[i]);
            size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            if (c < 0x80) {
                out.push_back(c);
                ++i;
                continue;
            }
            auto it = single_.find(std::string(utf8.substr(i, len)));
            if (it == single_.end()) refuse(utf8, i);
            out.push_back(it->second);
            i += len;
        }
        return out;
    }
    auto cd = static_cast<iconv_t>(cd_);
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    out.resize(utf8.size() * 2 + 8);
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = reinterpret_cast<char*>(out.data());
    size_t oLeft = out.size();
    if (::iconv(cd, &in, &inLeft, &o, &oLeft) == static_cast<size_t>(-1) ||
        ::iconv(cd, nullptr, nullptr, &o, &oLeft) == static_cast<size_t>(-1))
        refuse(utf8, utf8.size() - inLeft);
    out.resize(out.size() - oLeft);
    return out;
}

TextEncoder::TextEncoder(TextEncoding encoding, uint16_t codePage) {
    if (encoding == TextEncoding::CodePage)
        codePage_ = std::make_unique<CodePageEncoder>(codePage == 0 ? 1252 : codePage);
}

Bytes TextEncoder::encode(std::string_view utf8, bool compressible) const {
    if (codePage_) return codePage_->encode(utf8);
    return encodeJet4Text(utf8, compressible);
}

}  // namespace jet
