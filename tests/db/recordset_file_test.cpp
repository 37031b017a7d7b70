// Recordsets over the real Access files, through the engine's SQL.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>

#include "db/connect_string.h"
#include "db/database_cache.h"
#include "db/db_error.h"
#include "db/error_mapping.h"
#include "db/recordset.h"
#include "helpers/testdata.h"

using namespace tdv::db;
namespace fs = std::filesystem;

namespace {

fs::path file(const char* version, const char* name) {
    return tdv::test::testdataDir() / version / name;
}

std::string connect(const fs::path& p) {
    return makeConnectString(p.string());
}

DbError openError(Recordset& rs, const std::string& sql, const std::string& cs) {
    try {
        rs.Open(sql, cs, adOpenKeyset, adLockReadOnly, -1);
    } catch (const DbError& e) {
        return e;
    }
    return DbError(0, "no error");
}

long errorNumberOrZero(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

struct ExpectedField {
    const char* name;
    int type;
    long definedSize;
};

}  // namespace

class RecordsetOnBothVersions : public ::testing::TestWithParam<const char*> {
protected:
    fs::path path() const {
        return file(GetParam(),
                    GetParam() == std::string("V2000") ? "testV2000.mdb" : "testV1997.mdb");
    }
};

TEST_P(RecordsetOnBothVersions, FieldTypesSizesAndTextForms) {
    DatabaseCache cache;
    Recordset rs(cache);
    rs.setCursorLocation(adUseClient);
    rs.Open("SELECT * FROM Table1", connect(path()), adOpenKeyset, adLockReadOnly, -1);
    ASSERT_EQ(rs.State(), adStateOpen);
    EXPECT_EQ(rs.RecordCount(), 2);
    const ExpectedField expected[] = {
        {"A", adVarWChar, 50}, {"B", adVarWChar, 100}, {"C", adUnsignedTinyInt, 1},
        {"D", adSmallInt, 2},  {"E", adInteger, 4},    {"F", adDouble, 8},
        {"G", adDate, 8},      {"H", adCurrency, 8},   {"I", adBoolean, 2},
    };
    ASSERT_EQ(rs.Fields().Count(), 9);
    for (long i = 0; i < 9; ++i) {
        EXPECT_EQ(rs.Fields(i).Name(), expected[i].name);
        EXPECT_EQ(rs.Fields(i).Type(), expected[i].type) << expected[i].name;
        EXPECT_EQ(rs.Fields(i).DefinedSize(), expected[i].definedSize) << expected[i].name;
    }
    rs.Find("A='ABCDEFG'");
    ASSERT_FALSE(rs.Eof());
    std::vector<std::string> text;
    for (long i = 0; i < 9; ++i) text.push_back(rs.Fields(i).Value().toText());
    EXPECT_EQ(text, (std::vector<std::string>{"abcdefg", "hijklmnop", "2", "222", "333333333",
                                              "444.555", "9/21/1974", "3.5", "True"}));
    EXPECT_EQ(rs("a").ActualSize(), 14);
    EXPECT_EQ(rs.BaseTable(), "Table1");
    EXPECT_TRUE(rs.CurrentRowId().has_value());
    rs.MoveFirst();
    rs.Find("A='a'");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs("G").Value().toText(), "12/12/1981");
    EXPECT_EQ(rs("I").Value().toText(), "False");
    EXPECT_EQ(rs("H").Value().toText(), "0");
    rs.Close();
    EXPECT_EQ(rs.State(), adStateClosed);
}

TEST_P(RecordsetOnBothVersions, CountsFiltersAndEmptyTables) {
    DatabaseCache cache;
    Recordset rs(cache);
    rs.setCursorLocation(adUseClient);
    rs.Open("SELECT COUNT(*) FROM Table1", connect(path()), adOpenKeyset, adLockReadOnly, -1);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.Fields(0).Value().toLong(), 2);
    EXPECT_EQ(rs.BaseTable(), "");
    rs.Close();
    rs.Open("SELECT A, E FROM Table1 WHERE A = 'A'", connect(path()), adOpenKeyset, adLockReadOnly,
            -1);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs("e").Value().toLong(), 0);
    rs.Close();
    rs.Open("SELECT * FROM Table3", connect(path()), adOpenKeyset, adLockReadOnly, -1);
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.Eof() && rs.Bof());
    EXPECT_EQ(rs.Fields().Count(), 2);
}

INSTANTIATE_TEST_SUITE_P(Versions, RecordsetOnBothVersions, ::testing::Values("V2000", "V1997"));

TEST(RecordsetOnFiles, DecimalAndMemoColumns) {
    Recordset rs;
    rs.setCursorLocation(adUseClient);
    rs.Open("SELECT * FROM test", connect(file("V2000", "fixedNumericTestV2000.mdb")), adOpenKeyset,
            adLockReadOnly, -1);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs("col1").Type(), adLongVarWChar);
    EXPECT_EQ(rs("col2").Type(), adNumeric);
    EXPECT_EQ(rs("col1").Value().toText(), "some data");
    EXPECT_EQ(rs("col5").Value().toText(), "4");
    EXPECT_EQ(rs("col6").Value().toText(), "-1");
    EXPECT_EQ(rs("col1").GetChunk(4).toText(), "some");
    EXPECT_EQ(rs("col1").GetChunk(100).toText(), " data");
    EXPECT_TRUE(rs("col1").GetChunk(100).isNull());
}

TEST(RecordsetOnFiles, OleObjectReadInChunks) {
    for (const char* version : {"V2000", "V1997"}) {
        const std::string name = std::string("test2") + version + ".mdb";
        Recordset rs;
        rs.setCursorLocation(adUseClient);
        rs.Open("SELECT * FROM MSP_PROJECTS", connect(file(version, name.c_str())), adOpenKeyset,
                adLockReadOnly, -1);
        ASSERT_EQ(rs.RecordCount(), 1);
        Field blob = rs("RESERVED_BINARY_DATA");
        EXPECT_EQ(blob.Type(), adLongVarBinary);
        ASSERT_EQ(blob.ActualSize(), 22970);  // as an independent reader sees it
        const jet::Bytes whole = blob.Value().get<jet::Bytes>();
        jet::Bytes joined;
        int chunks = 0;
        for (Variant c = blob.GetChunk(5000); !c.isNull(); c = blob.GetChunk(5000)) {
            const auto& b = c.get<jet::Bytes>();
            joined.insert(joined.end(), b.begin(), b.end());
            ++chunks;
        }
        EXPECT_EQ(chunks, 5);
        EXPECT_EQ(joined, whole);
        EXPECT_EQ(rs("PROJ_PROP_AUTHOR").ActualSize(), 2 * 348);
        EXPECT_EQ(errorNumberOrZero([&] { (void)rs("PROJ_PROP_CATEGORY").Value().toText(); }), 94);
    }
}

TEST(RecordsetOnFiles, EngineFailuresCarryTheProviderNumbers) {
    const std::string cs = connect(file("V2000", "testV2000.mdb"));
    Recordset rs;
    rs.setCursorLocation(adUseClient);
    // The directory probe of a file without VersionInfo: a missing table, recordset closed.
    DbError e = openError(rs, "SELECT * FROM VersionInfo", cs);
    EXPECT_EQ(e.number(), hresult::kNoTable);
    EXPECT_NE(e.description().find("VersionInfo"), std::string::npos) << e.description();
    EXPECT_EQ(rs.State(), adStateClosed);

    EXPECT_EQ(openError(rs, "SELEC * FROM Table1", cs).number(), hresult::kErrorsInCommand);
    e = openError(rs, "SELECT Nope FROM Table1", cs);
    EXPECT_EQ(e.number(), hresult::kParamNotOptional);
    EXPECT_EQ(e.description(), "No value given for one or more required parameters.");
    EXPECT_EQ(openError(rs, "SELECT * FROM Table1 WHERE A = 1", cs).number(),
              hresult::kCantConvertValue);
    EXPECT_EQ(rs.State(), adStateClosed);
    // The recordset is still usable after failures.
    rs.Open("SELECT * FROM Table1", cs, adOpenKeyset, adLockReadOnly, -1);
    EXPECT_EQ(rs.RecordCount(), 2);
}

TEST(RecordsetOnFiles, ConnectionFailures) {
    tdv::test::TempDir dir;
    Recordset rs;
    const std::string missing = (dir.path() / "gone.mdb").string();
    DbError e = openError(rs, "SELECT * FROM VersionInfo", makeConnectString(missing));
    EXPECT_EQ(e.number(), hresult::kFail);
    EXPECT_EQ(e.description(), "Could not find file '" + missing + "'.");
    const fs::path text = dir.path() / "readme.mdb";
    { std::ofstream(text) << std::string(4096, 'z'); }
    EXPECT_EQ(openError(rs, "SELECT * FROM VersionInfo", connect(text)).number(), hresult::kFail);
    EXPECT_EQ(openError(rs, "SELECT * FROM VersionInfo", "").number(), 3709);
    EXPECT_EQ(openError(rs, "SELECT * FROM T", "Provider=SQLOLEDB;Data Source=x").number(), 3706);
    EXPECT_EQ(openError(rs, "SELECT * FROM T", "Provider=Microsoft.Jet.OLEDB.4.0").number(),
              hresult::kFail);
    EXPECT_EQ(rs.State(), adStateClosed);
}

TEST(RecordsetOnFiles, AnyFileNameOpensThroughItsConnectString) {
    tdv::test::TempDir dir;
    for (const std::string name :
         {"semi;colon.mdb", "ends in a space.mdb ", "quote\"d.mdb", "\"leading quote.mdb",
          "'single'.mdb", " leading space.mdb", "a=b;Data Source=other.mdb",
          "Sicherung Ünïcødé "
          "Бэкап.mdb",
          "plain.mdb"}) {
        SCOPED_TRACE(name);
        const fs::path path = dir.path() / name;
        fs::copy_file(file("V2000", "testV2000.mdb"), path);
        const std::string cs = makeConnectString(path.string());
        EXPECT_EQ(dataSourceOf(cs), path.string());
        Recordset rs;
        rs.Open("SELECT * FROM Table1", cs, adOpenKeyset, adLockReadOnly, -1);
        EXPECT_EQ(rs.RecordCount(), 2);
    }
    // An ordinary path keeps the plain form; quoted values of either kind parse back.
    EXPECT_EQ(makeConnectString("/srv/b.mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/srv/b.mdb");
    EXPECT_EQ(dataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source='it''s;x.mdb' ;"),
              "it's;x.mdb");
    EXPECT_THROW(dataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"open.mdb"),
                 std::invalid_argument);
}

TEST(RecordsetOnFiles, StatementsOtherThanSelectRunAndLeaveTheRecordsetClosed) {
    tdv::test::TempDir dir;
    const fs::path copy = dir.copy(file("V2000", "testV2000.mdb"));
    Recordset rs;
    EXPECT_EQ(openError(rs, "UPDATE Table1 SET B = 'x' WHERE A = 'a'", connect(copy)).number(), 0);
    EXPECT_EQ(rs.State(), adStateClosed);
    Recordset check;
    check.Open("SELECT * FROM Table1 WHERE B = 'x'", connect(copy), adOpenKeyset, adLockReadOnly);
    EXPECT_EQ(check.RecordCount(), 1);
    check.Close();
    EXPECT_EQ(openError(rs, "DELETE * FROM Table1", connect(copy)).number(), 0);
    EXPECT_EQ(rs.State(), adStateClosed);
    check.Open("SELECT * FROM Table1", connect(copy), adOpenKeyset, adLockReadOnly);
    EXPECT_EQ(check.RecordCount(), 0);
}

TEST(RecordsetOnFiles, NestedRecordsetsShareOneCachedDatabase) {
    DatabaseCache cache;
    const std::string cs = connect(file("V2000", "testV2000.mdb"));
    Recordset outer(cache);
    outer.setCursorLocation(adUseClient);
    outer.Open("SELECT A FROM Table1", cs, adOpenKeyset, adLockReadOnly, -1);
    int inner = 0;
    while (!outer.Eof()) {
        Recordset lookup(cache);
        lookup.setCursorLocation(adUseClient);
        lookup.Open("SELECT * FROM Table1 WHERE A = '" + outer("A").Value().toText() + "'", cs,
                    adOpenKeyset, adLockReadOnly, -1);
        EXPECT_EQ(lookup.RecordCount(), 1);
        EXPECT_EQ(lookup("A").Value(), outer("A").Value());
        EXPECT_EQ(lookup.Database(), outer.Database());
        lookup.Close();
        ++inner;
        outer.MoveNext();
    }
    EXPECT_EQ(inner, 2);
    EXPECT_EQ(cache.size(), 1u);
}

TEST(RecordsetOnFiles, ACachedRecordsetSeesTheFileReplaced) {
    tdv::test::TempDir dir;
    const fs::path path = dir.path() / "backup.mdb";
    fs::copy_file(file("V2000", "testV2000.mdb"), path);
    DatabaseCache cache;
    Recordset rs(cache);
    rs.Open("SELECT * FROM Table1", connect(path), adOpenKeyset, adLockReadOnly);
    EXPECT_EQ(rs.RecordCount(), 2);
    rs.Close();
    fs::copy_file(file("V2000", "fixedNumericTestV2000.mdb"), path,
                  fs::copy_options::overwrite_existing);
    EXPECT_EQ(openError(rs, "SELECT * FROM Table1", connect(path)).number(), hresult::kNoTable);
    rs.Open("SELECT * FROM test", connect(path), adOpenKeyset, adLockReadOnly);
    EXPECT_EQ(rs.RecordCount(), 1);
}

TEST(RecordsetOnFiles, GuidColumnsReadAsBracedText) {
    Recordset rs;
    rs.setCursorLocation(adUseClient);
    rs.Open("SELECT * FROM Table13", connect(file("V1997", "testIndexCodesV1997.mdb")),
            adOpenKeyset, adLockReadOnly, -1);
    EXPECT_EQ(rs("data").Type(), adGUID);
    EXPECT_EQ(rs("data").DefinedSize(), 16);
    rs.Find("data='{bdbb72af-4c87-4904-9fea-df6dc89bf23d}'");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs("name").Value().toText(), "row1");
    EXPECT_EQ(rs("data").Value().toText(), "{BDBB72AF-4C87-4904-9FEA-DF6DC89BF23D}");
}
