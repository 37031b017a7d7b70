#include "jet/sql/format_function.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "base/ole_date.h"
#include "base/text.h"
#include "jet/error.h"
#include "jet/sql/parser.h"
#include "jet/sql/value_forms.h"

namespace jet::sql {
namespace {

constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

[[noreturn]] void unsupportedFormat(const std::string& format) {
    throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                "The format '" + format + "' is not supported.");
}

struct DateParts {
    int64_t year = 1899;
    unsigned month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    int weekday = 0;    // 0 = Sunday
    int dayOfYear = 1;  // 1 = 1 January
};

DateParts partsOf(double days) {
    DateParts p;
    double whole = std::floor(days);
    double fraction = days - whole;
    if (days < 0) {  // before the epoch the time still counts forward from midnight
        whole = std::ceil(days);
        fraction = whole - days;
    }
    const auto wholeDays = static_cast<int64_t>(whole);
    tdv::base::civilFromDays(wholeDays - tdv::base::kOleEpochToUnixDays, p.year, p.month, p.day);
    auto secs = static_cast<int64_t>(std::llround(fraction * 86400.0));
    if (secs >= 86400) secs = 86399;
    p.hour = static_cast<int>(secs / 3600);
    p.minute = static_cast<int>(secs / 60 % 60);
    p.second = static_cast<int>(secs % 60);
    // Day 0 (30 December 1899) was a Saturday.
    p.weekday = static_cast<int>(((wholeDays + 6) % 7 + 7) % 7);
    p.dayOfYear = static_cast<int>(tdv::base::daysFromCivil(p.year, p.month, p.day) -
                                   tdv::base::daysFromCivil(p.year, 1, 1)) +
                  1;
    return p;
}

std::string twoDigits(int64_t n) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%02lld", static_cast<long long>(n));
    return buf;
}

bool startsWithNoCase(const std::string& s, size_t i, std::string_view word) {
    return s.size() - i >= word.size() &&
           tdv::base::equalsIgnoringCase(std::string_view(s).substr(i, word.size()), word);
}

// Whether a format holds an AM/PM marker (the hours then run 1 to 12).
bool hasMarker(const std::string& f) {
    const std::string lower = tdv::base::asciiLower(f);
    return lower.find("am/pm") != std::string::npos || lower.find("a/p") != std::string::npos;
}

// Applies date and time placeholders. Letters that are not placeholders are refused.
std::string formatDate(double days, const std::string& f) {
    const DateParts p = partsOf(days);
    const bool twelveHours = hasMarker(f);
    std::string out;
    bool afterHour = false;
    size_t i = 0;
    auto run = [&](char c) {
        size_t n = 0;
        while (i + n < f.size() && std::tolower(static_cast<unsigned char>(f[i + n])) == c) ++n;
        return n;
    };
    while (i < f.size()) {
        const char c = f[i];
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (startsWithNoCase(f, i, "am/pm") || startsWithNoCase(f, i, "a/p")) {
            const bool full = startsWithNoCase(f, i, "am/pm");
            const bool upper = c == 'A';
            std::string mark = p.hour < 12 ? (full ? "AM" : "A") : (full ? "PM" : "P");
            if (!upper) mark = tdv::base::asciiLower(mark);
            out += mark;
            i += full ? 5 : 3;
            continue;
        }
        if (lower == 'd' || lower == 'm' || lower == 'y' || lower == 'h' || lower == 'n' ||
            lower == 's' || lower == 'q') {
            const size_t n = run(lower);
            i += n;
            if (lower == 'd') {
                if (n == 1) out += std::to_string(p.day);
                if (n == 2) out += twoDigits(p.day);
                if (n == 3) out += std::string(kDays[p.weekday]).substr(0, 3);
                if (n == 4) out += kDays[p.weekday];
                if (n > 4) unsupportedFormat(f);
            } else if (lower == 'm' && afterHour && n <= 2) {
                out += n == 1 ? std::to_string(p.minute) : twoDigits(p.minute);
            } else if (lower == 'm') {
                if (n == 1) out += std::to_string(p.month);
                if (n == 2) out += twoDigits(p.month);
                if (n == 3) out += std::string(kMonths[p.month - 1]).substr(0, 3);
                if (n == 4) out += kMonths[p.month - 1];
                if (n > 4) unsupportedFormat(f);
            } else if (lower == 'y') {
                if (n == 1) out += std::to_string(p.dayOfYear);
                if (n == 2) out += twoDigits(p.year % 100);
                if (n == 3 || n > 4) unsupportedFormat(f);
                if (n == 4) out += std::to_string(p.year);
            } else if (lower == 'h' || lower == 'n' || lower == 's') {
                if (n > 2) unsupportedFormat(f);
                int v = lower == 'h' ? p.hour : (lower == 'n' ? p.minute : p.second);
                if (lower == 'h' && twelveHours) v = p.hour % 12 == 0 ? 12 : p.hour % 12;
                out += n == 1 ? std::to_string(v) : twoDigits(v);
            } else {  // q
                if (n > 1) unsupportedFormat(f);
                out += std::to_string((p.month - 1) / 3 + 1);
            }
            afterHour = lower == 'h';
            continue;
        }
        if (c == '"') {
            const size_t close = f.find('"', i + 1);
            if (close == std::string::npos) unsupportedFormat(f);
            out += f.substr(i + 1, close - i - 1);
            i = close + 1;
            continue;
        }
        if (c == '\\') {
            if (i + 1 < f.size()) out += f[i + 1];
            i += 2;
            continue;
        }
        if (std::isalpha(static_cast<unsigned char>(c))) unsupportedFormat(f);
        out += c;
        ++i;
    }
    return out;
}

// Digits of |value| rounded half away from zero to `decimals` places: the whole part and
// exactly `decimals` fraction digits. The value counts with its first `significant` digits,
// as Access formats a Double from its 15 digits, so a long format shows zeros, not the
// binary fraction's expansion. Works on the digits as text, so no format overflows it.
std::pair<std::string, std::string> roundedDigits(long double value, int decimals,
                                                  int significant) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Le", significant - 1, std::fabs(value));
    const std::string text = buf;  // d.ddd...e+XX
    const size_t e = text.find('e');
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    const long point = std::strtol(text.c_str() + e + 1, nullptr, 10) + 1;  // digits before '.'
    std::string whole, fraction;
    if (point <= 0) {
        whole = "0";
        fraction = std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (static_cast<size_t>(point) >= digits.size()) {
        whole = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        whole = digits.substr(0, static_cast<size_t>(point));
        fraction = digits.substr(static_cast<size_t>(point));
    }
    const auto places = static_cast<size_t>(decimals);
    if (fraction.size() <= places) {
        fraction.append(places - fraction.size(), '0');
        return {whole, fraction};
    }
    const bool up = fraction[places] >= '5';
    fraction.resize(places);
    if (up) {
        std::string all = whole + fraction;
        size_t i = all.size();
        while (i > 0 && all[i - 1] == '9') all[--i] = '0';
        if (i == 0) {
            all.insert(0, 1, '1');
        } else {
            ++all[i - 1];
        }
        whole = all.substr(0, all.size() - places);
        fraction = all.substr(all.size() - places);
    }
    return {whole, fraction};
}

std::string grouped(const std::string& digits) {
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

// Applies the number placeholders 0 # . , % to a value.
std::string formatNumber(long double value, const std::string& f, int significant) {
    std::string prefix, suffix;
    size_t first = std::string::npos, last = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] == '0' || f[i] == '#' || f[i] == '.') {
            if (first == std::string::npos) first = i;
            last = i;
        }
    }
    bool percent = false;
    auto literalPart = [&](size_t from, size_t to, std::string& out) {
        for (size_t i = from; i < to; ++i) {
            const char c = f[i];
            if (c == '"') {
                const size_t close = f.find('"', i + 1);
                if (close == std::string::npos || close >= to) unsupportedFormat(f);
                out += f.substr(i + 1, close - i - 1);
                i = close;
            } else if (c == '\\') {
                if (i + 1 < to) out += f[++i];
            } else if (c == '%') {
                percent = true;
                out += c;
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == ';' || c == '@' ||
                       c == '&' || c == '<' || c == '>' || c == '!' || c == ',') {
                unsupportedFormat(f);
            } else {
                out += c;
            }
        }
    };
    if (first == std::string::npos) {
        literalPart(0, f.size(), prefix);
        return prefix;
    }
    literalPart(0, first, prefix);
    literalPart(last + 1, f.size(), suffix);
    int minInteger = 0, decimals = 0, minDecimals = 0;
    bool point = false, thousands = false;
    for (size_t i = first; i <= last; ++i) {
        const char c = f[i];
        if (c == '.') {
            if (point) unsupportedFormat(f);
            point = true;
        } else if (c == ',') {
            thousands = true;
        } else if (c == '0' || c == '#') {
            if (point) {
                ++decimals;
                if (c == '0') minDecimals = decimals;
            } else if (c == '0') {
                ++minInteger;
            }
        } else {
            unsupportedFormat(f);
        }
    }
    if (percent) value *= 100;
    auto [whole, fraction] = roundedDigits(value, decimals, significant);
    while (fraction.size() > static_cast<size_t>(minDecimals) && fraction.back() == '0')
        fraction.pop_back();
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (whole.size() < static_cast<size_t>(minInteger))
        whole.insert(0, static_cast<size_t>(minInteger) - whole.size(), '0');
    if (thousands) whole = grouped(whole);
    std::string body = whole;
    if (point) body += "." + fraction;
    return (value < 0 ? "-" : "") + prefix + body + suffix;
}

std::string scientific(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2LE", v);
    std::string s = buf;  // 1.23E+03
    return s;
}

// A value as a number to format, with the significant digits its type holds: a Single
// 7, a Currency all 19, anything else a Double's 15. Values beyond a Double's range (text
// such as "1e400", damaged stored values) are not numbers here and show as they are.
struct Number {
    long double value = 0;
    int significant = 15;
};

std::optional<Number> numberFor(const Value& v) {
    std::optional<long double> n = numericValue(v);
    if (!n && v.is<Text>()) n = parseNumber(v.get<Text>().utf8);
    if (!n || !std::isfinite(*n) || std::fabs(*n) > std::numeric_limits<double>::max())
        return std::nullopt;
    if (v.is<float>()) return Number{*n, 7};
    if (v.is<Currency>()) return Number{*n, 19};
    return Number{*n, 15};
}

// Days of Jet's date range, 1 January 100 to 31 December 9999.
constexpr double kFirstDay = -657434.0;
constexpr double kPastLastDay = 2958466.0;

// The value as a date; a number outside the range of dates is an overflow, as converting it
// to a date is in Access.
std::optional<double> dateFor(const Value& v) {
    std::optional<double> days;
    if (v.is<DateTime>()) days = v.get<DateTime>().days;
    if (!days && v.is<Text>()) {
        DateTime d;
        if (parseDateLiteral(v.get<Text>().utf8, d)) days = d.days;
    }
    if (!days) {
        const auto n = numberFor(v);
        if (!n) return std::nullopt;
        days = static_cast<double>(n->value);
    }
    if (!(*days >= kFirstDay && *days < kPastLastDay))
        throw Error(ErrorKind::Type, errnum::kOverflow, "Overflow.");
    return days;
}

std::string plainText(const Value& v) {
    if (v.is<bool>()) return v.get<bool>() ? "True" : "False";
    return textForm(v);
}

bool isDateFormat(const std::string& f) {
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(f[i])));
        if (c == '"') {
            const size_t close = f.find('"', i + 1);
            if (close == std::string::npos) return false;
            i = close;
        } else if (c == '\\') {
            ++i;
        } else if (c == 'd' || c == 'm' || c == 'y' || c == 'h' || c == 'n' || c == 's' ||
                   c == 'q') {
            return true;
        }
    }
    return false;
}

std::string named(const Value& v, const std::string& name, bool& done) {
    done = true;
    const std::string lower = tdv::base::asciiLower(name);
    const auto n = numberFor(v);
    if (lower == "general number")
        return n ? formatNumber(n->value, "0.##############", n->significant) : plainText(v);
    if (lower == "currency" || lower == "fixed" || lower == "standard" || lower == "percent" ||
        lower == "scientific" || lower == "yes/no" || lower == "true/false" || lower == "on/off") {
        if (!n) return plainText(v);
        const long double x = n->value;
        const int digits = n->significant;
        if (lower == "currency") {
            const std::string s = formatNumber(std::fabs(x), "#,##0.00", digits);
            return x < 0 ? "($" + s + ")" : "$" + s;
        }
        if (lower == "fixed") return formatNumber(x, "0.00", digits);
        if (lower == "standard") return formatNumber(x, "#,##0.00", digits);
        if (lower == "percent") return formatNumber(x, "0.00%", digits);
        if (lower == "scientific") return scientific(x);
        const bool on = x != 0;
        if (lower == "yes/no") return on ? "Yes" : "No";
        if (lower == "true/false") return on ? "True" : "False";
        return on ? "On" : "Off";
    }
    if (lower == "general date" || lower == "long date" || lower == "medium date" ||
        lower == "short date" || lower == "long time" || lower == "medium time" ||
        lower == "short time") {
        const auto d = dateFor(v);
        if (!d) return plainText(v);
        if (lower == "general date") return textForm(Value(Value::Storage(DateTime{*d})));
        if (lower == "long date") return formatDate(*d, "dddd, mmmm d, yyyy");
        if (lower == "medium date") return formatDate(*d, "dd-mmm-yy");
        if (lower == "short date") return formatDate(*d, "m/d/yyyy");
        if (lower == "long time") return formatDate(*d, "h:nn:ss AM/PM");
        if (lower == "medium time") return formatDate(*d, "hh:nn AM/PM");
        return formatDate(*d, "hh:nn");
    }
    done = false;
    return {};
}

}  // namespace

Value formatValue(const Value& value, const Value* format) {
    if (value.isNull()) return Value::null();
    if (!format || format->isNull()) return Value::text(plainText(value));
    const std::string f = format->is<Text>() ? format->get<Text>().utf8 : textForm(*format);
    if (f.empty()) return Value::text(plainText(value));
    bool done = false;
    std::string out = named(value, f, done);
    if (done) return Value::text(out);
    if (f.find(';') != std::string::npos) unsupportedFormat(f);
    if (isDateFormat(f)) {
        const auto d = dateFor(value);
        if (!d) return Value::text(plainText(value));
        return Value::text(formatDate(*d, f));
    }
    const auto n = numberFor(value);
    if (!n) return Value::text(plainText(value));
    return Value::text(formatNumber(n->value, f, n->significant));
}

}  // namespace jet::sql
