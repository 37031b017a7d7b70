// Jet SQL: the statements the program sends, parsed and run against a Database.
//
// SELECT [TOP n] with *, columns, Table.Column, computed values, AS aliases; FROM one table
// or A INNER JOIN B ON A.x = B.y; WHERE with comparisons, AND/OR/NOT, IS [NOT] NULL, LIKE;
// GROUP BY with COUNT/SUM/MIN/MAX/AVG and HAVING (grouping.h); ORDER BY. Values may use
// `&` and the functions of functions.h. INSERT INTO t [(cols)] VALUES (...) or SELECT ...,
// UPDATE ... SET ... [WHERE] and DELETE [*] FROM ... [WHERE].
// Text compares and sorts as Jet does (jet::compareText). WHERE col = literal uses an index
// on col when the table has one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/sql/result_set.h"
#include "jet/value.h"

namespace jet::sql {

// Runs a SELECT. Throws Error(Syntax) for bad SQL, NoSuchTable / NoSuchColumn naming the
// missing name, Unsupported for a statement that is not a SELECT (those go to execute()).
ResultSet query(Database& db, std::string_view sqlText);

ResultSet query(Database& db, std::string_view sqlText, const QueryOptions& options);

// Runs an INSERT, UPDATE or DELETE as one atomic save and returns the number of rows it
// added, changed or deleted; on any error nothing is changed. The database must be open for
// writing (Error(ReadOnly) otherwise). Same name errors as query(); a SET value that does not
// convert to its column is Error(Type, 3464); a duplicate key Error(Constraint, 3022).
// A SELECT is refused with Error(Unsupported).
long execute(Database& db, std::string_view sqlText);
long execute(Database& db, std::string_view sqlText, const QueryOptions& options);

// Whether the text is a SELECT (as opposed to INSERT / UPDATE / DELETE). Throws Error(Syntax).
bool isSelect(std::string_view sqlText);

}  // namespace jet::sql
