#include "jet/sql/sql.h"

#include "jet/sql/executor.h"
#include "jet/sql/parser.h"
#include "jet/sql/write_statement.h"

namespace jet::sql {

bool isSelect(std::string_view sqlText) {
    return std::holds_alternative<SelectStmt>(parse(sqlText));
}

ResultSet query(Database& db, std::string_view sqlText) {
    return query(db, sqlText, {});
}

ResultSet query(Database& db, std::string_view sqlText, const QueryOptions& options) {
    Statement statement = parse(sqlText);
    if (auto* select = std::get_if<SelectStmt>(&statement)) {
        return executeSelect(db, *select, options);
    }
    checkWriteStatement(db, statement);
    throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                "INSERT, UPDATE and DELETE return no rows: run them with execute()");
}

long execute(Database& db, std::string_view sqlText) {
    return execute(db, sqlText, {});
}

long execute(Database& db, std::string_view sqlText, const QueryOptions& options) {
    Statement statement = parse(sqlText);
    if (auto* u = std::get_if<UpdateStmt>(&statement)) return executeUpdate(db, *u, options);
    if (auto* d = std::get_if<DeleteStmt>(&statement)) return executeDelete(db, *d, options);
    if (auto* i = std::get_if<InsertStmt>(&statement)) return executeInsert(db, *i, options);
    throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                "A SELECT returns rows: run it with query()");
}

}  // namespace jet::sql
