// Reading fields the way the call handler report and the action strings do: a raw value
// joined into text (Null raises error 94, so the line that joins it disappears), values taken
// as 16- or 32-bit integers with the runtime's rounding and overflow, flags where Null is
// false, numbers with a sign position, the local clock as an automation date, and the open
// of a read-only lookup recordset.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/recordset.h"
#include "db/variant.h"

namespace tdv::reports {

// The field's value joined into text as it is stored (not trimmed). 94 for Null.
std::string rawText(const db::Recordset& rs, std::string_view name);
// The value as a 16-bit integer (CInt): rounded half to even; 94 for Null, 13 for text that
// is not a number, 6 outside -32768..32767.
int16_t toInteger16(const db::Variant& value);
// The value as a 32-bit integer (CLng), with the same rules.
int32_t toLong32(const db::Variant& value);
// A flag: true when the value is non-zero; Null (and Empty) is false.
bool isTrue(const db::Variant& value);
// A number with a leading blank when zero or positive ("-3", " 12"), as the runtime's Str
// wrote it; text that holds a number is read as one. 94 for Null.
std::string signPositionText(const db::Variant& value);
// The local date and time now, as an automation date (days since 1899-12-30).
double localNowOleDate();
// Opens rs read-only with a client-side cursor on the open backup.
void openLookup(db::Recordset& rs, const std::string& sql, const std::string& connectString);
// Closes rs when it is open; never fails.
void closeQuietly(db::Recordset& rs);

}  // namespace tdv::reports
