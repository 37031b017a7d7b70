// Converting a value given for a column into the column's own type, before it is written.
//
// Numbers convert between numeric types when the value fits (else Error(Type,
// kNumericOverflow)); text goes to Text and Memo columns, bytes to Binary and OLE columns,
// a Boolean to Boolean columns; anything else is a type mismatch (Error(Type, kType)).
// Lengths are checked here too: Text longer than the column's size and Binary longer than
// its size are refused with Error(Type, kFieldTooSmall). Null stays Null (Boolean: false).
// Jet 3 text lengths are checked again in its code page when the row is encoded.
#pragma once

#include "jet/schema.h"
#include "jet/types.h"
#include "jet/value.h"

namespace jet {

// Returns `value` converted for `column`; throws as described above, naming the column.
Value coerceValue(const ColumnDef& column, const Value& value, JetVersion version);

}  // namespace jet
