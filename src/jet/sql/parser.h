// Jet SQL parser: statement text to syntax tree.
//
// parse() accepts the statements the engine runs (SELECT, UPDATE, DELETE; see sql.h) and
// never crashes, hangs or recurses without bound on any input: the text length, the
// nesting depth of expressions and the number of list items are limited. Any text it does
// not accept raises Error(Syntax) with Jet's number and message for that kind of mistake
// (for example 3075 "Syntax error in query expression '...'.", 3131 "Syntax error in FROM
// clause."). Names are not checked here; binding to a database does that.
#pragma once

#include <string>
#include <string_view>

#include "jet/sql/ast.h"

namespace jet::sql {

// Deepest nesting of parentheses / NOT / operators accepted in one expression.
inline constexpr int kMaxExpressionDepth = 1000;

// Tallest expression tree accepted, a subquery's expressions counting within the one that
// holds it. A chain of operators (a AND b AND c ...) nests no parentheses but makes the tree
// as tall as it is long, and everything that walks the tree recurses.
inline constexpr int kMaxExpressionHeight = 1000;

Statement parse(std::string_view sqlText);

// Parses the text between the hashes of a #date# literal ("12/31/2024",
// "2024-12-31 13:45:00", "1:30 PM") to an OLE automation date. False when it is not a date.
bool parseDateLiteral(std::string_view text, DateTime& out);

}  // namespace jet::sql
