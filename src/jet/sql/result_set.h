// What a query returns, and the options it runs with: shared by the SQL entry points
// (sql.h) and the statement runners below them (executor.h, write_statement.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/schema.h"
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

struct QueryOptions {
    // Off: every table is scanned (tests compare an index lookup with a scan this way).
    bool useIndexes = true;
    // When set, receives one line per table read saying how: "Table1: scan",
    // "Table1: index CD_AGENTE, 1 rows", "Table2: join probe by index id",
    // "Table2: join hash of 3 rows".
    std::vector<std::string>* plan = nullptr;
};

}  // namespace jet::sql
