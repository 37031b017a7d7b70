#include "jet/sql/set_value.h"

#include <cctype>
#include <cmath>
#include <optional>
#include <string>

#include "base/guid.h"
#include "base/text.h"
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
    if (tdv::base::equalsIgnoringCase(text, "true") || tdv::base::equalsIgnoringCase(text, "yes"))
        return Value(S(true));
    if (tdv::base::equalsIgnoringCase(text, "false") || tdv::base::equalsIgnoringCase(text, "no"))
        return Value(S(false));
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
                if (auto g = tdv::base::guidFromText(trimmed(v.get<Text>().utf8)))
                    return Value(S(Guid{*g}));
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
