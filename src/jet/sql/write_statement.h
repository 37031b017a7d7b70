// Running INSERT, UPDATE and DELETE statements.
//
// The statement is bound first (table, SET columns, WHERE), and each SET value is converted
// to its column's type (set_value.h) before any row is read, so a bad name or value changes
// nothing. The matching rows are then collected, through an index when the WHERE allows
// (access_path.h), and only then written through TableWriter, all inside one SaveScope: the
// statement is one atomic save, and any failure (a duplicate key, a value too long, a write
// error) rolls back every row it had changed. A SET value may be a literal or an
// expression of the same row's columns.
#pragma once

#include "jet/database.h"
#include "jet/sql/ast.h"
#include "jet/sql/result_set.h"

namespace jet::sql {

// Return the number of rows the statement changed or deleted.
long executeUpdate(Database& db, UpdateStmt& update, const QueryOptions& options);
long executeDelete(Database& db, DeleteStmt& remove, const QueryOptions& options);
// INSERT INTO: the rows given by VALUES or by a SELECT, converted to their columns like SET
// values; columns left out are Null (autonumbers numbered). One atomic save.
long executeInsert(Database& db, InsertStmt& insert, const QueryOptions& options);

}  // namespace jet::sql
