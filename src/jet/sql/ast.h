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

// + - * / \ Mod ^
enum class ArithOp { Add, Sub, Mul, Div, IntDiv, Mod, Pow };

struct SelectStmt;

// A column reference: `Column` or `Table.Column`.
struct ColumnRef {
    std::string table;  // empty when not qualified
    std::string column;

    // Filled by binding: which source of the statement (0 = FROM table, 1 = joined table;
    // in a subquery 2 and 3 are the enclosing statement's tables) and which column of its
    // TableDef.
    int boundSource = -1;
    size_t boundColumn = 0;

    std::string display() const { return table.empty() ? column : table + "." + column; }
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
    enum class Kind {
        Literal,   // literal
        Column,    // column
        Compare,   // args[0] op args[1]
        And,       // args[0] AND args[1]
        Or,        // args[0] OR args[1]
        Not,       // NOT args[0]
        IsNull,    // args[0] IS NULL (negated: IS NOT NULL)
        Like,      // args[0] LIKE args[1] (negated: NOT LIKE)
        Concat,    // args[0] & args[1]
        Call,      // function(args...); COUNT(*) has star set and no args
        Arith,     // args[0] arith args[1]
        Negate,    // -args[0]
        In,        // args[0] IN (args[1], ...) or IN (subquery) (negated: NOT IN)
        Between,   // args[0] BETWEEN args[1] AND args[2] (negated: NOT BETWEEN)
        Exists,    // EXISTS (subquery)
        Subquery,  // (subquery) as a value: its one row's first column, Null when no row
    };
    Kind kind = Kind::Literal;
    Value literal;
    ColumnRef column;
    CompareOp op = CompareOp::Eq;
    bool negated = false;
    std::string function;  // Call: the name, lower case (column.column: as spelled)
    bool star = false;     // Call: COUNT(*)
    ArithOp arith = ArithOp::Add;
    std::vector<ExprPtr> args;
    std::shared_ptr<SelectStmt> subquery;  // In, Exists, Subquery
    // Levels of the tree under this node, a leaf being 1; a subquery counts with its
    // tallest expression. The parser bounds it, as every walk of the tree recurses.
    int height = 1;
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

// An ORDER BY key: a column of a source or (unqualified) an alias of the select list, a
// position in the select list (1 = first), or any other expression (an aggregate, a call).
struct OrderItem {
    ColumnRef column;  // when expr is a plain column
    ExprPtr expr;      // the key as written
    int ordinal = 0;   // ORDER BY 2
    bool descending = false;
};

enum class JoinType { Inner, Left, Right };

// FROM a [INNER | LEFT | RIGHT JOIN b ON a.x = b.y]: the join condition is kept as a general
// expression and checked by binding to be an equality of one column of each table.
struct JoinClause {
    JoinType type = JoinType::Inner;
    std::string table;
    std::string alias;  // FROM ... JOIN Table [AS] alias
    ExprPtr on;
};

struct SelectStmt;

// SELECT ... UNION [ALL] SELECT ...
struct UnionPart {
    bool all = false;
    std::shared_ptr<SelectStmt> select;
};

struct SelectStmt {
    std::optional<long> top;  // TOP n: at most n rows (and the rows that tie with the last)
    bool topPercent = false;  // TOP n PERCENT: n per cent of the rows, rounded up
    bool distinct = false;
    std::vector<SelectItem> items;
    std::string from;
    std::string fromAlias;  // FROM Table [AS] alias
    std::optional<JoinClause> join;
    ExprPtr where;
    std::string whereText;  // source text of the WHERE expression, for error messages
    std::vector<ColumnRef> groupBy;
    ExprPtr having;
    std::string havingText;
    std::vector<OrderItem> orderBy;
    // The SELECTs joined on by UNION; the ORDER BY above then sorts the whole union.
    std::vector<UnionPart> unions;
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
