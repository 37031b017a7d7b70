// Binding a parsed statement to a database: tables and columns by name, and the checks
// Jet makes before it reads a row.
//
// A statement reads one table (slot 0) or two joined tables (slots 0 and 1). Binding fills
// each ColumnRef's slot and column position, and raises Jet's errors: 3078 for a missing
// table, 3070 naming an unknown column, 3079 for a name both tables have, and 3464 "Data
// type mismatch in criteria expression." when a column is compared with a literal of a type
// it can never equal (text with a number, a number with text that is not a number).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/sql/ast.h"

namespace jet::sql {

struct Source {
    const TableDef* table = nullptr;
};

// The table by name, or Jet's 3078 error naming it.
const TableDef& findTable(Database& db, std::string_view name);

class Binder {
public:
    explicit Binder(std::vector<Source> sources) : sources_(std::move(sources)) {}

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
    std::vector<Source> sources_;
};

[[noreturn]] void throwUnknownName(const std::string& name);

// Jet's 3096 when a WHERE clause calls COUNT, SUM, MIN, MAX or AVG.
void refuseAggregateInWhere(const Expr& where, const std::string& whereText);

}  // namespace jet::sql
