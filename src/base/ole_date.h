// Calendar arithmetic of OLE automation dates: days since 1899-12-30, the time of day as
// the fraction. Civil dates are proleptic Gregorian.
#pragma once

#include <cstdint>

namespace tdv::base {

// Days from 1899-12-30 to 1970-01-01.
inline constexpr int64_t kOleEpochToUnixDays = 25569;

// Days from 1970-01-01 to the civil date (negative before it).
int64_t daysFromCivil(int64_t year, unsigned month, unsigned day);

// The civil date of a day counted from 1970-01-01.
void civilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day);

// The current time (UTC) as an OLE date, in whole milliseconds as Access stores times.
double nowOleDate();

}  // namespace tdv::base
