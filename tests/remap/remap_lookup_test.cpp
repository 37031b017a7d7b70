// The remap windows' indexed lookups give the record a Find from the first record gives, on
// a sample backup; and a CSV file made from the sample's users loads into the grid.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "db/ado_types.h"
#include "db/db_error.h"
#include "jet/index_key.h"
#include "remap/frm_extension_remap.h"
#include "remap/remap_lookups.h"
#include "remap_load_harness.h"
#include "sample/sample.h"

namespace tdv::test {
namespace {

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

struct SampleBackup {
    TempDir dir;
    sample::WrittenSample written = sample::writeSample(
        (dir.path() / "s").string(), sample::sampleVariants().front(), sample::SampleOptions{});
    backup::AppState state;
    SampleBackup() {
        state.strMDBFilePath = written.directoryBackup;
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + written.directoryBackup;
        state.version.mdbVersion = sample::sampleVariants().front().schemaRevision;
    }
    db::Recordset open(const std::string& sql) {
        db::Recordset rs = state.newRecordset();
        rs.setCursorLocation(db::adUseClient);
        rs.Open(sql, state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
        return rs;
    }
};

// The value of `field` in the record a Find from the first record reaches, or nullopt.
std::optional<std::string> findByScan(db::Recordset& rs, const std::string& column,
                                      const std::string& value, const std::string& field) {
    std::string criterion = column + "='";
    for (char c : value) criterion += c == '\'' ? std::string("''") : std::string(1, c);
    criterion += "'";
    rs.MoveFirst();
    rs.Find(criterion);
    if (rs.Eof()) return std::nullopt;
    const db::Variant v = rs(field).Value();
    return v.isNull() ? std::string() : v.toText();
}

TEST(RemapLookupTable, GivesTheRecordFindGivesOnASampleBackup) {
    SampleBackup s;
    db::Recordset users = s.open(
        "SELECT Alias, FirstName, LastName, DisplayName, DTMFAccessID, OBjectID FROM Subscribers");
    ASSERT_GT(users.RecordCount(), 10);
    const remap::LookupTable table(users, {"OBjectID", "Alias"}, {"Alias", "DTMFAccessID"},
                                   s.state);
    EXPECT_EQ(table.size(), static_cast<size_t>(users.RecordCount()));

    std::vector<std::pair<std::string, std::string>> probes;  // column, value
    for (users.MoveFirst(); !users.Eof(); users.MoveNext()) {
        const std::string alias = users("Alias").Value().toText();
        probes.emplace_back("Alias", alias);
        probes.emplace_back("Alias", upper(alias));
        probes.emplace_back("Alias", alias + "   ");
        probes.emplace_back("Alias", alias + "x");
        if (!users("DTMFAccessID").Value().isNull()) {
            probes.emplace_back("DTMFAccessID", users("DTMFAccessID").Value().toText());
        }
    }
    probes.emplace_back("DTMFAccessID", "0");
    probes.emplace_back("Alias", "");
    int found = 0;
    for (const auto& [column, value] : probes) {
        const auto byFind = findByScan(users, column, value, "OBjectID");
        const auto row = table.findFirst(column, value);
        ASSERT_EQ(byFind.has_value(), row.has_value()) << column << "=" << value;
        if (row) {
            EXPECT_EQ(table.text(*row, "OBjectID"), *byFind) << column << "=" << value;
            ++found;
        }
    }
    EXPECT_GT(found, 20);
    EXPECT_THROW(table.findFirst("DisplayName", "x"), db::DbError);  // not searched
}

TEST(RemapLookupTable, KeysAreEqualExactlyWhenJetTextsCompareEqual) {
    const std::vector<std::string> texts = {"abc",
                                            "ABC",
                                            "abc ",
                                            " abc",
                                            "Abc",
                                            "abd",
                                            "ab",
                                            "\xC3\xA9t\xC3\xA9",
                                            "ETE",
                                            "\xC3\x89T\xC3\x89",
                                            "ete",
                                            "o'neil",
                                            "O'NEIL",
                                            "a-b",
                                            "ab-",
                                            "1001",
                                            "1001 ",
                                            "01001",
                                            "\xE6\xBC\xA2",
                                            "\xE6\xBC\xA3",
                                            ""};
    for (jet::JetVersion v : {jet::JetVersion::Jet4, jet::JetVersion::Jet3}) {
        for (const auto& a : texts) {
            for (const auto& b : texts) {
                EXPECT_EQ(remap::lookupTextKey(a, v) == remap::lookupTextKey(b, v),
                          jet::compareText(a, b, v) == 0)
                    << "'" << a << "' vs '" << b << "'";
            }
        }
    }
}

TEST(RemapLookupTable, NumberColumnsCompareByValue) {
    LoadHarness h;
    BackupFixture db;
    db.table("Codes")
        .integer("Code")
        .text("Name")
        .row({7, "seven"})
        .row({12, "twelve"})
        .row({7, "second seven"});
    h.open(db);
    db::Recordset rs = h.state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    rs.Open("SELECT Code, Name FROM Codes", h.state.strMDBConnectString, db::adOpenKeyset);
    const remap::LookupTable table(rs, {"Name"}, {"Code", "Missing"}, h.state);
    ASSERT_TRUE(table.findFirst("code", "7.0").has_value());
    EXPECT_EQ(table.text(*table.findFirst("Code", "7"), "Name"), "seven");
    EXPECT_EQ(table.text(*table.findFirst("Code", " 12 "), "name"), "twelve");
    EXPECT_FALSE(table.findFirst("Code", "8").has_value());
    EXPECT_THROW(table.findFirst("Code", "seven"), db::DbError);
    EXPECT_THROW(table.findFirst("Missing", "x"), db::DbError);
}

TEST(ExtensionRemapSample, ACsvOfTheSamplesUsersLoadsIntoTheGrid) {
    SampleBackup s;
    ScriptedUi ui;
    logging::ModLogging logs(ui, (s.dir.path() / "app").string(), {"tdv", 1, 2, 3});
    remap::FrmExtensionRemap form(ui, s.state, logs);
    remap::InitForm(form);
    ASSERT_FALSE(form.closed);
    ASSERT_TRUE(ui.boxes.empty()) << ui.boxes[0].text;

    db::Recordset users = s.open("SELECT Alias, DTMFAccessID FROM Subscribers");
    std::string csv = "OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n";
    std::vector<std::string> aliases;
    int n = 0;
    for (; !users.Eof() && n < 20; users.MoveNext(), ++n) {
        const std::string alias = users("Alias").Value().toText();
        const db::Variant ext = users("DTMFAccessID").Value();
        // Half by alias, half by primary extension (when the user has one).
        if (n % 2 == 1 && !ext.isNull()) {
            csv += "," + ext.toText() + ",renamed_" + std::to_string(n) + ",\r\n";
        } else {
            csv += upper(alias) + ",,renamed_" + std::to_string(n) + ",\r\n";
        }
        aliases.push_back(alias);
    }
    csv += "no_such_user,,renamed_x,\r\n";
    const auto path = s.dir.path() / "sample.csv";
    std::ofstream(path, std::ios::binary) << csv;
    ui.openPaths.push_back(path.string());
    remap::cmdOpenCSVFile_Click(form);

    ASSERT_EQ(form.myGrid.Rows() - 1, n);
    for (int r = 1; r <= n; ++r) {
        EXPECT_EQ(cell(form.myGrid, r, "OldAlias"), aliases[static_cast<size_t>(r - 1)]);
        EXPECT_EQ(cell(form.myGrid, r, "NewAlias"), "renamed_" + std::to_string(r - 1));
        EXPECT_EQ(cell(form.myGrid, r, "Info"), "Replace old alias with new alias for this user.");
        EXPECT_EQ(cell(form.myGrid, r, "ObjectID").size(), 38u);
    }
    EXPECT_EQ(crlfLines(loadFileBytes(logs.csvErrorLogPath())).size(), 2u);
    EXPECT_EQ(ui.boxes.back().text, "Import complete. " + std::to_string(n + 1) +
                                        " lines read in from text file, " + std::to_string(n) +
                                        " users added to grid.  Review CSV parse error log now?");
    remap::Form_Unload(form);
}

}  // namespace
}  // namespace tdv::test
