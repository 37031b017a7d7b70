// Running bound statements: planning (index lookup or scan, join strategy), filtering,
// sorting and counting. query() in sql.h parses and hands over to these.
#pragma once

#include <memory>

#include "jet/database.h"
#include "jet/sql/ast.h"
#include "jet/sql/result_set.h"

namespace jet::sql {

ResultSet executeSelect(Database& db, SelectStmt& select, const QueryOptions& options);

class SubqueryBinder;
class SubqueryRunner;

// What binds and runs the subqueries of an UPDATE's or DELETE's expressions.
struct StatementSubqueries {
    std::shared_ptr<void> owner;
    SubqueryBinder* binder = nullptr;
    const SubqueryRunner* runner = nullptr;
};
StatementSubqueries subqueriesFor(Database& db, const QueryOptions& options);

// Binds an UPDATE or DELETE (table, SET columns, WHERE) or finds an INSERT's table, raising
// the same errors a run would raise for bad names or types. Running them needs the writing
// engine.
void checkWriteStatement(Database& db, Statement& statement);

}  // namespace jet::sql
