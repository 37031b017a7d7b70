// Inserting, updating and deleting rows on copies of real Access files (Jet 4 and Jet 3):
// after each change the file reads back with our engine, every index agrees with the rows,
// the row count is right, and mdb-export and mdb-reader read it as well.
#include "jet/table_writer.h"

#include <gtest/gtest.h>

#include "jet/page_file.h"
#include "jet/write_limits.h"
#include "table_write_support.h"

namespace tablewrite_test {
namespace {

struct Case {
    const char* file;
};

class TableWrite : public ::testing::TestWithParam<Case> {
protected:
    fs::path copy() { return dir_.copy(tdv::test::testdataDir() / GetParam().file); }
    tdv::test::TempDir dir_;
};

// Table1: A Text 50 (primary key), B Text 100 (index), C Byte, D Integer, E Long, F Double,
// G DateTime, H Currency, I Boolean.
std::vector<Value> table1Row(const std::string& a, const std::string& b, int n) {
    return {text(a),
            text(b),
            val(static_cast<uint8_t>(n % 256)),
            val(static_cast<int16_t>(n)),
            val(static_cast<int32_t>(n * 1000)),
            val(n / 4.0),
            val(DateTime{30000.0 + n}),
            val(Currency{int64_t{n} * 12345}),
            val(n % 2 == 0)};
}

TEST_P(TableWrite, InsertedRowsReadBackEverywhere) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        expected = tableRows(*db, "Table1");
        TableWriter w(*db, "Table1");
        for (int i = 0; i < 5; ++i) {
            auto row = table1Row("new" + std::to_string(i), std::string(i * 20, 'x'), i);
            RowId id = w.insert(row);
            EXPECT_EQ(rowText(db->readRow(db->table("Table1"), id)), rowText(row));
            expected.push_back(rowText(row));
        }
        std::vector<Value> nulls = table1Row("nulls", "", 0);
        for (size_t i = 1; i < nulls.size(); ++i) nulls[i] = Value();
        nulls[8] = val(false);
        w.insert(nulls);
        expected.push_back(rowText(nulls));
        EXPECT_EQ(db->table("Table1").rowCount, expected.size());
    }
    std::sort(expected.begin(), expected.end());
    verifyFile(file, "Table1", expected);
}

TEST_P(TableWrite, DuplicateKeyIsRefusedAndTheFileIsUnchanged) {
    fs::path file = copy();
    auto before = fileBytes(file);
    {
        auto db = openWritable(file);
        TableWriter w(*db, "Table1");
        TableScan scan = db->scan(db->table("Table1"));
        ASSERT_TRUE(scan.next());
        std::string existing = scan.values()[0].get<Text>().utf8;
        try {
            w.insert(table1Row(existing, "dup", 1));
            FAIL() << "duplicate primary key accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Constraint);
            EXPECT_EQ(e.number(), errnum::kDuplicate);
            EXPECT_NE(std::string(e.what()).find("PrimaryKey"), std::string::npos) << e.what();
        }
        // Null in the primary key, text longer than its column: refused as well.
        auto nullKey = table1Row("x", "b", 1);
        nullKey[0] = Value();
        EXPECT_THROW(w.insert(nullKey), Error);
        EXPECT_THROW(w.insert(table1Row(std::string(51, 'a'), "b", 1)), Error);
        EXPECT_THROW(w.insert(table1Row("ok", std::string(101, 'b'), 1)), Error);
    }
    EXPECT_EQ(fileBytes(file), before);
}

TEST_P(TableWrite, AutoNumberContinuesFromTheDefinition) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        const TableDef& t = db->table("Table3");
        uint32_t last = t.nextAutoNumber;
        expected = tableRows(*db, "Table3");
        TableWriter w(*db, "Table3");
        RowId id = w.insert({Value(), text("first")});
        auto row = db->readRow(t, id);
        EXPECT_EQ(row[0], val(static_cast<int32_t>(last + 1)));
        expected.push_back(rowText(row));
        row = db->readRow(t, w.insert({Value(), text("second")}));
        EXPECT_EQ(row[0], val(static_cast<int32_t>(last + 2)));
        expected.push_back(rowText(row));
        EXPECT_EQ(db->table("Table3").nextAutoNumber, last + 2);
        EXPECT_THROW(w.update(id, {val(int32_t{999}), text("changed")}), Error);
    }
    std::sort(expected.begin(), expected.end());
    verifyFile(file, "Table3", expected);
}

TEST_P(TableWrite, UpdatesGrowShrinkAndOverflowKeepingTheRowId) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        TableWriter w(*db, "Table1");
        const TableDef& t = db->table("Table1");
        // Fill pages so that a growing row cannot stay on its page.
        std::vector<RowId> ids;
        for (int i = 0; i < 120; ++i)
            ids.push_back(w.insert(table1Row("fill" + std::to_string(i), "short", i)));
        RowId first = ids.front();
        auto grown = table1Row("fill0", std::string(100, 'g'), 7);
        for (int i = 1; i < 120; ++i)
            if (ids[i].page == first.page)
                w.update(ids[i], table1Row("fill" + std::to_string(i), std::string(90, 'q'), i));
        w.update(first, grown);
        EXPECT_EQ(rowText(db->readRow(t, first)), rowText(grown));
        // Shrink, then grow again: the row stays addressable by the same RowId.
        auto shrunk = table1Row("fill0", "s", 8);
        w.update(first, shrunk);
        EXPECT_EQ(rowText(db->readRow(t, first)), rowText(shrunk));
        auto again = table1Row("fill0", std::string(100, 'h'), 9);
        w.update(first, again);
        EXPECT_EQ(rowText(db->readRow(t, first)), rowText(again));
        // Changing the key moves the index entries.
        auto rekeyed = table1Row("zz-rekeyed", std::string(100, 'h'), 9);
        w.update(first, rekeyed);
        expected = tableRows(*db, "Table1");
    }
    verifyFile(file, "Table1", expected);
}

TEST_P(TableWrite, DeletesReturnSpaceAndKeepIndexesConsistent) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        TableWriter w(*db, "Table1");
        std::vector<RowId> ids;
        for (int i = 0; i < 30; ++i)
            ids.push_back(w.insert(table1Row("del" + std::to_string(i), std::string(i, 'd'), i)));
        for (size_t i = 0; i < ids.size(); i += 3) w.remove(ids[i]);
        EXPECT_THROW(w.remove(ids[0]), Error);                  // already deleted
        RowId reused = w.insert(table1Row("del0", "back", 1));  // its key is free again
        EXPECT_NE(reused, ids[0]);
        expected = tableRows(*db, "Table1");
    }
    verifyFile(file, "Table1", expected);
}

TEST_P(TableWrite, SaveScopeGroupsWritesAndRollsBackWhenNotCommitted) {
    fs::path file = copy();
    auto before = fileBytes(file);
    {
        auto db = openWritable(file);
        TableWriter w(*db, "Table1");
        SaveScope scope(*db);
        w.insert(table1Row("scoped1", "a", 1));
        w.insert(table1Row("scoped2", "b", 2));
        EXPECT_EQ(tableRows(*db, "Table1").size(), db->table("Table1").rowCount + 2);
    }  // not committed
    EXPECT_EQ(fileBytes(file), before);
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        TableWriter w(*db, "Table1");
        SaveScope scope(*db);
        w.insert(table1Row("scoped1", "a", 1));
        // A refused write inside the scope leaves the scope usable.
        EXPECT_THROW(w.insert(table1Row("scoped1", "dup", 1)), Error);
        w.insert(table1Row("scoped2", "b", 2));
        scope.commit();
        expected = tableRows(*db, "Table1");
    }
    verifyFile(file, "Table1", expected);
}

TEST_P(TableWrite, ReadOnlyDatabaseRefusesWriters) {
    auto db = Database::open(copy().string());
    try {
        TableWriter w(*db, "Table1");
        FAIL() << "writer on a read-only database";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::ReadOnly);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, TableWrite, ::testing::Values(Case{"V2000/testV2000.mdb"}, Case{"V1997/testV1997.mdb"}),
    [](const auto& info) { return std::string(info.param.file).substr(0, 5); });

}  // namespace
}  // namespace tablewrite_test
