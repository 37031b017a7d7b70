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
#include "jet/value.h"

namespace jet::sql {

struct ResultColumn {
    std::string name;  // field name as the recordset shows it (alias, column, "Expr1000")
    ColumnType type = ColumnType::Long;
    uint16_t size = 0;       // declared size in bytes (text: characters * 2 for Jet 4)
    std::string baseTable;   // table the column comes from ("" for computed fields)
    std::string baseColumn;  // column name in that table
};

struct ResultSet {
    std::vector<ResultColumn> columns;
    std::vector<std::vector<Value>> rows;
    // For a SELECT over one table: that table and each result row's address, so a
    // recordset can write a row back. Empty for joins and COUNT(*).
    std::string baseTable;
    std::vector<RowId> rowIds;
};

// Runs a SELECT. Throws Error(Syntax) for bad SQL, NoSuchTable / NoSuchColumn naming the
// missing name, Unsupported for a statement that is not a SELECT (those go to execute()).
ResultSet query(Database& db, std::string_view sqlText);

struct QueryOptions {
    // Off: every table is scanned (tests compare an index lookup with a scan this way).
    bool useIndexes = true;
    // When set, receives one line per table read saying how: "Table1: scan",
    // "Table1: index CD_AGENTE, 1 rows", "Table2: join probe by index id",
    // "Table2: join hash of 3 rows".
    std::vector<std::string>* plan = nullptr;
};
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
