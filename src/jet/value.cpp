#include "jet/value.h"

#include "base/guid.h"
#include "base/ole_date.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace jet {

bool isKnownColumnType(ColumnType t) {
    switch (t) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
        case ColumnType::DateTime:
        case ColumnType::Binary:
        case ColumnType::Text:
        case ColumnType::OLE:
        case ColumnType::Memo:
        case ColumnType::Guid:
        case ColumnType::Decimal:
            return true;
    }
    return false;
}

const char* columnTypeName(ColumnType t) {
    switch (t) {
        case ColumnType::Boolean:
            return "Boolean";
        case ColumnType::Byte:
            return "Byte";
        case ColumnType::Integer:
            return "Integer";
        case ColumnType::Long:
            return "Long";
        case ColumnType::Currency:
            return "Currency";
        case ColumnType::Single:
            return "Single";
        case ColumnType::Double:
            return "Double";
        case ColumnType::DateTime:
            return "DateTime";
        case ColumnType::Binary:
            return "Binary";
        case ColumnType::Text:
            return "Text";
        case ColumnType::OLE:
            return "OLE";
        case ColumnType::Memo:
            return "Memo";
        case ColumnType::Guid:
            return "GUID";
        case ColumnType::Decimal:
            return "Decimal";
    }
    return "Unknown";
}

std::string formatGuid(const Guid& g) {
    return tdv::base::guidText(g.bytes);
}

std::string formatCurrency(const Currency& c) {
    bool negative = c.scaled < 0;
    // Work in unsigned so that the most negative value has a magnitude.
    uint64_t mag = negative ? 0 - static_cast<uint64_t>(c.scaled) : static_cast<uint64_t>(c.scaled);
    char frac[8];
    std::snprintf(frac, sizeof frac, "%04llu", static_cast<unsigned long long>(mag % 10000));
    return (negative ? "-" : "") + std::to_string(mag / 10000) + "." + frac;
}

std::string formatDecimal(const Decimal& d) {
    // Repeated division of the 96-bit mantissa by 10.
    std::array<uint32_t, 3> m = d.mantissa;
    std::string digits;
    while (m[0] != 0 || m[1] != 0 || m[2] != 0) {
        uint64_t rem = 0;
        for (int i = 2; i >= 0; --i) {
            uint64_t cur = (rem << 32) | m[static_cast<size_t>(i)];
            m[static_cast<size_t>(i)] = static_cast<uint32_t>(cur / 10);
            rem = cur % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + rem));
    }
    bool zero = digits.empty();
    if (digits.size() <= d.scale) digits.insert(0, d.scale + 1 - digits.size(), '0');
    if (d.scale > 0) digits.insert(digits.size() - d.scale, ".");
    return (d.negative && !zero ? "-" : "") + digits;
}

namespace {

constexpr int64_t kMsPerDay = 86400000;
using tdv::base::kOleEpochToUnixDays;

}  // namespace

std::string formatDateTime(const DateTime& dt) {
    double days = dt.days;
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return formatDouble(days);
    // OLE dates before the epoch count whole days backwards but the time of day forwards:
    // -1.25 is 1899-12-29 06:00.
    double whole = std::trunc(days);
    double frac = std::fabs(days - whole);
    int64_t ms = static_cast<int64_t>(whole) * kMsPerDay + std::llround(frac * kMsPerDay);
    int64_t dayNum = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    int64_t msOfDay = ms - dayNum * kMsPerDay;
    int64_t y;
    unsigned mo, d;
    tdv::base::civilFromDays(dayNum - kOleEpochToUnixDays, y, mo, d);
    unsigned h = static_cast<unsigned>(msOfDay / 3600000);
    unsigned mi = static_cast<unsigned>(msOfDay / 60000 % 60);
    unsigned s = static_cast<unsigned>(msOfDay / 1000 % 60);
    unsigned milli = static_cast<unsigned>(msOfDay % 1000);
    char buf[48];
    if (milli != 0)
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02u:%02u:%02u.%03u",
                      static_cast<long long>(y), mo, d, h, mi, s, milli);
    else
        std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02u:%02u:%02u", static_cast<long long>(y),
                      mo, d, h, mi, s);
    return buf;
}

std::string formatDouble(double v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string formatSingle(float v) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

}  // namespace jet
