// Writing a recordset's records back to their table: field assignment, Update, Delete.
// Internal to the recordset layer (Recordset and Field call these).
//
// Only a recordset over one table (a SELECT of that table's columns) opened with a lock type
// other than read-only can write; anything else raises 3251 "Current Recordset does not
// support updating...". An assigned value is converted to its column's type at once (a
// value that cannot be is refused then, the record keeps its old value) and kept as a
// pending edit of the current record, which reads back through the field at once. Update
// writes all pending edits of the record as one save (TableWriter::update), Delete removes
// the record (TableWriter::remove); the record then counts as deleted, reading it raises
// 3021, and moving away works as usual. Engine failures are translated by error_mapping.h.
#pragma once

#include <cstddef>

#include "db/db_error.h"
#include "db/recordset_state.h"
#include "db/variant.h"
#include "jet/value.h"

namespace tdv::db {

// 3251: the recordset cannot write (read-only lock type, a join or computed result).
DbError updateNotSupportedError();

// The engine value a Variant holds (Empty as Null).
jet::Value jetValueOf(const Variant& v);

void assignField(RecordsetState& s, size_t field, const Variant& value);
// Saves the current record's pending edits; does nothing when there are none.
void saveRecord(RecordsetState& s);
// Drops the current record's pending edits.
void cancelEdits(RecordsetState& s);
bool hasPendingEdits(const RecordsetState& s);
void deleteRecord(RecordsetState& s);

}  // namespace tdv::db
