// `tdv sql FILE "INSERT ..." / "UPDATE ..." / "DELETE ..."` on copies of real files: prints the
// number of rows affected, the change reads back through `tdv sql`, `tdv dump` and mdb-export
// alike, and a refused statement leaves the file as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "helpers/testdata.h"
#include "jet/database.h"
#include "jet/format.h"

namespace {

using tdv::test::runCommand;
using tdv::test::runTdv;
using tdv::test::shellQuote;
namespace fs = std::filesystem;

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class SqlWriteCommand : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { file_ = shellQuote(dir_.copy(tdv::test::testdataDir() / GetParam())); }

    tdv::test::CommandResult sql(const std::string& statement) {
        return runTdv("sql " + file_ + " " + shellQuote(statement));
    }

    // Table1 as mdb-export reads it, in tdv dump's JSON Lines shape.
    std::string mdbExport() {
        auto r = runCommand("python3 " + std::string(TDV_SOURCE_DIR) +
                            "/tests/oracle/mdbexport_dump.py " + file_ + " Table1");
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    }

    tdv::test::TempDir dir_;
    std::string file_;
};

TEST_P(SqlWriteCommand, UpdatePrintsRowsAffectedAndOraclesAgree) {
    auto u = sql("UPDATE Table1 SET B='it''s new', D=5 WHERE A='a'");
    ASSERT_EQ(u.status, 0) << u.err;
    EXPECT_EQ(u.out, "1\n");
    auto r = sql("SELECT B, D FROM Table1 WHERE A = 'a'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"B\":\"it's new\",\"D\":5}\n");
    auto all = sql("UPDATE Table1 SET H = 2");
    EXPECT_EQ(all.out, "2\n") << all.err;
    auto added = sql("INSERT INTO Table1 (A, B, I) VALUES ('added', 'x' & Left('yz', 1), True)");
    EXPECT_EQ(added.out, "1\n") << added.err;

    auto dump = runTdv("dump " + file_ + " Table1");
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_THAT(dump.out, ::testing::HasSubstr("\"B\":\"it's new\""));
    EXPECT_EQ(mdbExport(), dump.out);
    auto check = runTdv("check " + file_);
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST_P(SqlWriteCommand, DeletePrintsRowsAffected) {
    auto d = sql("DELETE FROM Table1 WHERE A = 'abcdefg'");
    ASSERT_EQ(d.status, 0) << d.err;
    EXPECT_EQ(d.out, "1\n");
    EXPECT_EQ(sql("DELETE FROM Table1 WHERE A = 'abcdefg'").out, "0\n");
    EXPECT_EQ(sql("DELETE * FROM Table1").out, "1\n");
    EXPECT_EQ(sql("SELECT * FROM Table1").out, "");
    EXPECT_EQ(mdbExport(), "");
    auto check = runTdv("check " + file_);
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST_P(SqlWriteCommand, RefusedStatementsLeaveTheFileAlone) {
    const fs::path path = dir_.path() / fs::path(GetParam()).filename();
    const std::string before = bytesOf(path);
    struct Case {
        const char* sql;
        const char* message;
    } cases[] = {
        {"UPDATE Table1 SET A = 'a'", "duplicate values in the index"},
        {"UPDATE Table1 SET E = 'abc'", "Data type mismatch"},
        {"UPDATE Table1 SET nope = 1", "does not recognize 'nope'"},
        {"DELETE * FROM Missing", "cannot find the input table or query 'Missing'"},
        {"UPDATE Table1 SET", "Syntax error in UPDATE statement"},
        {"UPDATE MSysObjects SET Flags = Flags", "no update data permission on 'MSysObjects'"},
    };
    for (const auto& c : cases) {
        auto r = sql(c.sql);
        EXPECT_EQ(r.status, 1) << c.sql;
        EXPECT_EQ(r.out, "") << c.sql;
        EXPECT_THAT(r.err, ::testing::HasSubstr(c.message)) << c.sql;
    }
    EXPECT_TRUE(bytesOf(path) == before);
}

// A data page whose row count lost its rows: dump and every statement on the table stop
// with the damage (exit 1) instead of reading fewer rows or writing over the lost ones.
TEST_P(SqlWriteCommand, DamagedDataPageStopsDumpAndStatements) {
    const fs::path path = dir_.path() / fs::path(GetParam()).filename();
    uint32_t page = 0;
    size_t at = 0;
    {
        auto db = jet::Database::open(path.string());
        auto scan = db->scan(db->table("Table1"));
        ASSERT_TRUE(scan.next());
        page = scan.rowId().page;
        at = size_t{page} * db->info().pageSize + db->format().dataRowCountOffset;
    }
    std::string bytes = bytesOf(path);
    ASSERT_EQ(bytes[at], 2);  // two rows: the count becomes 0
    bytes[at] = 0;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    const std::string where = "table 'Table1', page " + std::to_string(page);
    auto dump = runTdv("dump " + file_ + " Table1");
    EXPECT_EQ(dump.status, 1);
    EXPECT_EQ(dump.out, "");
    EXPECT_THAT(dump.err, ::testing::HasSubstr("Damaged database: " + where));
    for (const char* statement : {"SELECT COUNT(*) FROM Table1",
                                  "INSERT INTO Table1 (A) VALUES ('new')", "DELETE FROM Table1"}) {
        auto r = sql(statement);
        EXPECT_EQ(r.status, 1) << statement;
        EXPECT_EQ(r.out, "") << statement;
        EXPECT_THAT(r.err, ::testing::HasSubstr(where)) << statement;
    }
    EXPECT_TRUE(bytesOf(path) == bytes);
}

INSTANTIATE_TEST_SUITE_P(Files, SqlWriteCommand,
                         ::testing::Values("V2000/testV2000.mdb", "V1997/testV1997.mdb"),
                         [](const auto& info) { return std::string(info.param).substr(0, 5); });

}  // namespace
