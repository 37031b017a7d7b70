// How a statement finds the rows of one table: an index lookup, an index range or a scan.
//
// For a WHERE that holds `column = literal` (alone or ANDed with other conditions) and a
// table with an index whose first column is that column, the candidate rows are the index
// entries whose key starts with the literal's key. Failing that, comparisons of such a
// column with literals (`<`, `<=`, `>`, `>=`) give a range: the entries from the lower
// bound's key (sought, not walked to) up to those past the upper bound's; `BETWEEN` gives
// both bounds, and `column IN (literals)` one lookup per literal. Otherwise every row is a
// candidate. The
// caller always evaluates its full condition on each candidate, so a key that differs
// from what Access would store can only cost a missed lookup, never a wrong row. UPDATE
// and DELETE find their rows through the same functions.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/sql/ast.h"

namespace jet::sql {

struct AccessPath {
    const IndexDef* index = nullptr;  // null = scan
    Bytes keyPrefix;                  // entries whose key starts with these bytes
    std::vector<Bytes> inPrefixes;    // IN: entries whose key starts with any of these
    // A range instead of a prefix: entries from the first whose key is >= low (or the first
    // entry) while their leading bytes are <= high (or to the end), in key order.
    bool range = false;
    std::optional<Bytes> low;
    std::optional<Bytes> high;
};

// The top-level AND terms of a condition (the condition itself when it is not an AND).
std::vector<const Expr*> conjunctsOf(const Expr* where);

// Whether every column an expression names belongs to the given slot.
bool refersOnlyTo(const Expr& e, int slot);

// A literal converted to a column's type for keying, or nullopt when it cannot be
// (out of range, a fraction for a whole-number column, a type with no key here).
std::optional<Value> keyValueFor(const ColumnDef& column, const Value& literal);

// The best way to read the table in `slot` given the conjuncts (bound to that slot).
AccessPath chooseAccessPath(const TableDef& table, int slot,
                            const std::vector<const Expr*>& conjuncts, JetVersion version);

// The key prefix for looking up one value in an index's first column; nullopt when the value
// cannot be keyed (the caller scans instead).
std::optional<Bytes> firstColumnKey(const TableDef& table, const IndexDef& index,
                                    const Value& value, JetVersion version);

// Calls visit(rowId, values) for each candidate row of the path, in index order or page
// order. Values follow the mask (Null for columns left out).
using RowVisitor = std::function<void(RowId, const std::vector<Value>&)>;
void forEachCandidate(Database& db, const TableDef& table, const AccessPath& path,
                      const ColumnMask& mask, const RowVisitor& visit);

// Rows of the index whose key starts with prefix, in index order.
std::vector<RowId> indexCandidates(Database& db, const TableDef& table, const IndexDef& index,
                                   const Bytes& prefix);
// Rows of the index in the range of the path, in index order.
std::vector<RowId> rangeCandidates(Database& db, const TableDef& table, const AccessPath& path);

}  // namespace jet::sql
