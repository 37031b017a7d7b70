#include "jet/sql/write_statement.h"

#include <optional>
#include <utility>

#include "jet/error.h"
#include "jet/sql/access_path.h"
#include "jet/sql/binder.h"
#include "jet/sql/executor.h"
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
                                bool keepValues, const QueryOptions& options,
                                const SubqueryRunner* subqueries) {
    const JetVersion version = db.info().version;
    AccessPath path;
    if (options.useIndexes) path = chooseAccessPath(table, 0, conjunctsOf(where), version);
    Evaluator eval(version, subqueries);
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
// expression computed from the row (then converted).
struct SetItem {
    size_t column = 0;
    std::optional<Value> literal;
    const Expr* value = nullptr;
};

[[noreturn]] void throwUnknownInsertField(const std::string& name) {
    throw Error(ErrorKind::NoSuchColumn, errnum::kInsertUnknownField,
                "The INSERT INTO statement contains the following unknown field name: '" + name +
                    "'.  Make sure you have typed the name correctly, and try the operation "
                    "again.");
}

[[noreturn]] void throwValueCount() {
    throw Error(ErrorKind::Syntax, errnum::kInsertValueCount,
                "Number of query values and destination fields are not the same.");
}

size_t destinationColumn(const TableDef& table, const std::string& name) {
    auto pos = table.findColumn(name);
    if (!pos) throwUnknownInsertField(name);
    return *pos;
}

// A VALUES item names no column: Jet takes an unknown name there for a parameter.
void refuseNames(const Expr& e) {
    if (e.kind == Expr::Kind::Column)
        throw Error(ErrorKind::NoSuchColumn, errnum::kTooFewParameters,
                    "No value given for one or more required parameters.");
    for (const auto& a : e.args) refuseNames(*a);
}

}  // namespace

long executeUpdate(Database& db, UpdateStmt& u, const QueryOptions& options) {
    const TableDef& table = findTable(db, u.table);
    const StatementSubqueries subqueries = subqueriesFor(db, options);
    Binder binder({Source{&table, {}}}, {}, subqueries.binder);
    const JetVersion version = db.info().version;
    std::vector<SetItem> items;
    for (auto& a : u.assignments) {
        binder.bindColumn(a.column);
        binder.bindExpr(*a.value);
        SetItem item;
        item.column = a.column.boundColumn;
        const ColumnDef& column = table.columns.at(item.column);
        if (containsAggregate(*a.value))
            throw Error(ErrorKind::Syntax, errnum::kAggregateInExpression,
                        "Cannot have aggregate function in expression (" + column.name + ").");
        if (a.value->kind == Expr::Kind::Literal) {
            item.literal = convertForColumn(column, a.value->literal, version);
        } else {
            item.value = a.value.get();
        }
        // A column set twice keeps the last value, as Jet does.
        items.push_back(std::move(item));
    }
    if (u.where) {
        binder.bindExpr(*u.where);
        refuseAggregateInWhere(*u.where, u.whereText);
    }

    TableWriter writer(db, table.name);
    Evaluator eval(version, subqueries.runner);
    std::vector<Match> rows =
        matchingRows(db, table, u.where.get(), true, options, subqueries.runner);
    if (rows.empty()) return 0;
    // Every new row is computed before the first write, so a value that does not convert
    // for some row leaves the file untouched.
    for (Match& m : rows) {
        std::vector<Value> next = m.values;
        RowContext ctx;
        ctx.sources[0] = &m.values;
        for (const SetItem& item : items) {
            next[item.column] = item.literal
                                    ? *item.literal
                                    : convertForColumn(table.columns[item.column],
                                                       eval.value(*item.value, ctx), version);
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
    const StatementSubqueries subqueries = subqueriesFor(db, options);
    Binder binder({Source{&table, {}}}, {}, subqueries.binder);
    if (d.where) {
        binder.bindExpr(*d.where);
        refuseAggregateInWhere(*d.where, d.whereText);
    }
    TableWriter writer(db, table.name);
    std::vector<Match> rows =
        matchingRows(db, table, d.where.get(), false, options, subqueries.runner);
    if (rows.empty()) return 0;
    SaveScope save(db);
    for (const Match& m : rows) writer.remove(m.id);
    save.commit();
    return static_cast<long>(rows.size());
}

long executeInsert(Database& db, InsertStmt& ins, const QueryOptions& options) {
    const TableDef& table = findTable(db, ins.table);
    const JetVersion version = db.info().version;
    std::vector<size_t> targets;
    for (const std::string& name : ins.columns) targets.push_back(destinationColumn(table, name));

    // The new rows as given, before conversion: one VALUES row, or the SELECT's rows.
    std::vector<std::vector<Value>> given;
    if (ins.select) {
        ResultSet rows = executeSelect(db, *ins.select, options);
        if (targets.empty()) {
            // Without a column list, each result column goes to the column of its name.
            for (const ResultColumn& c : rows.columns) {
                auto pos = table.findColumn(c.name);
                if (!pos && !c.baseColumn.empty()) pos = table.findColumn(c.baseColumn);
                if (!pos) throwUnknownInsertField(c.name);
                targets.push_back(*pos);
            }
        } else if (targets.size() != rows.columns.size()) {
            throwValueCount();
        }
        given = std::move(rows.rows);
    } else {
        if (targets.empty()) {
            for (size_t i = 0; i < table.columns.size(); ++i) targets.push_back(i);
        }
        if (targets.size() != ins.values.size()) throwValueCount();
        Binder binder({});
        Evaluator eval(version);
        std::vector<Value> row;
        for (auto& e : ins.values) {
            refuseNames(*e);
            binder.bindExpr(*e);
            if (containsAggregate(*e))
                throw Error(ErrorKind::Syntax, errnum::kAggregateInExpression,
                            "Cannot have aggregate function in expression (VALUES).");
            row.push_back(eval.value(*e, RowContext{}));
        }
        given.push_back(std::move(row));
    }

    // Every row is converted before the first write: a bad value leaves the file untouched.
    std::vector<std::vector<Value>> rows;
    rows.reserve(given.size());
    for (const auto& g : given) {
        std::vector<Value> row(table.columns.size());
        for (size_t i = 0; i < targets.size(); ++i)
            row[targets[i]] = convertForColumn(table.columns[targets[i]], g[i], version);
        rows.push_back(std::move(row));
    }
    TableWriter writer(db, table.name);
    if (rows.empty()) return 0;
    SaveScope save(db);
    for (const auto& row : rows) writer.insert(row);
    save.commit();
    return static_cast<long>(rows.size());
}

}  // namespace jet::sql
