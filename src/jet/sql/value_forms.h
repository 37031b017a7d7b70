#pragma once

// The forms a value takes when an expression or a function needs it as text or as a number,
// shared by the expression evaluator and the built-in functions.

#include <optional>
#include <string>
#include <string_view>

#include "jet/value.h"

namespace jet::sql {

// A non-text value's text form, as Jet shows it when text is needed (LIKE on a number).
std::string textForm(const Value& v);

// Number held by a value (Boolean as -1 / 0, dates as OLE days); nullopt for text, binary,
// GUIDs and Null.
std::optional<long double> numericValue(const Value& v);

// Reads text as a number (surrounding spaces allowed), as Jet does when text meets a number.
std::optional<long double> parseNumber(std::string_view text);

// Jet's "Data type mismatch in criteria expression." (3464).
[[noreturn]] void throwTypeMismatch();

}  // namespace jet::sql
