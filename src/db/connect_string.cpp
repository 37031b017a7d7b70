#include "db/connect_string.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace tdv::db {
namespace {

std::string trim(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

std::string makeConnectString(const std::string& path) {
    return "Provider=" + std::string(kJetProvider) + ";Data Source=" + path;
}

std::string dataSourceOf(std::string_view cs) {
    std::string source;
    bool haveSource = false;
    size_t i = 0;
    while (i < cs.size()) {
        size_t eq = cs.find('=', i);
        if (eq == std::string_view::npos) break;
        std::string key = lower(trim(cs.substr(i, eq - i)));
        size_t v = eq + 1;
        while (v < cs.size() && cs[v] == ' ') ++v;
        std::string value;
        size_t end;
        if (v < cs.size() && cs[v] == '"') {
            end = cs.find('"', v + 1);
            if (end == std::string_view::npos)
                throw std::invalid_argument("Unterminated quote in connection string");
            value = std::string(cs.substr(v + 1, end - v - 1));
            end = cs.find(';', end);
        } else {
            end = cs.find(';', v);
            value = trim(cs.substr(v, end == std::string_view::npos ? cs.size() - v : end - v));
        }
        if (key == "provider" && lower(value).rfind(lower(std::string(kJetProvider)), 0) != 0)
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
