// Running SELECTs on the real Access files: every statement shape the program sends,
// Jet's comparison and LIKE rules, Access's sort order, index lookups agreeing with scans
// (and not scanning), joins, COUNT(*) and Jet's errors.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_reader.h"
#include "jet/sql/expr_eval.h"
#include "jet/sql/sort_keys.h"
#include "jet/sql/sql.h"

namespace jet::sql {
namespace {

using ::testing::ElementsAre;
using Rows = std::vector<std::vector<std::string>>;

std::shared_ptr<Database> openTest(const std::string& relative) {
    return Database::open((tdv::test::testdataDir() / relative).string());
}

std::string show(const Value& v) {
    return v.isNull() ? "NULL" : textForm(v);
}

Rows rowsOf(const ResultSet& r) {
    Rows out;
    for (const auto& row : r.rows) {
        std::vector<std::string> line;
        for (const auto& v : row) line.push_back(show(v));
        out.push_back(line);
    }
    return out;
}

Rows run(Database& db, const std::string& sql, bool useIndexes = true) {
    return rowsOf(query(db, sql, QueryOptions{useIndexes}));
}

std::vector<std::string> names(const ResultSet& r) {
    std::vector<std::string> out;
    for (const auto& c : r.columns) out.push_back(c.name);
    return out;
}

Error errorOf(Database& db, const std::string& sql) {
    try {
        query(db, sql);
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error for: " << sql;
    return Error(ErrorKind::Internal, 0, "");
}

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

class IndexTestFile : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { db = openTest(GetParam()); }
    std::shared_ptr<Database> db;
};

INSTANTIATE_TEST_SUITE_P(BothVersions, IndexTestFile,
                         ::testing::Values("V1997/indexTestV1997.mdb", "V2000/indexTestV2000.mdb"));

TEST_P(IndexTestFile, SelectStarKeepsTableOrderTypesAndRowIds) {
    ResultSet r = query(*db, "SELECT * FROM Table1");
    EXPECT_THAT(names(r), ElementsAre("id", "otherfk1", "otherfk2", "data", "otherfk3"));
    EXPECT_EQ(r.columns[0].type, ColumnType::Long);
    EXPECT_EQ(r.columns[3].type, ColumnType::Text);
    EXPECT_EQ(r.columns[3].baseTable, "Table1");
    EXPECT_EQ(r.columns[3].baseColumn, "data");
    EXPECT_EQ(r.baseTable, "Table1");
    ASSERT_EQ(r.rows.size(), 4u);
    ASSERT_EQ(r.rowIds.size(), 4u);
    const TableDef& t = db->table("Table1");
    for (size_t i = 0; i < r.rows.size(); ++i) {
        EXPECT_EQ(db->readRow(t, r.rowIds[i]), r.rows[i]) << i;
    }
    EXPECT_EQ(rowsOf(r)[2], (std::vector<std::string>{"2", "1", "11", "baz11-2", "0"}));
}

TEST_P(IndexTestFile, ProgramStatementShapes) {
    // WHERE column='literal' (text compares without case), WHERE index=5-style numbers.
    EXPECT_EQ(run(*db, "SELECT * FROM Table1 WHERE data='BAZ11'"),
              (Rows{{"1", "1", "11", "baz11", "0"}}));
    EXPECT_EQ(run(*db, "SELECT data FROM Table1 WHERE id=3"), (Rows{{"baz13"}}));
    // Column list, AS aliases with and without case, IS NOT NULL, AND.
    ResultSet r = query(*db,
                        "SELECT data as Alias, ID, otherfk2 AS [Other Key] from TABLE1 WHERE "
                        "otherfk1=1 AND data IS NOT NULL");
    EXPECT_THAT(names(r), ElementsAre("Alias", "id", "Other Key"));
    EXPECT_EQ(rowsOf(r), (Rows{{"baz11", "1", "11"}, {"baz11-2", "2", "11"}}));
    // ORDER BY, both directions, several keys.
    EXPECT_EQ(run(*db, "SELECT id FROM Table1 ORDER BY otherfk1 DESC, data"),
              (Rows{{"3"}, {"1"}, {"2"}, {"0"}}));
    EXPECT_EQ(run(*db, "SELECT id FROM Table1 WHERE NOT (id = 1 OR id > 2) ORDER BY Table1.id"),
              (Rows{{"0"}, {"2"}}));
    // COUNT(*) is a Long called Expr1000.
    ResultSet c = query(*db, "SELECT COUNT(*) FROM Table1 WHERE otherfk1=1");
    EXPECT_THAT(names(c), ElementsAre("Expr1000"));
    EXPECT_EQ(c.columns[0].type, ColumnType::Long);
    EXPECT_EQ(rowsOf(c), (Rows{{"2"}}));
    EXPECT_TRUE(c.rowIds.empty());
    EXPECT_EQ(run(*db, "SELECT COUNT(*) FROM Table1 WHERE data = 'none'"), (Rows{{"0"}}));
}

TEST_P(IndexTestFile, InnerJoin) {
    ResultSet r = query(*db,
                        "SELECT Table1.id, Table2.data FROM Table1 INNER JOIN Table2 ON "
                        "Table2.id= Table1.otherfk1 WHERE otherfk2 >= 11 ORDER BY Table1.id");
    EXPECT_THAT(names(r), ElementsAre("id", "data"));
    EXPECT_EQ(rowsOf(r), (Rows{{"1", "foo1"}, {"2", "foo1"}, {"3", "foo2"}}));
    EXPECT_TRUE(r.baseTable.empty());
    EXPECT_TRUE(r.rowIds.empty());
    // A name both tables have is shown with its table.
    ResultSet both = query(*db,
                           "SELECT Table1.data, Table3.data FROM Table1 INNER JOIN Table3 ON "
                           "Table1.otherfk2 = Table3.id WHERE Table3.data = 'bar13'");
    EXPECT_THAT(names(both), ElementsAre("Table1.data", "Table3.data"));
    EXPECT_EQ(rowsOf(both), (Rows{{"baz13", "bar13"}}));
    // The same rows with and without indexes (index probe versus hash join).
    const char* sql =
        "SELECT * FROM Table2 INNER JOIN Table1 ON Table1.otherfk1 = Table2.id ORDER BY "
        "Table1.id";
    EXPECT_EQ(run(*db, sql, true), run(*db, sql, false));
    EXPECT_EQ(run(*db, sql).size(), 4u);
    EXPECT_THAT(names(query(*db, sql)),
                ElementsAre("Table2.id", "Table2.data", "Table1.id", "otherfk1", "otherfk2",
                            "Table1.data", "otherfk3"));
    EXPECT_EQ(
        errorOf(*db, "SELECT data FROM Table1 INNER JOIN Table2 ON Table1.otherfk1 = Table2.id")
            .number(),
        3079);
}

TEST_P(IndexTestFile, JoinPlansProbeAnIndexOrHashNeverNestedScans) {
    // The program's join shape: the WHERE restricts the FROM table, the joined table is
    // probed through the index on its join column.
    std::vector<std::string> plan;
    ResultSet r = query(*db,
                        "SELECT Table2.id, Table2.data FROM Table1 INNER JOIN Table2 ON "
                        "Table2.id= Table1.otherfk1 WHERE otherfk2=11",
                        QueryOptions{true, &plan});
    EXPECT_EQ(rowsOf(r), (Rows{{"1", "foo1"}, {"1", "foo1"}}));
    EXPECT_THAT(
        plan, ElementsAre("Table2: join probe by index id", "Table1: index Table3Table1, 2 rows"));
    // Joining on a column no index starts with: one hash of the other table.
    plan.clear();
    Rows hashed = rowsOf(query(*db,
                               "SELECT Table2.data, Table1.id FROM Table2 INNER JOIN Table1 ON "
                               "Table1.data = Table2.data",
                               QueryOptions{true, &plan}));
    EXPECT_TRUE(hashed.empty());
    EXPECT_THAT(plan, ElementsAre("Table1: join hash of 4 rows", "Table2: scan"));
}

TEST_P(IndexTestFile, LikeWildcards) {
    auto ids = [&](const std::string& pattern) {
        Rows rows = run(*db, "SELECT id FROM Table1 WHERE data LIKE " + quoted(pattern));
        std::string out;
        for (const auto& r : rows) out += r[0];
        return out;
    };
    EXPECT_EQ(ids("baz1%"), "123");
    EXPECT_EQ(ids("BAZ1*"), "123");
    EXPECT_EQ(ids("baz1_"), "13");
    EXPECT_EQ(ids("baz1?"), "13");
    EXPECT_EQ(ids("%-_"), "2");
    EXPECT_EQ(ids("baz1[!1]"), "3");
    EXPECT_EQ(ids("baz[0-1]"), "0");
    EXPECT_EQ(ids("baz1#"), "13");  // Access: Like operator, # is one digit
    EXPECT_EQ(ids("baz"), "");
    EXPECT_EQ(run(*db, "SELECT id FROM Table1 WHERE data NOT LIKE 'baz1%'"), (Rows{{"0"}}));
    // On a number, LIKE matches the number's text.
    EXPECT_EQ(run(*db, "SELECT id FROM Table1 WHERE otherfk2 LIKE '1_' AND id LIKE '[02]'"),
              (Rows{{"0"}, {"2"}}));
}

TEST_P(IndexTestFile, ErrorsNameWhatIsMissing) {
    Error t = errorOf(*db, "SELECT * FROM NoSuchTable WHERE a=1");
    EXPECT_EQ(t.kind(), ErrorKind::NoSuchTable);
    EXPECT_EQ(t.number(), 3078);
    EXPECT_EQ(t.description(),
              "The Microsoft Jet database engine cannot find the input table or query "
              "'NoSuchTable'.  Make sure it exists and that its name is spelled correctly.");
    for (const char* sql : {"SELECT nope FROM Table1", "SELECT * FROM Table1 WHERE nope = 1",
                            "SELECT * FROM Table1 ORDER BY nope", "SELECT Table2.id FROM Table1"}) {
        Error c = errorOf(*db, sql);
        EXPECT_EQ(c.kind(), ErrorKind::NoSuchColumn) << sql;
        EXPECT_EQ(c.number(), 3070) << sql;
        EXPECT_THAT(c.description(),
                    ::testing::HasSubstr(std::string(sql).find("Table2") != std::string::npos
                                             ? "'Table2.id'"
                                             : "'nope'"));
    }
    EXPECT_EQ(errorOf(*db, "SELECT * FROM Table1 WHERE data = 5").number(), 3464);
    EXPECT_EQ(errorOf(*db, "SELECT * FROM Table1 WHERE id = 'five'").number(), 3464);
    EXPECT_EQ(errorOf(*db, "SELECT * FROM Table1 WHERE id < #1/1/2000# OR data > 1").number(),
              3464);
    EXPECT_EQ(errorOf(*db, "SELECT id, COUNT(*) FROM Table1").number(), 3122);
    EXPECT_EQ(errorOf(*db, "SELECT * FROM Table1 WHERE (id = 1").number(), 3075);
    EXPECT_EQ(
        errorOf(*db, "SELECT * FROM Table1 INNER JOIN Table2 ON Table1.id > Table2.id").number(),
        3296);
    // A number in quotes is still a number.
    EXPECT_EQ(run(*db, "SELECT data FROM Table1 WHERE id = '3'"), (Rows{{"baz13"}}));
}

TEST_P(IndexTestFile, TopKeepsTiesWithTheLastRow) {
    EXPECT_EQ(run(*db, "SELECT TOP 2 id FROM Table1 ORDER BY id"), (Rows{{"0"}, {"1"}}));
    EXPECT_EQ(run(*db, "SELECT TOP 2 id FROM Table1 ORDER BY otherfk1 DESC"),
              (Rows{{"3"}, {"1"}, {"2"}}));
    ResultSet one = query(*db, "SELECT TOP 1 * FROM Table1 WHERE id > 0");
    ASSERT_EQ(one.rows.size(), 1u);
    EXPECT_EQ(one.rowIds.size(), 1u);
    EXPECT_EQ(run(*db, "SELECT TOP 10 id FROM Table1").size(), 4u);
}

TEST_P(IndexTestFile, FunctionsAndConcatenation) {
    ResultSet r = query(*db,
                        "SELECT data & '!' & id AS x, Len(data), UCase(Left(data, 2)), LCase('AB') "
                        "& Right(data, 2), Mid(data, 2, 2), Mid(data, 4), Trim('  a b '), "
                        "Nz(Null, 'n'), Nz(id), IIf(id > 1, 'big', 'small'), CStr(id), "
                        "CLng('2.5'), CLng(3.5) FROM Table1 WHERE id = 3");
    EXPECT_EQ(
        rowsOf(r),
        (Rows{{"baz13!3", "5", "BA", "ab13", "az", "13", "a b", "n", "3", "big", "3", "2", "4"}}));
    EXPECT_EQ(names(r)[0], "x");
    EXPECT_EQ(names(r)[1], "Expr1001");
    EXPECT_EQ(r.columns[0].type, ColumnType::Text);
    EXPECT_EQ(r.columns[1].type, ColumnType::Long);
    EXPECT_TRUE(r.columns[1].baseTable.empty());
    // Null in: Null out for text functions and a Null side of & counts as empty text.
    EXPECT_EQ(run(*db,
                  "SELECT Len(Null), Null & 'a', Null & Null, UCase(Null) FROM Table1 "
                  "WHERE id = 0"),
              (Rows{{"NULL", "a", "NULL", "NULL"}}));
    // Functions in WHERE and ORDER BY by an alias.
    EXPECT_EQ(run(*db,
                  "SELECT id, Len(data) AS n FROM Table1 WHERE Left(data, 4) = 'baz1' AND "
                  "data & 'x' LIKE '*3x' ORDER BY n"),
              (Rows{{"3", "5"}}));
    EXPECT_EQ(errorOf(*db, "SELECT Foo(id) FROM Table1").description(),
              "Undefined function 'Foo' in expression.");
    EXPECT_EQ(errorOf(*db, "SELECT Foo(id) FROM Table1").number(), 3085);
    // Access's own functions that are not evaluated here say so.
    EXPECT_EQ(errorOf(*db, "SELECT First(id) FROM Table1").number(), 3251);
    EXPECT_EQ(errorOf(*db, "SELECT Len(id, 2) FROM Table1").number(), 3075);
    EXPECT_EQ(errorOf(*db, "SELECT Left(data, -1) FROM Table1").number(), 5);
    EXPECT_EQ(errorOf(*db, "SELECT CStr(Null) FROM Table1").number(), 94);
    EXPECT_EQ(errorOf(*db, "SELECT CLng('x') FROM Table1").number(), 3464);
    EXPECT_EQ(errorOf(*db, "SELECT CLng(3000000000) FROM Table1").number(), 6);
    // Now() and Date(): the same day.
    ResultSet dates = query(*db, "SELECT Now(), Date() FROM Table1 WHERE id = 0");
    ASSERT_EQ(dates.rows.size(), 1u);
    EXPECT_EQ(std::floor(dates.rows[0][0].get<DateTime>().days),
              dates.rows[0][1].get<DateTime>().days);
    EXPECT_EQ(dates.columns[1].type, ColumnType::DateTime);
}

// Everyday Jet SQL, each case with the Access reference it follows. Rows are joined with
// ";" and values with ",".
TEST_P(IndexTestFile, EverydayJetSqlCases) {
    struct Case {
        const char* sql;
        const char* rows;
    };
    const Case cases[] = {
        // Access: In operator.
        {"SELECT id FROM Table1 WHERE id IN (1, 3, 7) ORDER BY id", "1;3"},
        {"SELECT id FROM Table1 WHERE id NOT IN (1, 3) ORDER BY id", "0;2"},
        // Null in the list: NOT IN is Null, never True.
        {"SELECT id FROM Table1 WHERE id NOT IN (1, Null)", ""},
        // Access: Between...And operator, both ends included.
        {"SELECT id FROM Table1 WHERE otherfk2 BETWEEN 11 AND 12 ORDER BY id", "1;2"},
        {"SELECT id FROM Table1 WHERE id NOT BETWEEN 1 AND 2 ORDER BY id", "0;3"},
        // Access: ALL, DISTINCT predicates; ORDER BY a position of the select list.
        {"SELECT DISTINCT otherfk2 FROM Table1 ORDER BY 1 DESC", "13;11;10"},
        // Access: + - * / operators; \ and Mod round their operands (19 Mod 6.7 is 5);
        // ^ operator; unary minus binds looser than ^.
        {"SELECT id + 1, id - 5, id * 2, id / 2, 7 \\ 2, 19 Mod 6.7, 2 ^ 3, -id, -2 ^ 2 FROM "
         "Table1 WHERE id = 3",
         "4,-2,6,1.5,3,5,8,-3,-4"},
        {"SELECT 11.5 \\ 2, 2.5 \\ 1, -7 Mod 3, 7 Mod -3 FROM Table1 WHERE id = 0", "6,2,-1,1"},
        // Access: + joins texts and gives Null with Null; & treats Null as "".
        {"SELECT data + '!', data + Null, data & Null, '1' + 2, Null + 1 FROM Table1 WHERE id = 3",
         "baz13!,NULL,baz13,3,NULL"},
        // Access: FROM clause, table aliases with and without AS; a self-join.
        {"SELECT t.data FROM Table1 AS t WHERE t.id = 2", "baz11-2"},
        {"SELECT t.data FROM Table1 t WHERE t.otherfk1 = 2", "baz13"},
        {"SELECT a.id, b.id FROM Table1 AS a INNER JOIN Table1 AS b ON a.otherfk1 = b.otherfk1 "
         "WHERE a.id < b.id",
         "1,2"},
        // Access: LEFT JOIN, RIGHT JOIN operations: unmatched rows with Nulls.
        {"SELECT Table2.id, Table1.id FROM Table2 LEFT JOIN Table1 ON Table2.id = "
         "Table1.otherfk3 ORDER BY Table2.id, Table1.id",
         "0,0;0,1;0,2;0,3;1,NULL;2,NULL"},
        {"SELECT Table2.id FROM Table1 RIGHT JOIN Table2 ON Table1.otherfk3 = Table2.id WHERE "
         "Table1.id IS NULL ORDER BY Table2.id",
         "1;2"},
        // Access: SQL subqueries (IN, EXISTS, a single value).
        {"SELECT id FROM Table1 WHERE otherfk1 IN (SELECT id FROM Table2 WHERE data = 'foo1') "
         "ORDER BY id",
         "1;2"},
        {"SELECT id FROM Table2 AS t WHERE NOT EXISTS (SELECT * FROM Table1 WHERE "
         "Table1.otherfk3 = t.id) ORDER BY id",
         "1;2"},
        {"SELECT id FROM Table1 WHERE id = (SELECT Max(id) FROM Table1)", "3"},
        // Access: UNION operation (ALL keeps duplicates); ORDER BY names the first SELECT's
        // columns.
        {"SELECT otherfk1 AS n FROM Table1 UNION SELECT otherfk2 FROM Table1 ORDER BY n",
         "0;1;2;10;11;13"},
        {"SELECT Count(*) FROM Table1 WHERE id IN (SELECT id FROM Table1 UNION ALL SELECT id "
         "FROM Table1)",
         "4"},
        // Access: ORDER BY an aggregate of a grouped query.
        {"SELECT otherfk1 FROM Table1 GROUP BY otherfk1 ORDER BY Count(*) DESC, otherfk1", "1;0;2"},
        // A count ordered by its own alias or position: still its one row.
        {"SELECT Count(*) AS n FROM Table1 ORDER BY n", "4"},
        {"SELECT Count(*) FROM Table1 ORDER BY 1", "4"},
        // Access: ALL, DISTINCT, DISTINCTROW, TOP predicates: TOP n PERCENT, rounded up.
        {"SELECT TOP 50 PERCENT id FROM Table1 ORDER BY id", "0;1"},
        {"SELECT TOP 10 PERCENT id FROM Table1 ORDER BY id", "0"},
        // Access: IsNull function; InStr function (text comparison, compare 0 binary).
        {"SELECT IsNull(Null), IsNull(data), InStr(data, '1'), InStr(3, data, 'Z'), InStr(data, "
         "'x'), InStr(1, 'aXa', 'x', 0) FROM Table1 WHERE id = 3",
         "-1,0,4,3,0,0"},
        // Access: Format function, named formats and placeholders (US English).
        {"SELECT Format(1234.5, 'Currency'), Format(-1234.5, 'Currency'), Format(1234.5, "
         "'Standard'), Format(0.125, 'Percent'), Format(5, '000.00'), Format(1234567, '#,##0') "
         "FROM Table1 WHERE id = 0",
         "$1,234.50,($1,234.50),1,234.50,12.50%,005.00,1,234,567"},
        {"SELECT Format(#29-Feb-2024 13:05:09#, 'yyyy-mm-dd hh:nn:ss'), Format(#Feb 29, 2024#, "
         "'Long Date'), Format(#2/29/2024#, 'Medium Date'), Format(#2/29/2024 13:05:09#, 'Long "
         "Time'), Format(#2/29/2024#, 'dddd d mmm yy'), Format(#2/29/2024 13:05#, 'h:mm AM/PM') "
         "FROM Table1 WHERE id = 0",
         "2024-02-29 13:05:09,Thursday, February 29, 2024,29-Feb-24,1:05:09 PM,Thursday 29 Feb "
         "24,1:05 PM"},
        // Access: Len, Mid, Right and InStr count UTF-16 units.
        {"SELECT Len('x\xF0\x9F\x98\x80y'), Mid('x\xF0\x9F\x98\x80y', 4), "
         "InStr('x\xF0\x9F\x98\x80y', 'y') FROM Table1 WHERE id = 0",
         "4,y,4"},
    };
    for (const Case& c : cases) {
        std::string got;
        for (const auto& row : run(*db, c.sql)) {
            if (!got.empty()) got += ";";
            for (size_t i = 0; i < row.size(); ++i) got += (i ? "," : "") + row[i];
        }
        EXPECT_EQ(got, c.rows) << c.sql;
        // The same rows without indexes.
        std::string scanned;
        for (const auto& row : run(*db, c.sql, false)) {
            if (!scanned.empty()) scanned += ";";
            for (size_t i = 0; i < row.size(); ++i) scanned += (i ? "," : "") + row[i];
        }
        EXPECT_EQ(scanned, got) << c.sql;
    }
    // Access: + operator types: Long + Long overflowing is a Double; / of Longs a Double.
    ResultSet types = query(*db, "SELECT id + 1, 2147483647 + id, id / 1 FROM Table1 WHERE id = 1");
    EXPECT_EQ(types.columns[0].type, ColumnType::Long);
    EXPECT_EQ(types.columns[1].type, ColumnType::Double);
    EXPECT_EQ(types.columns[2].type, ColumnType::Double);
    EXPECT_EQ(errorOf(*db, "SELECT id / 0 FROM Table1 WHERE id = 1").number(), 11);
    // Access: \ operator: the quotient is at most a Long.
    EXPECT_EQ(errorOf(*db, "SELECT (-2147483648) \\ -1 FROM Table1").number(), 6);
    EXPECT_EQ(errorOf(*db, "SELECT data - 1 FROM Table1").number(), 3464);
    EXPECT_EQ(errorOf(*db, "SELECT Format(1, '0;(0)') FROM Table1").kind(), ErrorKind::Unsupported);
    // Access: Format function: a number beyond the range of dates does not convert to one
    // (Overflow); a long number keeps every digit.
    EXPECT_EQ(errorOf(*db, "SELECT Format(3000000, 'yyyy') FROM Table1").number(), 6);
    EXPECT_EQ(run(*db, "SELECT Len(Format(1e200, '0')) FROM Table1 WHERE id = 0"), (Rows{{"201"}}));
    EXPECT_EQ(errorOf(*db, "SELECT id FROM Table1 UNION SELECT id, data FROM Table1").number(),
              3307);
    EXPECT_EQ(errorOf(*db, "SELECT DISTINCT data FROM Table1 ORDER BY id").number(), 3093);
    EXPECT_THAT(errorOf(*db, "SELECT * FROM Table1, Table2").description(),
                ::testing::HasSubstr("not supported"));
    // IN and BETWEEN read through the index like = and <= do.
    std::vector<std::string> plan;
    query(*db, "SELECT data FROM Table1 WHERE id IN (1, 3)", QueryOptions{true, &plan});
    query(*db, "SELECT data FROM Table1 WHERE id BETWEEN 1 AND 2", QueryOptions{true, &plan});
    ASSERT_EQ(plan.size(), 2u);
    EXPECT_THAT(plan[0], ::testing::HasSubstr(", 2 rows"));
    EXPECT_THAT(plan[1], ::testing::HasSubstr(", 2 rows"));
}

TEST_P(IndexTestFile, GroupByAggregatesAndHaving) {
    const char* grouped =
        "SELECT otherfk1, COUNT(*) AS n, Sum(otherfk2), Min(data), Max(data), Avg(id) FROM "
        "Table1 GROUP BY otherfk1";
    EXPECT_EQ(run(*db, grouped), (Rows{{"0", "1", "10", "baz0", "baz0", "0"},
                                       {"1", "2", "22", "baz11", "baz11-2", "1.5"},
                                       {"2", "1", "13", "baz13", "baz13", "3"}}));
    ResultSet r = query(*db, grouped);
    EXPECT_THAT(names(r),
                ElementsAre("otherfk1", "n", "Expr1002", "Expr1003", "Expr1004", "Expr1005"));
    EXPECT_EQ(r.columns[2].type, ColumnType::Long);
    EXPECT_EQ(r.columns[5].type, ColumnType::Double);
    EXPECT_TRUE(r.rowIds.empty());
    EXPECT_EQ(run(*db, "SELECT otherfk1 FROM Table1 GROUP BY otherfk1 HAVING Count(*) > 1"),
              (Rows{{"1"}}));
    EXPECT_EQ(run(*db,
                  "SELECT TOP 2 otherfk1, Count(*) AS n FROM Table1 WHERE id > 0 GROUP BY "
                  "otherfk1 ORDER BY otherfk1 DESC"),
              (Rows{{"2", "1"}, {"1", "2"}}));
    // Without GROUP BY the table is one group, even an empty one.
    EXPECT_EQ(run(*db,
                  "SELECT COUNT(*), Sum(id), Count(data), Max(id) & '' FROM Table1 WHERE "
                  "id > 9"),
              (Rows{{"0", "NULL", "0", ""}}));
    EXPECT_EQ(run(*db, "SELECT Count(data), Max(data) & '!' FROM Table1"), (Rows{{"4", "baz13!"}}));
    EXPECT_EQ(errorOf(*db, "SELECT data, COUNT(*) FROM Table1 GROUP BY otherfk1").number(), 3122);
    EXPECT_EQ(errorOf(*db, "SELECT Len(data) & Count(*) FROM Table1").number(), 3122);
    Error where = errorOf(*db, "SELECT id FROM Table1 WHERE Count(*) > 1");
    EXPECT_EQ(where.number(), 3096);
    EXPECT_EQ(where.description(),
              "Cannot have aggregate function in WHERE clause (Count(*) > 1).");
    EXPECT_EQ(errorOf(*db, "SELECT Sum(Max(id)) FROM Table1").number(), 3095);
    EXPECT_EQ(errorOf(*db, "SELECT Sum(data) FROM Table1").number(), 3464);
}

TEST_P(IndexTestFile, QueryChecksUpdateAndDeleteButDoesNotRunThem) {
    Error u = errorOf(*db, "UPDATE Table1 SET data='x' WHERE id=1");
    EXPECT_EQ(u.kind(), ErrorKind::Unsupported);
    EXPECT_EQ(u.description(), "INSERT, UPDATE and DELETE return no rows: run them with execute()");
    EXPECT_EQ(errorOf(*db, "DELETE * FROM Table1").kind(), ErrorKind::Unsupported);
    EXPECT_EQ(errorOf(*db, "UPDATE Table1 SET nope='x'").number(), 3070);
    EXPECT_EQ(errorOf(*db, "DELETE FROM Table1 WHERE nope=1").number(), 3070);
    EXPECT_EQ(errorOf(*db, "DELETE FROM Gone").number(), 3078);
    EXPECT_EQ(errorOf(*db, "INSERT INTO Gone VALUES (1)").number(), 3078);
    EXPECT_EQ(errorOf(*db, "INSERT INTO Table1 (id) VALUES (9)").kind(), ErrorKind::Unsupported);
    // The rows are untouched.
    EXPECT_EQ(run(*db, "SELECT COUNT(*) FROM Table1"), (Rows{{"4"}}));
}

TEST(SqlExecutor, ComparesAcrossColumnTypes) {
    auto db = openTest("V2000/testV2000.mdb");
    auto a = [&](const std::string& where) {
        std::string out;
        for (const auto& r : run(*db, "SELECT A FROM Table1 WHERE " + where)) out += r[0] + ";";
        return out;
    };
    EXPECT_EQ(a("I = True"), "abcdefg;");
    EXPECT_EQ(a("I = -1"), "abcdefg;");
    EXPECT_EQ(a("I = False AND I <> True"), "a;");
    EXPECT_EQ(a("C = 2 AND D = 222 AND E = 333333333"), "abcdefg;");
    EXPECT_EQ(a("C < 2.5 AND D > 0.5"), "abcdefg;");
    EXPECT_EQ(a("F > 444.5 AND F < 444.6"), "abcdefg;");
    EXPECT_EQ(a("H = 3.5"), "abcdefg;");
    EXPECT_EQ(a("H = '3.50'"), "abcdefg;");
    EXPECT_EQ(a("G = #9/21/1974#"), "abcdefg;");
    EXPECT_EQ(a("G >= #1981-12-12# "), "a;");
    EXPECT_EQ(a("A = 'ABCDEFG' OR B = 'B'"), "abcdefg;a;");
    EXPECT_EQ(a("A > 'a'"), "abcdefg;");
    EXPECT_EQ(a("A IS NULL"), "");
    EXPECT_EQ(a("C = 1 OR NOT (D <> 0)"), "a;");
    EXPECT_EQ(errorOf(*db, "SELECT A FROM Table1 WHERE C = 'two'").number(), 3464);
    EXPECT_EQ(errorOf(*db, "SELECT A FROM Table1 WHERE B = #1/1/2000#").number(), 3464);
}

TEST(SqlExecutor, NullsAreUnknownAndSortFirst) {
    auto db = openTest("V2000/compIndexTestV2000.mdb");
    Rows nulls = run(*db, "SELECT CD_AGENTE FROM Table1 WHERE CD_AGENTE IS NULL");
    Rows notEqual = run(*db, "SELECT CD_AGENTE FROM Table1 WHERE CD_AGENTE <> 19");
    Rows all = run(*db, "SELECT CD_AGENTE FROM Table1");
    ASSERT_FALSE(nulls.empty());
    // Null <> 19 is not true, so the Null rows are in neither side of the comparison.
    EXPECT_EQ(notEqual.size() + 1 + nulls.size(), all.size());
    Rows asc = run(*db, "SELECT CD_AGENTE FROM Table1 ORDER BY CD_AGENTE");
    Rows desc = run(*db, "SELECT CD_AGENTE FROM Table1 ORDER BY CD_AGENTE DESC");
    EXPECT_EQ(asc.front()[0], "NULL");
    EXPECT_EQ(desc.back()[0], "NULL");
    for (size_t i = nulls.size() + 1; i < asc.size(); ++i) {
        EXPECT_LT(std::stol(asc[i - 1][0]), std::stol(asc[i][0]));
    }
}

class CompIndexFile : public ::testing::TestWithParam<std::string> {};
INSTANTIATE_TEST_SUITE_P(BothVersions, CompIndexFile,
                         ::testing::Values("V1997/compIndexTestV1997.mdb",
                                           "V2000/compIndexTestV2000.mdb"));

TEST_P(CompIndexFile, IndexLookupMatchesScanAndReadsOnlyTheMatchingRow) {
    auto db = openTest(GetParam());
    Rows keys = run(*db, "SELECT CD_AGENTE FROM Table1 WHERE CD_AGENTE IS NOT NULL");
    ASSERT_GT(keys.size(), 500u);
    for (const auto& k : keys) {
        std::string sql =
            "SELECT * FROM Table1 WHERE CD_AGENTE=" + k[0] + " AND RS_AGENTE LIKE '*'";
        std::vector<std::string> plan;
        Rows indexed = rowsOf(query(*db, sql, QueryOptions{true, &plan}));
        ASSERT_EQ(indexed, run(*db, sql, false)) << sql;
        ASSERT_EQ(indexed.size(), 1u) << sql;
        // The index (descending here) gave exactly one candidate row: nothing was scanned.
        ASSERT_THAT(plan, ElementsAre("Table1: index CD_AGENTE, 1 rows")) << sql;
    }
    // Conditions an index cannot serve fall back to a scan.
    std::vector<std::string> plan;
    query(*db, "SELECT * FROM Table1 WHERE CD_AGENTE > 19 OR CD_AGENTE = 27",
          QueryOptions{true, &plan});
    EXPECT_THAT(plan, ElementsAre("Table1: scan"));
    plan.clear();
    query(*db, "SELECT * FROM Table1 WHERE CD_AGENTE = 2.5", QueryOptions{true, &plan});
    EXPECT_THAT(plan, ElementsAre("Table1: scan"));
}

// Comparisons of an indexed column with literals read a range of the index: the same rows as
// a scan (in index order rather than table order), without reading the others.
TEST_P(CompIndexFile, IndexRangesMatchScansAndReadOnlyTheRange) {
    auto db = openTest(GetParam());
    auto sorted = [](Rows rows) {
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    const Rows all = run(*db, "SELECT CD_AGENTE FROM Table1");
    for (const char* condition :
         {"CD_AGENTE > 19", "CD_AGENTE >= 19", "CD_AGENTE < 19", "CD_AGENTE <= 19",
          "19 < CD_AGENTE", "CD_AGENTE > 10 AND CD_AGENTE <= 40", "CD_AGENTE >= 2000000",
          "CD_AGENTE < -5", "CD_AGENTE > '30' AND RS_AGENTE LIKE '*'"}) {
        const std::string sql = std::string("SELECT * FROM Table1 WHERE ") + condition;
        std::vector<std::string> plan;
        const Rows indexed = rowsOf(query(*db, sql, QueryOptions{true, &plan}));
        const Rows scanned = run(*db, sql, false);
        EXPECT_EQ(sorted(indexed), sorted(scanned)) << sql;
        ASSERT_EQ(plan.size(), 1u) << sql;
        EXPECT_TRUE(plan[0].starts_with("Table1: index CD_AGENTE, ")) << plan[0];
        // Only the range was read: at most the matching rows and the Nulls next to them.
        const size_t read = std::stoul(plan[0].substr(plan[0].rfind(", ") + 2));
        EXPECT_LT(read, all.size()) << sql;
        EXPECT_LE(read, scanned.size() + all.size() / 10) << sql;
    }
}

TEST(SqlExecutor, TextIndexLookupsMatchScansForEveryKey) {
    auto db = openTest("V1997/testIndexCodesV1997.mdb");
    for (const char* table : {"Table1", "Table1_desc", "Table11", "Table13"}) {
        Rows values =
            run(*db, std::string("SELECT data FROM ") + table + " WHERE data IS NOT NULL");
        ASSERT_FALSE(values.empty()) << table;
        for (const auto& v : values) {
            std::string sql =
                std::string("SELECT * FROM ") + table + " WHERE data = " + quoted(v[0]);
            Rows indexed = run(*db, sql, true);
            ASSERT_EQ(indexed, run(*db, sql, false)) << sql;
            ASSERT_FALSE(indexed.empty()) << sql;
        }
    }
    // A prefix of a two-column index: data1 is its first column.
    for (const char* table : {"Table12", "Table12_desc_asc"}) {
        std::string sql = std::string("SELECT name FROM ") + table + " WHERE data1 = 'STUFF'";
        EXPECT_EQ(run(*db, sql, true), (Rows{{"row0"}})) << table;
        EXPECT_EQ(run(*db, sql, false), (Rows{{"row0"}})) << table;
    }
}

TEST(SqlExecutor, OrderByTextFollowsAccessIndexOrder) {
    // Access stored the DataIndex entries in its own sort order: ORDER BY must agree.
    auto db = openTest("V1997/testIndexCodesV1997.mdb");
    const TableDef& t = db->table("Table1");
    const IndexDef* index = t.findIndex("DataIndex");
    ASSERT_NE(index, nullptr);
    std::vector<std::string> indexOrder;
    IndexReader reader(*db, t, *index);
    IndexCursor cursor = reader.all();
    size_t dataColumn = *t.findColumn("data");
    while (cursor.next())
        indexOrder.push_back(show(db->readRow(t, cursor.entry().row)[dataColumn]));
    std::vector<std::string> sqlOrder;
    for (const auto& r : run(*db, "SELECT data FROM Table1 ORDER BY data"))
        sqlOrder.push_back(r[0]);
    EXPECT_EQ(sqlOrder, indexOrder);
    // Case does not order; accents come after the plain letter.
    std::vector<std::string> desc;
    for (const auto& r : run(*db, "SELECT data FROM Table1 ORDER BY data DESC"))
        desc.push_back(r[0]);
    EXPECT_EQ(desc.back(), "NULL");
}

TEST(SqlExecutor, OrderByTextIgnoresCaseInJet4) {
    auto db = openTest("V2000/fixedTextTestV2000.mdb");
    EXPECT_EQ(run(*db, "SELECT c_user_login FROM users ORDER BY c_user_login"),
              (Rows{{"admin"}, {"CORE USER"}}));
    EXPECT_EQ(run(*db, "SELECT c_user_login FROM users ORDER BY c_user_login DESC"),
              (Rows{{"CORE USER"}, {"admin"}}));
    EXPECT_EQ(run(*db, "SELECT i_user_id FROM users WHERE c_user_login = 'Core User'"),
              (Rows{{"1"}}));
    EXPECT_EQ(run(*db, "SELECT i_user_id FROM users WHERE c_user_login = 'Core User'", false),
              (Rows{{"1"}}));
}

// ORDER BY sorts on keys computed once per row; the order must be exactly the one of
// comparing the Values (Nulls first, Access's text order, stable for equal keys).
TEST(SqlExecutor, SortKeysGiveTheOrderOfComparingValues) {
    auto t = [](const char* s) { return Value::text(s); };
    auto n = [](double d) { return Value(Value::Storage(d)); };
    auto money = [](int64_t c) { return Value(Value::Storage(Currency{c})); };
    const Value null;
    const std::vector<std::vector<Value>> columns = {
        // Text: case, accents, ignored punctuation, trailing spaces, ties kept in order.
        {t("abc"),
         t("ABC"),
         null,
         t("\xC3\x84"
           "bc"),
         t("abd"),
         t("a-bc"),
         t("ab"),
         t("Abc "),
         t("\xC3\xA9"
           "clair"),
         t("eclair"),
         t("Eclair"),
         null,
         t("stra\xC3\x9F"
           "e"),
         t("strasse"),
         t("zebra"),
         t("\xC3\xA0"),
         t("a"),
         t("A"),
         t(""),
         t("co-op"),
         t("coop")},
        // Numbers with Nulls, negative and fractional; currency.
        {n(3), null, n(-1.5), n(0), n(3), n(1e9), null, n(-0.0), n(2.25)},
        {money(10000), money(-5), null, money(10000), money(9223372036854775807LL), money(0)},
    };
    for (const JetVersion version : {JetVersion::Jet3, JetVersion::Jet4}) {
        const Evaluator eval(version);
        for (const auto& column : columns) {
            // Two keys: the column, then the row's position the other way round.
            std::vector<std::vector<Value>> rows;
            for (size_t i = 0; i < column.size(); ++i)
                rows.push_back({column[i], n(static_cast<double>(i % 3))});
            for (const bool desc : {false, true}) {
                std::vector<size_t> expected(rows.size());
                for (size_t i = 0; i < rows.size(); ++i) expected[i] = i;
                std::stable_sort(expected.begin(), expected.end(), [&](size_t a, size_t b) {
                    int c = eval.compareForSort(rows[a][0], rows[b][0]);
                    if (c != 0) return desc ? c > 0 : c < 0;
                    c = eval.compareForSort(rows[a][1], rows[b][1]);
                    return c > 0;
                });
                auto order = orderByKeys(
                    rows.size(), [&](size_t i) -> const std::vector<Value>& { return rows[i]; },
                    {desc, true}, version);
                ASSERT_TRUE(order.has_value());
                EXPECT_EQ(*order, expected) << "descending " << desc;
            }
        }
        // A column mixing text and numbers is left to the comparison of Values.
        std::vector<std::vector<Value>> mixed = {{t("b")}, {n(1)}, {null}};
        EXPECT_FALSE(orderByKeys(
                         mixed.size(),
                         [&](size_t i) -> const std::vector<Value>& { return mixed[i]; }, {false},
                         version)
                         .has_value());
    }
    // Through a query: a text column with accents and case, Nulls first, both directions,
    // on an ascending and a descending index. Where the index matches the direction its
    // order is read instead of sorting; both ways give the stable sort of the Values.
    auto db = openTest("V1997/testIndexCodesV1997.mdb");
    const Evaluator eval(db->info().version);
    size_t indexOrders = 0;
    for (const std::string table : {"Table1", "Table1_desc"}) {
        const ResultSet all = query(*db, "SELECT data, name FROM " + table);
        for (const bool desc : {false, true}) {
            ResultSet expected = all;
            std::stable_sort(expected.rows.begin(), expected.rows.end(),
                             [&](const auto& a, const auto& b) {
                                 const int c = eval.compareForSort(a[0], b[0]);
                                 return desc ? c > 0 : c < 0;
                             });
            const std::string sql =
                "SELECT data, name FROM " + table + " ORDER BY data" + (desc ? " DESC" : "");
            std::vector<std::string> plan;
            EXPECT_EQ(rowsOf(query(*db, sql, QueryOptions{true, &plan})), rowsOf(expected)) << sql;
            EXPECT_EQ(run(*db, sql, false), rowsOf(expected)) << sql;
            indexOrders +=
                static_cast<size_t>(std::count_if(plan.begin(), plan.end(), [](const auto& p) {
                    return p.find("order of index") != std::string::npos;
                }));
        }
    }
    EXPECT_GE(indexOrders, 2u);
}

TEST(SqlExecutor, LikeMatching) {
    EXPECT_TRUE(likeMatch("Pager1", "pager%"));
    EXPECT_TRUE(likeMatch("PAGER", "pager*"));
    EXPECT_FALSE(likeMatch("apager", "pager%"));
    EXPECT_TRUE(likeMatch("ÉCOLE", "école"));
    EXPECT_TRUE(likeMatch("été", "_t?"));
    EXPECT_FALSE(likeMatch("ete", "été"));
    EXPECT_TRUE(likeMatch("a%b", "a[%]b"));
    EXPECT_FALSE(likeMatch("axb", "a[%]b"));
    EXPECT_TRUE(likeMatch("", "%"));
    EXPECT_FALSE(likeMatch("", "_"));
    EXPECT_TRUE(likeMatch("abcabcabd", "%abc%abd"));
    // Many runs against a long text stays fast (no exponential backtracking).
    EXPECT_FALSE(likeMatch(std::string(5000, 'a'), std::string(50, '%') + "b"));
    EXPECT_FALSE(likeMatch("abc", std::string(60000, '[')));
    EXPECT_TRUE(likeMatch("[[", "[[]["));
}

}  // namespace
}  // namespace jet::sql
