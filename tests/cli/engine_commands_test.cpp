// tdv tables / schema / dump on real files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/json_values.h"
#include "helpers/testdata.h"

using tdv::test::runTdv;
using tdv::test::shellQuote;

namespace {

std::string file(const std::string& rel) {
    return shellQuote((tdv::test::testdataDir() / rel).string());
}

std::vector<nlohmann::json> jsonLines(const std::string& out) {
    std::vector<nlohmann::json> rows;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) rows.push_back(nlohmann::json::parse(line));
    return rows;
}

}  // namespace

TEST(EngineCommands, TablesListsUserTables) {
    auto r = runTdv("tables " + file("V2000/testV2000.mdb"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Table1\nTable2\nTable3\nTable4\n");
    r = runTdv("tables " + file("jet4-empty/empty.mdb"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST(EngineCommands, SchemaShowsColumnsAndIndexes) {
    auto r = runTdv("schema " + file("V2000/testV2000.mdb") + " Table1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "TABLE Table1\n"
              "  COLUMN A Text 50\n"
              "  COLUMN B Text 100\n"
              "  COLUMN C Byte 1\n"
              "  COLUMN D Integer 2\n"
              "  COLUMN E Long 4\n"
              "  COLUMN F Double 8\n"
              "  COLUMN G DateTime 8\n"
              "  COLUMN H Currency 8\n"
              "  COLUMN I Boolean 1\n"
              "  INDEX PrimaryKey (A ASC) PRIMARY UNIQUE REQUIRED\n"
              "  INDEX B (B ASC)\n");
    r = runTdv("schema " + file("V1997/testIndexCodesV1997.mdb") + " Table12_desc_asc");
    EXPECT_NE(r.out.find("INDEX DataIndex (data1 DESC, data2 ASC)\n"), std::string::npos) << r.out;
    r = runTdv("schema " + file("V2000/testV2000.mdb"));
    EXPECT_NE(r.out.find("TABLE Table4\n  COLUMN name Text 50\n  COLUMN data GUID 16 AUTONUMBER\n"),
              std::string::npos)
        << r.out;
}

TEST(EngineCommands, DumpWritesJsonLinesInColumnOrder) {
    auto r = runTdv("dump " + file("V2000/testV2000.mdb") + " table1");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"A\":\"abcdefg\",\"B\":\"hijklmnop\",\"C\":2,\"D\":222,\"E\":333333333,"
              "\"F\":444.555,\"G\":\"1974-09-21T00:00:00\",\"H\":\"3.5000\",\"I\":true}\n"
              "{\"A\":\"a\",\"B\":\"b\",\"C\":0,\"D\":0,\"E\":0,\"F\":0,"
              "\"G\":\"1981-12-12T00:00:00\",\"H\":\"0.0000\",\"I\":false}\n");
    // Every table of every file dumps valid JSON, one line per row.
    for (const auto& f : tdv::test::allTestDatabases()) {
        auto tables = runTdv("tables " + shellQuote(f.string()));
        std::istringstream in(tables.out);
        std::string t;
        while (std::getline(in, t)) {
            auto d = runTdv("dump " + shellQuote(f.string()) + " " + shellQuote(t));
            ASSERT_EQ(d.status, 0) << f << " " << t << ": " << d.err;
            EXPECT_NO_THROW(jsonLines(d.out)) << f << " " << t;
        }
    }
}

TEST(EngineCommands, DumpOfDecimalGuidAndMemo) {
    auto rows = jsonLines(runTdv("dump " + file("V2000/fixedNumericTestV2000.mdb") + " test").out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0]["col1"], "some data");
    EXPECT_EQ(rows[0]["col6"], "-1");
    rows = jsonLines(runTdv("dump " + file("V1997/testIndexCodesV1997.mdb") + " Table13").out);
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[0]["data"], "{8E39276A-BCA8-4AC4-891E-49911D8438DD}");  // as mdb-export
}

TEST(EngineCommands, ErrorsAreOneLineAndExitOne) {
    auto r = runTdv("dump " + file("V2000/testV2000.mdb") + " NoSuchTable");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("error: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
    r = runTdv("tables /nonexistent.mdb");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/nonexistent.mdb"), std::string::npos);
    for (const char* cmd : {"tables", "schema", "dump"}) {
        r = runTdv(std::string(cmd) + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_NE(r.out.find("FILE"), std::string::npos) << cmd;
    }
}

TEST(JsonValues, EscapingAndSpecialValues) {
    using jet::Value;
    std::string out;
    tdv::cli::writeJsonRow(
        out, {"t", "n", "inf", "ninf", "b", "nul", "s"},
        {Value::text("a\"b\\c\n\x01\xC3\xA9\xFF"), Value(Value::Storage(std::nan(""))),
         Value(Value::Storage(std::numeric_limits<double>::infinity())),
         Value(Value::Storage(-std::numeric_limits<float>::infinity())),
         Value(Value::Storage(jet::Bytes{0x00, 0xAB, 0x10})), Value(),
         Value(Value::Storage(0.1f))});
    EXPECT_EQ(out,
              "{\"t\":\"a\\\"b\\\\c\\n\\u0001\xC3\xA9\xEF\xBF\xBD\",\"n\":\"NaN\","
              "\"inf\":\"Infinity\",\"ninf\":\"-Infinity\",\"b\":{\"hex\":\"00ab10\"},"
              "\"nul\":null,\"s\":0.1}\n");
    EXPECT_NO_THROW(nlohmann::json::parse(out));
}
