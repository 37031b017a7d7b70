// #date# literals: US month/day/year or ISO year-month-day, or a month by name
// (#29-Feb-2024#, #Feb 29, 2024#, #29 February 2024#), each with an optional time of day
// (24-hour, or 12-hour with AM/PM), or a time alone (which Jet dates on 1899-12-30).
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ole_date.h"
#include "jet/sql/parser.h"

namespace jet::sql {

namespace {

// Days from 1899-12-30 (the OLE automation epoch) to a civil date.
int64_t daysFromEpoch(int64_t y, int64_t m, int64_t d) {
    return tdv::base::daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) +
           tdv::base::kOleEpochToUnixDays;
}

bool leap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int64_t y, int64_t m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : kDays[m - 1];
}

// Splits "12/31/2024 1:30:00 PM" into numbers and separators; false on anything else.
struct Parts {
    std::vector<int64_t> numbers;
    std::vector<char> separators;  // separator before numbers[i] (i >= 1)
    std::string suffix;            // "AM" / "PM" or empty
};

bool split(std::string_view text, Parts& out) {
    size_t i = 0;
    auto skipSpaces = [&] {
        while (i < text.size() && text[i] == ' ') ++i;
    };
    skipSpaces();
    while (i < text.size()) {
        if (!out.numbers.empty()) {
            char sep = text[i];
            if (sep == '/' || sep == '-' || sep == ':') {
                ++i;
            } else if (sep == ' ') {
                skipSpaces();
                if (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) break;
            } else {
                return false;
            }
            out.separators.push_back(sep);
            skipSpaces();
        }
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        int64_t n = 0;
        size_t digits = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (++digits > 4) return false;
            n = n * 10 + (text[i] - '0');
            ++i;
        }
        out.numbers.push_back(n);
        if (out.numbers.size() > 6) return false;
    }
    skipSpaces();
    while (i < text.size() && text[i] != ' ')
        out.suffix += static_cast<char>(std::toupper(static_cast<unsigned char>(text[i++])));
    skipSpaces();
    if (i != text.size()) return false;
    return !out.numbers.empty();
}

bool timeOfDay(const int64_t* n, size_t count, const std::string& suffix, double& fraction) {
    int64_t h = n[0], m = count > 1 ? n[1] : 0, s = count > 2 ? n[2] : 0;
    if (!suffix.empty()) {
        if (suffix != "AM" && suffix != "PM") return false;
        if (h < 1 || h > 12) return false;
        h = h % 12 + (suffix == "PM" ? 12 : 0);
    }
    if (h > 23 || m > 59 || s > 59) return false;
    fraction = static_cast<double>(h * 3600 + m * 60 + s) / 86400.0;
    return true;
}

// January = 1 for a month's English name or its first three letters (any case); 0 otherwise.
int monthByName(std::string_view word) {
    static constexpr std::string_view kMonths[] = {"january",   "february", "march",    "april",
                                                   "may",       "june",     "july",     "august",
                                                   "september", "october",  "november", "december"};
    std::string lower;
    for (char c : word) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (size_t m = 0; m < 12; ++m) {
        if (lower == kMonths[m] || (lower.size() == 3 && kMonths[m].substr(0, 3) == lower) ||
            (m == 8 && lower == "sept"))
            return static_cast<int>(m) + 1;
    }
    return 0;
}

// Rewrites a date with a month name ("29-Feb-2024 10:00", "Feb 29, 2024") as "2/29/2024
// 10:00"; empty when the text names no month before its year.
std::string numericMonthForm(std::string_view text) {
    size_t i = 0;
    std::vector<std::string> items;  // day, month and year, as written
    int monthItem = -1;
    while (i < text.size() && items.size() < 3) {
        const char c = text[i];
        if (c == ' ' || c == '-' || c == '/' || c == ',' || c == '.') {
            ++i;
            continue;
        }
        const size_t start = i;
        if (std::isdigit(static_cast<unsigned char>(c))) {
            while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
        } else if (std::isalpha(static_cast<unsigned char>(c))) {
            while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
            if (monthItem >= 0 || monthByName(text.substr(start, i - start)) == 0) return {};
            monthItem = static_cast<int>(items.size());
        } else {
            return {};
        }
        items.emplace_back(text.substr(start, i - start));
    }
    if (items.size() != 3 || monthItem < 0 || monthItem > 1) return {};
    const std::string day = items[monthItem == 0 ? 1 : 0];
    const std::string month = std::to_string(monthByName(items[static_cast<size_t>(monthItem)]));
    if (i < text.size() && text[i] != ' ') return {};
    return month + "/" + day + "/" + items[2] + std::string(text.substr(i));
}

}  // namespace

bool parseDateLiteral(std::string_view text, DateTime& out) {
    if (text.size() > 100) return false;
    const std::string named = numericMonthForm(text);
    if (!named.empty()) text = named;
    Parts p;
    if (!split(text, p)) return false;
    const auto& n = p.numbers;
    size_t dateCount = 0;
    int64_t y = 1899, mo = 12, d = 30;
    if (n.size() >= 3 && p.separators[0] != ':' && p.separators[1] == p.separators[0]) {
        dateCount = 3;
        if (p.separators[0] == '-' && n[0] >= 100) {
            y = n[0], mo = n[1], d = n[2];
        } else {
            mo = n[0], d = n[1], y = n[2];
            if (y < 30) {
                y += 2000;
            } else if (y < 100) {
                y += 1900;
            }
        }
        if (y < 100 || y > 9999 || mo < 1 || mo > 12 || d < 1 || d > daysInMonth(y, mo)) {
            return false;
        }
    }
    size_t timeCount = n.size() - dateCount;
    if (timeCount > 3) return false;
    for (size_t i = dateCount + 1; i < n.size(); ++i) {
        if (p.separators[i - 1] != ':') return false;
    }
    if (timeCount == 1 && p.suffix.empty()) return false;  // a lone number is not a date
    double fraction = 0;
    if (timeCount > 0 && !timeOfDay(n.data() + dateCount, timeCount, p.suffix, fraction)) {
        return false;
    }
    if (timeCount == 0 && !p.suffix.empty()) return false;
    double days = static_cast<double>(daysFromEpoch(y, mo, d));
    // Before the epoch the time of day still counts forward from midnight, as OLE dates do.
    out.days = days < 0 ? days - fraction : days + fraction;
    return true;
}

}  // namespace jet::sql
