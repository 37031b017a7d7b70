// `tdv sql`: JSON Lines output in result column order, values as `tdv dump` writes them,
// and errors on stderr with exit status 1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "helpers/testdata.h"

namespace {

using tdv::test::runTdv;
using tdv::test::shellQuote;

std::string db(const std::string& relative) {
    return shellQuote((tdv::test::testdataDir() / relative).string());
}

TEST(SqlCommand, PrintsOneJsonObjectPerRowLikeDump) {
    auto r = runTdv("sql " + db("V2000/testV2000.mdb") + " " +
                    shellQuote("SELECT * FROM Table1 WHERE I = True"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"A\":\"abcdefg\",\"B\":\"hijklmnop\",\"C\":2,\"D\":222,\"E\":333333333,"
              "\"F\":444.555,\"G\":\"1974-09-21T00:00:00\",\"H\":\"3.5000\",\"I\":true}\n");
    // The same row as `tdv dump` writes it.
    auto dump = runTdv("dump " + db("V2000/testV2000.mdb") + " Table1");
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out.substr(0, r.out.size()), r.out);
}

TEST(SqlCommand, KeysFollowTheSelectListAliasesAndCount) {
    auto r = runTdv("sql " + db("V1997/indexTestV1997.mdb") + " " +
                    shellQuote("SELECT data AS Alias, id FROM Table1 WHERE data LIKE 'baz1%' "
                               "ORDER BY data DESC"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"Alias\":\"baz13\",\"id\":3}\n{\"Alias\":\"baz11-2\",\"id\":2}\n"
              "{\"Alias\":\"baz11\",\"id\":1}\n");
    auto c = runTdv("sql " + db("V1997/indexTestV1997.mdb") + " " +
                    shellQuote("SELECT COUNT(*) FROM Table1 WHERE otherfk1=1"));
    ASSERT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out, "{\"Expr1000\":2}\n");
}

TEST(SqlCommand, EmptyResultPrintsNothing) {
    auto r = runTdv("sql " + db("V2000/indexTestV2000.mdb") + " " +
                    shellQuote("SELECT * FROM Table1 WHERE id = 99"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(SqlCommand, ErrorsGoToStderrWithStatusOne) {
    struct Case {
        const char* sql;
        const char* message;
    } cases[] = {
        {"SELECT * FROM Missing",
         "error: [3078] The Microsoft Jet database engine cannot find "
         "the input table or query 'Missing'"},
        {"SELECT nope FROM Table1",
         "error: [3070] The Microsoft Jet database engine does not "
         "recognize 'nope'"},
        {"SELECT * FROM Table1 WHERE id = 'x",
         "error: [3075] Syntax error in string in query "
         "expression"},
    };
    for (const auto& c : cases) {
        auto r = runTdv("sql " + db("V2000/indexTestV2000.mdb") + " " + shellQuote(c.sql));
        EXPECT_EQ(r.status, 1) << c.sql;
        EXPECT_EQ(r.out, "") << c.sql;
        EXPECT_THAT(r.err, ::testing::HasSubstr(c.message)) << c.sql;
    }
}

TEST(SqlCommand, CsvAndTableHaveAHeaderLine) {
    const std::string sql =
        shellQuote("SELECT id, data & ',\"' AS [d x] FROM Table1 WHERE id IN (0, 3) ORDER BY id");
    auto csv = runTdv("sql --csv " + db("V2000/indexTestV2000.mdb") + " " + sql);
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "id,d x\r\n0,\"baz0,\"\"\"\r\n3,\"baz13,\"\"\"\r\n");
    auto table = runTdv("sql --table " + db("V2000/indexTestV2000.mdb") + " " + sql);
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out, "id  d x\n--  -------\n0   baz0,\"\n3   baz13,\"\n");
    EXPECT_EQ(runTdv("sql --csv --table " + db("V2000/indexTestV2000.mdb") + " " + sql).status, 2);
}

TEST(SqlCommand, HelpAndPlan) {
    auto h = runTdv("sql --help");
    EXPECT_EQ(h.status, 0);
    EXPECT_THAT(h.out, ::testing::HasSubstr("STATEMENT"));
    auto p = runTdv("sql --plan " + db("V2000/compIndexTestV2000.mdb") + " " +
                    shellQuote("SELECT RS_AGENTE FROM Table1 WHERE CD_AGENTE = 19"));
    ASSERT_EQ(p.status, 0) << p.err;
    EXPECT_EQ(p.out, "{\"RS_AGENTE\":\"abc\"}\n");
    EXPECT_THAT(p.err, ::testing::HasSubstr("plan: Table1: index CD_AGENTE, 1 rows"));
}

}  // namespace
