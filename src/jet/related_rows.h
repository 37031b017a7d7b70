// Finding rows by the values of some of their columns, for the relationship checks and
// cascades (relationships.h): through an index on exactly those columns when the table has one,
// else by a scan. Values match the way an index matches them: text without regard to case,
// numbers by value whatever their column type.
#pragma once

#include <cstddef>
#include <vector>

#include "jet/database.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

// Whether two non-Null values are equal as keys.
bool keyValuesEqual(const Value& a, const Value& b, JetVersion version);

// Whether `table` has a live row whose columns (positions in TableDef::columns) hold
// `values` (same length; no Null among them).
bool hasRowWithKey(Database& db, const TableDef& table, const std::vector<size_t>& columns,
                   const std::vector<Value>& values);

// The addresses of every such row (for cascading updates and deletes).
std::vector<RowId> rowsWithKey(Database& db, const TableDef& table,
                               const std::vector<size_t>& columns,
                               const std::vector<Value>& values);

}  // namespace jet
