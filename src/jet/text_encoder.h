// UTF-8 text -> the bytes a database stores (the inverse of text_codec.h).
//
// Jet 4 stores UTF-16LE. A column flagged for compression holds a value "compressed"
// (marker 0xFF 0xFE, then one byte per character) when every character is U+0001..U+00FF,
// the value has 3 to kMaxCompressedChars characters (shorter ones would not get smaller),
// as Access does; other values
// are stored as plain UTF-16LE, which every reader accepts as well.
// Jet 3 stores text in the database's code page; a character the code page cannot hold is
// refused with Error(Type) naming it, never replaced silently.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "jet/format.h"
#include "jet/value.h"

namespace jet {

// Longest value Access stores compressed.
constexpr size_t kMaxCompressedChars = 1024;

// Number of UTF-16 code units of a UTF-8 string (what Jet 4 counts as its length).
size_t utf16Length(std::string_view utf8);

// Jet 4 bytes of a text value; compressed when allowed and possible.
Bytes encodeJet4Text(std::string_view utf8, bool compressible);

// Converts UTF-8 to one Windows code page. Single-byte code pages use the exact inverse of
// the decoder's table (so every text read from a file writes back to the same bytes);
// multi-byte code pages go through iconv.
class CodePageEncoder {
public:
    // Throws Error(Unsupported) when iconv knows no such code page.
    explicit CodePageEncoder(uint16_t codePage);
    ~CodePageEncoder();
    CodePageEncoder(const CodePageEncoder&) = delete;
    CodePageEncoder& operator=(const CodePageEncoder&) = delete;

    // Throws Error(Type) when a character has no byte form in the code page.
    Bytes encode(std::string_view utf8) const;

private:
    [[noreturn]] void refuse(std::string_view utf8, size_t at) const;
    uint16_t codePage_;
    std::unordered_map<std::string, uint8_t> single_;  // UTF-8 character -> byte
    void* cd_ = nullptr;                               // iconv_t for multi-byte code pages
};

// The text encoding of one database (Jet 4: UTF-16; Jet 3: its code page, 0 = 1252).
class TextEncoder {
public:
    TextEncoder(TextEncoding encoding, uint16_t codePage);
    Bytes encode(std::string_view utf8, bool compressible) const;

private:
    std::unique_ptr<CodePageEncoder> codePage_;  // null for Jet 4
};

}  // namespace jet
