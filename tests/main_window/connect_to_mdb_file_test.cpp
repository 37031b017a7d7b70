#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/connect_string.h"
#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "main_window/frm_main_procedures.h"

namespace tdv::app {
namespace {

namespace fs = std::filesystem;
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
    auto& t = db.versionInfo();
    if (withRow) t.row({5, 0, 100, 1, false, 7, 0, 29});
}

// An empty user list, so that opening a directory backup fills its first list without a box.
void addSubscribers(BackupFixture& db) {
    db.table("Subscribers")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .text("ObjectID");
}

void addMessages(BackupFixture& db, bool withRow = true) {
    auto& t = db.table("Messages").longInt("Index").text("Subject");
    if (withRow) t.row({1, "hello"});
}

// Message boxes recorded among the window events, to see what was up when a box came.
class EventUi : public test::ScriptedUi {
public:
    ui::Answer messageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override {
        events.push_back("box");
        return ScriptedUi::messageBox(text, buttons, icon, title);
    }
};

class ConnectTest : public ::testing::Test {
protected:
    ConnectTest() : form(ui, state) {
        connectMainWindow(form);
        state.exeFolder = "/opt/tdv";
        form.showMessageBrowser = [this] { ++messageBrowserShown; };
    }
    std::string write(const BackupFixture& db, const std::string& name) {
        return db.write(dir.path(), name);
    }
    test::TempDir dir;
    EventUi ui;
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
        EventUi fresh;
        ui = fresh;
        state.commandLine = commandLine;
        state.commandLinePathUsed = false;
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
    // The stay-on-top splash is gone before the box comes, so it cannot cover it.
    EXPECT_THAT(ui.events,
                ElementsAre("show Splash", "events", "hide Splash", "box", "hide Splash"));
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

TEST_F(ConnectTest, TheCommandLineOpensAtStartUpOnlyLaterOpensAskInTheBackupsFolder) {
    BackupFixture db;
    addVersionInfo(db);
    addSubscribers(db);
    fs::create_directories(dir.path() / "first");
    fs::create_directories(dir.path() / "second");
    const std::string first = db.write(dir.path() / "first", "ZerithDBData_Backup_1.mdb");
    const std::string second = db.write(dir.path() / "second", "ZerithDBData_Backup_2.mdb");
    state.commandLine = first;
    ConnectToMDBFile(form);
    EXPECT_TRUE(ui.dialogs.empty());
    EXPECT_EQ(state.strMDBFilePath, first);

    ui.openPaths.push_back(second);
    ConnectToMDBFile(form);
    ASSERT_EQ(ui.dialogs.size(), 1u);
    EXPECT_EQ(ui.dialogs[0].initialFolder, (dir.path() / "first").string());
    EXPECT_EQ(state.strMDBFilePath, second);
    EXPECT_EQ(state.strMDBConnectString, db::makeConnectString(second));

    ConnectToMDBFile(form);  // cancelled: the second backup stays open
    ASSERT_EQ(ui.dialogs.size(), 2u);
    EXPECT_EQ(ui.dialogs[1].initialFolder, (dir.path() / "second").string());
    EXPECT_EQ(state.strMDBFilePath, second);
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_F(ConnectTest, ARelativePathIsKeptAndRememberedAbsolute) {
    BackupFixture db;
    addVersionInfo(db);
    fs::create_directories(dir.path() / "sub");
    db.write(dir.path() / "sub", "rel.mdb");
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    state.commandLine = "./sub/rel.mdb";
    ConnectToMDBFile(form);
    fs::current_path(before);
    EXPECT_EQ(state.strMDBFilePath, (dir.path() / "sub" / "rel.mdb").string());
    EXPECT_EQ(ui.settings[kSettingKey], (dir.path() / "sub").string());
    EXPECT_FALSE(state.strMDBConnectString.empty());
}

TEST_F(ConnectTest, AnyFileNameOpensFromTheCommandLineOrTheDialog) {
    BackupFixture db;
    addVersionInfo(db);
    addSubscribers(db);
    for (const std::string name : {"semi;colon.mdb", "ends in a space.mdb ", "quote\"d.mdb",
                                   " leading space.mdb", "Ünïcødé Бэкап.mdb"}) {
        const std::string path = write(db, name);
        for (const bool fromDialog : {false, true}) {
            SCOPED_TRACE(name + (fromDialog ? " (dialog)" : " (command line)"));
            EventUi fresh;
            ui = fresh;
            state.commandLinePathUsed = false;
            state.version = {};
            state.commandLine = fromDialog ? "" : path;
            if (fromDialog) ui.openPaths.push_back(path);
            ConnectToMDBFile(form);
            EXPECT_THAT(ui.boxes, IsEmpty());
            EXPECT_EQ(state.strMDBFilePath, path);
            // The version rows were read through the connect string.
            EXPECT_EQ(state.version.strBackedUpZerithVersion, "5.0(1.100)");
        }
    }
}

}  // namespace
}  // namespace tdv::app
