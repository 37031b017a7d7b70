// Reading a remap CSV file: text decoding, lines, fields and the lenient numeric test.
//
// The files come from spreadsheet programs and text editors. A file that starts with a UTF-8
// byte-order mark, or that is valid UTF-8 and holds bytes above 127, is read as UTF-8 (after a
// mark, a byte that is not part of valid UTF-8 becomes U+FFFD); any other file as
// Windows-1252. Lines end with CR LF (a lone LF or CR also ends a line). There is no quoting:
// every comma separates, a double quote is an ordinary character. Texts returned are valid
// UTF-8.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace tdv::remap {

// The whole file as UTF-8 lines (no line ends). Throws std::filesystem::filesystem_error
// when the file cannot be read.
std::vector<std::string> readCsvLines(const std::string& path);
// The same lines handed over one at a time, so that memory does not grow with the file:
// `lineCount` first receives how many lines there are, then `line` receives each line in
// order (it may move the text away). The file is read twice, a chunk at a time: once to
// choose its encoding (which depends on the whole file) and count its lines, once to decode.
void forEachCsvLine(const std::string& path, const std::function<void(size_t)>& lineCount,
                    const std::function<void(std::string& line)>& line);
// The largest file taken for a remap CSV file; a larger one is no remap CSV file.
inline constexpr uintmax_t kMaxCsvFileBytes = 100u * 1024 * 1024;
// The longest first line taken for a header.
inline constexpr size_t kMaxCsvHeaderBytes = 64 * 1024;

// The first line of a file, decoded as readCsvLines decodes it, read without reading the
// rest: nullopt when the file is larger than kMaxCsvFileBytes or its first line is no text
// (a NUL byte, or no line end within kMaxCsvHeaderBytes). `moreLines` tells whether any
// byte follows the first line's end. Throws as readCsvLines.
std::optional<std::string> readCsvHeader(const std::string& path, bool& moreLines);
// The same decoding for bytes already in memory (also the fuzz entry).
std::vector<std::string> decodeCsvLines(std::string_view bytes);

// Splits at every comma; n commas give n + 1 fields. Fields are not trimmed.
std::vector<std::string> splitCsvFields(std::string_view line);
// Trims spaces (not tabs) from both ends.
using base::trimSpaces;

// The platform's lenient numeric test: optional sign, digits with at most one decimal
// point, an optional exponent ("E"/"e"/"D"/"d" with optional sign and digits), spaces
// around. "12.5", "+7", "1e3" pass; "12a4", "", "." fail.
bool isNumericText(std::string_view text);

}  // namespace tdv::remap
