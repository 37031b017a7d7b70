// Text forms of values as the Basic runtime's CStr gave them in the US English locale, and
// the reverse (numbers in text) as its CDbl / CLng read them.
//
// Doubles show at most 15 significant digits and Singles 7, without trailing zeros, and
// switch to the "1.5E+16" / "1E-05" form for large and small magnitudes; Currency and
// Decimal show their exact digits without trailing zeros; dates use the general date form
// "12/31/2024 1:45:00 PM", the date alone at midnight and the time alone on day 0
// (12/30/1899); a date outside 1/1/100 .. 12/31/9999 raises error 6 (Overflow), as the
// runtime could not hold it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "jet/value.h"

namespace tdv::db {

std::string vbTextOfDouble(double d);
std::string vbTextOfSingle(float f);
std::string vbTextOfCurrency(int64_t scaled);  // value * 10000
std::string vbTextOfDecimal(const jet::Decimal& d);
std::string vbTextOfDate(double oleDate);

// Reads a number as CDbl does: surrounding spaces, a sign, digits with ',' group separators,
// a '.' fraction, an E or D exponent, or &H / &O integers. nullopt when the text is not one.
std::optional<double> vbParseNumber(std::string_view text);

// The 96-bit mantissa of a Decimal as a double, scaled and signed.
double decimalToDouble(const jet::Decimal& d);

}  // namespace tdv::db
