#include "remap/remap_csv.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "base/cp1252.h"
#include "base/text.h"
#include "base/utf8.h"

namespace tdv::remap {

namespace {

// True when the bytes are well-formed UTF-8; `high` tells whether any byte above 127 was seen.
bool isValidUtf8(std::string_view bytes, bool& high) {
    high = false;
    for (size_t i = 0; i < bytes.size();) {
        const size_t len = base::utf8SequenceLength(bytes, i);
        if (len == 0) return false;
        high = high || len > 1;
        i += len;
    }
    return true;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::vector<std::string> decodeCsvLines(std::string_view bytes) {
    std::string text;
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    bool high = false;
    if (bytes.substr(0, kBom.size()) == kBom) {
        // The mark says UTF-8; a damaged sequence after it becomes U+FFFD, so that every text
        // handed on is valid UTF-8.
        text = base::repairUtf8(bytes.substr(kBom.size()));
    } else if (isValidUtf8(bytes, high) && high) {
        text.assign(bytes);
    } else {
        text = base::cp1252ToUtf8(bytes);
    }

    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') continue;
        lines.emplace_back(text, start, i - start);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    // A last line without a line end still counts; a line end at the very end adds none.
    if (start < text.size()) lines.emplace_back(text, start, text.size() - start);
    return lines;
}

namespace {

enum class CsvEncoding { Utf8WithMark, Utf8, Windows1252 };

constexpr std::string_view kMark = "\xEF\xBB\xBF";
constexpr size_t kChunkBytes = 64 * 1024;

std::ifstream openCsv(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::filesystem::filesystem_error(
            "cannot open CSV file", path,
            std::error_code(errno != 0 ? errno : ENOENT, std::generic_category()));
    }
    return in;
}

// The next chunk of the file into `chunk`; false at the end.
bool readChunk(std::ifstream& in, const std::string& path, std::string& chunk) {
    chunk.resize(kChunkBytes);
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    if (in.bad()) {
        throw std::filesystem::filesystem_error("cannot read CSV file", path,
                                                std::make_error_code(std::errc::io_error));
    }
    chunk.resize(static_cast<size_t>(in.gcount()));
    return !chunk.empty();
}

// The first pass: the encoding decodeCsvLines would choose for the whole file, and the
// number of lines it would give, reading a chunk at a time.
CsvEncoding scanCsvFile(const std::string& path, size_t& lineCount) {
    std::ifstream in = openCsv(path);
    std::string chunk, data;
    bool first = true, mark = false, valid = true, high = false;
    bool pendingCr = false, lineOpen = false;
    lineCount = 0;
    while (readChunk(in, path, chunk)) {
        std::string_view bytes = chunk;
        if (first) {
            first = false;
            // A mark split over two chunks cannot happen: a chunk holds more than 3 bytes
            // unless the file ends there.
            mark = bytes.substr(0, kMark.size()) == kMark;
            if (mark) bytes.remove_prefix(kMark.size());
        }
        for (char c : bytes) {
            if (c == '\n' && pendingCr) {
                pendingCr = false;
                continue;
            }
            pendingCr = c == '\r';
            if (c == '\r' || c == '\n') {
                ++lineCount;
                lineOpen = false;
            } else {
                lineOpen = true;
            }
        }
        if (mark || !valid) continue;
        // A sequence cut by the chunk's end is judged with the next chunk.
        data.append(bytes);
        size_t i = 0;
        while (i < data.size()) {
            const size_t len = base::utf8SequenceLength(data, i);
            if (len == 0) {
                if (data.size() - i < 4 && !in.eof()) break;
                valid = false;
                break;
            }
            high = high || len > 1;
            i += len;
        }
        data.erase(0, valid ? i : data.size());
    }
    if (!mark && valid && !data.empty()) valid = false;  // cut off at the end of the file
    if (lineOpen) ++lineCount;
    if (mark) return CsvEncoding::Utf8WithMark;
    return valid && high ? CsvEncoding::Utf8 : CsvEncoding::Windows1252;
}

std::string decodeLine(CsvEncoding encoding, std::string_view bytes) {
    switch (encoding) {
        case CsvEncoding::Utf8WithMark:
            return base::repairUtf8(bytes);
        case CsvEncoding::Utf8:
            return std::string(bytes);
        case CsvEncoding::Windows1252:
            break;
    }
    return base::cp1252ToUtf8(bytes);
}

}  // namespace

void forEachCsvLine(const std::string& path, const std::function<void(size_t)>& lineCount,
                    const std::function<void(std::string& line)>& line) {
    size_t count = 0;
    const CsvEncoding encoding = scanCsvFile(path, count);
    lineCount(count);
    std::ifstream in = openCsv(path);
    std::string chunk, current;
    bool first = true, pendingCr = false;
    while (readChunk(in, path, chunk)) {
        std::string_view bytes = chunk;
        if (first) {
            first = false;
            if (encoding == CsvEncoding::Utf8WithMark) bytes.remove_prefix(kMark.size());
        }
        size_t start = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const char c = bytes[i];
            if (c == '\n' && pendingCr) {
                pendingCr = false;
                start = i + 1;
                continue;
            }
            pendingCr = c == '\r';
            if (c != '\r' && c != '\n') continue;
            current.append(bytes.substr(start, i - start));
            std::string text = decodeLine(encoding, current);
            current.clear();
            line(text);
            start = i + 1;
        }
        current.append(bytes.substr(start));
    }
    // A last line without a line end still counts; a line end at the very end adds none.
    if (!current.empty()) {
        std::string text = decodeLine(encoding, current);
        line(text);
    }
}

std::vector<std::string> readCsvLines(const std::string& path) {
    std::vector<std::string> lines;
    forEachCsvLine(
        path, [&](size_t count) { lines.reserve(count); },
        [&](std::string& text) { lines.push_back(std::move(text)); });
    return lines;
}

std::optional<std::string> readCsvHeader(const std::string& path, bool& moreLines) {
    moreLines = false;
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxCsvFileBytes) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::filesystem::filesystem_error(
            "cannot open CSV file", path,
            std::error_code(errno != 0 ? errno : ENOENT, std::generic_category()));
    }
    std::string bytes(kMaxCsvHeaderBytes + 2, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        throw std::filesystem::filesystem_error("cannot read CSV file", path,
                                                std::make_error_code(std::errc::io_error));
    }
    bytes.resize(static_cast<size_t>(in.gcount()));
    size_t end = bytes.find_first_of("\r\n");
    if (end == std::string::npos) {
        if (bytes.size() > kMaxCsvHeaderBytes) return std::nullopt;
        end = bytes.size();
    }
    if (end > kMaxCsvHeaderBytes || bytes.find('\0') < end) return std::nullopt;
    size_t next = end;
    if (next < bytes.size() && bytes[next] == '\r') ++next;
    if (next < bytes.size() && bytes[next] == '\n' && (next == end || bytes[end] == '\r')) ++next;
    moreLines = next < bytes.size();
    const std::vector<std::string> lines = decodeCsvLines(std::string_view(bytes).substr(0, end));
    return lines.empty() ? std::string() : lines.front();
}

std::vector<std::string> splitCsvFields(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) {
            fields.emplace_back(line.substr(start));
            return fields;
        }
        fields.emplace_back(line.substr(start, comma - start));
        start = comma + 1;
    }
}

bool isNumericText(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && text[i] == ' ') ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < n && isDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < n && isDigit(text[i])) ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    while (i < n && text[i] == ' ') ++i;
    return i == n;
}

}  // namespace tdv::remap
