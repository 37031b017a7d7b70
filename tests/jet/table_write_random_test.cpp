// A few hundred random inserts, updates and deletes (fixed seeds) on copies of real files,
// checked value by value against the model of table_write_model.h, by our engine, the
// whole-file checker and (the *Oracle* tests) mdb-export and mdb-reader; random writes on
// related tables whose cascades and refusals a model predicts; and saves
// interrupted by a crash at each point.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>

#include "jet/crash_point.h"
#include "jet/relationships.h"
#include "jet/sql/sql.h"
#include "jet/table_writer.h"
#include "table_write_model_oracle.h"
#include "table_write_model_run.h"
#include "table_write_support.h"

namespace tablewrite_test {
namespace {

// A real file, a table of it, the columns the sequence writes (all when empty) and a seed.
struct RealCase {
    const char* file;
    const char* table;
    std::vector<std::string> active;
    unsigned seed;
    bool longKeys = false;  // long, often equal texts, mass updates, the checker every step
};

std::vector<RealCase> realCases() {
    const std::vector<std::string> project = {"PROJ_NAME", "PROJ_PROP_TITLE",
                                              "RESERVED_BINARY_DATA"};
    return {
        {"V2000/testV2000.mdb", "Table1", {}, 1},
        {"V2000/testV2000.mdb", "Table1", {}, 2},
        {"V1997/testV1997.mdb", "Table1", {}, 1},
        {"V1997/testV1997.mdb", "Table1", {}, 2},
        {"V2000/test2V2000.mdb", "MSP_PROJECTS", project, 3},
        {"V1997/test2V1997.mdb", "MSP_PROJECTS", project, 3},
        {"V2000/testV2000.mdb", "Table1", {}, 4, true},
        {"V1997/testV1997.mdb", "Table1", {}, 4, true},
        {"V1997/testV1997.mdb", "Table1", {}, 5, true},
    };
}

class RealFileModel : public ::testing::TestWithParam<RealCase> {
protected:
    // Rows with long, often equal texts, so that the text indexes are several levels deep
    // before the sequence starts.
    void addLongKeyRows(const fs::path& file, int n) {
        auto db = openWritable(file);
        std::mt19937 rng(GetParam().seed);
        RowGenerator gen(db->table(GetParam().table), db->format(), rng);
        gen.setLongText(true);
        ModelRows model = engineRows(*db, GetParam().table);
        TableWriter writer(*db, GetParam().table);
        SaveScope save(*db);
        for (int i = 0; i < n; ++i) {
            std::vector<Value> row = gen.newRow(model);
            model[writer.insert(row)] = row;
        }
        save.commit();
    }

    void runSequence(int ops) {
        fs::path file = dir_.copy(tdv::test::testdataDir() / GetParam().file);
        const bool longKeys = GetParam().longKeys;
        if (longKeys) addLongKeyRows(file, 400);
        run_ = std::make_unique<ModelRun>(
            file, std::vector<ModelTarget>{{GetParam().table, GetParam().active, longKeys}},
            GetParam().seed);
        // With the checker after every operation on a few hundred rows, fewer operations.
        run_->run(longKeys ? ops / 6 : ops, longKeys ? 10 : 50, longKeys ? 1 : 0);
        for (const auto& [what, n] : run_->counts()) std::cout << what << " " << n << "; ";
        std::cout << "\n";
    }
    tdv::test::TempDir dir_;
    std::unique_ptr<ModelRun> run_;
};

TEST_P(RealFileModel, EngineReadsTheModelAndTheCheckerFindsNothingNew) {
    runSequence(500);
}

TEST_P(RealFileModel, OracleReadersReadTheModel) {
    if (!haveOracles()) GTEST_SKIP() << "mdbtools, python3, node or mdb-reader missing";
    runSequence(300);
    if (HasFatalFailure()) return;
    expectOraclesReadTheModel(run_->file(), run_->models());
}

INSTANTIATE_TEST_SUITE_P(Files, RealFileModel, ::testing::ValuesIn(realCases()),
                         [](const auto& info) {
                             std::string name = fs::path(info.param.file).stem().string() + "_" +
                                                info.param.table + "_" +
                                                std::to_string(info.param.seed) +
                                                (info.param.longKeys ? "_long_keys" : "");
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Needs the crash points of the test hooks.
#ifdef TDV_TEST_HOOKS
// A writer killed at each point of its save leaves the old rows or the new ones, never a
// mix: after the next writable open (which rolls a leftover journal back) the table and
// every index agree.
TEST(CrashDuringWrite, LeavesTheOldOrTheNewRow) {
    for (const char* point : {"journal-written", "journal-synced", "page-written:1",
                              "page-written:3", "database-synced", "journal-removed"}) {
        SCOPED_TRACE(point);
        tdv::test::TempDir dir;
        fs::path file = dir.copy(tdv::test::testdataDir() / "V2000/testV2000.mdb");
        std::vector<std::string> before = tableRows(*Database::open(file.string()), "Table1");
        std::vector<Value> row = {text("crash"),        text("row"),      val(uint8_t{1}),
                                  val(int16_t{2}),      val(int32_t{3}),  val(4.0),
                                  val(DateTime{40000}), val(Currency{5}), val(true)};
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            OpenOptions o;
            o.writable = true;
            o.crashAt = point;
            auto db = Database::open(file.string(), o);
            TableWriter(*db, "Table1").insert(row);
            _exit(0);  // not reached when the point is hit
        }
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), CrashPoints::kExitCode);
        std::vector<std::string> after;
        {
            auto db = openWritable(file);  // rolls back an unfinished save
            after = tableRows(*db, "Table1");
        }
        std::vector<std::string> withRow = before;
        withRow.push_back(rowText(row));
        std::sort(withRow.begin(), withRow.end());
        EXPECT_TRUE(after == before || after == withRow);
        verifyFile(file, "Table1", after);
    }
}
#endif  // TDV_TEST_HOOKS

// Random writes on the related tables of the indexTest files (Table1.otherfk1 -> Table2.id
// cascading deletes, Table1.otherfk2 -> Table3.id cascading updates), through table writers
// and SQL statements, against a model that applies the cascades itself: every refusal
// (3200, 3201) and every related row as predicted; at the end the checker finds nothing new
// and mdb-export and mdb-reader read the model's rows of the child table.
class RelatedRowsModel : public ::testing::TestWithParam<const char*> {};

TEST_P(RelatedRowsModel, CascadesAndRefusalsAsPredicted) {
    tdv::test::TempDir dir;
    fs::path file = dir.copy(tdv::test::testdataDir() / GetParam());
    const std::set<std::string> baseline = problemTexts(*Database::open(file.string()));
    auto db = Database::open(file.string(), OpenOptions{.writable = true, .sync = false});
    std::map<std::string, ModelRows> model;
    for (const char* t : {"Table1", "Table2", "Table3"}) model[t] = engineRows(*db, t);
    std::mt19937 rng(7);
    auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
    int32_t next = 1000;
    auto id = [](const std::vector<Value>& r) { return r[0].get<int32_t>(); };
    auto any = [&](const std::string& t) -> std::optional<RowId> {
        if (model[t].empty()) return std::nullopt;
        return std::next(model[t].begin(), long(pick(model[t].size())))->first;
    };
    auto referring = [&](size_t column, int32_t key) {
        std::vector<RowId> out;
        for (const auto& [rid, r] : model["Table1"])
            if (r[column] == val(key)) out.push_back(rid);
        return out;
    };
    // A foreign key: mostly a parent's id, sometimes Null or an id no row has (refused).
    auto foreignKey = [&](const std::string& parent, bool& missing) {
        size_t roll = pick(10);
        if (roll == 0 || model[parent].empty()) return Value::null();
        if (roll == 1) return missing = true, val(int32_t{999999});
        return model[parent].at(*any(parent))[0];
    };
    auto expectOutcome = [&](long want, const std::function<void()>& f, int op) {
        long got = 0;
        try {
            f();
        } catch (const Error& e) {
            got = e.number();
        }
        EXPECT_EQ(got, want) << "operation " << op;
        return got == 0;
    };
    for (int op = 0; op < 160; ++op) {
        const size_t kind = pick(9);
        if (kind <= 1) {  // a parent row
            const std::string t = kind == 0 ? "Table2" : "Table3";
            std::vector<Value> row = {val(next++), text("p")};
            model[t][TableWriter(*db, t).insert(row)] = row;
        } else if (kind == 2 || kind == 7) {  // a child row, new or changed
            bool missing = false;
            auto existing = any("Table1");
            std::vector<Value> row =
                kind == 7 && existing
                    ? model["Table1"].at(*existing)
                    : std::vector<Value>{val(next++), Value(), Value(), text("c"), val(int32_t{0})};
            row[1] = foreignKey("Table2", missing);
            row[2] = foreignKey("Table3", missing);
            TableWriter w(*db, "Table1");
            RowId at = kind == 7 && existing ? *existing : RowId{};
            if (expectOutcome(
                    missing ? errnum::kRelationship : 0,
                    [&] { kind == 7 && existing ? w.update(at, row) : void(at = w.insert(row)); },
                    op))
                model["Table1"][at] = row;
        } else if (kind == 3 || kind == 6) {  // a parent row deleted
            const std::string t = kind == 3 ? "Table2" : "Table3";
            auto victim = any(t);
            if (!victim) continue;
            const int32_t key = id(model[t].at(*victim));
            const auto children = referring(kind == 3 ? 1 : 2, key);
            // Table2Table1 cascades deletes, Table3Table1 does not.
            const long want = kind == 6 && !children.empty() ? kRelatedRecordsExist : 0;
            auto remove = [&] {
                if (pick(2))
                    sql::execute(*db, "DELETE FROM " + t + " WHERE id = " + std::to_string(key));
                else
                    TableWriter(*db, t).remove(*victim);
            };
            if (!expectOutcome(want, remove, op)) continue;
            model[t].erase(*victim);
            for (RowId c : children) model["Table1"].erase(c);
        } else if (kind == 4 || kind == 5) {  // a parent key changed
            const std::string t = kind == 4 ? "Table2" : "Table3";
            auto victim = any(t);
            if (!victim) continue;
            const int32_t key = id(model[t].at(*victim)), fresh = next++;
            const auto children = referring(kind == 4 ? 1 : 2, key);
            const long want = kind == 4 && !children.empty() ? kRelatedRecordsExist : 0;
            auto change = [&] {
                if (pick(2))
                    sql::execute(*db, "UPDATE " + t + " SET id = " + std::to_string(fresh) +
                                          " WHERE id = " + std::to_string(key));
                else
                    TableWriter(*db, t).update(*victim, {val(fresh), model[t].at(*victim)[1]});
            };
            if (!expectOutcome(want, change, op)) continue;
            model[t][*victim][0] = val(fresh);
            for (RowId c : children) model["Table1"][c][2] = val(fresh);
        } else {  // a child row deleted
            if (auto victim = any("Table1")) {
                TableWriter(*db, "Table1").remove(*victim);
                model["Table1"].erase(*victim);
            }
        }
        if (HasFailure()) return;
        if (op % 20 == 19) {
            for (auto& [t, rows] : model)
                ASSERT_EQ(modelDifferences(db->table(t), rows, engineRows(*db, t)),
                          std::vector<std::string>{})
                    << t << " after operation " << op;
        }
    }
    for (const std::string& p : problemTexts(*db)) EXPECT_TRUE(baseline.count(p)) << p;
    for (auto& [t, rows] : model)
        EXPECT_EQ(modelDifferences(db->table(t), rows, engineRows(*db, t)),
                  std::vector<std::string>{})
            << t;
    db.reset();
    // The table the cascades change, through the other readers too.
    std::vector<std::string> expected;
    for (const auto& [rid, r] : model["Table1"]) expected.push_back(rowText(r));
    std::sort(expected.begin(), expected.end());
    verifyFile(file, "Table1", expected);
}

INSTANTIATE_TEST_SUITE_P(IndexTestFiles, RelatedRowsModel,
                         ::testing::Values("V2000/indexTestV2000.mdb", "V1997/indexTestV1997.mdb"));

}  // namespace
}  // namespace tablewrite_test
