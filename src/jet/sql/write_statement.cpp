#include "jet/sql/write_statement.h"

#include <optional>
#include <utility>

#include "jet/error.h"
#include "jet/sql/access_path.h"
#include "jet/sql/binder.h"
#include "jet/sql/expr_eval.h"
#include "jet/sql/set_value.h"
#include "jet/table_writer.h"

namespace jet::sql {
namespace {

struct Match {
    RowId id;
    std::vector<Value> values;
};

// The rows of `table` satisfying the bound WHERE (every row when there is none), with all
// their values when keepValues is set.
std::vector<Match> matchingRows(Database& db, const TableDef& table, const Expr* where,
                                bool keepValues, const QueryOptions& options) {
    const JetVersion version = db.info().version;
    AccessPath path;
    if (options.useIndexes) path = chooseAccessPath(table, 0, conjunctsOf(where), version);
    Evaluator eval(version);
    std::vector<Match> out;
    size_t read = 0;
    forEachCandidate(db, table, path, {}, [&](RowId id, const std::vector<Value>& values) {
        ++read;
        RowContext ctx;
        ctx.sources[0] = &values;
        if (where && eval.test(*where, ctx) != Truth::True) return;
        out.push_back(Match{id, keepValues ? values : std::vector<Value>{}});
    });
    if (options.plan) {
        options.plan->push_back(
            table.name + ": " +
            (path.index ? "index " + path.index->name + ", " + std::to_string(read) + " rows"
                        : std::string("scan")));
    }
    return out;
}

// One SET item after binding: the target column and either a converted literal or the
// source column whose value (converted) is copied.
struct SetItem {
    size_t column = 0;
    std::optional<Value> literal;
    size_t sourceColumn = 0;
};

}  // namespace

long executeUpdate(Database& db, UpdateStmt& u, const QueryOptions& options) {
    const TableDef& table = findTable(db, u.table);
    Binder binder({Source{&table}});
    const JetVersion version = db.info().version;
    std::vector<SetItem> items;
    for (auto& a : u.assignments) {
        binder.bindColumn(a.column);
        binder.bindExpr(*a.value);
        SetItem item;
        item.column = a.column.boundColumn;
        const ColumnDef& column = table.columns.at(item.column);
        if (a.value->kind == Expr::Kind::Literal) {
            item.literal = convertForColumn(column, a.value->literal, version);
        } else if (a.value->kind == Expr::Kind::Column) {
            item.sourceColumn = a.value->column.boundColumn;
        } else {
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        "SET '" + column.name + "' takes a value or a column, not an expression");
        }
        // A column set twice keeps the last value, as Jet does.
        items.push_back(std::move(item));
    }
    if (u.where) binder.bindExpr(*u.where);

    TableWriter writer(db, table.name);
    std::vector<Match> rows = matchingRows(db, table, u.where.get(), true, options);
    if (rows.empty()) return 0;
    // Every new row is computed before the first write, so a value that does not convert
    // for some row leaves the file untouched.
    for (Match& m : rows) {
        std::vector<Value> next = m.values;
        for (const SetItem& item : items) {
            next[item.column] = item.literal
                                    ? *item.literal
                                    : convertForColumn(table.columns[item.column],
                                                       m.values.at(item.sourceColumn), version);
        }
        m.values = std::move(next);
    }
    SaveScope save(db);
    for (const Match& m : rows) writer.update(m.id, m.values);
    save.commit();
    return static_cast<long>(rows.size());
}

long executeDelete(Database& db, DeleteStmt& d, const QueryOptions& options) {
    const TableDef& table = findTable(db, d.table);
    Binder binder({Source{&table}});
    if (d.where) binder.bindExpr(*d.where);
    TableWriter writer(db, table.name);
    std::vector<Match> rows = matchingRows(db, table, d.where.get(), false, options);
    if (rows.empty()) return 0;
    SaveScope save(db);
    for (const Match& m : rows) writer.remove(m.id);
    save.commit();
    return static_cast<long>(rows.size());
}

}  // namespace jet::sql
