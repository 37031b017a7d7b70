#include "jet/sql/functions.h"

#include <cmath>
#include <ctime>
#include <limits>

#include "base/ole_date.h"
#include "base/text.h"
#include "base/utf8.h"
#include "jet/error.h"
#include "jet/sql/format_function.h"
#include "jet/sql/value_forms.h"

namespace jet::sql {
namespace {

constexpr long kInvalidArgument = 5;  // "Invalid procedure call or argument."

struct Signature {
    const char* name;
    size_t minArgs;
    size_t maxArgs;
};

constexpr Signature kFunctions[] = {
    {"len", 1, 1},    {"left", 2, 2}, {"right", 2, 2}, {"mid", 2, 3},    {"ucase", 1, 1},
    {"lcase", 1, 1},  {"trim", 1, 1}, {"nz", 1, 2},    {"iif", 3, 3},    {"cstr", 1, 1},
    {"clng", 1, 1},   {"now", 0, 0},  {"date", 0, 0},  {"count", 1, 1},  {"sum", 1, 1},
    {"min", 1, 1},    {"max", 1, 1},  {"avg", 1, 1},   {"isnull", 1, 1}, {"instr", 2, 4},
    {"format", 1, 2},
};

[[noreturn]] void invalidArgument() {
    throw Error(ErrorKind::Type, kInvalidArgument, "Invalid procedure call or argument.");
}

[[noreturn]] void invalidNull() {
    throw Error(ErrorKind::Type, errnum::kInvalidUseOfNull, "Invalid use of Null.");
}

// Text as Jet holds it: UTF-16 units, so a character beyond U+FFFF counts two, as Access's
// Len, Mid and InStr count it.
std::u16string utf16(const std::string& s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const char32_t c = tdv::base::nextUtf8(s, i);
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// Back to UTF-8; half of a pair that a cut left alone becomes U+FFFD.
std::string utf8(std::u16string_view s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            tdv::base::appendUtf8(out, 0x10000 + ((static_cast<uint32_t>(c) - 0xD800) << 10) +
                                           (static_cast<uint32_t>(s[i + 1]) - 0xDC00));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            tdv::base::appendUtf8(out, tdv::base::kReplacementChar);
        } else {
            tdv::base::appendUtf8(out, c);
        }
    }
    return out;
}

// Units [from, from + count) of s (clamped to the text).
std::string characters(const std::string& s, size_t from, size_t count) {
    const std::u16string u = utf16(s);
    if (from >= u.size()) return {};
    return utf8(std::u16string_view(u).substr(from, count));
}

// Case folding of one UTF-16 unit for InStr's text comparison (Latin, Greek, Cyrillic).
char16_t foldUnit(char16_t c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    if (c >= 0x100 && c <= 0x17F && c % 2 == 0) return static_cast<char16_t>(c + 1);
    if (c >= 0x391 && c <= 0x3A9) return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 80);
    return c;
}

std::string textOf(const Value& v) {
    return v.is<Text>() ? v.get<Text>().utf8 : textForm(v);
}

long double numberOf(const Value& v) {
    if (v.isNull()) invalidNull();
    if (auto n = numericValue(v)) return *n;
    if (v.is<Text>()) {
        if (auto n = parseNumber(v.get<Text>().utf8)) return *n;
    }
    throwTypeMismatch();
}

size_t countOf(const Value& v) {
    long double n = std::round(numberOf(v));
    if (!(n >= 0)) invalidArgument();  // NaN too
    return n > 1e9L ? size_t{1000000000} : static_cast<size_t>(n);
}

// Changes the case of ASCII and Latin-1 letters; other characters stay as they are.
std::string changeCase(const std::string& s, bool upper) {
    std::string out = s;
    for (size_t i = 0; i < out.size(); ++i) {
        auto c = static_cast<unsigned char>(out[i]);
        if (upper && c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
        if (!upper && c >= 'A' && c <= 'Z') out[i] = static_cast<char>(c + 32);
        // U+00C0..U+00DE and U+00E0..U+00FE (not U+00D7, U+00F7) are C3 80..9E / C3 A0..BE.
        if (c == 0xC3 && i + 1 < out.size()) {
            auto d = static_cast<unsigned char>(out[i + 1]);
            if (upper && d >= 0xA0 && d <= 0xBE && d != 0xB7)
                out[i + 1] = static_cast<char>(d - 32);
            if (!upper && d >= 0x80 && d <= 0x9E && d != 0x97)
                out[i + 1] = static_cast<char>(d + 32);
            ++i;
        }
    }
    return out;
}

// CLng: rounds half to even, as Jet's conversion does.
Value toLong(const Value& v) {
    long double n = numberOf(v);
    long double r = std::nearbyint(n);
    if (std::fabs(n - std::trunc(n)) == 0.5L) r = 2 * std::round(n / 2);
    if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
        throw Error(ErrorKind::Type, errnum::kOverflow, "Overflow.");
    return Value(Value::Storage(static_cast<int32_t>(r)));
}

double oleNow() {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    // Days from 1899-12-30 (Jet's day 0) to the local calendar date, plus the time of day.
    const int64_t unixDays =
        tdv::base::daysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                 static_cast<unsigned>(local.tm_mday));
    return static_cast<double>(unixDays + tdv::base::kOleEpochToUnixDays) +
           (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

}  // namespace

bool isAggregateName(const std::string& lowerName) {
    return lowerName == "count" || lowerName == "sum" || lowerName == "min" || lowerName == "max" ||
           lowerName == "avg";
}

bool containsAggregate(const Expr& e) {
    if (e.kind == Expr::Kind::Call && isAggregateName(e.function)) return true;
    for (const auto& a : e.args) {
        if (containsAggregate(*a)) return true;
    }
    return false;
}

void checkCall(const Expr& call) {
    for (const Signature& f : kFunctions) {
        if (call.function != f.name) continue;
        const size_t n = call.star ? 1 : call.args.size();
        if (n < f.minArgs || n > f.maxArgs)
            throw Error(ErrorKind::Syntax, errnum::kSyntax,
                        "Wrong number of arguments used with function in query expression '" +
                            call.column.column + "'.");
        if (isAggregateName(call.function)) {
            for (const auto& a : call.args) {
                if (containsAggregate(*a))
                    throw Error(ErrorKind::Syntax, errnum::kAggregateInExpression,
                                "Cannot have aggregate function in expression (" +
                                    call.column.column + ").");
            }
        }
        return;
    }
    // Functions Access's SQL knows that this engine does not evaluate are refused as such,
    // not as unknown names.
    static constexpr std::string_view kNotEvaluated[] = {
        "first",      "last",      "stdev",     "stdevp",    "var",         "varp",
        "switch",     "choose",    "val",       "str",       "int",         "fix",
        "abs",        "sgn",       "sqr",       "round",     "cint",        "cdbl",
        "csng",       "ccur",      "cdate",     "cbool",     "cbyte",       "cvar",
        "cdec",       "datepart",  "dateadd",   "datediff",  "dateserial",  "datevalue",
        "timeserial", "timevalue", "year",      "month",     "day",         "hour",
        "minute",     "second",    "weekday",   "monthname", "weekdayname", "time",
        "ltrim",      "rtrim",     "space",     "string",    "strcomp",     "strconv",
        "replace",    "instrrev",  "asc",       "chr",       "hex",         "oct",
        "isnumeric",  "isdate",    "partition", "dlookup",   "dcount",      "dsum"};
    for (std::string_view name : kNotEvaluated) {
        if (call.function == name)
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        "The function '" + call.column.column + "' is not supported.");
    }
    throw Error(ErrorKind::Syntax, errnum::kUndefinedFunction,
                "Undefined function '" + call.column.column + "' in expression.");
}

Value nowValue() {
    return Value(Value::Storage(DateTime{oleNow()}));
}

Value todayValue() {
    return Value(Value::Storage(DateTime{std::floor(oleNow())}));
}

// InStr([start, ]text, sought[, compare]): the 1-based unit position of sought in text from
// start, 0 when absent; compare 0 matches case exactly, otherwise (the default in Access's
// SQL, which compares as text) without regard to case.
static Value inStr(const std::vector<Value>& args) {
    size_t start = 1;
    size_t first = 0;
    if (args.size() >= 3) {
        if (args[0].isNull()) invalidNull();
        const long double n = std::round(numberOf(args[0]));
        if (!(n >= 1 && n <= 2147483647.0L)) invalidArgument();
        start = static_cast<size_t>(n);
        first = 1;
    }
    bool binary = false;
    if (args.size() == 4) {
        if (args[3].isNull()) invalidNull();
        const long double c = std::round(numberOf(args[3]));
        if (c != 0 && c != 1 && c != 2) invalidArgument();
        binary = c == 0;
    }
    if (args[first].isNull() || args[first + 1].isNull()) return Value::null();
    std::u16string text = utf16(textOf(args[first]));
    std::u16string sought = utf16(textOf(args[first + 1]));
    if (start > text.size()) return Value(Value::Storage(int32_t{0}));
    if (sought.empty()) return Value(Value::Storage(static_cast<int32_t>(start)));
    if (!binary) {
        for (char16_t& c : text) c = foldUnit(c);
        for (char16_t& c : sought) c = foldUnit(c);
    }
    const size_t at = text.find(sought, start - 1);
    return Value(Value::Storage(static_cast<int32_t>(at == std::u16string::npos ? 0 : at + 1)));
}

Value callScalar(const std::string& f, const std::vector<Value>& args) {
    if (f == "isnull") return Value(Value::Storage(args[0].isNull()));
    if (f == "instr") return inStr(args);
    if (f == "format") return formatValue(args[0], args.size() > 1 ? &args[1] : nullptr);
    if (f == "now") return nowValue();
    if (f == "date") return todayValue();
    if (f == "cstr") {
        if (args[0].isNull()) invalidNull();
        if (args[0].is<bool>()) return Value::text(args[0].get<bool>() ? "True" : "False");
        return Value::text(textOf(args[0]));
    }
    if (f == "clng") return toLong(args[0]);
    if (args[0].isNull()) {
        // A Null text gives Null; a Null count or start is still an error.
        for (size_t i = 1; i < args.size(); ++i) {
            if (args[i].isNull()) invalidNull();
        }
        return Value::null();
    }
    const std::string s = textOf(args[0]);
    if (f == "len") return Value(Value::Storage(static_cast<int32_t>(utf16(s).size())));
    if (f == "ucase" || f == "lcase") return Value::text(changeCase(s, f == "ucase"));
    if (f == "trim") return Value::text(tdv::base::trimSpaces(s));
    if (f == "left") return Value::text(characters(s, 0, countOf(args[1])));
    if (f == "right") {
        const size_t n = countOf(args[1]), total = utf16(s).size();
        return Value::text(characters(s, n >= total ? 0 : total - n, n));
    }
    if (f == "mid") {
        const long double start = std::round(numberOf(args[1]));
        if (!(start >= 1)) invalidArgument();
        const size_t from = start > 1e9L ? size_t{1000000000} : static_cast<size_t>(start) - 1;
        return Value::text(characters(s, from, args.size() > 2 ? countOf(args[2]) : SIZE_MAX));
    }
    throw Error(ErrorKind::Internal, errnum::kInternal, "Function '" + f + "' has no evaluation");
}

}  // namespace jet::sql
