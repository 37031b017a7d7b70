#include "reports/handler_fields.h"

#include <ctime>
#include <limits>

#include "db/db_error.h"

namespace tdv::reports {

std::string rawText(const db::Recordset& rs, std::string_view name) {
    return rs.Fields(name).Value().toText();
}

int32_t toLong32(const db::Variant& value) {
    return value.toLong();
}

int16_t toInteger16(const db::Variant& value) {
    const int32_t n = value.toLong();
    if (n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max())
        throw db::overflowError();
    return static_cast<int16_t>(n);
}

bool isTrue(const db::Variant& value) {
    if (value.isNull() || value.isEmpty()) return false;
    return value.toDouble() != 0.0;
}

std::string signPositionText(const db::Variant& value) {
    if (value.isNull()) throw db::invalidUseOfNullError();
    std::string text;
    if (value.isNumeric()) {
        text = value.toText();
    } else {
        // Str reads text and other values as a number first.
        text = db::Variant::fromDouble(value.toDouble()).toText();
    }
    if (!text.empty() && text.front() != '-') text.insert(text.begin(), ' ');
    return text;
}

double localNowOleDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // The local wall-clock time counted as if it were UTC gives seconds since 1970 in local
    // terms; 25569 days lie between 1899-12-30 and 1970-01-01.
    const std::time_t wall = timegm(&local);
    return 25569.0 + static_cast<double>(wall) / 86400.0;
}

void openLookup(db::Recordset& rs, const std::string& sql, const std::string& connectString) {
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, connectString, db::adOpenKeyset, db::adLockReadOnly);
}

void closeQuietly(db::Recordset& rs) {
    try {
        if (rs.State() != db::adStateClosed) rs.Close();
    } catch (...) {
        // Closing at the end ignores every failure: the recordset may never have opened.
    }
}

}  // namespace tdv::reports
