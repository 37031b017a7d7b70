// Access's Format(value [, format]) in US English.
//
// The named formats (General Number, Currency, Fixed, Standard, Percent, Scientific, Yes/No,
// True/False, On/Off, General Date, Long Date, Medium Date, Short Date, Long Time, Medium
// Time, Short Time), the date and time placeholders (d dd ddd dddd m mm mmm mmmm q y yy yyyy
// h hh n nn s ss AM/PM am/pm A/P a/p, with m after h meaning minutes) and the number
// placeholders (0 # . , %), with literal characters, "quoted text" and \c between them.
// A Null value gives Null; no format gives the value's text. Any other format (sections
// with ;, exponents, text placeholders) is refused as not supported.
#pragma once

#include <string>

#include "jet/value.h"

namespace jet::sql {

Value formatValue(const Value& value, const Value* format);

}  // namespace jet::sql
