#include "jet/sql/value_forms.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/ole_date.h"
#include "base/text.h"
#include "jet/error.h"

namespace jet::sql {

namespace {

long double decimalValue(const Decimal& d) {
    long double v = 0;
    for (int i = 2; i >= 0; --i) v = v * 4294967296.0L + d.mantissa[static_cast<size_t>(i)];
    for (int i = 0; i < d.scale; ++i) v /= 10;
    return d.negative ? -v : v;
}

std::string trimmedZeros(std::string s) {
    if (s.find('.') == std::string::npos) return s;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string formatGeneral(long double v, int digits) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*Lg", digits, v);
    std::string s(buf);
    size_t e = s.find('e');
    if (e != std::string::npos) s[e] = 'E';
    return s;
}

std::string dateText(double days) {
    double whole = std::floor(days);
    double fraction = std::fabs(days - whole);
    if (days < 0) {  // before the epoch the fraction still counts forward from midnight
        whole = std::ceil(days);
        fraction = std::fabs(days - whole);
    }
    int64_t y;
    unsigned m, d;
    tdv::base::civilFromDays(static_cast<int64_t>(whole) - tdv::base::kOleEpochToUnixDays, y, m, d);
    auto secs = static_cast<int64_t>(std::llround(fraction * 86400.0));
    if (secs >= 86400) secs = 86399;
    std::string out;
    char buf[64];
    if (whole != 0) {
        std::snprintf(buf, sizeof buf, "%d/%d/%d", static_cast<int>(m), static_cast<int>(d),
                      static_cast<int>(y));
        out = buf;
    }
    if (secs != 0 || whole == 0) {
        int64_t h = secs / 3600;
        int h12 = static_cast<int>(h % 12 == 0 ? 12 : h % 12);
        std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", h12, static_cast<int>(secs / 60 % 60),
                      static_cast<int>(secs % 60), h < 12 ? "AM" : "PM");
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out;
}

}  // namespace

[[noreturn]] void throwTypeMismatch() {
    throw Error(ErrorKind::Type, errnum::kType, "Data type mismatch in criteria expression.");
}

std::optional<long double> numericValue(const Value& v) {
    return std::visit(
        [](const auto& x) -> std::optional<long double> {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, bool>) {
                return x ? -1.0L : 0.0L;
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t> || std::is_same_v<T, float> ||
                                 std::is_same_v<T, double>) {
                return static_cast<long double>(x);
            } else if constexpr (std::is_same_v<T, Currency>) {
                return static_cast<long double>(x.scaled) / 10000.0L;
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return static_cast<long double>(x.days);
            } else if constexpr (std::is_same_v<T, Decimal>) {
                return decimalValue(x);
            } else {
                return std::nullopt;
            }
        },
        v.storage());
}

std::optional<long double> parseNumber(std::string_view text) {
    const std::string s = tdv::base::trimSpaces(text);
    if (s.empty() || s.size() > 100) return std::nullopt;
    for (char c : s) {
        bool ok =
            (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
        if (!ok) return std::nullopt;
    }
    char* end = nullptr;
    long double v = std::strtold(s.c_str(), &end);
    if (end != s.c_str() + s.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string textForm(const Value& v) {
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return "";
            } else if constexpr (std::is_same_v<T, bool>) {
                return x ? "-1" : "0";  // Jet holds Yes/No as -1 / 0
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t>) {
                return std::to_string(x);
            } else if constexpr (std::is_same_v<T, Currency>) {
                return trimmedZeros(formatCurrency(x));
            } else if constexpr (std::is_same_v<T, float>) {
                return formatGeneral(x, 7);
            } else if constexpr (std::is_same_v<T, double>) {
                return formatGeneral(x, 15);
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return dateText(x.days);
            } else if constexpr (std::is_same_v<T, Text>) {
                return x.utf8;
            } else if constexpr (std::is_same_v<T, Bytes>) {
                return std::string(x.begin(), x.end());
            } else if constexpr (std::is_same_v<T, Guid>) {
                return formatGuid(x);
            } else {
                return trimmedZeros(formatDecimal(x));
            }
        },
        v.storage());
}

}  // namespace jet::sql
