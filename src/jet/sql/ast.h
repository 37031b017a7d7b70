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
        Concat,   // args[0] & args[1]
        Call,     // function(args...); COUNT(*) has star set and no args
    };
    Kind kind = Kind::Literal;
    Value literal;
    ColumnRef column;
    CompareOp op = CompareOp::Eq;
    bool negated = false;
    std::string function;  // Call: the name, lower case (column.column: as spelled)
    bool star = false;     // Call: COUNT(*)
    std::vector<ExprPtr> args;
};

// Whether the expression is, or contains, a call of COUNT, SUM, MIN, MAX or AVG.
bool isAggregateName(const std::string& lowerName);
bool containsAggregate(const Expr& e);

struct SelectItem {
    enum class Kind { Star, Column, CountStar, Expression };
    Kind kind = Kind::Column;
    ColumnRef column;   // Kind::Column
    ExprPtr expr;       // Kind::Expression: a computed value (functions, &, aggregates)
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
    std::optional<long> top;  // TOP n: at most n rows (and the rows that tie with the last)
    std::vector<SelectItem> items;
    std::string from;
    std::optional<JoinClause> join;
    ExprPtr where;
    std::string whereText;  // source text of the WHERE expression, for error messages
    std::vector<ColumnRef> groupBy;
    ExprPtr having;
    std::string havingText;
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

// INSERT INTO t [(cols)] VALUES (...) or INSERT INTO t [(cols)] SELECT ...
struct InsertStmt {
    std::string table;
    std::vector<std::string> columns;    // empty: every column in order (VALUES) or by name
    std::vector<ExprPtr> values;         // VALUES form
    std::unique_ptr<SelectStmt> select;  // SELECT form
};

using Statement = std::variant<SelectStmt, UpdateStmt, DeleteStmt, InsertStmt>;

}  // namespace jet::sql
