// The syntax tree of a Jet SQL statement.
//
// The parser builds it from text; the executor binds it to a database (resolving table and
// column names, which fills the `bound*` fields of column references) and runs it. Names
// keep the spelling the statement used; matching is case-insensitive.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "jet/value.h"

namespace jet::sql {

enum class CompareOp { Eq, Ne, Lt, Gt, Le, Ge };

// A column reference: `Column` or `Table.Column`.
struct ColumnRef {
    std::string table;  // empty when not qualified
    std::string column;

    // Filled by binding: which source of the statement (0 = FROM table, 1 = joined table)
    // and which column of its TableDef.
    int boundSource = -1;
    size_t boundColumn = 0;

    std::string display() const { return table.empty() ? column : table + "." + column; }
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        Literal,  // literal
        Column,   // column
        Compare,  // args[0] op args[1]
        And,      // args[0] AND args[1]
        Or,       // args[0] OR args[1]
        Not,      // NOT args[0]
        IsNull,   // args[0] IS NULL (negated: IS NOT NULL)
        Like,     // args[0] LIKE args[1] (negated: NOT LIKE)
    };
    Kind kind = Kind::Literal;
    Value literal;
    ColumnRef column;
    CompareOp op = CompareOp::Eq;
    bool negated = false;
    std::vector<ExprPtr> args;
};

struct SelectItem {
    enum class Kind { Star, Column, CountStar };
    Kind kind = Kind::Column;
    ColumnRef column;   // Kind::Column
    std::string alias;  // AS name, empty when none
};

struct OrderItem {
    ColumnRef column;  // a column of a source, or (unqualified) an alias of the select list
    bool descending = false;
};

// FROM a [INNER JOIN b ON a.x = b.y]: the join condition is kept as a general expression
// and checked by binding to be an equality of one column of each table.
struct JoinClause {
    std::string table;
    ExprPtr on;
};

struct SelectStmt {
    std::vector<SelectItem> items;
    std::string from;
    std::optional<JoinClause> join;
    ExprPtr where;
    std::string whereText;  // source text of the WHERE expression, for error messages
    std::vector<OrderItem> orderBy;
};

struct Assignment {
    ColumnRef column;
    ExprPtr value;
};

struct UpdateStmt {
    std::string table;
    std::vector<Assignment> assignments;
    ExprPtr where;
    std::string whereText;
};

struct DeleteStmt {
    std::string table;
    ExprPtr where;
    std::string whereText;
};

using Statement = std::variant<SelectStmt, UpdateStmt, DeleteStmt>;

}  // namespace jet::sql
