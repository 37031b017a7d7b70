// ORDER BY read from an index instead of sorted.
//
// When a statement selects a good part of a table (a quarter of the rows its definition
// records, or more) and an index's leading columns are the ORDER BY's columns in the same
// directions, its entries already list the rows in Access's order. The rows are still read
// by the table's own path; the index only supplies their order, which is taken after two
// checks: every row appears exactly once among the entries (an index that leaves out Nulls,
// or a damaged one, fails this), and neighbouring rows compare in order with rows of equal
// keys in the order they were read. The result is then exactly the stable sort by the
// ORDER BY values; when a check fails the caller sorts instead.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "jet/database.h"
#include "jet/sql/expr_eval.h"

namespace jet::sql {

struct IndexOrderRequest {
    std::vector<size_t> columns;   // the ORDER BY's columns of the table, in key order
    std::vector<bool> descending;  // their directions
    std::vector<RowId> rows;       // the rows read, in reading order
    // Row i's ORDER BY values, one per key.
    std::function<const std::vector<Value>&(size_t)> sortValues;
};

// The rows' positions in the order of a matching index, or nullopt when no index matches
// or the checks above fail (a damaged index counts as failing). *used names the index.
std::optional<std::vector<size_t>> orderByIndex(Database& db, const TableDef& table,
                                                const IndexOrderRequest& request,
                                                const Evaluator& eval, const IndexDef** used);

}  // namespace jet::sql
