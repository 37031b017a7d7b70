// Text as stored in a database <-> UTF-8.
//
// Jet 4 stores text as UTF-16LE; a value may instead be "compressed": it starts with the
// marker 0xFF 0xFE, after which runs of one-byte characters (U+0000..U+00FF) and runs of
// two-byte characters alternate, each 0x00 byte switching between the two. Jet 3 stores
// text in the database's code page, converted through iconv (a 256-entry table for
// single-byte code pages, so the common case costs no iconv call per value).
// Invalid input (unpaired surrogates, bytes the code page does not define) becomes U+FFFD:
// text is never a reason to fail a whole row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet/format.h"

namespace jet {

// Appends UTF-16LE bytes as UTF-8 (an odd trailing byte is ignored).
void appendUtf16le(std::string& out, const uint8_t* data, size_t size);

// Appends a Jet 4 text value (plain UTF-16LE or compressed) as UTF-8.
void appendJet4Text(std::string& out, const uint8_t* data, size_t size);

// Encodes UTF-8 as UTF-16LE bytes (for writers and index keys).
std::string utf8ToUtf16le(std::string_view utf8);

// Converts text in one code page (Windows code page number) to UTF-8.
class CodePageDecoder {
public:
    // Throws Error(Unsupported) when iconv knows no such code page.
    explicit CodePageDecoder(uint16_t codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder&) = delete;
    CodePageDecoder& operator=(const CodePageDecoder&) = delete;

    uint16_t codePage() const { return codePage_; }
    void append(std::string& out, const uint8_t* data, size_t size) const;

private:
    uint16_t codePage_;
    bool singleByte_ = false;
    std::unique_ptr<std::string[]> table_;  // 256 UTF-8 strings for single-byte code pages
    void* converter_ = nullptr;             // iconv_t for multi-byte code pages, opened once
};

// The text decoding of one database: Jet 4 UTF-16 (plain or compressed), or Jet 3 bytes in
// the database's code page (0 = Windows-1252).
class TextDecoder {
public:
    TextDecoder(TextEncoding encoding, uint16_t codePage);
    void append(std::string& out, const uint8_t* data, size_t size) const {
        if (codePage_)
            codePage_->append(out, data, size);
        else
            appendJet4Text(out, data, size);
    }

private:
    std::unique_ptr<CodePageDecoder> codePage_;  // null for Jet 4
};

}  // namespace jet
