// Evaluating bound WHERE / ON expressions on rows, with Jet's comparison rules.
//
// A row context holds the current row of each source of a statement (the FROM table and
// the joined table). Predicates are three-valued: comparing with Null is Unknown, and a row
// is selected only when its WHERE is True. Text compares with jet::compareText
// (case-insensitive, Access's order); numbers of every width, Currency, Decimal, Boolean
// (-1 / 0) and dates compare by value; text against a number is Jet's error 3464 "Data type
// mismatch in criteria expression." unless the text reads as a number. LIKE is
// case-insensitive with the wildcards % and * (any run), _ and ? (one character), # (one
// digit) and [abc] / [!abc] / [a-z] character lists; on a non-text value it matches the
// value's text form. `a & b` joins the text forms of its sides (a Null side counts as empty
// text; both Null give Null); arithmetic follows arithmetic.h; function calls are evaluated
// by functions.h. `x IN (a, b)` is `x = a OR x = b`, `x BETWEEN a AND b` is
// `x >= a AND x <= b` (with Null as those give it); subqueries are run by the statement's
// SubqueryRunner.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/sql/ast.h"
#include "jet/sql/value_forms.h"
#include "jet/types.h"
#include "jet/value.h"

namespace jet::sql {

enum class Truth { False, True, Unknown };

// Row slots: 0 and 1 are a statement's own tables, 2 and 3 those of the statement a
// subquery sits in.
inline constexpr size_t kRowSlots = 4;

struct RowContext {
    std::array<const std::vector<Value>*, kRowSlots> sources{nullptr, nullptr, nullptr, nullptr};
    // In a grouped query: each aggregate call's value for the current group.
    const std::map<const Expr*, Value>* aggregates = nullptr;
};

// Runs the subqueries of a statement for the evaluator.
class SubqueryRunner {
public:
    virtual ~SubqueryRunner() = default;
    // The first column of the subquery's rows, with `outer` as the enclosing row.
    virtual const std::vector<Value>& firstColumn(const SelectStmt& subquery,
                                                  const RowContext& outer) const = 0;
};

class Evaluator {
public:
    explicit Evaluator(JetVersion version, const SubqueryRunner* subqueries = nullptr)
        : version_(version), subqueries_(subqueries) {}

    // Whether the row satisfies a bound predicate. Throws Error(Type) on a type mismatch.
    Truth test(const Expr& e, const RowContext& row) const;

    // Three-way comparison of two non-Null values for a predicate; throws Error(Type)
    // (3464) when they cannot be compared.
    int compare(const Value& a, const Value& b) const;

    // Order of ORDER BY: Null before every value, then compare().
    int compareForSort(const Value& a, const Value& b) const;

    // The value of any bound expression; a predicate gives True, False or Null.
    Value value(const Expr& e, const RowContext& row) const;

private:
    // Literals and columns by reference; anything computed is put in scratch.
    const Value& operand(const Expr& e, const RowContext& row, Value& scratch) const;
    const std::vector<Value>& subqueryRows(const Expr& e, const RowContext& row) const;
    Truth equalsAny(const Value& v, const std::vector<Value>& candidates) const;
    Truth compareTruth(CompareOp op, const Value& a, const Value& b) const;
    JetVersion version_;
    const SubqueryRunner* subqueries_;
};

// LIKE matching (see the header comment). Both sides UTF-8.
bool likeMatch(std::string_view text, std::string_view pattern);

}  // namespace jet::sql
