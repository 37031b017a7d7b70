// Evaluating bound WHERE / ON expressions on rows, with Jet's comparison rules.
//
// A row context holds the current row of each source of a statement (the FROM table and
// the joined table). Predicates are three-valued: comparing with Null is Unknown, and a row
// is selected only when its WHERE is True. Text compares with jet::compareText
// (case-insensitive, Access's order); numbers of every width, Currency, Decimal, Boolean
// (-1 / 0) and dates compare by value; text against a number is Jet's error 3464 "Data type
// mismatch in criteria expression." unless the text reads as a number. LIKE is
// case-insensitive with the wildcards % and * (any run), _ and ? (one character) and
// [abc] / [!abc] / [a-z] character lists; on a non-text value it matches the value's text
// form. `a & b` joins the text forms of its sides (a Null side counts as empty text; both
// Null give Null); function calls are evaluated by functions.h.
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

struct RowContext {
    std::array<const std::vector<Value>*, 2> sources{nullptr, nullptr};
    // In a grouped query: each aggregate call's value for the current group.
    const std::map<const Expr*, Value>* aggregates = nullptr;
};

class Evaluator {
public:
    explicit Evaluator(JetVersion version) : version_(version) {}

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
    JetVersion version_;
};

// LIKE matching (see the header comment). Both sides UTF-8.
bool likeMatch(std::string_view text, std::string_view pattern);

}  // namespace jet::sql
