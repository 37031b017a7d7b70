// The stored bytes of one variable-length column of an encoded row, without decoding it.
//
// Writers need the raw long value references of a row they replace or delete (to free the
// long value rows they point to). The row layout is the one row_codec.h describes; every
// offset is checked against the row, damage raises Error(Corrupt).
#pragma once

#include <optional>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/schema.h"

namespace jet {

// The bytes of `column` (a variable-length column of `table`) in `row`; nullopt when the
// column is Null or was added after the row was written.
std::optional<ByteView> rawVariableField(ByteView row, const Format& format, const TableDef& table,
                                         const ColumnDef& column);

}  // namespace jet
