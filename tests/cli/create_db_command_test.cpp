// tdv create-db: a database from a JSON description, read back by tdv dump and by the
// oracles; bad descriptions refused with the table, row and column named.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "helpers/testdata.h"

using tdv::test::runCommand;
using tdv::test::runTdv;
using tdv::test::shellQuote;
using tdv::test::TempDir;

namespace {

const char* kEveryType = R"({"format": "jet4", "tables": [
 {"name": "People",
  "columns": [
   {"name": "ID", "type": "long"}, {"name": "Active", "type": "boolean"},
   {"name": "Age", "type": "byte"}, {"name": "Score", "type": "integer"},
   {"name": "Balance", "type": "currency"}, {"name": "Ratio", "type": "single"},
   {"name": "Weight", "type": "double"}, {"name": "Born", "type": "datetime"},
   {"name": "Name", "type": "text", "size": 30}, {"name": "Notes", "type": "memo"},
   {"name": "Key", "type": "binary", "size": 8}, {"name": "Photo", "type": "ole"},
   {"name": "Uid", "type": "guid"}, {"name": "Amount", "type": "decimal", "precision": 9, "scale": 2}],
  "indexes": [
   {"name": "PrimaryKey", "columns": ["ID"], "primary": true},
   {"name": "NameBorn", "columns": ["Name", {"column": "Born", "descending": true}]},
   {"name": "Uid", "columns": ["Uid"], "unique": true, "ignoreNulls": true}],
  "rows": [
   {"ID": 1, "Active": true, "Age": 42, "Score": -7, "Balance": "1234.5600", "Ratio": 0.5,
    "Weight": 72.25, "Born": "1982-03-04T05:06:07.890", "Name": "Ann", "Notes": "first",
    "Key": {"hex": "0102030405060708"}, "Photo": {"base64": "SGVsbG8="},
    "Uid": "{01234567-89AB-CDEF-0123-456789ABCDEF}", "Amount": "-1234567.89"},
   {"ID": 2, "Name": "Bob"},
   {"ID": 3, "Active": false, "Balance": 2, "Amount": 3, "Name": "Cé"}
  ]}]})";

const char* kExpectedDump =
    R"({"ID":1,"Active":true,"Age":42,"Score":-7,"Balance":"1234.5600","Ratio":0.5,"Weight":72.25,"Born":"1982-03-04T05:06:07.890","Name":"Ann","Notes":"first","Key":{"hex":"0102030405060708"},"Photo":{"hex":"48656c6c6f"},"Uid":"{01234567-89AB-CDEF-0123-456789ABCDEF}","Amount":"-1234567.89"}
{"ID":2,"Active":false,"Age":null,"Score":null,"Balance":null,"Ratio":null,"Weight":null,"Born":null,"Name":"Bob","Notes":null,"Key":null,"Photo":null,"Uid":null,"Amount":null}
{"ID":3,"Active":false,"Age":null,"Score":null,"Balance":"2.0000","Ratio":null,"Weight":null,"Born":null,"Name":"Cé","Notes":null,"Key":null,"Photo":null,"Uid":null,"Amount":"3.00"}
)";

std::string writeDescription(const TempDir& dir, const std::string& text) {
    auto path = dir.path() / "desc.json";
    std::ofstream(path) << text;
    return path.string();
}

std::string q(const std::filesystem::path& p) {
    return shellQuote(p.string());
}

}  // namespace

TEST(CreateDbCommand, WritesEveryTypeReadBackByTdvAndTheOracles) {
    TempDir dir;
    auto desc = writeDescription(dir, kEveryType);
    auto out = dir.path() / "people.mdb";
    auto r = runTdv("create-db " + shellQuote(desc) + " " + q(out));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");

    r = runTdv("dump " + q(out) + " People");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, kExpectedDump);

    auto reader =
        runCommand("node " + shellQuote(TDV_SOURCE_DIR "/tests/oracle/mdbreader_dump.mjs") + " " +
                   q(out) + " People");
    ASSERT_EQ(reader.status, 0) << reader.err;
    EXPECT_EQ(reader.out, kExpectedDump);

    r = runTdv("schema " + q(out) + " People");
    EXPECT_NE(r.out.find("INDEX NameBorn (Name ASC, Born DESC)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("INDEX Uid (Uid ASC) UNIQUE IGNORENULLS"), std::string::npos) << r.out;
    r = runTdv("check " + q(out));
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    auto exported = runCommand("mdb-export " + q(out) + " People");
    EXPECT_EQ(exported.status, 0) << exported.err;
    EXPECT_NE(exported.out.find("\"Ann\""), std::string::npos) << exported.out;
}

TEST(CreateDbCommand, RefusesBadDescriptionsNamingWhatIsWrong) {
    struct Case {
        const char* desc;
        const char* message;
    };
    const Case cases[] = {
        {R"({"tables": [{"name": "T", "columns": [{"name": "X", "type": "varchar"}]}]})",
         "table 'T', column 'X': unknown type 'varchar'"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "N", "type": "long"}],
             "rows": [{"N": 1}, {"N": "two"}]}]})",
         "table 'T', row 2, column 'N': expected a whole number"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "N", "type": "long"}],
             "rows": [{"M": 1}]}]})",
         "table 'T', row 1: there is no column 'M'"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "S", "type": "text", "size": 3}],
             "rows": [{"S": "abcd"}]}]})",
         "table 'T', row 1, column 'S'"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "N", "type": "byte"}],
             "rows": [{"N": 300}]}]})",
         "table 'T', row 1, column 'N'"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "D", "type": "datetime"}],
             "rows": [{"D": "2020-13-01T00:00:00"}]}]})",
         "table 'T', row 1, column 'D'"},
        {R"({"tables": [{"name": "T", "columns": [{"name": "N", "type": "long"}],
             "indexes": [{"name": "P", "columns": ["N"], "primary": true}],
             "rows": [{"N": 1}, {"N": 1}]}]})",
         "index 'P'"},
        {R"({"format": "jet3", "tables": []})", "format 'jet3' is not supported"},
        {R"({"tables": [)", "is not valid JSON"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        auto desc = writeDescription(dir, c.desc);
        auto out = dir.path() / "out.mdb";
        auto r = runTdv("create-db " + shellQuote(desc) + " " + q(out));
        EXPECT_EQ(r.status, 1) << c.desc;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << c.desc;
        EXPECT_FALSE(std::filesystem::exists(out.string() + ".creating")) << c.desc;
    }
}

TEST(CreateDbCommand, RefusesToOverwriteAFile) {
    TempDir dir;
    auto desc = writeDescription(dir, R"({"tables": []})");
    auto out = dir.path() / "exists.mdb";
    std::ofstream(out) << "x";
    auto r = runTdv("create-db " + shellQuote(desc) + " " + q(out));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("the file exists"), std::string::npos) << r.err;
    EXPECT_EQ(std::filesystem::file_size(out), 1u);
}
