#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "main_state/frm_main.h"
#include "main_window/form_load.h"
#include "main_window/frm_main_procedures.h"

namespace tdv::app {
namespace {

using test::BackupFixture;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A small directory backup: two schedules, one distribution list, a quorin 7.x version row.
std::string writeBackup(const std::filesystem::path& dir, bool quorin) {
    BackupFixture db;
    db.versionInfo().row({quorin ? 7 : 5, 0, 12, 1, quorin, 1, 3, 1});
    db.table("MDBVersion").integer("Version").row({20});
    db.table("Schedules")
        .text("ObjectID")
        .text("DisplayName")
        .row({"{S1}", "Weekdays"})
        .row({"{S2}", "All Hours"});
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{U1}", "jsmith", "John", "Smith", "John Smith", "1001"});
    return db.write(dir, "ZerithDBData_Backup_w.mdb");
}

// A backup whose lists are empty or missing: one user, no distribution lists, interview or
// directory handlers, no CallHandlers table at all.
std::string writeSparseBackup(const std::filesystem::path& dir, int schemaRevision, bool quorin) {
    BackupFixture db;
    db.versionInfo().row({quorin ? 7 : 5, 0, 12, 1, quorin, 1, 3, 1});
    db.table("MDBVersion").integer("Version").row({schemaRevision});
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{U1}", "jsmith", "John", "Smith", "John Smith", "1001"});
    for (const char* table : {"PublicDistributionLists", "Interviewers", "NameLookupHandlers"}) {
        db.table(table).text("ObjectID").text("Alias").text("DisplayName").text("DTMFAccessID");
    }
    return db.write(dir, "ZerithDBData_Backup_sparse.mdb");
}

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : form(ui, state) { connectMainWindow(form); }
    void open(bool quorin = false) {
        state.strMDBFilePath = writeBackup(dir.path(), quorin);
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + state.strMDBFilePath;
    }
    test::TempDir dir;
    test::ScriptedUi ui;
    backup::AppState state;
    FrmMain form;
};

TEST_F(MainWindowTest, InitFormLoadsVersionsAndListsSubscribers) {
    open(true);
    InitForm(form);
    // The fixture has no report tables, so the report's own messages may show; the version
    // loaders found what they need and said nothing.
    for (const auto& text : ui.texts()) EXPECT_EQ(text.rfind("Error - ", 0), std::string::npos);
    EXPECT_TRUE(state.bIsQuorin7OrLater);
    EXPECT_EQ(state.version.strBackedUpAppVersion, "1.3.1");
    EXPECT_EQ(state.version.mdbVersion, 20);
    EXPECT_EQ(form.cmbObjectType, kSubscribers);
    EXPECT_EQ(form.myGrid.Rows(), 2);
    EXPECT_EQ(form.myGrid.Redraw(), 2);
    EXPECT_TRUE(form.cmdPrivateListDumpVisible);
}

TEST_F(MainWindowTest, InitFormLoadsToolThenServerThenSchema) {
    BackupFixture db;
    db.table("VersionInfo").integer("AppVersionMajor");
    db.table("Subscribers").text("Alias");
    state.strMDBConnectString =
        std::string(backup::kConnectPrefix) + db.write(dir.path(), "ZerithDBData_Backup_o.mdb");
    InitForm(form);
    ASSERT_GE(ui.boxes.size(), 2u);
    const std::string noInfo =
        "Error - no backup information found in the MDB file selected for restore.";
    EXPECT_EQ(ui.boxes[0].text, noInfo);
    EXPECT_EQ(ui.boxes[1].text, noInfo);
    EXPECT_FALSE(state.bIsQuorin7OrLater);
    EXPECT_EQ(form.cmbObjectType, kSubscribers);
}

TEST_F(MainWindowTest, InitFormOfAnOlderBackupIsNotQuorin7) {
    open(false);
    state.bIsQuorin7OrLater = true;
    InitForm(form);
    EXPECT_FALSE(state.bIsQuorin7OrLater);
}

TEST_F(MainWindowTest, InitFormOfAMessageBackupOnlyHidesTheWindow) {
    open();
    state.bIsMessageBackup = true;
    InitForm(form);
    EXPECT_THAT(ui.events, ElementsAre("hide Main"));
    EXPECT_EQ(form.cmbObjectType, -1);
    EXPECT_EQ(state.version.mdbVersion, 0);
}

TEST_F(MainWindowTest, SchedulesShowTheFixedTextAndHideBothButtons) {
    open();
    form.cmdFetchAllWAVFilesVisible = true;
    form.cmdPrivateListDumpVisible = true;
    selectObjectType(form, kSchedules);
    ASSERT_EQ(form.myGrid.Rows(), 3);
    form.txtInfo.clear();
    form.myGrid.setRow(2);
    EXPECT_EQ(form.txtInfo.Text, kScheduleText);
    EXPECT_FALSE(form.cmdFetchAllWAVFilesVisible);
    EXPECT_FALSE(form.cmdPrivateListDumpVisible);
}

TEST_F(MainWindowTest, ATypeWithoutRowsLeavesNoUserButtonVisible) {
    open();
    selectObjectType(form, kSubscribers);
    ASSERT_TRUE(form.cmdPrivateListDumpVisible);
    // Backup Details fills no grid rows, so no report runs that could hide the buttons.
    selectObjectType(form, kBackupDetails);
    EXPECT_FALSE(form.cmdPrivateListDumpVisible);
    EXPECT_FALSE(form.cmdFetchAllWAVFilesVisible);
}

TEST_F(MainWindowTest, SelectionDuringAFillShowsNothing) {
    open();
    selectObjectType(form, kSchedules);
    form.txtInfo.Text = "before";
    form.myGrid.setRedraw(0);
    form.myGrid.setRow(2);
    EXPECT_EQ(form.txtInfo.Text, "before");
    form.myGrid.setRedraw(2);
    form.myGrid.setRow(1);
    EXPECT_EQ(form.txtInfo.Text, kScheduleText);
}

TEST_F(MainWindowTest, HeaderRowShowsNothing) {
    open();
    selectObjectType(form, kSchedules);
    form.txtInfo.Text = "before";
    form.cmdFetchAllWAVFilesVisible = true;
    form.myGrid.setRow(0);
    ShowObjectDetails(form);
    EXPECT_EQ(form.txtInfo.Text, "before");
    EXPECT_TRUE(form.cmdFetchAllWAVFilesVisible);
}

TEST_F(MainWindowTest, DetailsExportLogAndNoSelectionOnlyHideTheButtons) {
    open();
    selectObjectType(form, kSchedules);
    for (int index : {int{kBackupDetails}, int{kExtractExportLog}, -1}) {
        form.cmbObjectType = index;
        form.txtInfo.Text = "kept";
        form.cmdFetchAllWAVFilesVisible = form.cmdPrivateListDumpVisible = true;
        form.myGrid.setRow(1);
        ShowObjectDetails(form);
        EXPECT_EQ(form.txtInfo.Text, "kept") << index;
        EXPECT_FALSE(form.cmdFetchAllWAVFilesVisible) << index;
        EXPECT_FALSE(form.cmdPrivateListDumpVisible) << index;
    }
    form.cmbObjectType = 8;
    form.cmdFetchAllWAVFilesVisible = true;
    ShowObjectDetails(form);
    EXPECT_TRUE(form.cmdFetchAllWAVFilesVisible);
}

TEST_F(MainWindowTest, SubscriberRowShowsItsReportAndBothButtons) {
    open();
    selectObjectType(form, kSubscribers);
    ASSERT_EQ(form.myGrid.Rows(), 2);
    EXPECT_EQ(form.myGrid.TextMatrix(1, 5), "{U1}");
    EXPECT_NE(form.txtInfo.Text.find("jsmith"), std::string::npos);
    EXPECT_TRUE(form.cmdFetchAllWAVFilesVisible);
    EXPECT_TRUE(form.cmdPrivateListDumpVisible);
}

TEST_F(MainWindowTest, SelectingATypeHidesTheWavButtonAndNoSelectionListsNothing) {
    open();
    form.cmdFetchAllWAVFilesVisible = true;
    selectObjectType(form, -1);
    EXPECT_FALSE(form.cmdFetchAllWAVFilesVisible);
    EXPECT_EQ(form.myGrid.Rows(), 1);
    EXPECT_EQ(form.myGrid.Redraw(), 2);
}

TEST_F(MainWindowTest, CopyPutsTheWholeTextOnTheClipboard) {
    ui.clipboard = "old";
    cmdCopyToClipboard_Click(form);
    EXPECT_EQ(ui.clipboard, "");
    form.AddLine("a");
    form.AddLine("b");
    cmdCopyToClipboard_Click(form);
    EXPECT_EQ(ui.clipboard, "a\r\nb\r\n");
}

TEST_F(MainWindowTest, FormLoadOpensAndAppliesTheSwitch) {
    open();
    state.appFolder = (dir.path() / "app" / "folder").string();
    state.commandLine = "/stQUELLIS";
    ui.openPaths.push_back(state.strMDBFilePath);
    state.strMDBConnectString.clear();
    EXPECT_TRUE(Form_Load(form));
    EXPECT_EQ(ui.dialogs.size(), 1u);
    EXPECT_TRUE(form.pagerScrubMenuVisible);
    EXPECT_TRUE(std::filesystem::is_directory(state.appFolder));
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(state.appFolder) / kStartupTestFileName));

    // Open database again, without the switch: the menu item is hidden again.
    state.commandLine = state.strMDBFilePath;
    ui.openPaths.push_back(state.strMDBFilePath);
    EXPECT_TRUE(Form_Load(form));
    EXPECT_EQ(ui.dialogs.size(), 2u);
    EXPECT_FALSE(form.pagerScrubMenuVisible);
}

TEST_F(MainWindowTest, FormLoadEndsWhenTheDialogIsCancelled) {
    state.appFolder = dir.path().string();
    EXPECT_FALSE(Form_Load(form));
    EXPECT_THAT(ui.boxes, IsEmpty());
    EXPECT_EQ(ui.dialogs.size(), 1u);
}

TEST_F(MainWindowTest, FormLoadEndsBeforeAnyDialogWhenTheTestFileCannotBeCreated) {
    const auto blocker = dir.path() / "not-a-folder";
    std::ofstream(blocker) << "x";
    state.appFolder = blocker.string();
    EXPECT_FALSE(Form_Load(form));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text,
              "Unable to create log file data under this applications install folder.  Make sure "
              "you are running as an account that can create files in this location.  If you are "
              "running on Vista, be sure to use the 'run as administrator' option when launching "
              "this tool.");
    EXPECT_TRUE(ui.dialogs.empty());
}

TEST_F(MainWindowTest, AListWithoutRowsShowsOnlyItsOwnHeaderCountAndReport) {
    struct Case {
        int schemaRevision;
        bool quorin;
        int type;
        const char* count;  // blank: the count could not be read
        const char* text;
        bool aliasHidden;
    };
    const Case cases[] = {
        {20, false, kInterviewHandlers, "0", "", false},
        {20, true, kInterviewHandlers, "0", "", true},
        {20, false, kDirectoryHandlers, "0", "", false},
        {16, false, kDirectoryHandlers, "0", "", false},  // below 17: no query at all
        {20, false, kDistributionLists, "0", "No distribution lists found in the backup", false},
        {20, false, kCallHandlers, "", "", false},  // no CallHandlers table
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(kObjectTypeEntries[c.type]) + " schema " +
                     std::to_string(c.schemaRevision) + (c.quorin ? " quorin" : ""));
        test::TempDir here;
        test::ScriptedUi fresh;
        ui = fresh;
        state.version = {};
        state.strMDBFilePath = writeSparseBackup(here.path(), c.schemaRevision, c.quorin);
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + state.strMDBFilePath;
        InitForm(form);
        ASSERT_EQ(form.myGrid.Rows(), 2);
        ASSERT_FALSE(form.txtInfo.Text.empty());
        selectObjectType(form, c.type);
        EXPECT_EQ(form.myGrid.Rows(), 1);
        ASSERT_EQ(form.myGrid.Cols(), 4);
        const char* captions[] = {"Alias", "Display Name", "Extension", "ObjectID"};
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(form.myGrid.TextMatrix(0, col), captions[col]);
        }
        EXPECT_EQ(form.myGrid.ColHidden(0), c.aliasHidden);
        EXPECT_FALSE(form.myGrid.ColHidden(1));
        EXPECT_FALSE(form.myGrid.ColHidden(2));
        EXPECT_TRUE(form.myGrid.ColHidden(3));
        EXPECT_EQ(form.txtObjectCount, c.count);
        EXPECT_EQ(form.txtInfo.Text, c.text);
        EXPECT_FALSE(form.cmdPrivateListDumpVisible);
    }
}

TEST_F(MainWindowTest, BackupDetailsAndTheExportLogHaveNoHeaderRowOrColumns) {
    open();
    for (int type : {int{kBackupDetails}, int{kExtractExportLog}}) {
        selectObjectType(form, kSubscribers);
        selectObjectType(form, type);
        EXPECT_EQ(form.myGrid.Rows(), 0) << type;
        EXPECT_EQ(form.myGrid.Cols(), 0) << type;
        EXPECT_EQ(form.txtObjectCount, "") << type;
    }
}

TEST_F(MainWindowTest, OneOpenFillsTheListOnceAndShowsEachBoxOnce) {
    // Two users share one ObjectID: the first user's report has a box of its own to show.
    BackupFixture db;
    db.table("VersionInfo")
        .integer("ZerithVersionMajor")
        .integer("AppVersionMajor")
        .integer("AppVersionMinor")
        .integer("AppVersionRev")
        .row({5, 7, 0, 29});
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{U1}", "first", "A", "B", "A B", "1001"})
        .row({"{U1}", "second", "C", "D", "C D", "1002"});
    state.appFolder = dir.path().string();
    state.commandLine = db.write(dir.path(), "ZerithDBData_Backup_twin.mdb");
    ConnectToMDBFile(form);
    ASSERT_EQ(form.myGrid.Rows(), 3);
    EXPECT_THAT(ui.texts(), ElementsAre("Error!  More than one match found for ObjectID={U1}"));
    // Each fill of the user list sets the hourglass once.
    EXPECT_EQ(std::count(ui.events.begin(), ui.events.end(), "busy on"), 1);
}

TEST(StartupHelpers, SwitchAnywhereInAnyCase) {
    EXPECT_TRUE(hasStQuellisSwitch("/StQuellis"));
    EXPECT_TRUE(hasStQuellisSwitch("\"c:\\x.mdb\" /STQUELLIS now"));
    EXPECT_TRUE(hasStQuellisSwitch("x/stquellisy"));
    EXPECT_FALSE(hasStQuellisSwitch("StQuellis"));
    EXPECT_FALSE(hasStQuellisSwitch(""));
}

}  // namespace
}  // namespace tdv::app
