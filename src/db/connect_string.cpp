#include "db/connect_string.h"

#include "base/text.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace tdv::db {
namespace {

bool isSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && isSpace(s[b])) ++b;
    while (e > b && isSpace(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

// A path that an unquoted value would split at ';', trim, or read as a quoted value.
bool needsQuotes(std::string_view path) {
    if (path.empty()) return false;
    return path.find_first_of(";\"'") != std::string_view::npos || isSpace(path.front()) ||
           isSpace(path.back());
}

// The quoted value starting at cs[open] (the quote), with a doubled quote read as one;
// `end` is set to the position after the closing quote.
std::string quotedValue(std::string_view cs, size_t open, size_t& end) {
    const char quote = cs[open];
    std::string value;
    size_t i = open + 1;
    for (;;) {
        if (i >= cs.size()) throw std::invalid_argument("Unterminated quote in connection string");
        if (cs[i] == quote) {
            if (i + 1 < cs.size() && cs[i + 1] == quote) {
                value += quote;
                i += 2;
                continue;
            }
            end = i + 1;
            return value;
        }
        value += cs[i++];
    }
}

}  // namespace

std::string makeConnectString(const std::string& path) {
    std::string cs = "Provider=" + std::string(kJetProvider) + ";Data Source=";
    if (!needsQuotes(path)) return cs + path;
    cs += '"';
    for (const char c : path) {
        cs += c;
        if (c == '"') cs += '"';
    }
    return cs + '"';
}

std::string dataSourceOf(std::string_view cs) {
    std::string source;
    bool haveSource = false;
    size_t i = 0;
    while (i < cs.size()) {
        size_t eq = cs.find('=', i);
        if (eq == std::string_view::npos) break;
        std::string key = base::asciiLower(trim(cs.substr(i, eq - i)));
        size_t v = eq + 1;
        while (v < cs.size() && cs[v] == ' ') ++v;
        std::string value;
        size_t end;
        if (v < cs.size() && (cs[v] == '"' || cs[v] == '\'')) {
            size_t after = 0;
            value = quotedValue(cs, v, after);
            while (after < cs.size() && isSpace(cs[after])) ++after;
            if (after < cs.size() && cs[after] != ';')
                throw std::invalid_argument("Text after a quoted value in connection string");
            end = after < cs.size() ? after : std::string_view::npos;
        } else {
            end = cs.find(';', v);
            value = trim(cs.substr(v, end == std::string_view::npos ? cs.size() - v : end - v));
        }
        if (key == "provider" &&
            base::asciiLower(value).rfind(base::asciiLower(std::string(kJetProvider)), 0) != 0)
            throw std::invalid_argument("Provider cannot be found: " + value);
        if (key == "data source") {
            source = value;
            haveSource = true;
        }
        if (end == std::string_view::npos) break;
        i = end + 1;
    }
    if (!haveSource || source.empty())
        throw std::invalid_argument("Connection string has no Data Source");
    return source;
}

}  // namespace tdv::db
