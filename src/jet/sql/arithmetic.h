// The arithmetic operators of Jet SQL on values: + - * / \ Mod ^ and unary minus.
//
// As Access's expression service works on Variants: a Null operand gives Null; the result
// takes the type of the more precise operand in the order Byte, Integer, Long, Single,
// Double, Currency, Decimal (Yes/No counts as an Integer of -1 / 0; Single with Long gives a
// Double), and a Byte, Integer or Long result that overflows widens to Integer, Long or
// Double. A date plus or minus a number is a date, a date minus a date a Double. `/` gives a
// Single for Byte, Integer and Single operands and a Double otherwise. `\` and Mod round
// their operands to whole numbers first (half to even) and give a Byte, Integer or Long;
// Mod takes the dividend's sign. `^` gives a Double. `+` on two texts joins them; text that
// reads as a number counts as a Double, other text is Jet's 3464 type mismatch. Division by
// zero is error 11, an overflow of a Currency or of a whole-number operand error 6.
#pragma once

#include "jet/sql/ast.h"
#include "jet/value.h"

namespace jet::sql {

Value arithmetic(ArithOp op, const Value& a, const Value& b);
Value negate(const Value& v);

}  // namespace jet::sql
