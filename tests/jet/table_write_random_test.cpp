// A few hundred random inserts, updates and deletes (fixed seeds) against an in-memory model
// of the table, on copies of real files; and saves interrupted by a crash at each point.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <random>

#include "jet/crash_point.h"
#include "jet/table_writer.h"
#include "table_write_support.h"

namespace tablewrite_test {
namespace {

class RandomWrite : public ::testing::TestWithParam<std::tuple<const char*, unsigned>> {
protected:
    fs::path copy() { return dir_.copy(tdv::test::testdataDir() / std::get<0>(GetParam())); }
    tdv::test::TempDir dir_;
};

std::vector<Value> randomRow(std::mt19937& rng, const std::string& key) {
    std::uniform_int_distribution<int> len(0, 10), n(-30000, 30000), byte(0, 255);
    std::string b;
    for (int i = len(rng); i > 0; --i) b += static_cast<char>('a' + byte(rng) % 26);
    int x = n(rng);
    Value bv = len(rng) == 0 ? Value() : text(b);
    return {text(key),
            bv,
            val(static_cast<uint8_t>(byte(rng))),
            val(static_cast<int16_t>(x)),
            val(static_cast<int32_t>(x * 7)),
            val(x / 8.0),
            val(DateTime{35000.0 + x / 100.0}),
            val(Currency{int64_t{x} * 99}),
            val(x % 2 == 0)};
}

std::vector<std::string> modelRows(Database& db, const std::map<RowId, std::string>& model) {
    std::vector<std::string> rows;
    for (const auto& [id, text] : model) rows.push_back(text);
    (void)db;
    std::sort(rows.begin(), rows.end());
    return rows;
}

TEST_P(RandomWrite, MatchesAModelAfterEveryHundredOperations) {
    fs::path file = copy();
    std::mt19937 rng(std::get<1>(GetParam()));
    std::map<RowId, std::string> model;
    std::vector<std::string> baseline;
    {
        auto db = openWritable(file);
        const TableDef& t = db->table("Table1");
        baseline = tableRows(*db, "Table1");
        TableWriter w(*db, "Table1");
        std::map<RowId, std::string> keys;
        int next = 0;
        for (int op = 1; op <= 300; ++op) {
            int kind = std::uniform_int_distribution<int>(0, 9)(rng);
            if (kind < 5 || model.empty()) {
                std::string key = "r" + std::to_string(next++);
                auto row = randomRow(rng, key);
                RowId id = w.insert(row);
                ASSERT_EQ(model.count(id), 0u);
                model[id] = rowText(row);
                keys[id] = key;
            } else {
                auto it = model.begin();
                std::advance(it, std::uniform_int_distribution<size_t>(0, model.size() - 1)(rng));
                RowId id = it->first;
                if (kind < 8) {
                    bool rekey = kind == 7;
                    std::string key = rekey ? "r" + std::to_string(next++) : keys[id];
                    auto row = randomRow(rng, key);
                    w.update(id, row);
                    model[id] = rowText(row);
                    keys[id] = key;
                } else if (kind == 8) {
                    w.remove(id);
                    model.erase(id);
                    keys.erase(id);
                } else {
                    // A duplicate key is refused and changes nothing.
                    EXPECT_THROW(w.insert(randomRow(rng, keys[id])), Error);
                }
            }
            if (op % 100 == 0) {
                std::vector<std::string> want = modelRows(*db, model);
                want.insert(want.end(), baseline.begin(), baseline.end());
                std::sort(want.begin(), want.end());
                ASSERT_EQ(tableRows(*db, "Table1"), want) << "after operation " << op;
                for (const IndexDef& ix : t.indexes)
                    ASSERT_EQ(checkIndex(*db, t, ix), std::vector<std::string>{}) << ix.name;
            }
        }
    }
    std::vector<std::string> want = modelRows(*Database::open(file.string()), model);
    want.insert(want.end(), baseline.begin(), baseline.end());
    std::sort(want.begin(), want.end());
    verifyFile(file, "Table1", want);
}

INSTANTIATE_TEST_SUITE_P(Files, RandomWrite,
                         ::testing::Combine(::testing::Values("V2000/testV2000.mdb",
                                                              "V1997/testV1997.mdb"),
                                            ::testing::Values(1u, 2u)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)).substr(0, 5) + "_" +
                                    std::to_string(std::get<1>(info.param));
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
