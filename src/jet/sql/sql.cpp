#include "jet/sql/sql.h"

#include "jet/sql/executor.h"
#include "jet/sql/parser.h"

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
                "UPDATE and DELETE are not supported yet");
}

}  // namespace jet::sql
