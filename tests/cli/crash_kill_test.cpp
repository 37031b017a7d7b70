// `tdv sql FILE "UPDATE ..."` killed at every crash point of its save (TDV_CRASH_AT makes
// the process _exit at once: no destructor, no flush), at many occurrences of the per-page
// points, and while a later open rolls the leftover journal back. After each kill the next
// open rolls the save back: the file is byte for byte what it was before (or, killed after
// the journal was removed, exactly what the finished statement leaves), every record is
// entirely old or entirely new, and the whole-file checker finds nothing.
//
// The saves: an UPDATE that lengthens an indexed text column of every row (index leaves
// split, rows move to other pages), one that writes Memo and OLE values of every storage
// kind, and a DELETE that frees rows and their long values. A file with a leftover journal
// is reported by `tdv check` without being changed, and `tdv check --recover` repairs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/crash_point.h"
#include "jet/create_db.h"
#include "jet/database.h"
#include "jet/db_check.h"
#include "jet/index_owned_pages.h"
#include "jet/journal.h"
#include "jet/usage_map.h"

namespace {

using namespace jet;
namespace fs = std::filesystem;
using tdv::test::shellQuote;

// The points this test kills at; EveryEngineCrashPointIsCovered keeps it complete.
const std::vector<std::string> kWritePoints = {"journal-written", "journal-synced", "page-written",
                                               "database-synced", "journal-removed"};
const std::vector<std::string> kRecoveryPoints = {"recovery-page-written", "recovery-synced"};

std::vector<uint8_t> bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Value v(Value::Storage s) {
    return Value(std::move(s));
}

NewColumn column(const std::string& name, ColumnType type, uint32_t size = 0) {
    NewColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

std::string letters(size_t n, size_t seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + (seed * 7 + i * 3) % 26);
    return s;
}

// 150 rows over several data pages; memo and OLE values of each storage kind.
void createCrashDatabase(const fs::path& file) {
    using CT = ColumnType;
    NewTableWithRows t;
    t.table.name = "T";
    t.table.columns = {column("ID", CT::Long),       column("Name", CT::Text, 120),
                       column("Code", CT::Text, 20), column("N", CT::Long),
                       column("Notes", CT::Memo),    column("Blob", CT::OLE),
                       column("Spare", CT::OLE),     column("Wide", CT::Text, 120)};
    t.table.indexes = {
        {"PrimaryKey", {{"ID", true}}, true, false, false},
        {"Name", {{"Name", true}}, false, false, false},
        {"Code", {{"Code", false}}, false, true, false},
        {"N", {{"N", true}, {"ID", false}}, false, false, false},
    };
    for (int i = 0; i < 150; ++i) {
        const size_t memo = i % 3 == 0 ? 20 : i % 3 == 1 ? 900 : 9000;
        Bytes blob(i % 5 == 0 ? 12000 : 40, static_cast<uint8_t>(i));
        Bytes spare(i % 4 == 0 ? 6000 : 10, static_cast<uint8_t>(255 - i));
        t.rows.push_back({v(int32_t{i}), Value::text("n" + letters(8, i) + "é"),
                          Value::text("c" + std::to_string(i) + "ß"), v(int32_t{i % 7}),
                          Value::text(letters(memo, i)), v(blob), v(spare),
                          Value::text(std::to_string(i) + letters(100, i))});
    }
    NewDatabase desc;
    desc.created = 45000.5;
    desc.tables.push_back(std::move(t));
    createDatabase(file.string(), desc);
}

// Every record of T by its ID, as text.
std::map<int32_t, std::string> records(const fs::path& file) {
    auto db = Database::open(file.string());
    std::map<int32_t, std::string> out;
    TableScan scan = db->scan(db->table("T"));
    while (scan.next()) {
        std::string s;
        for (const Value& x : scan.values()) {
            std::visit(
                [&](const auto& y) {
                    using Y = std::decay_t<decltype(y)>;
                    if constexpr (std::is_same_v<Y, Text>)
                        s += "'" + y.utf8 + "'";
                    else if constexpr (std::is_same_v<Y, Bytes>)
                        s += "bytes" + std::to_string(y.size()) +
                             (y.empty() ? "" : ":" + std::to_string(y.front()));
                    else if constexpr (std::is_same_v<Y, int32_t>)
                        s += std::to_string(y);
                    else if constexpr (std::is_same_v<Y, std::monostate>)
                        s += "null";
                    else
                        s += "?";
                },
                x.storage());
            s += "|";
        }
        out[scan.values()[0].get<int32_t>()] = s;
    }
    return out;
}

// Pages of the tree of index `name` of T (from the index's own usage map).
size_t indexPages(const fs::path& file, const std::string& name) {
    auto db = Database::open(file.string());
    const TableDef& t = db->table("T");
    for (const IndexDef& ix : t.indexes) {
        if (ix.name != name) continue;
        UsageMap map = UsageMap::load(
            db->pages(), db->format(),
            realIndexOwnedPagesRow(db->pages(), db->format(), t.definitionPage, ix.realNumber));
        size_t n = 0;
        while (map.next(db->pages())) ++n;
        return n;
    }
    return 0;
}

std::vector<std::string> problems(const fs::path& file) {
    auto db = Database::open(file.string());
    std::vector<std::string> out;
    for (const Problem& p : checkDatabase(*db)) out.push_back(p.describe());
    return out;
}

// The rollback journal a save keeps beside the database, or empty when there is none.
fs::path journalOf(const fs::path& file) {
    fs::path journal = file.string() + "-journal";
    return fs::exists(journal) ? journal : fs::path();
}

int runTdvCrashing(const std::string& crashAt, const std::string& args) {
    auto r = tdv::test::runCommand("TDV_CRASH_AT=" + shellQuote(crashAt) + " " +
                                   shellQuote(TDV_BINARY) + " " + args);
    return r.status;
}

struct Statement {
    const char* name;
    std::string sql;
};

std::vector<Statement> statements() {
    return {
        {"index-split", "UPDATE T SET Name = Wide"},
        {"long-values",
         "UPDATE T SET Notes = '" + letters(7000, 5) + "', Blob = Spare WHERE ID < 60"},
        {"delete", "DELETE FROM T WHERE N < 4"},
    };
}

class CrashKill : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override {
        original_ = dir_.path() / "original.mdb";
        createCrashDatabase(original_);
        ASSERT_TRUE(problems(original_).empty());
        before_ = records(original_);
        beforeBytes_ = bytesOf(original_);
        // The finished statement, for the state after a kill past the journal's removal and
        // for the number of pages the save writes.
        done_ = dir_.path() / "done.mdb";
        fs::copy_file(original_, done_);
        auto r = tdv::test::runTdv("sql " + shellQuote(done_.string()) + " " +
                                   shellQuote(statement().sql));
        ASSERT_EQ(r.status, 0) << r.err;
        after_ = records(done_);
        ASSERT_NE(after_, before_);
        afterBytes_ = bytesOf(done_);
        const size_t pageSize = 4096;
        for (size_t p = 0; p * pageSize < afterBytes_.size(); ++p) {
            const bool changed = (p + 1) * pageSize > beforeBytes_.size() ||
                                 !std::equal(afterBytes_.begin() + p * pageSize,
                                             afterBytes_.begin() + (p + 1) * pageSize,
                                             beforeBytes_.begin() + p * pageSize);
            changedPages_ += changed;
            changedOldPages_ += changed && (p + 1) * pageSize <= beforeBytes_.size();
        }
        std::cout << statement().name << ": " << beforeBytes_.size() / pageSize << " pages, "
                  << changedOldPages_ << " changed, " << afterBytes_.size() / pageSize
                  << " after the save\n";
    }

    Statement statement() const { return statements()[GetParam()]; }

    // A fresh copy, killed at `point`; returns its path (or empty when it did not crash).
    fs::path killedAt(const std::string& point, int& status) {
        fs::path file = dir_.path() / ("run" + std::to_string(++runs_) + ".mdb");
        fs::copy_file(original_, file);
        status = runTdvCrashing(
            point, "sql " + shellQuote(file.string()) + " " + shellQuote(statement().sql));
        return file;
    }

    // After the kill and the rollback on the next open: the file is the old one, or (killed
    // once the journal is gone) the finished one; every record old or new; checker clean.
    void expectRecovered(const fs::path& file, bool finished) {
        auto now = records(file);  // opening rolls a leftover journal back
        EXPECT_TRUE(journalOf(file).empty()) << "journal left after reopening";
        for (const auto& [id, rec] : now) {
            auto b = before_.find(id);
            auto a = after_.find(id);
            EXPECT_TRUE((b != before_.end() && b->second == rec) ||
                        (a != after_.end() && a->second == rec))
                << "record " << id << " is neither old nor new: " << rec.substr(0, 200);
        }
        EXPECT_EQ(now, finished ? after_ : before_);
        EXPECT_TRUE(bytesOf(file) == (finished ? afterBytes_ : beforeBytes_))
            << "file bytes differ from the " << (finished ? "finished" : "original") << " file";
        for (const std::string& p : problems(file)) ADD_FAILURE() << p;
    }

    // tdv check reports the leftover journal and changes nothing; --recover rolls it back.
    void expectCheckReportsJournal(const fs::path& file) {
        const std::vector<uint8_t> halfSaved = bytesOf(file);
        auto r = tdv::test::runTdv("check " + shellQuote(file.string()));
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_EQ(r.out, std::string("problem: ") + kInterruptedSaveText + "\n") << r.err;
        EXPECT_FALSE(journalOf(file).empty()) << "tdv check removed the journal";
        EXPECT_TRUE(bytesOf(file) == halfSaved) << "tdv check changed the file";
        r = tdv::test::runTdv("check --recover " + shellQuote(file.string()));
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        EXPECT_EQ(r.out.rfind("ok: ", 0), 0u) << r.out;
        EXPECT_TRUE(journalOf(file).empty()) << "tdv check --recover left the journal";
    }

    tdv::test::TempDir dir_;
    fs::path original_, done_;
    std::map<int32_t, std::string> before_, after_;
    std::vector<uint8_t> beforeBytes_, afterBytes_;
    size_t changedPages_ = 0;     // pages written or added by the save
    size_t changedOldPages_ = 0;  // of which pages the file had before (the journal's)
    int runs_ = 0;
};

TEST_P(CrashKill, EveryPointLeavesTheOldOrTheNewFile) {
    ASSERT_GT(changedPages_, 2u);
    if (std::string(statement().name) == "index-split") {
        // The save splits the Name index's leaves: its tree gains pages.
        const size_t before = indexPages(original_, "Name"), after = indexPages(done_, "Name");
        EXPECT_GT(after, before + 2) << "Name index pages before " << before << ", after " << after;
    }
    std::vector<std::string> points = {"journal-written", "journal-synced", "database-synced",
                                       "journal-removed"};
    // Page writes: the first ones, spread over the save, and the last.
    std::set<size_t> pages = {1,
                              2,
                              changedPages_ / 3,
                              changedPages_ / 2,
                              changedPages_ * 2 / 3,
                              changedPages_ - 1,
                              changedPages_};
    for (size_t n : pages)
        if (n >= 1) points.push_back("page-written:" + std::to_string(n));
    for (const std::string& point : points) {
        SCOPED_TRACE(point);
        int status = 0;
        fs::path file = killedAt(point, status);
        ASSERT_EQ(status, CrashPoints::kExitCode) << "the writer did not reach " << point;
        if (point.rfind("page-written", 0) == 0 || point == "database-synced") {
            EXPECT_FALSE(journalOf(file).empty()) << "no journal left by the killed writer";
            expectCheckReportsJournal(file);
        }
        expectRecovered(file, point == "journal-removed");
        if (HasFatalFailure()) return;
    }
}

// A writer killed half-way leaves a journal; the program that next opens the file is killed
// while rolling it back (after some restored pages, after the restore is synced); the open
// after that finishes the rollback.
TEST_P(CrashKill, RollbackKilledInTurnStillRestoresTheOldFile) {
    const std::string middle =
        "page-written:" + std::to_string(std::max<size_t>(changedPages_ / 2, 1));
    for (const std::string& point :
         {std::string("recovery-page-written:1"),
          "recovery-page-written:" + std::to_string(std::max<size_t>(changedOldPages_ / 2, 1)),
          std::string("recovery-synced")}) {
        SCOPED_TRACE(point);
        int status = 0;
        fs::path file = killedAt(middle, status);
        ASSERT_EQ(status, CrashPoints::kExitCode);
        ASSERT_FALSE(journalOf(file).empty());
        EXPECT_EQ(runTdvCrashing(point, "tables " + shellQuote(file.string())),
                  CrashPoints::kExitCode)
            << "the rollback did not reach " << point;
        expectRecovered(file, false);
        if (HasFatalFailure()) return;
    }
}

INSTANTIATE_TEST_SUITE_P(Saves, CrashKill, ::testing::Values(0u, 1u, 2u), [](const auto& info) {
    std::string n = statements()[info.param].name;
    std::replace(n.begin(), n.end(), '-', '_');
    return n;
});

// Every point at which the engine can be told to die is one this test kills at, so a new
// point in a save cannot go untested.
TEST(CrashKillPoints, EveryEngineCrashPointIsCovered) {
    std::set<std::string> defined;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(TDV_SOURCE_DIR) / "src")) {
        if (e.path().extension() != ".cpp") continue;
        std::ifstream in(e.path());
        std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const std::string call = "reached(\"";
        for (size_t at = text.find(call); at != std::string::npos; at = text.find(call, at + 1)) {
            const size_t from = at + call.size(), to = text.find('"', from);
            if (to != std::string::npos) defined.insert(text.substr(from, to - from));
        }
    }
    std::set<std::string> covered(kWritePoints.begin(), kWritePoints.end());
    covered.insert(kRecoveryPoints.begin(), kRecoveryPoints.end());
    EXPECT_FALSE(defined.empty());
    for (const std::string& p : defined) EXPECT_TRUE(covered.count(p)) << "untested point " << p;
}

}  // namespace
