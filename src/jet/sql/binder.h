// Binding a parsed statement to a database: tables and columns by name, and the checks
// Jet makes before it reads a row.
//
// A statement reads one table (slot 0) or two joined tables (slots 0 and 1); a subquery may
// also name the tables of the statement it sits in (slots 2 and 3), which a name matches
// only when no table of the subquery has it. A table given an alias is named by its alias.
// Binding fills each ColumnRef's slot and column position, and raises Jet's errors: 3078
// for a missing table, 3070 naming an unknown column, 3079 for a name both tables have,
// and 3464 "Data type mismatch in criteria expression." when a column is compared with a
// literal of a type it can never equal (text with a number, a number with text that is
// not a number).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/sql/ast.h"

namespace jet::sql {

struct Source {
    const TableDef* table = nullptr;
    std::string alias;  // FROM Table AS alias

    // The name a column reference qualifies it by.
    const std::string& name() const { return alias.empty() ? table->name : alias; }
};

// Binds the subqueries met in an expression (the executor does it, as it runs them).
class SubqueryBinder {
public:
    virtual ~SubqueryBinder() = default;
    // `outer` are the tables of the enclosing statement, slot by slot. Returns the number
    // of the subquery's columns.
    virtual size_t bindSubquery(SelectStmt& subquery, const std::vector<Source>& outer) = 0;
};

// The table by name, or Jet's 3078 error naming it.
const TableDef& findTable(Database& db, std::string_view name);

class Binder {
public:
    // `outer`: the enclosing statement's tables when binding a subquery (slots 2 and 3).
    explicit Binder(std::vector<Source> sources, std::vector<Source> outer = {},
                    SubqueryBinder* subqueries = nullptr);

    const std::vector<Source>& sources() const { return sources_; }

    // Resolves one reference. Throws NoSuchColumn (3070) or ambiguous (3079).
    void bindColumn(ColumnRef& ref) const;
    // Like bindColumn, but false instead of an error when the name is not a column.
    bool tryBindColumn(ColumnRef& ref) const;
    // Binds every column of an expression and checks column-literal comparisons.
    void bindExpr(Expr& e) const;

    const ColumnDef& columnOf(const ColumnRef& ref) const;

private:
    void checkComparable(const Expr& a, const Expr& b) const;
    int findIn(ColumnRef& ref, size_t from, size_t to, size_t& column) const;
    std::vector<Source> sources_;  // slots 0..3; a slot without a table is unused
    SubqueryBinder* subqueries_ = nullptr;
};

[[noreturn]] void throwUnknownName(const std::string& name);

// Jet's 3096 when a WHERE clause calls COUNT, SUM, MIN, MAX or AVG.
void refuseAggregateInWhere(const Expr& where, const std::string& whereText);

}  // namespace jet::sql
