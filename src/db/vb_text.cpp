#include "db/vb_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/ole_date.h"
#include "db/db_error.h"
#include "jet/value.h"

namespace tdv::db {
namespace {

// printf's %G with the runtime's number of significant digits gives exactly the runtime's
// forms ("0.1", "1.23456789012346E+15", "1E-05"); only a negative zero needs care.
std::string generalForm(double d, int digits) {
    if (d == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, d);
    return buf;
}

std::string stripFractionZeros(std::string s) {
    if (s.find('.') == std::string::npos) return s;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

using base::kOleEpochToUnixDays;
constexpr double kMinOleDate = -657434.0;  // 1/1/100
constexpr double kMaxOleDate = 2958466.0;  // 1/1/10000, exclusive

std::string skipSpaces(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return std::string(s.substr(b, e - b));
}

std::optional<double> parseRadixInteger(const std::string& digits, int radix) {
    if (digits.empty() || digits.size() > 16) return std::nullopt;
    uint64_t v = 0;
    for (char c : digits) {
        int dv;
        if (c >= '0' && c <= '9')
            dv = c - '0';
        else if (c >= 'a' && c <= 'f')
            dv = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            dv = c - 'A' + 10;
        else
            return std::nullopt;
        if (dv >= radix) return std::nullopt;
        v = v * static_cast<uint64_t>(radix) + static_cast<uint64_t>(dv);
    }
    // &H literals of up to 8 digits are 32-bit two's complement, as the runtime reads them.
    if (v <= 0xFFFFFFFFu && v > 0x7FFFFFFFu) return static_cast<double>(static_cast<int32_t>(v));
    return static_cast<double>(v);
}

}  // namespace

std::string vbTextOfDouble(double d) {
    return generalForm(d, 15);
}

std::string vbTextOfSingle(float f) {
    return generalForm(static_cast<double>(f), 7);
}

std::string vbTextOfCurrency(int64_t scaled) {
    const bool negative = scaled < 0;
    const uint64_t mag =
        negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string s = std::to_string(mag / 10000);
    char frac[8];
    std::snprintf(frac, sizeof frac, "%04u", static_cast<unsigned>(mag % 10000));
    s = stripFractionZeros(s + "." + frac);
    return negative ? "-" + s : s;
}

std::string vbTextOfDecimal(const jet::Decimal& dec) {
    // Repeated division of the 96-bit mantissa by 10 yields its digits, lowest first.
    std::array<uint32_t, 3> m = dec.mantissa;
    std::string digits;
    while (m[0] || m[1] || m[2]) {
        uint64_t rem = 0;
        for (int i = 2; i >= 0; --i) {
            const uint64_t cur = (rem << 32) | m[static_cast<size_t>(i)];
            m[static_cast<size_t>(i)] = static_cast<uint32_t>(cur / 10);
            rem = cur % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + rem));
    }
    if (digits.empty()) return "0";
    const size_t scale = dec.scale;
    if (digits.size() <= scale) digits.insert(0, scale - digits.size() + 1, '0');
    if (scale > 0) digits.insert(digits.size() - scale, ".");
    digits = stripFractionZeros(digits);
    return dec.negative && digits != "0" ? "-" + digits : digits;
}

double decimalToDouble(const jet::Decimal& dec) {
    double v = static_cast<double>(dec.mantissa[2]);
    v = v * 4294967296.0 + static_cast<double>(dec.mantissa[1]);
    v = v * 4294967296.0 + static_cast<double>(dec.mantissa[0]);
    v /= std::pow(10.0, dec.scale);
    return dec.negative ? -v : v;
}

std::string vbTextOfDate(double ole) {
    if (!std::isfinite(ole) || ole < kMinOleDate || ole >= kMaxOleDate) throw overflowError();
    // The whole part counts days (negative before 12/30/1899); the fraction's magnitude is
    // the time of day on both sides of day 0.
    const double whole = std::trunc(ole);
    int64_t day = static_cast<int64_t>(whole);
    int64_t secs = std::llround(std::fabs(ole - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += ole < 0 ? -1 : 1;
    }
    std::string date;
    if (day != 0 || secs == 0) {
        int64_t y;
        unsigned m, d;
        base::civilFromDays(day - kOleEpochToUnixDays, y, m, d);
        date = std::to_string(m) + "/" + std::to_string(d) + "/" + std::to_string(y);
        if (day != 0 && secs == 0) return date;
        if (day == 0) date.clear();
    }
    const int64_t h = secs / 3600;
    char time[32];
    std::snprintf(time, sizeof time, "%d:%02d:%02d %s", static_cast<int>(h % 12 == 0 ? 12 : h % 12),
                  static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60),
                  h < 12 ? "AM" : "PM");
    return date.empty() ? std::string(time) : date + " " + time;
}

std::optional<double> vbParseNumber(std::string_view text) {
    std::string s = skipSpaces(text);
    if (s.size() > 2 && s[0] == '&') {
        const char r = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
        if (r == 'H') return parseRadixInteger(s.substr(2), 16);
        if (r == 'O') return parseRadixInteger(s.substr(2), 8);
        return std::nullopt;
    }
    // Normalise to what strtod reads: no group separators, 'E' exponent only.
    std::string n;
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) n += s[i++];
    bool digits = false, point = false;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            n += c;
            digits = true;
        } else if (c == ',' && !point && digits) {
            continue;
        } else if (c == '.' && !point) {
            n += c;
            point = true;
        } else {
            break;
        }
    }
    if (!digits) return std::nullopt;
    if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
        n += 'E';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) n += s[i++];
        bool expDigits = false;
        for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
            n += s[i];
            expDigits = true;
        }
        if (!expDigits) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(n.c_str(), &end);
    if (end != n.c_str() + n.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

}  // namespace tdv::db
