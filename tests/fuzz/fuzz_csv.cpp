// Fuzz target: arbitrary bytes as a remap CSV file.
//
// Each input is decoded into lines (encoding detection, line ends), every line is split into
// fields, and every field is trimmed and given the numeric test. Besides crashes, sanitizer
// reports and hangs, a finding is any broken promise of the reader: a line that is not valid
// UTF-8 or holds a line-end character, fields that do not join back into their line, or a
// trimmed field that still starts or ends with a space.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "remap/remap_csv.h"

namespace {

bool validUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t len = b < 0x80                 ? 1
                     : b >= 0xC2 && b <= 0xDF ? 2
                     : b >= 0xE0 && b <= 0xEF ? 3
                     : b >= 0xF0 && b <= 0xF4 ? 4
                                              : 0;
        if (len == 0 || s.size() - i < len) return false;
        for (size_t k = 1; k < len; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += len;
    }
    return true;
}

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> lines = tdv::remap::decodeCsvLines(bytes);
    for (const std::string& line : lines) {
        require(validUtf8(line));
        require(line.find_first_of("\r\n") == std::string::npos);
        const std::vector<std::string> fields = tdv::remap::splitCsvFields(line);
        require(!fields.empty());
        std::string joined;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) joined += ',';
            joined += fields[i];
            const std::string trimmed = tdv::remap::trimSpaces(fields[i]);
            require(trimmed.empty() || (trimmed.front() != ' ' && trimmed.back() != ' '));
            (void)tdv::remap::isNumericText(fields[i]);
        }
        require(joined == line);
    }
    return 0;
}
