// Writing through recordsets on copies of real Access files: field assignment, Update,
// Delete, UPDATE / DELETE statements passed to Open, read-only recordsets refusing writes,
// and the database cache never serving a stale file after a write.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "db/connect_string.h"
#include "db/database_cache.h"
#include "db/db_error.h"
#include "db/error_mapping.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "helpers/testdata.h"
#include "jet/db_check.h"

using namespace tdv::db;
namespace fs = std::filesystem;

namespace {

std::vector<char> bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long errorNumber(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

// Table1 of testV*.mdb: A Text 50 (primary key), B Text 100 (indexed), C Byte, D Integer,
// E Long, F Double, G DateTime, H Currency, I Boolean; rows A='a' and A='abcdefg'.
class RecordsetWrite : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        file_ = dir_.copy(tdv::test::testdataDir() / GetParam());
        cs_ = makeConnectString(file_.string());
    }

    // Column values of Table1 ordered by A, as text, read through a fresh recordset.
    std::vector<std::string> column(const char* name, DatabaseCache* cache = nullptr) {
        Recordset rs = cache ? Recordset(*cache) : Recordset();
        rs.Open("SELECT * FROM Table1 ORDER BY A", cs_, adOpenKeyset, adLockReadOnly);
        std::vector<std::string> out;
        for (; !rs.Eof(); rs.MoveNext()) {
            Variant v = rs(name).Value();
            out.push_back(v.isNull() ? "<null>" : v.toText());
        }
        rs.Close();
        return out;
    }

    void expectClean() {
        auto db = jet::Database::open(file_.string());
        for (const auto& p : jet::checkDatabase(*db)) ADD_FAILURE() << p.describe();
    }

    tdv::test::TempDir dir_;
    fs::path file_;
    std::string cs_;
};

TEST_P(RecordsetWrite, UpdateSavesAssignedFieldsOfEachRecord) {
    {
        Recordset rs;
        rs.Open("SELECT A, B, E FROM Table1 ORDER BY A", cs_, adOpenKeyset, adLockOptimistic);
        ASSERT_EQ(rs.RecordCount(), 2);
        rs("B").setValue(Variant::fromString("first"));
        rs("E").setValue(Variant::fromString("17"));  // text converted to Long
        // The pending value reads back before it is saved.
        EXPECT_EQ(rs("B").Value().toText(), "first");
        rs.Update();
        rs.MoveNext();
        // A longer value than before, on the indexed column; saved by moving on.
        rs("B").setValue(Variant::fromString(std::string(90, 'z')));
        rs.MoveFirst();
        // Every record stays writable after earlier writes through the same recordset.
        rs("B").setValue(Variant::fromString("again"));
        rs.Update();
        EXPECT_EQ(rs("B").Value().toText(), "again");
        rs.Close();
    }
    EXPECT_EQ(column("B"), (std::vector<std::string>{"again", std::string(90, 'z')}));
    EXPECT_EQ(column("E"), (std::vector<std::string>{"17", "333333333"}));
    expectClean();
}

TEST_P(RecordsetWrite, RefusedAssignmentsAndUpdatesChangeNothing) {
    const auto before = bytesOf(file_);
    {
        Recordset rs;
        rs.Open("SELECT * FROM Table1 ORDER BY A", cs_, adOpenKeyset, adLockOptimistic);
        EXPECT_EQ(errorNumber([&] { rs("E").setValue(Variant::fromString("abc")); }),
                  hresult::kCantConvertValue);
        EXPECT_EQ(rs("E").Value().toLong(), 0);  // the record keeps its value
        // A duplicate primary key is refused at Update; CancelUpdate drops the edit.
        rs("A").setValue(Variant::fromString("abcdefg"));
        EXPECT_NE(errorNumber([&] { rs.Update(); }), 0);
        EXPECT_EQ(errorNumber([&] { rs.Close(); }), 3219);
        rs.CancelUpdate();
        EXPECT_EQ(rs("A").Value().toText(), "a");
        rs.Close();
    }
    {
        Recordset rs;
        rs.Open("SELECT * FROM Table1", cs_, adOpenKeyset, adLockReadOnly);
        EXPECT_EQ(errorNumber([&] { rs("B").setValue(Variant::fromString("x")); }), 3251);
        EXPECT_EQ(errorNumber([&] { rs.Delete(); }), 3251);
        EXPECT_EQ(errorNumber([&] { rs.Update(); }), 3251);
        rs.Close();
        rs.Open("SELECT COUNT(*) AS N FROM Table1", cs_, adOpenKeyset, adLockOptimistic);
        EXPECT_EQ(errorNumber([&] { rs("N").setValue(Variant::fromLong(1)); }), 3251);
        rs.Close();
    }
    EXPECT_TRUE(bytesOf(file_) == before);
}

TEST_P(RecordsetWrite, DeletedRecordCannotBeReadAndMovingGoesOn) {
    {
        Recordset rs;
        rs.Open("SELECT * FROM Table1 ORDER BY A", cs_, adOpenKeyset, adLockOptimistic);
        rs.Delete();
        EXPECT_EQ(errorNumber([&] { rs("A").Value(); }), 3021);
        EXPECT_EQ(errorNumber([&] { rs.Delete(); }), 3021);
        rs.MoveNext();
        EXPECT_EQ(rs("A").Value().toText(), "abcdefg");
        rs("C").setValue(Variant::fromLong(9));
        rs.Update();
        rs.Close();
    }
    EXPECT_EQ(column("A"), std::vector<std::string>{"abcdefg"});
    EXPECT_EQ(column("C"), std::vector<std::string>{"9"});
    expectClean();
}

TEST_P(RecordsetWrite, StatementsPassedToOpenRunAndLeaveTheRecordsetClosed) {
    DatabaseCache cache;
    EXPECT_EQ(column("B", &cache), (std::vector<std::string>{"b", "hijklmnop"}));
    Recordset rs(cache);
    rs.Open("UPDATE Table1 SET B='x''y' WHERE A='a'", cs_, adOpenForwardOnly, adLockOptimistic);
    EXPECT_EQ(rs.State(), adStateClosed);
    // The cached reader sees the write at once.
    EXPECT_EQ(column("B", &cache), (std::vector<std::string>{"x'y", "hijklmnop"}));
    rs.Open("DELETE * FROM Table1", cs_);
    EXPECT_EQ(rs.State(), adStateClosed);
    EXPECT_EQ(column("B", &cache), std::vector<std::string>{});
    EXPECT_EQ(errorNumber([&] { rs.Open("UPDATE Table1 SET Nope=1", cs_); }),
              hresult::kParamNotOptional);
    expectClean();
}

TEST_P(RecordsetWrite, WritesThroughCachedRecordsetsAreSeenByLaterOnes) {
    DatabaseCache cache;
    for (int round = 0; round < 3; ++round) {
        Recordset rs(cache);
        rs.Open("SELECT A, D FROM Table1 WHERE A = 'a'", cs_, adOpenKeyset, adLockOptimistic);
        rs("D").setValue(Variant::fromLong(round + 100));
        rs.Update();
        rs.Close();
        EXPECT_EQ(column("D", &cache),
                  (std::vector<std::string>{std::to_string(round + 100), "222"}));
    }
    expectClean();
}

// Statements run in a transaction are saved together; a failing one undoes them all.
TEST_P(RecordsetWrite, ATransactionSavesItsStatementsTogetherOrNotAtAll) {
    DatabaseCache cache;
    std::vector<std::string> b = column("B");
    runInTransaction(cache, cs_, [&] {
        Recordset(cache).Open("UPDATE Table1 SET B='t1' WHERE A='a'", cs_);
        Recordset rs(cache);
        rs.Open("SELECT A, E FROM Table1 WHERE A='abcdefg'", cs_, adOpenKeyset, adLockOptimistic);
        rs("E").setValue(Variant::fromLong(5));
        rs.Update();
        rs.Close();
        // Reads inside the transaction see its changes.
        EXPECT_EQ(column("B", &cache)[0], "t1");
    });
    b[0] = "t1";
    EXPECT_EQ(column("B"), b);
    EXPECT_EQ(column("E")[1], "5");

    const auto before = bytesOf(file_);
    EXPECT_NE(errorNumber([&] {
                  runInTransaction(cache, cs_, [&] {
                      Recordset(cache).Open("UPDATE Table1 SET B='t2' WHERE A='a'", cs_);
                      // A duplicate primary key: the statement fails, the transaction with it.
                      Recordset(cache).Open("UPDATE Table1 SET A='abcdefg' WHERE A='a'", cs_);
                  });
              }),
              0);
    EXPECT_EQ(bytesOf(file_), before);
    EXPECT_EQ(column("B", &cache)[0], "t1");
    expectClean();
}

// While a WriterHold lives, another writer of the file waits its busy timeout and fails;
// saves through the holder's cache go on. Released, the file is free again.
TEST_P(RecordsetWrite, AWriterHoldKeepsOtherWritersOutBetweenSaves) {
    DatabaseCache cache;
    jet::OpenOptions options;
    options.writable = true;
    options.busyTimeout = std::chrono::milliseconds(50);
    {
        WriterHold hold(cache, cs_);
        auto other = jet::Database::open(file_.string(), options);
        EXPECT_THROW(jet::sql::execute(*other, "UPDATE Table1 SET B='other' WHERE A='a'"),
                     jet::Error);
        Recordset(cache).Open("UPDATE Table1 SET B='mine' WHERE A='a'", cs_);
        Recordset(cache).Open("UPDATE Table1 SET B='mine2' WHERE A='abcdefg'", cs_);
        EXPECT_THROW(jet::sql::execute(*other, "UPDATE Table1 SET B='other' WHERE A='a'"),
                     jet::Error);
    }
    auto other = jet::Database::open(file_.string(), options);
    jet::sql::execute(*other, "UPDATE Table1 SET B='other' WHERE A='a'");
    EXPECT_EQ(column("B"), (std::vector<std::string>{"other", "mine2"}));
    expectClean();
}

INSTANTIATE_TEST_SUITE_P(Files, RecordsetWrite,
                         ::testing::Values("V2000/testV2000.mdb", "V1997/testV1997.mdb"),
                         [](const auto& info) { return std::string(info.param).substr(0, 5); });

}  // namespace
