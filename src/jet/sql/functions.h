// The built-in functions of Jet SQL expressions: Len, Left, Right, Mid, UCase, LCase, Trim,
// Nz, IIf, CStr, CLng, Now, Date, and the aggregates COUNT, SUM, MIN, MAX, AVG.
//
// checkCall() is run by binding: an unknown name is Jet's 3085 "Undefined function 'X' in
// expression.", a wrong number of arguments 3075. Text functions count characters, not
// bytes, and return Null for a Null text (Len, Left, Right, Mid, UCase, LCase, Trim), as
// Jet does; CStr and CLng of Null, and a negative length or a start before 1, are errors.
#pragma once

#include <string>
#include <vector>

#include "jet/sql/ast.h"
#include "jet/value.h"

namespace jet::sql {

// Throws when the call names no function or has the wrong number of arguments.
void checkCall(const Expr& call);

// The value of a scalar function other than IIf and Nz (the evaluator decides which of
// their arguments to evaluate) for already evaluated arguments.
Value callScalar(const std::string& function, const std::vector<Value>& args);

// The current local date and time, and today's date, as Jet's date values.
Value nowValue();
Value todayValue();

}  // namespace jet::sql
