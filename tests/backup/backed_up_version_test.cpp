#include "backup/backed_up_version.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"

namespace tdv::backup {
namespace {

using test::BackupFixture;
using test::FixtureTable;
using ::testing::ElementsAre;

constexpr const char* kNoInfo =
    "Error - no backup information found in the MDB file selected for restore.";

FixtureTable& versionInfo(BackupFixture& db, bool withCoRes = true) {
    FixtureTable& t = db.table("VersionInfo");
    t.integer("ZerithVersionMajor")
        .integer("ZerithVersionMinor")
        .integer("ZerithVersionBuild")
        .integer("ZerithVersionRev")
        .yesNo("ZerithVersionbQRN");
    if (withCoRes) t.yesNo("ZerithVersionbIsCoRes");
    t.integer("AppVersionMajor").integer("AppVersionMinor").integer("AppVersionRev");
    return t;
}

class VersionTest : public ::testing::Test {
protected:
    void open(const BackupFixture& db) {
        state.strMDBConnectString =
            std::string(kConnectPrefix) + db.write(dir.path(), "ZerithDBData_Backup_v.mdb");
    }
    void loadAll() {
        BackedUpAppVersion(ui, state);
        BackedUpZerithVer(ui, state);
        LoadMDBVersion(ui, state);
    }
    bool server(int16_t a, int16_t b, int16_t c, int16_t d, bool q) {
        return bIsBackedUpZerithVersionGreaterThanOrEqualTo(ui, state, a, b, c, d, q);
    }
    test::TempDir dir;
    test::ScriptedUi ui;
    AppState state;
};

TEST_F(VersionTest, OlderProductVersionTextAndComparisons) {
    BackupFixture db;
    versionInfo(db).row({4, 0, 123, 3, false, false, 7, 0, 29});
    db.table("MDBVersion").integer("Version").row({17});
    open(db);
    loadAll();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(state.version.strBackedUpZerithVersion, "4.0(3.123)");
    EXPECT_EQ(state.version.strBackedUpAppVersion, "7.0.29");
    EXPECT_EQ(state.version.mdbVersion, 17);
    EXPECT_FALSE(server(4, 0, 3, 124, false));
    EXPECT_TRUE(server(4, 0, 2, 999, false));
    EXPECT_TRUE(server(4, 0, 3, 123, false));
    EXPECT_FALSE(server(4, 1, 0, 0, false));
    EXPECT_TRUE(server(3, 9, 9, 9, false));
    EXPECT_FALSE(server(4, 0, 0, 0, true));  // the product is part of the question
    EXPECT_TRUE(bIsBackedUpAppVersionGreaterThanOrEqualTo(state, 7, 0, 29));
    EXPECT_FALSE(bIsBackedUpAppVersionGreaterThanOrEqualTo(state, 7, 0, 30));
    EXPECT_TRUE(bIsBackedUpAppVersionGreaterThanOrEqualTo(state, 1, 3, 1));
    EXPECT_TRUE(bIsMDBVersionGreaterThanOrEqualTo(state, 17));
    EXPECT_FALSE(bIsMDBVersionGreaterThanOrEqualTo(state, 18));
}

TEST_F(VersionTest, NewerProductNeverPassesAnOlderProductTest) {
    BackupFixture db;
    versionInfo(db).row({7, 0, 1, 2, true, true, 1, 3, 5});
    db.table("MDBVersion").integer("Version").row({20});
    open(db);
    loadAll();
    EXPECT_TRUE(state.version.bIsQuorinBackup);
    EXPECT_TRUE(state.version.bIsCoResBackup);
    EXPECT_TRUE(server(7, 0, 0, 0, true));
    EXPECT_FALSE(server(1, 0, 0, 0, false));
    EXPECT_FALSE(server(-5, 0, 0, 0, false));
}

TEST_F(VersionTest, MissingCoResColumnLoadsNormally) {
    BackupFixture db;
    versionInfo(db, false).row({5, 0, 1, 2, false, 4, 1, 0});
    open(db);
    state.version.bIsCoResBackup = true;
    BackedUpZerithVer(ui, state);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_FALSE(state.version.bIsCoResBackup);
    EXPECT_EQ(state.version.strBackedUpZerithVersion, "5.0(2.1)");
}

TEST_F(VersionTest, NullColumnIsSkippedAndTheRestLoads) {
    BackupFixture db;
    versionInfo(db).row({5, nullptr, 1, 2, nullptr, nullptr, 4, nullptr, 9});
    open(db);
    loadAll();
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(state.version.strBackedUpZerithVersion, "5.0(2.1)");
    EXPECT_EQ(state.version.strBackedUpAppVersion, "4.0.9");
    EXPECT_FALSE(state.version.bIsQuorinBackup);
    EXPECT_EQ(state.version.mdbVersion, 0);  // no MDBVersion table: quiet
}

TEST_F(VersionTest, MissingTablesResetTheStateAndKeepTheTexts) {
    BackupFixture db;
    db.table("Other").integer("X").row({1});
    open(db);
    state.version.serverMajor = 9;
    state.version.bIsQuorinBackup = true;
    state.version.appMajor = 3;
    state.version.mdbVersion = 12;
    state.version.strBackedUpZerithVersion = "9.0(0.0)";
    state.version.strBackedUpAppVersion = "3.0.0";
    loadAll();
    EXPECT_THAT(ui.texts(),
                ElementsAre("Error - BackedUpAppVersion called before MDB file containing valid "
                            "backup selected",
                            "Error - BackedUpZerithVer called before MDB file containing valid "
                            "backup selected"));
    EXPECT_EQ(state.version.serverMajor, 0);
    EXPECT_FALSE(state.version.bIsQuorinBackup);
    EXPECT_EQ(state.version.appMajor, 0);
    EXPECT_EQ(state.version.mdbVersion, 0);
    EXPECT_EQ(state.version.strBackedUpZerithVersion, "9.0(0.0)");
    EXPECT_EQ(state.version.strBackedUpAppVersion, "3.0.0");
    EXPECT_FALSE(server(0, 0, 0, 0, true));
    EXPECT_FALSE(bIsBackedUpAppVersionGreaterThanOrEqualTo(state, 0, 0, 1));
}

TEST_F(VersionTest, WrongRowCountsShowTheirMessagesInOrder) {
    BackupFixture db;
    versionInfo(db);  // no rows
    db.table("MDBVersion").integer("Version").row({15}).row({16});
    open(db);
    loadAll();
    EXPECT_THAT(ui.texts(),
                ElementsAre(kNoInfo, kNoInfo,
                            "Error - no MDB version information found in the MDB file selected "
                            "for restore."));
    EXPECT_EQ(state.version.mdbVersion, 0);
    for (const auto& box : ui.boxes) EXPECT_EQ(box.buttons, ui::Buttons::Ok);
}

}  // namespace
}  // namespace tdv::backup
