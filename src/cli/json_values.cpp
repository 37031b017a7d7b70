#include "cli/json_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <type_traits>

#include "base/utf8.h"

namespace tdv::cli {
namespace {

constexpr char kHex[] = "0123456789abcdef";

template <class F>
void appendFloat(std::string& out, F v) {
    if (std::isnan(v)) {
        out += "\"NaN\"";
        return;
    }
    if (std::isinf(v)) {
        out += v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
        return;
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

template <class I>
void appendInteger(std::string& out, I v) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

}  // namespace

void appendJsonString(std::string& out, std::string_view s) {
    out += '"';
    size_t i = 0;
    while (i < s.size()) {
        uint8_t c = static_cast<uint8_t>(s[i]);
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
            // Copy the run of plain ASCII in one go.
            size_t j = i + 1;
            while (j < s.size()) {
                uint8_t d = static_cast<uint8_t>(s[j]);
                if (d < 0x20 || d >= 0x80 || d == '"' || d == '\\') break;
                ++j;
            }
            out.append(s.data() + i, j - i);
            i = j;
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                ++i;
                continue;
            case '\\':
                out += "\\\\";
                ++i;
                continue;
            case '\n':
                out += "\\n";
                ++i;
                continue;
            case '\r':
                out += "\\r";
                ++i;
                continue;
            case '\t':
                out += "\\t";
                ++i;
                continue;
            case '\b':
                out += "\\b";
                ++i;
                continue;
            case '\f':
                out += "\\f";
                ++i;
                continue;
            default:
                break;
        }
        if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
            ++i;
            continue;
        }
        size_t len = base::utf8SequenceLength(s, i);
        if (len == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(s.data() + i, len);
            i += len;
        }
    }
    out += '"';
}

void appendJsonValue(std::string& out, const jet::Value& v) {
    std::visit(
        [&](const auto& x) {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                out += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                out += x ? "true" : "false";
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t>) {
                appendInteger(out, x);
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                appendFloat(out, x);
            } else if constexpr (std::is_same_v<T, jet::Currency>) {
                out += '"' + jet::formatCurrency(x) + '"';
            } else if constexpr (std::is_same_v<T, jet::Decimal>) {
                out += '"' + jet::formatDecimal(x) + '"';
            } else if constexpr (std::is_same_v<T, jet::DateTime>) {
                appendJsonString(out, jet::formatDateTime(x));
            } else if constexpr (std::is_same_v<T, jet::Guid>) {
                out += '"' + jet::formatGuid(x) + '"';
            } else if constexpr (std::is_same_v<T, jet::Text>) {
                appendJsonString(out, x.utf8);
            } else if constexpr (std::is_same_v<T, jet::Bytes>) {
                out += "{\"hex\":\"";
                const size_t at = out.size();
                out.resize(at + 2 * x.size());
                char* p = out.data() + at;
                for (uint8_t b : x) {
                    *p++ = kHex[b >> 4];
                    *p++ = kHex[b & 0xF];
                }
                out += "\"}";
            }
        },
        v.storage());
}

void writeJsonRow(std::string& out, const std::vector<std::string>& names,
                  const std::vector<jet::Value>& values) {
    JsonRowWriter(names).write(out, values);
}

JsonRowWriter::JsonRowWriter(const std::vector<std::string>& names) {
    keys_.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        std::string key(1, i ? ',' : '{');
        appendJsonString(key, names[i]);
        key += ':';
        keys_.push_back(std::move(key));
    }
}

void JsonRowWriter::write(std::string& out, const std::vector<jet::Value>& values) const {
    const size_t n = std::min(keys_.size(), values.size());
    if (n == 0) out += '{';
    for (size_t i = 0; i < n; ++i) {
        out += keys_[i];
        appendJsonValue(out, values[i]);
    }
    out += "}\n";
}

}  // namespace tdv::cli
