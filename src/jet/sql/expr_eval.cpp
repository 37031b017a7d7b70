#include "jet/sql/expr_eval.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/ole_date.h"
#include "base/text.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/sql/arithmetic.h"
#include "jet/sql/functions.h"
#include "jet/sql/parser.h"

namespace jet::sql {

namespace {

constexpr long kSubqueryRows = 3354;  // at most one record can be returned by this subquery

int sign(long double d) {
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

// Decodes one UTF-8 character; a malformed byte stands for itself so matching never stops.
char32_t nextCodePoint(std::string_view s, size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + static_cast<size_t>(extra) >= s.size()) {
        ++i;
        return b;
    }
    char32_t cp = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        auto c = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    return cp;
}

// Simple case folding for the scripts Access text commonly holds.
char32_t fold(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F) {
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper) return (c % 2 == 1) ? c + 1 : c;
        if (c == 0x178) return 0xFF;
        return (c % 2 == 0 && c != 0x138) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

std::u32string foldedCodePoints(std::string_view s) {
    std::u32string out;
    size_t i = 0;
    while (i < s.size()) out.push_back(fold(nextCodePoint(s, i)));
    return out;
}

// One element of a LIKE pattern.
struct PatternItem {
    enum class Kind { Char, Any, Run, List, Digit } kind = Kind::Char;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

std::vector<PatternItem> compilePattern(std::u32string_view p) {
    std::vector<PatternItem> out;
    // Past the last ']' no '[' can open a list; knowing that keeps compiling linear.
    const size_t lastClose = p.rfind(']');
    for (size_t i = 0; i < p.size(); ++i) {
        char32_t c = p[i];
        PatternItem item;
        if (c == '%' || c == '*') {
            item.kind = PatternItem::Kind::Run;
            if (!out.empty() && out.back().kind == PatternItem::Kind::Run) continue;
        } else if (c == '_' || c == '?') {
            item.kind = PatternItem::Kind::Any;
        } else if (c == '#') {
            item.kind = PatternItem::Kind::Digit;
        } else if (c == '[') {
            size_t close = (lastClose == std::u32string_view::npos || lastClose <= i)
                               ? std::u32string_view::npos
                               : p.find(']', i + 1);
            if (close == std::u32string_view::npos) {
                item.ch = c;  // an unclosed bracket is an ordinary character
            } else {
                item.kind = PatternItem::Kind::List;
                size_t j = i + 1;
                if (j < close && p[j] == '!') {
                    item.negated = true;
                    ++j;
                }
                for (; j < close; ++j) {
                    if (j + 2 < close && p[j + 1] == '-') {
                        item.ranges.emplace_back(p[j], p[j + 2]);
                        j += 2;
                    } else {
                        item.ranges.emplace_back(p[j], p[j]);
                    }
                }
                i = close;
            }
        } else {
            item.ch = c;
        }
        out.push_back(std::move(item));
    }
    return out;
}

bool itemMatches(const PatternItem& item, char32_t c) {
    switch (item.kind) {
        case PatternItem::Kind::Char:
            return item.ch == c;
        case PatternItem::Kind::Any:
            return true;
        case PatternItem::Kind::Digit:
            return c >= '0' && c <= '9';
        case PatternItem::Kind::Run:
            return true;
        case PatternItem::Kind::List: {
            bool in = false;
            for (auto [lo, hi] : item.ranges) in = in || (c >= lo && c <= hi);
            // A "[]" list matches the empty string only, never a character.
            if (item.ranges.empty()) return false;
            return in != item.negated;
        }
    }
    return false;
}

int compareBytes(const uint8_t* a, size_t na, const uint8_t* b, size_t nb) {
    int c = std::memcmp(a, b, std::min(na, nb));
    if (c != 0) return c < 0 ? -1 : 1;
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

}  // namespace

bool likeMatch(std::string_view text, std::string_view pattern) {
    std::u32string t = foldedCodePoints(text);
    std::u32string p32 = foldedCodePoints(pattern);
    std::vector<PatternItem> p = compilePattern(p32);
    // Greedy matching with one backtrack point per run: linear in practice, never exponential.
    size_t ti = 0, pi = 0;
    size_t starP = std::u32string::npos, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi].kind == PatternItem::Kind::Run) {
            starP = pi++;
            starT = ti;
        } else if (pi < p.size() && itemMatches(p[pi], t[ti])) {
            ++pi;
            ++ti;
        } else if (starP != std::u32string::npos) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && (p[pi].kind == PatternItem::Kind::Run ||
                             (p[pi].kind == PatternItem::Kind::List && p[pi].ranges.empty()))) {
        ++pi;
    }
    return pi == p.size();
}

int Evaluator::compare(const Value& a, const Value& b) const {
    if (a.is<Text>() && b.is<Text>()) {
        int c = compareText(a.get<Text>().utf8, b.get<Text>().utf8, version_);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.is<Currency>() && b.is<Currency>()) {
        auto x = a.get<Currency>().scaled, y = b.get<Currency>().scaled;
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.is<Guid>() || b.is<Guid>()) {
        if (a.is<Guid>() && b.is<Guid>()) {
            return compareBytes(a.get<Guid>().bytes.data(), 16, b.get<Guid>().bytes.data(), 16);
        }
        const Value& text = a.is<Guid>() ? b : a;
        if (!text.is<Text>()) throwTypeMismatch();
        int c = compareText(textForm(a), textForm(b), version_);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.is<Bytes>() || b.is<Bytes>()) {
        if (!a.is<Bytes>() || !b.is<Bytes>()) throwTypeMismatch();
        const Bytes& x = a.get<Bytes>();
        const Bytes& y = b.get<Bytes>();
        return compareBytes(x.data(), x.size(), y.data(), y.size());
    }
    auto na = numericValue(a), nb = numericValue(b);
    auto fromText = [](const Value& text, const Value& other) -> std::optional<long double> {
        const std::string& s = text.get<Text>().utf8;
        if (auto n = parseNumber(s)) return n;
        DateTime d;
        if (other.is<DateTime>() && parseDateLiteral(s, d)) return static_cast<long double>(d.days);
        return std::nullopt;
    };
    if (!na && a.is<Text>()) na = fromText(a, b);
    if (!nb && b.is<Text>()) nb = fromText(b, a);
    if (!na || !nb) throwTypeMismatch();
    return sign(*na - *nb);
}

int Evaluator::compareForSort(const Value& a, const Value& b) const {
    if (a.isNull() || b.isNull()) return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    return compare(a, b);
}

const Value& Evaluator::operand(const Expr& e, const RowContext& row, Value& scratch) const {
    if (e.kind == Expr::Kind::Literal) return e.literal;
    if (e.kind == Expr::Kind::Column) {
        int s = e.column.boundSource;
        if (s < 0 || s >= static_cast<int>(kRowSlots) ||
            row.sources[static_cast<size_t>(s)] == nullptr) {
            throw Error(ErrorKind::Internal, errnum::kInternal,
                        "Column '" + e.column.display() + "' was not bound");
        }
        const auto& values = *row.sources[static_cast<size_t>(s)];
        if (e.column.boundColumn >= values.size()) {
            throw Error(ErrorKind::Internal, errnum::kInternal, "Row shorter than its table");
        }
        return values[e.column.boundColumn];
    }
    scratch = value(e, row);
    return scratch;
}

Value Evaluator::value(const Expr& e, const RowContext& row) const {
    switch (e.kind) {
        case Expr::Kind::Literal:
        case Expr::Kind::Column: {
            Value scratch;
            return operand(e, row, scratch);
        }
        case Expr::Kind::Concat: {
            Value sa, sb;
            const Value& a = operand(*e.args[0], row, sa);
            const Value& b = operand(*e.args[1], row, sb);
            if (a.isNull() && b.isNull()) return Value::null();
            return Value::text(textForm(a) + textForm(b));
        }
        case Expr::Kind::Arith: {
            Value sa, sb;
            const Value& a = operand(*e.args[0], row, sa);
            const Value& b = operand(*e.args[1], row, sb);
            return arithmetic(e.arith, a, b);
        }
        case Expr::Kind::Negate: {
            Value sa;
            return negate(operand(*e.args[0], row, sa));
        }
        case Expr::Kind::Subquery: {
            const std::vector<Value>& rows = subqueryRows(e, row);
            if (rows.empty()) return Value::null();
            if (rows.size() > 1)
                throw Error(ErrorKind::Type, kSubqueryRows,
                            "At most one record can be returned by this subquery.");
            return rows[0];
        }
        case Expr::Kind::Call: {
            if (row.aggregates) {
                if (auto it = row.aggregates->find(&e); it != row.aggregates->end())
                    return it->second;
            }
            if (isAggregateName(e.function))
                throw Error(ErrorKind::Internal, errnum::kInternal,
                            "Aggregate '" + e.function + "' outside a grouped query");
            if (e.function == "iif") {
                Truth t = test(*e.args[0], row);
                return value(*e.args[t == Truth::True ? 1 : 2], row);
            }
            if (e.function == "nz") {
                Value v = value(*e.args[0], row);
                if (!v.isNull()) return v;
                return e.args.size() > 1 ? value(*e.args[1], row) : Value::text("");
            }
            std::vector<Value> args;
            args.reserve(e.args.size());
            for (const auto& a : e.args) args.push_back(value(*a, row));
            return callScalar(e.function, args);
        }
        default: {
            Truth t = test(e, row);
            if (t == Truth::Unknown) return Value::null();
            return Value(Value::Storage(t == Truth::True));
        }
    }
}

const std::vector<Value>& Evaluator::subqueryRows(const Expr& e, const RowContext& row) const {
    if (!subqueries_ || !e.subquery)
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "A subquery is not supported here.");
    return subqueries_->firstColumn(*e.subquery, row);
}

Truth Evaluator::compareTruth(CompareOp op, const Value& a, const Value& b) const {
    if (a.isNull() || b.isNull()) return Truth::Unknown;
    const int c = compare(a, b);
    bool r = false;
    switch (op) {
        case CompareOp::Eq:
            r = c == 0;
            break;
        case CompareOp::Ne:
            r = c != 0;
            break;
        case CompareOp::Lt:
            r = c < 0;
            break;
        case CompareOp::Gt:
            r = c > 0;
            break;
        case CompareOp::Le:
            r = c <= 0;
            break;
        case CompareOp::Ge:
            r = c >= 0;
            break;
    }
    return r ? Truth::True : Truth::False;
}

// v = c1 OR v = c2 ...: True on a match, else Unknown when v or a candidate is Null.
Truth Evaluator::equalsAny(const Value& v, const std::vector<Value>& candidates) const {
    if (v.isNull()) return candidates.empty() ? Truth::False : Truth::Unknown;
    Truth out = Truth::False;
    for (const Value& c : candidates) {
        const Truth t = compareTruth(CompareOp::Eq, v, c);
        if (t == Truth::True) return t;
        if (t == Truth::Unknown) out = t;
    }
    return out;
}

Truth Evaluator::test(const Expr& e, const RowContext& row) const {
    switch (e.kind) {
        case Expr::Kind::In: {
            Value sv;
            const Value& v = operand(*e.args[0], row, sv);
            Truth t;
            if (e.subquery) {
                t = equalsAny(v, subqueryRows(e, row));
            } else {
                std::vector<Value> list;
                list.reserve(e.args.size() - 1);
                for (size_t i = 1; i < e.args.size(); ++i) list.push_back(value(*e.args[i], row));
                t = equalsAny(v, list);
            }
            if (!e.negated || t == Truth::Unknown) return t;
            return t == Truth::True ? Truth::False : Truth::True;
        }
        case Expr::Kind::Between: {
            Value sv, sl, sh;
            const Value& v = operand(*e.args[0], row, sv);
            const Value& lo = operand(*e.args[1], row, sl);
            const Value& hi = operand(*e.args[2], row, sh);
            const Truth a = compareTruth(CompareOp::Ge, v, lo);
            const Truth b = compareTruth(CompareOp::Le, v, hi);
            Truth t = Truth::Unknown;
            if (a == Truth::False || b == Truth::False) {
                t = Truth::False;
            } else if (a == Truth::True && b == Truth::True) {
                t = Truth::True;
            }
            if (!e.negated || t == Truth::Unknown) return t;
            return t == Truth::True ? Truth::False : Truth::True;
        }
        case Expr::Kind::Exists:
            return subqueryRows(e, row).empty() ? Truth::False : Truth::True;
        case Expr::Kind::And: {
            Truth a = test(*e.args[0], row);
            if (a == Truth::False) return Truth::False;
            Truth b = test(*e.args[1], row);
            if (b == Truth::False) return Truth::False;
            return (a == Truth::True && b == Truth::True) ? Truth::True : Truth::Unknown;
        }
        case Expr::Kind::Or: {
            Truth a = test(*e.args[0], row);
            if (a == Truth::True) return Truth::True;
            Truth b = test(*e.args[1], row);
            if (b == Truth::True) return Truth::True;
            return (a == Truth::False && b == Truth::False) ? Truth::False : Truth::Unknown;
        }
        case Expr::Kind::Not: {
            Truth a = test(*e.args[0], row);
            return a == Truth::Unknown ? a : (a == Truth::True ? Truth::False : Truth::True);
        }
        case Expr::Kind::IsNull: {
            Value scratch;
            bool null = operand(*e.args[0], row, scratch).isNull();
            return null != e.negated ? Truth::True : Truth::False;
        }
        case Expr::Kind::Like: {
            Value sv, sp;
            const Value& v = operand(*e.args[0], row, sv);
            const Value& p = operand(*e.args[1], row, sp);
            if (v.isNull() || p.isNull()) return Truth::Unknown;
            bool m = likeMatch(v.is<Text>() ? v.get<Text>().utf8 : textForm(v),
                               p.is<Text>() ? p.get<Text>().utf8 : textForm(p));
            return m != e.negated ? Truth::True : Truth::False;
        }
        case Expr::Kind::Compare: {
            Value sa, sb;
            const Value& a = operand(*e.args[0], row, sa);
            const Value& b = operand(*e.args[1], row, sb);
            return compareTruth(e.op, a, b);
        }
        case Expr::Kind::Literal:
        case Expr::Kind::Column:
        case Expr::Kind::Concat:
        case Expr::Kind::Arith:
        case Expr::Kind::Negate:
        case Expr::Kind::Subquery:
        case Expr::Kind::Call: {
            // A bare value as a condition: Null is unknown, zero false, anything else true.
            Value scratch;
            const Value& v = operand(e, row, scratch);
            if (v.isNull()) return Truth::Unknown;
            auto n = numericValue(v);
            if (!n) {
                if (!v.is<Text>()) throwTypeMismatch();
                n = parseNumber(v.get<Text>().utf8);
                if (!n) throwTypeMismatch();
            }
            return *n != 0 ? Truth::True : Truth::False;
        }
    }
    return Truth::Unknown;
}

}  // namespace jet::sql
