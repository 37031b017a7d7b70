// A few hundred random inserts, updates and deletes (fixed seeds) on copies of real files,
// checked value by value against the model of table_write_model.h, by our engine, the
// whole-file checker and (the *Oracle* tests) mdb-export and mdb-reader; and saves
// interrupted by a crash at each point.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <memory>
#include <random>

#include "jet/crash_point.h"
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

}  // namespace
}  // namespace tablewrite_test
