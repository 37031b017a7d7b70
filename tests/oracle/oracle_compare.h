// Value-by-value comparison of `tdv dump` output with an oracle reader's output.
//
// Both sides are JSON Lines in the dump format (see mdbreader_dump.mjs / mdbexport_dump.py).
// A value is compared by the column's type: integers and booleans exactly, Single and Double
// by their exact binary value, Currency / Decimal / Date / GUID / text / binary as their exact
// text. When the exact comparison fails, the oracle's known limitations are consulted: each
// is a named, narrow rule that must reproduce the oracle's value from ours exactly (so it can
// never excuse an arbitrary difference). Anything else is a disagreement.
#pragma once

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/value.h"

namespace tdv::oracle {

using Json = nlohmann::ordered_json;

enum class Oracle { MdbReader, MdbExport };

inline const char* oracleName(Oracle o) {
    return o == Oracle::MdbReader ? "mdb-reader" : "mdb-export";
}

// A known limitation of one oracle: a name, why the oracle is wrong, and whether the rule
// turns our value into exactly the oracle's value.
struct Quirk {
    const char* name;
    Oracle oracle;
    const char* reason;
    bool (*explains)(jet::ColumnType type, const Json& ours, const Json& theirs);
};

// ---- small helpers -------------------------------------------------------------------------

inline std::optional<double> asDouble(const Json& v) {
    if (v.is_number()) return v.get<double>();
    if (v.is_string()) {
        const auto& s = v.get_ref<const std::string&>();
        if (s == "NaN") return std::nan("");
        if (s == "Infinity") return HUGE_VAL;
        if (s == "-Infinity") return -HUGE_VAL;
    }
    return std::nullopt;
}

inline bool sameDouble(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
inline int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

inline void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

// "YYYY-MM-DDTHH:MM:SS[.fff]" as milliseconds since 1970-01-01 (UTC, no time zones).
inline std::optional<int64_t> parseDumpDate(const std::string& s) {
    int y, mo, d, h, mi, sec, ms = 0;
    char tail[8] = {0};
    int n = std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%7s", &y, &mo, &d, &h, &mi, &sec, tail);
    if (n < 6) return std::nullopt;
    if (n == 7) {
        if (tail[0] != '.' || std::strlen(tail) != 4) return std::nullopt;
        ms = std::atoi(tail + 1);
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) return std::nullopt;
    int64_t days = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    return ((days * 24 + h) * 60 + mi) * 60000LL + sec * 1000LL + ms;
}

inline std::string formatDumpDate(int64_t ms) {
    int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
    int64_t rest = ms - days * 86400000;
    int64_t y;
    unsigned mo, d;
    civilFromDays(days, y, mo, d);
    char buf[48];
    int n = std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02lld:%02lld:%02lld",
                          static_cast<long long>(y), mo, d, static_cast<long long>(rest / 3600000),
                          static_cast<long long>(rest / 60000 % 60),
                          static_cast<long long>(rest / 1000 % 60));
    if (rest % 1000 != 0)
        std::snprintf(buf + n, sizeof buf - n, ".%03lld", static_cast<long long>(rest % 1000));
    return buf;
}

// Code points of a UTF-8 string (invalid bytes become U+FFFD).
inline std::vector<char32_t> codePoints(std::string_view s) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        char32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (int k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += len;
    }
    return out;
}

// The five bytes Windows-1252 leaves undefined (0x81 0x8D 0x8F 0x90 0x9D) decode, as Windows
// itself decodes them, to the C1 control characters of the same number.
inline bool isUndefinedCp1252(char32_t cp) {
    return cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D;
}

// Whether theirs equals ours with every undefined Windows-1252 character (which we show as the
// C1 control character or as U+FFFD) replaced by repl.
inline bool undefinedCp1252Replaced(const Json& ours, const Json& theirs, char32_t repl) {
    if (!ours.is_string() || !theirs.is_string()) return false;
    auto a = codePoints(ours.get_ref<const std::string&>());
    auto b = codePoints(theirs.get_ref<const std::string&>());
    if (a.size() != b.size()) return false;
    bool any = false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        if (!(isUndefinedCp1252(a[i]) || a[i] == 0xFFFD) || b[i] != repl) return false;
        any = true;
    }
    return any;
}

// Whether the engine's type code is one of the Jet column types every reader knows (Jet 4
// also stores undocumented ones, for example 0x11 in MSysAccessObjects, read as bytes).
inline bool isKnownType(jet::ColumnType t) {
    const auto c = static_cast<uint8_t>(t);
    return (c >= 0x01 && c <= 0x0C) || c == 0x0F || c == 0x10;
}

// ---- exact, type-aware comparison ----------------------------------------------------------

inline bool sameValue(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (ours.is_null() || theirs.is_null()) return ours.is_null() && theirs.is_null();
    switch (type) {
        case jet::ColumnType::Boolean:
            return ours.is_boolean() && theirs.is_boolean() && ours == theirs;
        case jet::ColumnType::Byte:
        case jet::ColumnType::Integer:
        case jet::ColumnType::Long:
            return ours.is_number_integer() && theirs.is_number_integer() &&
                   ours.get<int64_t>() == theirs.get<int64_t>();
        case jet::ColumnType::Single: {
            auto a = asDouble(ours), b = asDouble(theirs);
            return a && b && sameDouble(static_cast<float>(*a), static_cast<float>(*b));
        }
        case jet::ColumnType::Double: {
            auto a = asDouble(ours), b = asDouble(theirs);
            return a && b && sameDouble(*a, *b);
        }
        default:
            // Currency, Decimal, DateTime, GUID, text: exact strings; Binary / OLE: {"hex"}.
            return ours == theirs;
    }
}

// ---- the known limitations of the oracles --------------------------------------------------

// mdb-export prints Single with printf("%.8g") and Double with printf("%.16g"): neither always
// reads back to the stored value.
inline bool exportFloatPrecision(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (type != jet::ColumnType::Single && type != jet::ColumnType::Double) return false;
    auto a = asDouble(ours), b = asDouble(theirs);
    if (!a || !b || !std::isfinite(*a)) return false;
    double v = type == jet::ColumnType::Single ? static_cast<double>(static_cast<float>(*a)) : *a;
    char buf[64];
    std::snprintf(buf, sizeof buf, type == jet::ColumnType::Single ? "%.8g" : "%.16g", v);
    return sameDouble(std::strtod(buf, nullptr), *b);
}

// mdb-export's date format (strftime) has no milliseconds; it rounds to the nearest second
// (either way at exactly half a second).
inline bool exportNoMilliseconds(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (type != jet::ColumnType::DateTime || !ours.is_string() || !theirs.is_string()) return false;
    auto a = parseDumpDate(ours.get<std::string>());
    auto b = parseDumpDate(theirs.get<std::string>());
    if (!a || !b) return false;
    const int64_t ms = ((*a % 1000) + 1000) % 1000;
    if (ms == 0) return false;
    const int64_t down = *a - ms, up = down + 1000;
    if (ms < 500) return *b == down;
    if (ms > 500) return *b == up;
    return *b == down || *b == up;
}

// mdb-export refuses OLE dates below 0 (before 1899-12-30) or above 1e6 days (after
// 4637-11-25) and prints them as "1900-01-00T00:00:00".
inline bool exportDatesOutOfRange(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (type != jet::ColumnType::DateTime || !ours.is_string() || !theirs.is_string()) return false;
    if (theirs.get<std::string>() != "1900-01-00T00:00:00") return false;
    const std::string& s = ours.get_ref<const std::string&>();
    return s < "1899-12-30" || s >= "4637-11-26";
}

// mdb-export prints "?" for the bytes Windows-1252 leaves undefined in Jet 3 text.
inline bool exportUndefinedCp1252(jet::ColumnType type, const Json& ours, const Json& theirs) {
    return (type == jet::ColumnType::Text || type == jet::ColumnType::Memo) &&
           undefinedCp1252Replaced(ours, theirs, U'?');
}

// mdb-reader decodes the bytes Windows-1252 leaves undefined in Jet 3 text as U+FFFD.
inline bool readerUndefinedCp1252(jet::ColumnType type, const Json& ours, const Json& theirs) {
    return (type == jet::ColumnType::Text || type == jet::ColumnType::Memo) &&
           undefinedCp1252Replaced(ours, theirs, U'\uFFFD');
}

// An OLE date before 1899-12-30 stores the day as a negative whole part and the time of day
// as a positive fraction (-1.25 is 1899-12-29 06:00). mdb-reader reads the number as a
// straight count of days (-1.25 -> 1899-12-28 18:00): it shows the time of day t as -t.
inline bool readerNegativeDatesLinear(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (type != jet::ColumnType::DateTime || !ours.is_string() || !theirs.is_string()) return false;
    auto a = parseDumpDate(ours.get<std::string>());
    auto b = parseDumpDate(theirs.get<std::string>());
    const int64_t oleEpoch = daysFromCivil(1899, 12, 30) * 86400000LL;
    if (!a || !b || *a >= oleEpoch) return false;
    int64_t day = *a >= 0 ? *a / 86400000 : -((-*a + 86399999) / 86400000);
    int64_t timeOfDay = *a - day * 86400000;
    if (timeOfDay == 0) return false;
    int64_t linear = day * 86400000 - timeOfDay;
    return *b == linear || std::llabs(*b - linear) <= 1;  // mdb-reader rounds after scaling
}

// mdb-export prints an empty field (NULL) for column types it does not know.
inline bool exportUnknownTypeNull(jet::ColumnType type, const Json& ours, const Json& theirs) {
    return !isKnownType(type) && !ours.is_null() && theirs.is_null();
}

// mdb-export -b hex treats Binary data as a C string: it stops at the first zero byte
// (printing nothing when the data starts with one).
inline bool exportBinaryCutAtZero(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (type != jet::ColumnType::Binary || !ours.is_object() || !ours.contains("hex")) return false;
    const std::string a = ours["hex"].get<std::string>();
    if (theirs.is_null()) return a.rfind("00", 0) == 0;
    if (!theirs.is_object() || !theirs.contains("hex")) return false;
    const std::string b = theirs["hex"].get<std::string>();
    if (b.size() % 2 != 0 || b.size() >= a.size() || a.compare(0, b.size(), b) != 0 ||
        a.compare(b.size(), 2, "00") != 0)
        return false;
    for (size_t i = 0; i < b.size(); i += 2)  // whole bytes only: "8001" holds no zero byte
        if (b.compare(i, 2, "00") == 0) return false;
    return true;
}

// mdb-export writes text as a C string: a value holding a NUL character (Access leaves one
// at the end of some system-table texts) is cut there.
inline bool exportTextCutAtNul(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (type != jet::ColumnType::Text && type != jet::ColumnType::Memo) return false;
    if (!ours.is_string() || !theirs.is_string()) return false;
    const std::string a = ours.get<std::string>();
    const size_t nul = a.find('\0');
    return nul != std::string::npos && theirs.get<std::string>() == a.substr(0, nul);
}

// mdb-export tells Null from a value by the value's length: an empty text, Memo, Binary or
// OLE value is printed as Null.
inline bool exportEmptyAsNull(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (!theirs.is_null()) return false;
    switch (type) {
        case jet::ColumnType::Text:
        case jet::ColumnType::Memo:
            return ours.is_string() && ours.get_ref<const std::string&>().empty();
        case jet::ColumnType::Binary:
        case jet::ColumnType::OLE:
            return ours.is_object() && ours.contains("hex") && ours["hex"].is_string() &&
                   ours["hex"].get_ref<const std::string&>().empty();
        default:
            return false;
    }
}

// mdb-reader finds where a row ends from the previous slot's offset without masking the
// slot's flag bits: after a deleted slot the row seems to run to the end of the page. For
// the last link of a Memo's page chain that length exceeds what the value has left, and
// mdb-reader stops before the link: it shows the Memo cut after whole links (Jet 4: 4072
// bytes of UTF-16 text each, chains are never compressed; Jet 3: 2028 code page bytes).
inline bool readerMemoLastLinkDropped(jet::ColumnType type, const Json& ours, const Json& theirs) {
    if (type != jet::ColumnType::Memo || !ours.is_string() || !theirs.is_string()) return false;
    const auto a = codePoints(ours.get_ref<const std::string&>());
    const auto b = codePoints(theirs.get_ref<const std::string&>());
    if (b.empty() || b.size() >= a.size() || !std::equal(b.begin(), b.end(), a.begin()))
        return false;
    return (b.size() * 2) % 4072 == 0 || b.size() % 2028 == 0;
}

inline const std::vector<Quirk>& knownQuirks() {
    static const std::vector<Quirk> quirks = {
        {"export-float-precision", Oracle::MdbExport,
         "mdb-export prints Single with 8 and Double with 16 significant digits (printf %g)",
         exportFloatPrecision},
        {"export-no-milliseconds", Oracle::MdbExport,
         "mdb-export's strftime date format cannot show milliseconds: rounded to seconds",
         exportNoMilliseconds},
        {"export-dates-out-of-range", Oracle::MdbExport,
         "mdb-export prints dates before 1899-12-30 or after 4637-11-25 (OLE date < 0 or > 1e6) "
         "as 1900-01-00T00:00:00",
         exportDatesOutOfRange},
        {"export-undefined-cp1252", Oracle::MdbExport,
         "mdb-export prints '?' for Jet 3 bytes undefined in Windows-1252 (0x81 0x8D 0x8F 0x90 "
         "0x9D; Windows decodes them to U+0081...)",
         exportUndefinedCp1252},
        {"export-binary-cut-at-zero", Oracle::MdbExport,
         "mdb-export -b hex stops Binary data at its first zero byte", exportBinaryCutAtZero},
        {"export-text-cut-at-nul", Oracle::MdbExport,
         "mdb-export writes text as a C string, cut at its first NUL character",
         exportTextCutAtNul},
        {"export-empty-as-null", Oracle::MdbExport,
         "mdb-export prints an empty text, Memo, Binary or OLE value (length 0) as Null",
         exportEmptyAsNull},
        {"export-unknown-type-null", Oracle::MdbExport,
         "mdb-export prints nothing for column types it does not know (e.g. 0x11)",
         exportUnknownTypeNull},
        {"reader-undefined-cp1252", Oracle::MdbReader,
         "mdb-reader decodes Jet 3 bytes undefined in Windows-1252 as U+FFFD",
         readerUndefinedCp1252},
        {"reader-negative-dates-linear", Oracle::MdbReader,
         "mdb-reader reads OLE dates before 1899-12-30 as a straight count of days, so their "
         "time of day is subtracted instead of added",
         readerNegativeDatesLinear},
        {"reader-memo-last-link-dropped", Oracle::MdbReader,
         "mdb-reader takes a row's end from the previous slot without masking its flags, so "
         "a Memo chain link after a deleted slot looks too long and is left out",
         readerMemoLastLinkDropped},
    };
    return quirks;
}

// Which known limitation of the oracle explains the difference, or nullptr.
inline const Quirk* explainDifference(Oracle oracle, jet::ColumnType type, const Json& ours,
                                      const Json& theirs) {
    for (const Quirk& q : knownQuirks()) {
        if (q.oracle == oracle && q.explains(type, ours, theirs)) return &q;
    }
    return nullptr;
}

}  // namespace tdv::oracle
