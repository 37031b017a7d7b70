// Converting a value given for a column (a SET literal, a value assigned to a recordset
// field) to the column's type, with the loose conversions Jet makes on assignment.
//
// Text becomes a number, a Yes/No or a date when it reads as one ("12", " 3.5 ", "True",
// "#1/2/2000#" or "2000-01-02"), and a GUID when it is one in braces; numbers, Yes/No
// values and dates become text in the form Jet shows them; Yes/No counts as -1 / 0 for
// numbers; numbers become dates (OLE days) and dates numbers. Whatever cannot convert is
// Jet's error 3464 "Data type mismatch in criteria expression." naming the column. The
// result then goes through coerceValue (range, length, Null rules).
#pragma once

#include "jet/schema.h"
#include "jet/types.h"
#include "jet/value.h"

namespace jet::sql {

Value convertForColumn(const ColumnDef& column, const Value& value, JetVersion version);

}  // namespace jet::sql
