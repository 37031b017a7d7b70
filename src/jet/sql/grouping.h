// SELECT with GROUP BY, aggregate functions (COUNT, SUM, MIN, MAX, AVG) or HAVING, and the
// TOP n cut of every SELECT.
//
// Rows are put into groups by the GROUP BY columns (equal as Jet compares: text without
// regard to case; Nulls form one group); without GROUP BY the whole table is one group, even
// when no row matches (COUNT gives 0, the others Null). Aggregates skip Nulls. SUM of whole
// numbers is a Long while it fits (else a Double), of Currency a Currency, of anything else
// a Double; AVG is a Double; MIN and MAX keep their values' type; SUM or AVG of text that is
// not a number is Jet's 3464. Groups come out in the order of their GROUP BY values unless
// ORDER BY (on GROUP BY columns or select-list aliases) says otherwise.
//
// A column used outside an aggregate must be a GROUP BY column: Jet's 3122 names it.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "jet/schema.h"
#include "jet/sql/ast.h"
#include "jet/sql/expr_eval.h"

namespace jet::sql {

struct GroupedOutput {
    const ColumnRef* column = nullptr;  // a plain column
    const Expr* expr = nullptr;         // a computed value
    bool countStar = false;             // COUNT(*)
};

struct GroupedSortKey {
    const ColumnRef* column = nullptr;  // a GROUP BY column
    std::optional<size_t> output;       // or an output column (an alias)
    const Expr* expr = nullptr;         // or a value computed per group (an aggregate)
    bool descending = false;
};

struct GroupedQuery {
    std::vector<GroupedOutput> outputs;
    std::vector<const ColumnRef*> groupBy;
    const Expr* having = nullptr;
    std::vector<GroupedSortKey> sortKeys;
    std::optional<long> top;
    bool topPercent = false;
};

// Whether a bound SELECT needs grouping (GROUP BY, HAVING or an aggregate in its outputs).
bool needsGrouping(const SelectStmt& select);

// Throws 3122 when a column outside an aggregate is not a GROUP BY column.
void checkGrouped(const GroupedQuery& query);

// Feeds every row that passed WHERE to the callback given to `produce`, and returns one
// result row per group that passes HAVING, sorted and cut to TOP n.
using RowFeed = std::function<void(const RowContext&)>;
std::vector<std::vector<Value>> runGrouped(const GroupedQuery& query, const Evaluator& eval,
                                           const std::function<void(const RowFeed&)>& produce);

// TOP n as a number of rows: n, or for TOP n PERCENT n per cent of count rounded up.
std::optional<long> effectiveTop(std::optional<long> top, bool percent, size_t count);

// How many of `count` sorted rows TOP n keeps: n, and the rows after the n-th that tie with
// it (tie(a, b): rows a and b are equal in every ORDER BY key; null when not sorted).
size_t rowsWithinTop(size_t count, std::optional<long> top,
                     const std::function<bool(size_t, size_t)>& tie);

// The column type a computed result column shows: that of its first non-Null value (Text
// when every value is Null).
ColumnType computedColumnType(const std::vector<std::vector<Value>>& rows, size_t column);

}  // namespace jet::sql
