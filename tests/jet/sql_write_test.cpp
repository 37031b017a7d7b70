// INSERT, UPDATE and DELETE statements on copies of real Access files (Jet 4 and Jet 3): affected
// counts, value conversion to column types, index use, atomicity (a failing statement leaves
// the file byte for byte as it was), and files that our checker and the oracle readers read;
// one long value given to thousands of rows of an indexed text column.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "jet/create_db.h"
#include "jet/db_check.h"
#include "jet/error.h"
#include "jet/global_usage_map.h"
#include "jet/index_owned_pages.h"
#include "jet/index_page.h"
#include "jet/sql/sql.h"
#include "jet/table_writer.h"
#include "jet/usage_map.h"
#include "table_write_support.h"

namespace tablewrite_test {
namespace {

using jet::sql::execute;

struct Case {
    const char* file;
};

// Table1 of testV*.mdb: A Text 50 (primary key), B Text 100 (indexed), C Byte, D Integer,
// E Long, F Double, G DateTime, H Currency, I Boolean; rows A='a' and A='abcdefg'.
class SqlWrite : public ::testing::TestWithParam<Case> {
protected:
    fs::path copy() { return dir_.copy(tdv::test::testdataDir() / GetParam().file); }

    static Error errorOf(Database& db, const std::string& sql) {
        try {
            execute(db, sql);
        } catch (const Error& e) {
            return e;
        }
        ADD_FAILURE() << "no error for " << sql;
        return Error(ErrorKind::Internal, 0, "");
    }

    static std::vector<std::string> clean(Database& db) {
        std::vector<std::string> out;
        for (const Problem& p : checkDatabase(db)) out.push_back(p.describe());
        return out;
    }

    tdv::test::TempDir dir_;
};

std::vector<Value> rowWhere(Database& db, const std::string& a) {
    auto r = jet::sql::query(db, "SELECT * FROM Table1 WHERE A = '" + a + "'");
    EXPECT_EQ(r.rows.size(), 1u) << a;
    return r.rows.empty() ? std::vector<Value>{} : r.rows[0];
}

TEST_P(SqlWrite, UpdateByIndexedKeyChangesOneRowAndKeepsIndexes) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        std::vector<std::string> plan;
        jet::sql::QueryOptions options;
        options.plan = &plan;
        EXPECT_EQ(execute(*db, "UPDATE Table1 SET B='changed', C=7 WHERE A='a'", options), 1);
        ASSERT_EQ(plan.size(), 1u);
        EXPECT_TRUE(plan[0].starts_with("Table1: index")) << plan[0];
        auto row = rowWhere(*db, "a");
        EXPECT_EQ(valueText(row[1]), "'changed'");
        EXPECT_EQ(valueText(row[2]), "7");
        // The other row is untouched; the indexed column finds the new value.
        EXPECT_EQ(valueText(rowWhere(*db, "abcdefg")[1]), "'hijklmnop'");
        auto byB = jet::sql::query(*db, "SELECT A FROM Table1 WHERE B = 'CHANGED'");
        ASSERT_EQ(byB.rows.size(), 1u);
        EXPECT_EQ(valueText(byB.rows[0][0]), "'a'");
        expected = tableRows(*db, "Table1");
    }
    verifyFile(file, "Table1", expected);
    auto db = Database::open(file.string());
    EXPECT_EQ(clean(*db), std::vector<std::string>{});
}

TEST_P(SqlWrite, UpdateWithoutWhereConvertsLiteralsToColumnTypes) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        EXPECT_EQ(execute(*db,
                          "UPDATE Table1 SET B = 12, D = '42', E = 2.0, F = 3, G = #1/2/2000#, "
                          "H = 1.25, I = True"),
                  2);
        for (const char* a : {"a", "abcdefg"}) {
            auto row = rowWhere(*db, a);
            EXPECT_EQ(valueText(row[1]), "'12'");
            EXPECT_EQ(valueText(row[3]), "42");
            EXPECT_EQ(valueText(row[4]), "2");
            EXPECT_EQ(valueText(row[5]), "3");
            EXPECT_EQ(valueText(row[6]), "2000-01-02T00:00:00");
            EXPECT_EQ(valueText(row[7]), "1.2500");
            EXPECT_EQ(valueText(row[8]), "true");
        }
        // Null clears a column; a column may take another column's value.
        EXPECT_EQ(execute(*db, "UPDATE Table1 SET H = Null, B = A WHERE A = 'abcdefg'"), 1);
        auto row = rowWhere(*db, "abcdefg");
        EXPECT_TRUE(row[7].isNull());
        EXPECT_EQ(valueText(row[1]), "'abcdefg'");
        expected = tableRows(*db, "Table1");
    }
    verifyFile(file, "Table1", expected);
    auto db = Database::open(file.string());
    EXPECT_EQ(clean(*db), std::vector<std::string>{});
}

TEST_P(SqlWrite, InsertValuesAndSelectAndExpressionUpdates) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        EXPECT_EQ(execute(*db,
                          "INSERT INTO Table1 (A, B, E, I) VALUES ('new', UCase('b') & 'x', "
                          "CLng('2.5'), True)"),
                  1);
        EXPECT_EQ(execute(*db,
                          "INSERT INTO Table1 VALUES ('full', 'bee', '1', 2, 3, 4.5, "
                          "#1/2/2000#, 1.25, False)"),
                  1);
        auto row = rowWhere(*db, "new");
        EXPECT_EQ(valueText(row[1]), "'Bx'");
        EXPECT_EQ(valueText(row[4]), "2");
        EXPECT_TRUE(row[3].isNull());
        row = rowWhere(*db, "full");
        EXPECT_EQ(valueText(row[2]), "1");
        EXPECT_EQ(valueText(row[6]), "2000-01-02T00:00:00");
        // A copy of the rows A LIKE 'a*' under new keys, through the indexes.
        EXPECT_EQ(execute(*db,
                          "INSERT INTO Table1 (A, B, D) SELECT A & '-copy', B, Len(A) FROM "
                          "Table1 WHERE A LIKE 'a*'"),
                  2);
        EXPECT_EQ(valueText(rowWhere(*db, "abcdefg-copy")[3]), "7");
        // Without a column list a SELECT's columns go to the columns of their names.
        EXPECT_EQ(execute(*db,
                          "INSERT INTO Table1 SELECT TOP 1 A & '2' AS A, E FROM Table1 "
                          "ORDER BY A"),
                  1);
        EXPECT_EQ(valueText(rowWhere(*db, "a2")[0]), "'a2'");
        EXPECT_EQ(execute(*db,
                          "UPDATE Table1 SET B = Left(A, 3) & '!', E = Nz(E, 0) WHERE A = "
                          "'abcdefg'"),
                  1);
        EXPECT_EQ(valueText(rowWhere(*db, "abcdefg")[1]), "'abc!'");
        auto byB = jet::sql::query(*db, "SELECT A FROM Table1 WHERE B = 'ABC!'");
        ASSERT_EQ(byB.rows.size(), 1u);
        EXPECT_EQ(execute(*db, "INSERT INTO Table1 (A) SELECT A FROM Table1 WHERE A = 'zzz'"), 0);
        // Arithmetic on the row's own values (Access: + operator, Mod operator), and a
        // subquery choosing the rows.
        EXPECT_EQ(execute(*db,
                          "UPDATE Table1 SET D = D + 1, E = E * 2 - 1 WHERE A IN (SELECT A "
                          "FROM Table1 WHERE A LIKE '*-copy')"),
                  2);
        EXPECT_EQ(valueText(rowWhere(*db, "abcdefg-copy")[3]), "8");
        EXPECT_EQ(execute(*db, "DELETE FROM Table1 WHERE A LIKE '*-copy' AND D Mod 4 = 0"), 1);
        expected = tableRows(*db, "Table1");
        EXPECT_EQ(expected.size(), 6u);
    }
    verifyFile(file, "Table1", expected);
    auto db = Database::open(file.string());
    EXPECT_EQ(clean(*db), std::vector<std::string>{});
}

TEST_P(SqlWrite, FailingStatementsChangeNothing) {
    fs::path file = copy();
    const auto before = fileBytes(file);
    {
        auto db = openWritable(file);
        // Both rows would get the primary key 'b': the second write is refused and the
        // first one, already made in the same save, is rolled back.
        Error dup = errorOf(*db, "UPDATE Table1 SET A = 'b'");
        EXPECT_EQ(dup.kind(), ErrorKind::Constraint);
        EXPECT_EQ(dup.number(), errnum::kDuplicate);
        Error mismatch = errorOf(*db, "UPDATE Table1 SET E = 'abc' WHERE A = 'a'");
        EXPECT_EQ(mismatch.number(), errnum::kType);
        EXPECT_NE(mismatch.description().find("Data type mismatch"), std::string::npos);
        Error unknown = errorOf(*db, "UPDATE Table1 SET Nope = 1");
        EXPECT_EQ(unknown.number(), errnum::kUnknownName);
        EXPECT_NE(unknown.description().find("Nope"), std::string::npos);
        EXPECT_EQ(errorOf(*db, "DELETE FROM Missing").number(), errnum::kNoSuchTable);
        EXPECT_EQ(errorOf(*db, "UPDATE Table1 SET C = 300").kind(), ErrorKind::Type);
        EXPECT_EQ(errorOf(*db, "UPDATE Table1 SET B = 'x' WHERE E = 'x'").number(), errnum::kType);
        // Nothing matches: nothing is written.
        EXPECT_EQ(execute(*db, "UPDATE Table1 SET B = 'x' WHERE A = 'zzz'"), 0);
        EXPECT_EQ(execute(*db, "DELETE FROM Table1 WHERE D = 999"), 0);
        EXPECT_EQ(errorOf(*db, "SELECT * FROM Table1").kind(), ErrorKind::Unsupported);
        // INSERT: a duplicate key (also half-way through a SELECT's rows), unknown names,
        // value counts and types.
        EXPECT_EQ(errorOf(*db, "INSERT INTO Table1 (A) VALUES ('a')").number(), errnum::kDuplicate);
        EXPECT_EQ(
            errorOf(*db, "INSERT INTO Table1 (A) SELECT IIf(A = 'a', 'q', A) FROM Table1").number(),
            errnum::kDuplicate);
        Error field = errorOf(*db, "INSERT INTO Table1 (A, Nope) VALUES ('q', 1)");
        EXPECT_EQ(field.number(), errnum::kInsertUnknownField);
        EXPECT_EQ(field.description(),
                  "The INSERT INTO statement contains the following unknown field name: 'Nope'.  "
                  "Make sure you have typed the name correctly, and try the operation again.");
        EXPECT_EQ(errorOf(*db, "INSERT INTO Table1 (A, B) VALUES ('q')").description(),
                  "Number of query values and destination fields are not the same.");
        EXPECT_EQ(errorOf(*db, "INSERT INTO Table1 VALUES ('q')").number(),
                  errnum::kInsertValueCount);
        EXPECT_EQ(errorOf(*db, "INSERT INTO Table1 (A) VALUES (B)").number(),
                  errnum::kTooFewParameters);
        EXPECT_EQ(errorOf(*db, "INSERT INTO Table1 (A, E) VALUES ('q', 'abc')").number(),
                  errnum::kType);
        EXPECT_EQ(errorOf(*db, "INSERT INTO Missing VALUES (1)").number(), errnum::kNoSuchTable);
        EXPECT_EQ(errorOf(*db, "UPDATE Table1 SET B = Count(*)").number(),
                  errnum::kAggregateInExpression);
        EXPECT_EQ(errorOf(*db, "DELETE FROM Table1 WHERE Max(E) > 1").number(),
                  errnum::kAggregateInWhere);
        EXPECT_EQ(tableRows(*db, "Table1").size(), 2u);
        // The catalog is Access's own: no statement changes its rows.
        Error edit = errorOf(*db, "UPDATE MSysObjects SET Flags = Flags");
        EXPECT_EQ(edit.number(), errnum::kNoUpdatePermission);
        EXPECT_EQ(edit.description(),
                  "Record(s) cannot be edited; no update data permission on 'MSysObjects'.");
        EXPECT_EQ(errorOf(*db, "DELETE FROM msysobjects WHERE Name = 'Table1'").number(),
                  errnum::kNoDeletePermission);
        EXPECT_EQ(errorOf(*db, "INSERT INTO MSysObjects (Name) VALUES ('x')").number(),
                  errnum::kNoInsertPermission);
    }
    EXPECT_TRUE(fileBytes(file) == before);
}

TEST_P(SqlWrite, ReadOnlyDatabaseRefusesStatements) {
    fs::path file = copy();
    auto db = Database::open(file.string());
    EXPECT_EQ(errorOf(*db, "DELETE * FROM Table1").kind(), ErrorKind::ReadOnly);
    EXPECT_THROW(jet::sql::query(*db, "DELETE * FROM Table1"), Error);
}

TEST_P(SqlWrite, DeleteWithWhereThenEverything) {
    fs::path file = copy();
    {
        auto db = openWritable(file);
        EXPECT_EQ(execute(*db, "DELETE FROM Table1 WHERE A = 'abcdefg'"), 1);
        auto rows = tableRows(*db, "Table1");
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_TRUE(rows[0].starts_with("'a'|")) << rows[0];
        verifyFile(file, "Table1", rows);
    }
    {
        auto db = openWritable(file);
        EXPECT_EQ(execute(*db, "DELETE * FROM Table1"), 1);
        EXPECT_EQ(execute(*db, "DELETE * FROM Table1"), 0);
    }
    verifyFile(file, "Table1", {});
    auto db = Database::open(file.string());
    EXPECT_EQ(clean(*db), std::vector<std::string>{});
}

TEST_P(SqlWrite, StatementsOverManyRows) {
    fs::path file = copy();
    {
        auto db = openWritable(file);
        TableWriter w(*db, "Table1");
        for (int i = 0; i < 150; ++i) {
            std::vector<Value> row(9);
            row[0] = text("k" + std::to_string(i));
            row[1] = text(i % 3 == 0 ? "three" : "other");
            row[4] = val(static_cast<int32_t>(i));
            row[8] = val(false);
            w.insert(row);
        }
        EXPECT_EQ(execute(*db, "UPDATE Table1 SET B = 'tripled' WHERE B = 'three'"), 50);
        EXPECT_EQ(execute(*db, "DELETE FROM Table1 WHERE E >= 100 AND A LIKE 'k%'"), 50);
        EXPECT_EQ(execute(*db, "UPDATE Table1 SET D = 1 WHERE B LIKE 'tri*'"), 34);
        auto count = jet::sql::query(*db, "SELECT COUNT(*) FROM Table1");
        EXPECT_EQ(valueText(count.rows[0][0]), "102");
    }
    auto db = Database::open(file.string());
    EXPECT_EQ(clean(*db), std::vector<std::string>{});
    verifyFile(file, "Table1", tableRows(*db, "Table1"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, SqlWrite, ::testing::Values(Case{"V2000/testV2000.mdb"}, Case{"V1997/testV1997.mdb"}),
    [](const auto& info) { return std::string(info.param.file).substr(0, 5); });

// --- One long value for every row of an indexed text column -------------------------------
// Thousands of rows keyed "old name 00001"... all set to one value of `length` characters:
// the index splits pages (also while entries are removed) and grows levels as its entries
// change, and the file must stay sound: every index page in its page map, every level one
// chain in tree order.

struct BulkCase {
    bool jet3;
    size_t length;
};

std::string oldName(int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "old name %05d", i);
    return buf;
}

// Jet 4: a new database, People(ID Long key, Name Text 255 indexed, Note Memo), 4,000
// rows. Jet 3: testV1997.mdb's Table1 (B Text 100 indexed) with 2,000 rows added.
const std::vector<uint8_t>& bulkBase(bool jet3) {
    static const std::vector<uint8_t> jet4Bytes = [] {
        NewTableWithRows t;
        t.table.name = "People";
        t.table.columns = {
            {"ID", ColumnType::Long}, {"Name", ColumnType::Text, 255}, {"Note", ColumnType::Memo}};
        t.table.indexes = {{"PrimaryKey", {{"ID"}}, true}, {"Name", {{"Name"}}}};
        for (int i = 1; i <= 4000; ++i)
            t.rows.push_back({val(int32_t{i}), text(oldName(i)), text(std::string(i % 50, 'n'))});
        NewDatabase d;
        d.tables.push_back(std::move(t));
        d.created = 45000.5;
        return buildDatabaseFile(d);
    }();
    static const std::vector<uint8_t> jet3Bytes = [] {
        tdv::test::TempDir dir;
        fs::path file = dir.copy(tdv::test::testdataDir() / "V1997/testV1997.mdb");
        {
            OpenOptions o;
            o.writable = true;
            o.sync = false;
            auto db = Database::open(file.string(), o);
            TableWriter w(*db, "Table1");
            SaveScope save(*db);
            for (int i = 1; i <= 2000; ++i) {
                std::vector<Value> row(9);
                row[0] = text("k" + std::to_string(i));
                row[1] = text(oldName(i));
                row[4] = val(int32_t{i});
                row[8] = val(false);
                w.insert(row);
            }
            save.commit();
        }
        return fileBytes(file);
    }();
    return jet3 ? jet3Bytes : jet4Bytes;
}

class BulkUpdate : public ::testing::TestWithParam<BulkCase> {};

// The pages of the index's tree, and the pages its page map lists.
std::pair<std::set<uint32_t>, std::set<uint32_t>> indexPages(Database& db, const std::string& table,
                                                             const std::string& index) {
    const TableDef& t = db.table(table);
    const IndexDef& ix = *t.findIndex(index);
    const IndexPageLayout& layout = indexPageLayout(db.info().version);
    std::set<uint32_t> tree;
    std::vector<uint32_t> todo{ix.rootPage};
    while (!todo.empty()) {
        const uint32_t n = todo.back();
        todo.pop_back();
        if (!tree.insert(n).second) continue;
        IndexPage page = decodeIndexPage(*db.pages().read(n), n, layout, {table, index});
        if (page.leaf) continue;
        for (const IndexPageEntry& e : page.entries) todo.push_back(e.child);
        if (page.tail != 0) todo.push_back(page.tail);
    }
    UsageMap map = UsageMap::load(
        db.pages(), db.format(),
        realIndexOwnedPagesRow(db.pages(), db.format(), t.definitionPage, ix.realNumber));
    std::set<uint32_t> listed;
    while (auto n = map.next(db.pages())) listed.insert(*n);
    return {tree, listed};
}

TEST_P(BulkUpdate, EveryRowGetsOneLongIndexedValueAndTheFileStaysSound) {
    const BulkCase c = GetParam();
    const std::string table = c.jet3 ? "Table1" : "People";
    const std::string column = c.jet3 ? "B" : "Name";
    const long rows = c.jet3 ? 2000 : 4000;
    tdv::test::TempDir dir;
    const fs::path file = dir.path() / "bulk.mdb";
    {
        const std::vector<uint8_t>& base = bulkBase(c.jet3);
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(base.data()), static_cast<long>(base.size()));
    }
    std::string value = "new name ";
    value.resize(c.length, 'x');
    const std::set<uint32_t> listedBefore =
        indexPages(*Database::open(file.string()), table, column).second;
    {
        OpenOptions o;
        o.writable = true;
        o.sync = false;
        auto db = Database::open(file.string(), o);
        const std::string where = c.jet3 ? " WHERE A LIKE 'k*'" : " WHERE ID > 0";
        ASSERT_EQ(execute(*db, "UPDATE " + table + " SET " + column + " = '" + value + "'" + where),
                  rows);
    }
    auto db = Database::open(file.string());
    std::vector<std::string> problems;
    for (const Problem& p : checkDatabase(*db)) problems.push_back(p.describe());
    EXPECT_EQ(problems, std::vector<std::string>{});
    // The map lists exactly the tree's pages; pages the tree gave up are free.
    auto [tree, listed] = indexPages(*db, table, column);
    EXPECT_EQ(tree, listed);
    const std::set<uint32_t> free = readFreePages(db->pages(), db->format());
    for (uint32_t n : listedBefore)
        EXPECT_TRUE(listed.count(n) || free.count(n)) << "page " << n << " given up, not free";
    // The index finds every row under the new value.
    auto found = jet::sql::query(
        *db, "SELECT COUNT(*) FROM " + table + " WHERE " + column + " = '" + value + "'");
    EXPECT_EQ(valueText(found.rows.at(0).at(0)), std::to_string(rows));
}

std::vector<BulkCase> bulkCases() {
    std::vector<BulkCase> out;
    for (size_t n = 60; n <= 120; ++n) out.push_back({false, n});
    out.push_back({false, 255});
    for (size_t n = 60; n <= 100; n += 4) out.push_back({true, n});  // Table1.B holds 100
    return out;
}

INSTANTIATE_TEST_SUITE_P(Lengths, BulkUpdate, ::testing::ValuesIn(bulkCases()),
                         [](const auto& info) {
                             return std::string(info.param.jet3 ? "Jet3_" : "Jet4_") +
                                    std::to_string(info.param.length);
                         });

}  // namespace
}  // namespace tablewrite_test
