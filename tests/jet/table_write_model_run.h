// Runs a random sequence of writes (fixed seed) on tables of one database file against the
// model of table_write_model.h: inserts, updates (long values growing and shrinking across
// storage kinds, key columns changed, set to and from Null), deletes, refused duplicates and
// Null keys, groups of writes in one save that are committed or abandoned, UPDATE and
// DELETE statements run by the SQL executor beside the run's own table writers, and (for
// long-key tables) every row's indexed text set to one long value and back. Every
// `checkEvery` operations, and at the end after reopening the file, the engine must read
// exactly the model; the whole-file checker must find no problem the file did not have
// before.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "jet/db_check.h"
#include "jet/sql/sql.h"
#include "jet/table_writer.h"
#include "table_write_model.h"

namespace tablewrite_test {

struct ModelTarget {
    std::string table;
    std::vector<std::string> active;  // columns written (all when empty); key columns always
    // Long, often equal text values, and now and then every row's indexed text column set
    // to one value and back.
    bool longKeys = false;
};

inline std::set<std::string> problemTexts(Database& db) {
    std::set<std::string> out;
    for (const Problem& p : checkDatabase(db)) out.insert(p.describe());
    return out;
}

class ModelRun {
public:
    ModelRun(fs::path file, std::vector<ModelTarget> targets, unsigned seed)
        : file_(std::move(file)), targets_(std::move(targets)), rng_(seed) {}

    // Runs `ops` operations, then reopens the file and checks it. Failures are reported
    // through gtest (callers stop on HasFatalFailure()).
    // checkerEvery > 0: the whole-file checker also runs every that many operations (and
    // after each half of a mass update).
    void run(int ops, int checkEvery = 50, int checkerEvery = 0) {
        baselineProblems_ = problemTexts(*Database::open(file_.string()));
        checkerEvery_ = checkerEvery;
        {
            OpenOptions o;
            o.writable = true;
            o.sync = false;  // atomic against a crash of this process; enough for a test
            db_ = Database::open(file_.string(), o);
            for (const ModelTarget& target : targets_) addTable(target);
            for (int op = 1; op <= ops; ++op) {
                step();
                if (::testing::Test::HasFatalFailure() || broken_) {
                    ADD_FAILURE() << "at operation " << op << " (seed sequence)";
                    return;
                }
                if (op % checkEvery == 0) {
                    compareWithEngine(*db_, "after operation " + std::to_string(op));
                    if (::testing::Test::HasFatalFailure()) return;
                }
                if (checkerEvery_ > 0 && op % checkerEvery_ == 0) {
                    checkNow("after operation " + std::to_string(op));
                    if (broken_) return;
                }
            }
            if (ops >= 2 * checkEvery) {
                // The checker on the open, written database (its caches after many saves).
                for (const std::string& p : problemTexts(*db_))
                    EXPECT_TRUE(baselineProblems_.count(p)) << "while open: " << p;
            }
            tables_.clear();
            db_.reset();
        }
        auto db = Database::open(file_.string());
        compareWithEngine(*db, "after reopening");
        for (const std::string& p : problemTexts(*db))
            EXPECT_TRUE(baselineProblems_.count(p)) << "new problem: " << p;
        for (const auto& [name, rows] : models_)
            EXPECT_EQ(db->table(name).rowCount, rows.size()) << "row count of " << name;
    }

    const ModelRows& rows(const std::string& table) const { return models_.at(table); }
    const std::map<std::string, ModelRows>& models() const { return models_; }
    const fs::path& file() const { return file_; }
    // How many operations of each kind were done (and refused), for the test's log.
    const std::map<std::string, int>& counts() const { return counts_; }

private:
    struct Table {
        std::string name;
        std::unique_ptr<TableWriter> writer;
        std::unique_ptr<RowGenerator> gen;
        bool longKeys = false;
    };

    void addTable(const ModelTarget& target) {
        const TableDef& t = db_->table(target.table);
        std::vector<size_t> active;
        for (const std::string& c : target.active) {
            auto i = t.findColumn(c);
            ASSERT_TRUE(i.has_value()) << c;
            active.push_back(*i);
        }
        Table tb;
        tb.name = target.table;
        tb.longKeys = target.longKeys;
        tb.writer = std::make_unique<TableWriter>(*db_, target.table);
        tb.gen = std::make_unique<RowGenerator>(t, db_->format(), rng_, active);
        tb.gen->setLongText(target.longKeys);
        models_[target.table] = engineRows(*db_, target.table);
        tables_.push_back(std::move(tb));
    }

    void compareWithEngine(Database& db, const std::string& when) {
        for (const auto& [name, model] : models_) {
            auto diffs = modelDifferences(db.table(name), model, engineRows(db, name));
            for (const auto& d : diffs) ADD_FAILURE() << name << " " << when << ": " << d;
            ASSERT_TRUE(diffs.empty());
        }
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

    RowId anyRow(const ModelRows& rows) {
        auto it = rows.begin();
        std::advance(it, pick(rows.size()));
        return it->first;
    }

    // One write the model predicts, or a group of writes in one save.
    void step() {
        const int kind = static_cast<int>(pick(24));
        Table& tb = tables_[pick(tables_.size())];
        if (tb.longKeys && pick(8) == 0) return massUpdate(tb);
        if (kind == 19) return group();
        if (kind == 20 || kind == 21) return sqlOneRow(tb, kind == 21);
        if (kind >= 22) return sqlManyRows(tb);
        write(tb, kind, true);
    }

    // An SQL literal for v, or "" when the statement cannot express it.
    static std::string literal(const Value& v) {
        if (v.isNull()) return "Null";
        if (v.is<Text>()) {
            std::string out = "'";
            for (char c : v.get<Text>().utf8)
                out += c == '\'' ? std::string("''") : std::string(1, c);
            return out + "'";
        }
        if (v.is<uint8_t>()) return std::to_string(v.get<uint8_t>());
        if (v.is<int16_t>()) return std::to_string(v.get<int16_t>());
        if (v.is<int32_t>()) return std::to_string(v.get<int32_t>());
        return "";
    }

    static bool sqlSettable(const ColumnDef& c) {
        return c.type == ColumnType::Text || c.type == ColumnType::Memo ||
               c.type == ColumnType::Byte || c.type == ColumnType::Integer ||
               c.type == ColumnType::Long;
    }

    // The single-column primary key the statements name rows by, if the table has one of a
    // type SQL literals express.
    std::optional<size_t> sqlKey(const TableDef& t) const {
        for (const IndexDef& ix : t.indexes)
            if (ix.primaryKey && ix.columns.size() == 1 &&
                sqlSettable(t.columns[ix.columns[0].column]) &&
                t.columns[ix.columns[0].column].type != ColumnType::Memo)
                return ix.columns[0].column;
        return std::nullopt;
    }

    // `UPDATE t SET c = literal WHERE key = k` or `DELETE FROM t WHERE key = k` through the
    // SQL executor (which writes with a TableWriter of its own beside this run's).
    void sqlOneRow(Table& tb, bool remove) {
        ModelRows& model = models_[tb.name];
        const TableDef& t = db_->table(tb.name);
        auto key = sqlKey(t);
        if (!key || model.empty()) return;
        const RowId id = anyRow(model);
        const std::string where =
            " WHERE [" + t.columns[*key].name + "] = " + literal(model.at(id)[*key]);
        if (remove) {
            if (!sqlAttempt("DELETE FROM [" + tb.name + "]" + where, "", 1)) return;
            model.erase(id);
            return;
        }
        std::vector<Value> row = tb.gen->changedRow(model.at(id), model);
        std::string set;
        for (size_t c = 0; c < row.size(); ++c) {
            if (row[c] == model.at(id)[c]) continue;
            if (!sqlSettable(t.columns[c]) || c == *key) {
                row[c] = model.at(id)[c];
                continue;
            }
            set += (set.empty() ? "" : ", ") + ("[" + t.columns[c].name + "] = ") + literal(row[c]);
        }
        if (set.empty()) return;
        const std::string why = tb.gen->refusal(row, model, id);
        if (!sqlAttempt("UPDATE [" + tb.name + "] SET " + set + where, why, 1)) return;
        model[id] = row;
    }

    // `UPDATE t SET c = literal WHERE w < n`: many rows at once, a column of no unique index.
    void sqlManyRows(Table& tb) {
        ModelRows& model = models_[tb.name];
        const TableDef& t = db_->table(tb.name);
        if (model.empty()) return;
        std::set<size_t> unique;
        for (const IndexDef& ix : t.indexes)
            if (ix.unique || ix.primaryKey)
                for (const IndexColumn& c : ix.columns) unique.insert(c.column);
        std::vector<size_t> settable, numbers;
        for (size_t c : tb.gen->activeColumns()) {
            const ColumnDef& col = t.columns[c];
            if (sqlSettable(col) && !unique.count(c)) settable.push_back(c);
            if (col.type == ColumnType::Integer || col.type == ColumnType::Long)
                numbers.push_back(c);
        }
        if (settable.empty() || numbers.empty()) return;
        const size_t c = settable[pick(settable.size())], w = numbers[pick(numbers.size())];
        const Value& pivot = model.at(anyRow(model))[w];
        if (pivot.isNull()) return;
        auto number = [](const Value& v) -> int64_t {
            return v.is<int16_t>() ? v.get<int16_t>() : v.get<int32_t>();
        };
        std::vector<Value> sample = tb.gen->newRow(model);
        const Value value = sample[c];
        std::vector<RowId> matched;
        for (const auto& [id, row] : model)
            if (!row[w].isNull() && number(row[w]) < number(pivot)) matched.push_back(id);
        const std::string sql = "UPDATE [" + tb.name + "] SET [" + t.columns[c].name +
                                "] = " + literal(value) + " WHERE [" + t.columns[w].name + "] < " +
                                literal(pivot);
        if (!sqlAttempt(sql, "", static_cast<long>(matched.size()))) return;
        for (RowId id : matched) model[id][c] = value;
    }

    // `UPDATE t SET c = literal` with no condition, c a text column of a non-unique index,
    // the value near the column's limit; then, in one save, every row's old value back. The
    // checker runs after each half.
    void massUpdate(Table& tb) {
        ModelRows& model = models_[tb.name];
        const TableDef& t = db_->table(tb.name);
        if (model.empty()) return;
        std::set<size_t> unique, indexed;
        for (const IndexDef& ix : t.indexes)
            for (const IndexColumn& c : ix.columns)
                (ix.unique || ix.primaryKey ? unique : indexed).insert(c.column);
        std::vector<size_t> columns;
        for (size_t c : indexed)
            if (t.columns[c].type == ColumnType::Text && !unique.count(c) &&
                tb.gen->activeColumns().count(c))
                columns.push_back(c);
        if (columns.empty()) return;
        const size_t c = columns[pick(columns.size())];
        const Value value = tb.gen->longText(c);
        const ModelRows before = model;
        const std::string name = "[" + t.columns[c].name + "]";
        if (!sqlAttempt("UPDATE [" + tb.name + "] SET " + name + " = " + literal(value), "",
                        static_cast<long>(model.size())))
            return;
        for (auto& [id, row] : model) row[c] = value;
        checkNow("after setting every " + name + " to one value");
        if (broken_) return;
        {
            SaveScope scope(*db_);
            for (const auto& [id, row] : before)
                if (!attempt("update", "", row, [&] { tb.writer->update(id, row); })) return;
            scope.commit();
        }
        model = before;
        ++counts_["mass update"];
        checkNow("after giving every " + name + " its value back");
    }

    // The whole-file checker on the open database: nothing the file did not have before.
    void checkNow(const std::string& when) {
        for (const std::string& p : problemTexts(*db_)) {
            if (baselineProblems_.count(p)) continue;
            ADD_FAILURE() << when << ": " << p;
            broken_ = true;
        }
    }

    // Runs the statement; false when it was refused (as expected: `why` not empty). It must
    // report `rows` rows changed.
    bool sqlAttempt(const std::string& sql, const std::string& why, long rows) {
        long affected = -1;
        const bool done = attempt("sql", why, {}, [&] { affected = sql::execute(*db_, sql); });
        if (done && affected != rows) {
            ADD_FAILURE() << sql.substr(0, 300) << ": " << affected << " rows, expected " << rows;
            broken_ = true;
        }
        if (broken_) ADD_FAILURE() << "statement: " << sql.substr(0, 300);
        return done;
    }

    // kind 0..18: 0-8 insert (7 a duplicate key, 8 a Null key), 9-16 update (15, 16 the
    // same), 17-18 delete. `allowRefusal` false skips writes that would be refused (inside a
    // group save, where a refused write leaves the save to be abandoned).
    void write(Table& tb, int kind, bool allowRefusal) {
        ModelRows& model = models_[tb.name];
        RowGenerator& gen = *tb.gen;
        if (kind < 9 || model.empty()) {
            std::vector<Value> row = gen.newRow(model);
            if (kind == 7 && !model.empty()) {
                if (auto dup = gen.duplicateOf(row, model.at(anyRow(model)))) row = *dup;
            } else if (kind == 8) {
                if (auto nul = gen.nullKeyOf(row)) row = *nul;
            }
            const std::string why = gen.refusal(row, model, std::nullopt);
            if (!why.empty() && !allowRefusal) return;
            RowId id;
            if (!attempt("insert", why, row, [&] { id = tb.writer->insert(row); })) return;
            ASSERT_EQ(model.count(id), 0u) << "insert reused live row " << rowIdText(id);
            model[id] = row;
            return;
        }
        const RowId id = anyRow(model);
        if (kind < 17) {
            std::vector<Value> row = gen.changedRow(model.at(id), model);
            if (kind == 15) {
                if (auto dup = gen.duplicateOf(row, model.at(anyRow(model)))) row = *dup;
            } else if (kind == 16) {
                if (auto nul = gen.nullKeyOf(row)) row = *nul;
            }
            const std::string why = gen.refusal(row, model, id);
            if (!why.empty() && !allowRefusal) return;
            if (!attempt("update", why, row, [&] { tb.writer->update(id, row); })) return;
            model[id] = row;
            return;
        }
        if (!attempt("delete", "", model.at(id), [&] { tb.writer->remove(id); })) return;
        model.erase(id);
    }

    // Runs the write; false when it was refused (as the model expected: `why` not empty).
    // An outcome the model did not expect is a failure and stops the sequence.
    template <class F>
    bool attempt(const std::string& what, const std::string& why, const std::vector<Value>& row,
                 F&& body) {
        try {
            body();
        } catch (const Error& e) {
            ++counts_[what + " refused"];
            if (why.empty() || e.kind() != ErrorKind::Constraint) {
                ADD_FAILURE() << what << " refused unexpectedly: " << e.what() << "\n"
                              << rowText(row);
                broken_ = true;
            }
            return false;
        }
        ++counts_[what];
        if (!why.empty()) {
            ADD_FAILURE() << what << " not refused: " << why << "\n" << rowText(row);
            broken_ = true;
        }
        return true;
    }

    // Two to six writes in one save, committed, or (one time in three) abandoned, which must
    // leave every table as it was before the save.
    void group() {
        const auto before = models_;
        const bool commit = pick(3) != 0;
        {
            SaveScope scope(*db_);
            const size_t n = 2 + pick(5);
            for (size_t i = 0; i < n; ++i) {
                write(tables_[pick(tables_.size())], static_cast<int>(pick(19)), false);
                if (::testing::Test::HasFatalFailure() || broken_) return;
            }
            if (commit) scope.commit();
        }
        ++counts_[commit ? "group committed" : "group abandoned"];
        if (!commit) models_ = before;
    }

    fs::path file_;
    std::vector<ModelTarget> targets_;
    std::mt19937 rng_;
    std::shared_ptr<Database> db_;
    std::vector<Table> tables_;
    std::map<std::string, ModelRows> models_;
    std::set<std::string> baselineProblems_;
    std::map<std::string, int> counts_;
    int checkerEvery_ = 0;
    bool broken_ = false;
};

}  // namespace tablewrite_test
