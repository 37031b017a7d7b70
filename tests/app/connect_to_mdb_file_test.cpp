#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/frm_main.h"
#include "support/backup_fixture.h"
#include "support/scripted_ui.h"
#include "support/testdata.h"

namespace tdv::app {
namespace {

using test::BackupFixture;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kEmpty =
    "The database file you've selected is empty - it contains no backup data or messages.";
constexpr const char* kCouldNotOpen =
    "Could not open MDB file to check for version information.  Make sure to select the MDB "
    "file that starts with 'ZerithDBData_Backup_' or 'ZerithMessage_Backup_' and that the "
    "selected file was created by an appropriate version of the Orvex Object Backup tool and "
    "try again.";
constexpr const char* kSettingKey = "ApplicationSettings/LastMDBFolderPath";

void addVersionInfo(BackupFixture& db, bool withRow = true) {
    auto& t = db.table("VersionInfo")
                  .integer("ZerithVersionMajor")
                  .integer("ZerithVersionMinor")
                  .integer("ZerithVersionBuild")
                  .integer("ZerithVersionRev")
                  .yesNo("ZerithVersionbQRN")
                  .integer("AppVersionMajor")
                  .integer("AppVersionMinor")
                  .integer("AppVersionRev");
    if (withRow) t.row({5, 0, 100, 1, false, 7, 0, 29});
}

void addMessages(BackupFixture& db, bool withRow = true) {
    auto& t = db.table("Messages").longInt("Index").text("Subject");
    if (withRow) t.row({1, "hello"});
}

class ConnectTest : public ::testing::Test {
protected:
    ConnectTest() : form(ui, state) {
        state.exeFolder = "/opt/tdv";
        form.showMessageBrowser = [this] { ++messageBrowserShown; };
    }
    std::string write(const BackupFixture& db, const std::string& name) {
        return db.write(dir.path(), name);
    }
    test::TempDir dir;
    test::ScriptedUi ui;
    backup::AppState state;
    FrmMain form;
    int messageBrowserShown = 0;
};

TEST_F(ConnectTest, QuotedCommandLinePathWithSpacesOpensWithoutDialog) {
    BackupFixture db;
    addVersionInfo(db);
    const std::string path = write(db, "Zerith DB Data Backup.mdb");
    state.commandLine = "\"" + path + "\"";
    ConnectToMDBFile(form);
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_EQ(state.strMDBFilePath, path);
    EXPECT_EQ(state.strMDBConnectString, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path);
    EXPECT_FALSE(state.bIsMessageBackup);
    EXPECT_EQ(state.strLastMDBFolderPath, dir.path().string());
    EXPECT_EQ(ui.settings[kSettingKey], dir.path().string());
    EXPECT_EQ(form.cmbObjectType, kSubscribers);
    EXPECT_EQ(state.version.strBackedUpZerithVersion, "5.0(1.100)");
    EXPECT_EQ(ui.events.front(), "show Splash");
    EXPECT_THAT(ui.events, Contains("hide Messages"));
    EXPECT_THAT(ui.events, Contains("show Main"));
    EXPECT_EQ(ui.events.back(), "hide Splash");
    EXPECT_EQ(messageBrowserShown, 0);
}

TEST_F(ConnectTest, MissingFileOrSwitchShowsTheDialogAndCancelChangesNothing) {
    for (const std::string commandLine : {"/nonexistent/file.mdb", "/StQuellis", ""}) {
        test::ScriptedUi fresh;
        ui = fresh;
        state.commandLine = commandLine;
        state.strMDBConnectString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/old.mdb";
        state.strMDBFilePath = "/old.mdb";
        state.strLastMDBFolderPath.clear();
        ConnectToMDBFile(form);
        ASSERT_EQ(ui.dialogs.size(), 1u) << commandLine;
        EXPECT_EQ(ui.dialogs[0].title, "Select backup file to view");
        EXPECT_EQ(ui.dialogs[0].initialFolder, "/opt/tdv");
        EXPECT_EQ(ui.dialogs[0].fileName, "");
        EXPECT_EQ(ui.dialogs[0].filterDescription, "Access Databases");
        EXPECT_EQ(ui.dialogs[0].filterPattern, "*.mdb");
        EXPECT_THAT(ui.boxes, IsEmpty());
        EXPECT_THAT(ui.events, IsEmpty());
        EXPECT_EQ(state.strMDBConnectString,
                  "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/old.mdb");
        EXPECT_EQ(state.strMDBFilePath, "/old.mdb");
        EXPECT_TRUE(ui.settings.empty());
    }
}

TEST_F(ConnectTest, DialogStartsInTheRememberedFolderAndShortNamesCountAsCancelled) {
    ui.settings[kSettingKey] = "/backups";
    for (const std::string name : {"a", "ab"}) {
        ui.openPaths.push_back(name);
        state.strLastMDBFolderPath.clear();
        ConnectToMDBFile(form);
        EXPECT_EQ(ui.dialogs.back().initialFolder, "/backups");
    }
    EXPECT_THAT(ui.events, IsEmpty());
    EXPECT_EQ(state.strMDBConnectString, "");
    EXPECT_EQ(state.strMDBFilePath, "");
}

TEST_F(ConnectTest, NotAnAccessFileGivesTheCouldNotOpenMessage) {
    const auto path = dir.path() / "ZerithDBData_Backup_x.mdb";
    std::ofstream(path) << "this is not an Access database";
    ui.openPaths.push_back(path.string());
    ConnectToMDBFile(form);
    EXPECT_THAT(ui.texts(), ElementsAre(kCouldNotOpen));
    EXPECT_EQ(ui.boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(ui.boxes[0].icon, ui::Icon::None);
    EXPECT_EQ(state.strMDBConnectString, "");
    EXPECT_EQ(ui.events.back(), "hide Splash");
    EXPECT_EQ(ui.settings[kSettingKey], dir.path().string());
}

TEST_F(ConnectTest, AccessFileWithoutEitherTableGivesTheCouldNotOpenMessage) {
    BackupFixture db;
    db.table("Subscribers").text("Alias").row({"a"});
    ui.openPaths.push_back(write(db, "other.mdb"));
    ConnectToMDBFile(form);
    EXPECT_THAT(ui.texts(), ElementsAre(kCouldNotOpen));
    EXPECT_EQ(state.strMDBConnectString, "");
}

TEST_F(ConnectTest, EmptyVersionInfoIsEmptyEvenWithMessages) {
    BackupFixture db;
    addVersionInfo(db, false);
    addMessages(db);
    const std::string path = write(db, "both.mdb");
    state.commandLine = path;
    state.bIsMessageBackup = true;
    ConnectToMDBFile(form);
    EXPECT_THAT(ui.texts(), ElementsAre(kEmpty));
    EXPECT_EQ(state.strMDBConnectString, "");
    EXPECT_TRUE(state.bIsMessageBackup);  // a rejected file leaves the kind unchanged
    EXPECT_EQ(messageBrowserShown, 0);
    EXPECT_EQ(ui.settings[kSettingKey], dir.path().string());
}

TEST_F(ConnectTest, EmptyMessagesTableIsEmpty) {
    BackupFixture db;
    addMessages(db, false);
    state.commandLine = write(db, "ZerithMessage_Backup_e.mdb");
    ConnectToMDBFile(form);
    EXPECT_THAT(ui.texts(), ElementsAre(kEmpty));
    EXPECT_EQ(state.strMDBConnectString, "");
}

TEST_F(ConnectTest, MessageBackupShowsTheMessageBrowser) {
    BackupFixture db;
    addMessages(db);
    const std::string path = write(db, "ZerithMessage_Backup_m.mdb");
    ui.openPaths.push_back(path);
    ConnectToMDBFile(form);
    EXPECT_THAT(ui.boxes, IsEmpty());
    EXPECT_TRUE(state.bIsMessageBackup);
    EXPECT_EQ(state.strMDBFilePath, path);
    EXPECT_FALSE(state.strMDBConnectString.empty());
    EXPECT_EQ(messageBrowserShown, 1);
    EXPECT_THAT(ui.events, ElementsAre("show Splash", "events", "hide Main", "show Messages"));
    EXPECT_EQ(ui.settings[kSettingKey], dir.path().string());
    EXPECT_EQ(form.cmbObjectType, -1);  // the main window was not initialised
}

TEST_F(ConnectTest, BothTablesWithRowsOpenAsDirectoryBackup) {
    BackupFixture db;
    addVersionInfo(db);
    addMessages(db);
    state.commandLine = write(db, "both.mdb");
    state.bIsMessageBackup = true;
    ConnectToMDBFile(form);
    EXPECT_FALSE(state.bIsMessageBackup);
    EXPECT_EQ(messageBrowserShown, 0);
    EXPECT_FALSE(state.strMDBConnectString.empty());
}

}  // namespace
}  // namespace tdv::app
