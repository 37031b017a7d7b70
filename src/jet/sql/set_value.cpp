#include "jet/sql/set_value.h"

#include <cctype>
#include <cmath>
#include <optional>
#include <string>

#include "jet/error.h"
#include "jet/sql/expr_eval.h"
#include "jet/sql/lexer.h"
#include "jet/sql/parser.h"
#include "jet/value_coerce.h"

namespace jet::sql {
namespace {

using S = Value::Storage;

[[noreturn]] void mismatch(const ColumnDef& c) {
    throw Error(ErrorKind::Type, errnum::kType,
                "Data type mismatch in criteria expression. (column '" + c.name + "')");
}

std::string trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

// A number read from text, kept whole when it is one and fits a Long.
std::optional<Value> numberFromText(const std::string& text) {
    if (equalsIgnoreCase(text, "true") || equalsIgnoreCase(text, "yes")) return Value(S(true));
    if (equalsIgnoreCase(text, "false") || equalsIgnoreCase(text, "no")) return Value(S(false));
    std::optional<long double> n = parseNumber(text);
    if (!n || !std::isfinite(static_cast<double>(*n))) return std::nullopt;
    long double whole = std::floor(*n);
    if (whole == *n && whole >= -2147483648.0L && whole <= 2147483647.0L) {
        return Value(S(static_cast<int32_t>(whole)));
    }
    return Value(S(static_cast<double>(*n)));
}

std::optional<DateTime> dateFromText(std::string text) {
    if (text.size() >= 2 && text.front() == '#' && text.back() == '#') {
        text = text.substr(1, text.size() - 2);
    }
    // "2000-01-02T10:00:00", as dates are written elsewhere in this program.
    for (char& ch : text) {
        if (ch == 'T') ch = ' ';
    }
    DateTime d;
    if (parseDateLiteral(text, d)) return d;
    return std::nullopt;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional) to on-disk GUID bytes.
std::optional<Guid> guidFromText(std::string text) {
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, text.size() - 2);
    }
    if (text.size() != 36) return std::nullopt;
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Guid g;
    size_t pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) {
            if (text[pos] != '-') return std::nullopt;
            ++pos;
        }
        int hi = hexDigit(text[pos]);
        int lo = hexDigit(text[pos + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        g.bytes[static_cast<size_t>(kOrder[i])] = static_cast<uint8_t>(hi * 16 + lo);
        pos += 2;
    }
    return g;
}

bool isNumberLike(const Value& v) {
    return v.is<bool>() || v.is<uint8_t>() || v.is<int16_t>() || v.is<int32_t>() ||
           v.is<Currency>() || v.is<float>() || v.is<double>() || v.is<Decimal>();
}

Value loose(const ColumnDef& c, const Value& v) {
    if (v.isNull()) return v;
    if (isPlainNumberType(c.type)) {
        if (v.is<Text>()) {
            if (auto n = numberFromText(trimmed(v.get<Text>().utf8))) return *n;
            mismatch(c);
        }
        if (v.is<DateTime>()) return Value(S(v.get<DateTime>().days));
        if (v.is<Decimal>()) {
            if (auto n = numericValue(v)) return Value(S(static_cast<double>(*n)));
        }
        if (isNumberLike(v)) return v;
        mismatch(c);
    }
    switch (c.type) {
        case ColumnType::Text:
        case ColumnType::Memo:
            if (v.is<Text>()) return v;
            if (isNumberLike(v) || v.is<DateTime>() || v.is<Guid>()) {
                return Value::text(textForm(v));
            }
            mismatch(c);
        case ColumnType::DateTime:
            if (v.is<DateTime>()) return v;
            if (v.is<Text>()) {
                std::string t = trimmed(v.get<Text>().utf8);
                if (auto d = dateFromText(t)) return Value(S(*d));
                if (auto n = parseNumber(t)) return Value(S(DateTime{static_cast<double>(*n)}));
                mismatch(c);
            }
            if (isNumberLike(v)) {
                if (auto n = numericValue(v)) return Value(S(DateTime{static_cast<double>(*n)}));
            }
            mismatch(c);
        case ColumnType::Guid:
            if (v.is<Guid>()) return v;
            if (v.is<Text>()) {
                if (auto g = guidFromText(trimmed(v.get<Text>().utf8))) return Value(S(*g));
            }
            mismatch(c);
        case ColumnType::Binary:
        case ColumnType::OLE:
            if (v.is<Bytes>()) return v;
            mismatch(c);
        case ColumnType::Decimal:
            if (v.is<Decimal>()) return v;
            mismatch(c);
        default:  // the plain number types, above
            break;
    }
    mismatch(c);
}

}  // namespace

Value convertForColumn(const ColumnDef& column, const Value& value, JetVersion version) {
    return coerceValue(column, loose(column, value), version);
}

}  // namespace jet::sql
