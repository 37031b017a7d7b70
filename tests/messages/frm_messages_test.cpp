// The message window's own rules: the resize geometry, the menus and buttons that hand over
// to the front end, and "Open database" with each way it can end.
#include <gtest/gtest.h>

#include <vector>

#include "main_window/frm_main_procedures.h"
#include "message_harness.h"
#include "messages/frm_messages.h"

namespace tdv::messages {
namespace {

TEST(MessagesResize, ASmallWindowSpringsBackToTheMinimum) {
    EXPECT_EQ(Form_Resize_minimumSize({6000, 3000}, false), (Size{8000, 4000}));
    EXPECT_EQ(Form_Resize_minimumSize({9000, 3999}, false), (Size{9000, 4000}));
    EXPECT_EQ(Form_Resize_minimumSize({7999, 5000}, false), (Size{8000, 5000}));
    EXPECT_EQ(Form_Resize_minimumSize({8000, 4000}, false), std::nullopt);
    EXPECT_EQ(Form_Resize_minimumSize({6000, 3000}, true), std::nullopt);
    EXPECT_EQ(Form_Resize({6000, 3000}, {5880, 2200}, false), std::nullopt);
}

TEST(MessagesResize, TheGridStretchesAndTheButtonRowFollowsTheBottom) {
    const auto layout = Form_Resize({12000, 7000}, {11880, 6300}, false);
    ASSERT_TRUE(layout.has_value());
    EXPECT_EQ(layout->gridMessages.width, 11880 - 135);
    EXPECT_EQ(layout->gridMessages.height, 6300 - 715);
    EXPECT_EQ(layout->cmdExit.left, 11880 - 1150);
    EXPECT_EQ(layout->cmdExit.top, 6300 - 495);
    EXPECT_EQ(layout->cmdExtractWAVFile.top, 6300 - 495);
    EXPECT_EQ(layout->lblTotalGridRows.top, 6300 - 495);
    EXPECT_EQ(layout->txtMessagesInGrid.top, 6300 - 495);
    // Left positions other than the Exit button's stay as designed.
    const auto wider = Form_Resize({15000, 7000}, {14880, 6300}, false);
    EXPECT_EQ(wider->cmdExtractWAVFile.left, layout->cmdExtractWAVFile.left);
    EXPECT_EQ(wider->txtMessagesInGrid.left, layout->txtMessagesInGrid.left);
    EXPECT_EQ(Form_Resize({12000, 7000}, {11880, 6300}, true), std::nullopt);
}

TEST(MessagesResize, ControlsDoNotOverlapAtTheMinimumSize) {
    const auto l = Form_Resize({kMinWidth, kMinHeight}, {kMinWidth - 120, kMinHeight - 690}, false);
    ASSERT_TRUE(l.has_value());
    EXPECT_GT(l->gridMessages.height, 0);
    EXPECT_LT(l->gridMessages.top + l->gridMessages.height, l->cmdExit.top);
    EXPECT_LT(l->cmdExtractWAVFile.left + l->cmdExtractWAVFile.width, l->lblTotalGridRows.left);
    EXPECT_LT(l->lblTotalGridRows.left + l->lblTotalGridRows.width, l->txtMessagesInGrid.left);
    EXPECT_LT(l->txtMessagesInGrid.left + l->txtMessagesInGrid.width, l->cmdExit.left);
}

TEST(MessagesMenus, HandlersCallTheFrontEnd) {
    test::ScriptedUi ui;
    backup::AppState state;
    FrmMessages form(ui, state);
    // Without callbacks nothing happens.
    cmdExit_Click(form);
    mnuHelp_Click(form);
    std::vector<std::string> calls;
    form.exitApplication = [&] { calls.push_back("exit"); };
    form.showHelp = [&] { calls.push_back("help"); };
    form.showAbout = [&] { calls.push_back("about"); };
    cmdExit_Click(form);
    mnuExit_Click(form);
    Form_Unload(form);
    mnuHelp_Click(form);
    mnuAbout_Click(form);
    EXPECT_EQ(calls, (std::vector<std::string>{"exit", "exit", "exit", "help", "about"}));
}

struct OpenDatabase : ::testing::Test {
    void SetUp() override {
        h.load({test::MessageRow{}});
        app::connectMainWindow(main);
        main.showMessageBrowser = [this] { InitForm(h.form); };
        h.form.noBackupOpened = [this] { ++noBackup; };
        h.ui.events.clear();
        h.ui.boxes.clear();
    }
    test::MessageHarness h;
    app::FrmMain main{h.ui, h.state};
    int noBackup = 0;
};

TEST_F(OpenDatabase, AnotherMessageBackupRefillsTheWindow) {
    test::MessageRow a, b;
    a.index = 10;
    b.index = 11;
    const std::string other =
        test::messageBackup({a, b}).write(h.dir.path(), "ZerithMessage_Backup_other.mdb");
    h.ui.openPaths.push_back(other);
    EXPECT_TRUE(mnuLoadDatabase_Click(h.form, main));
    EXPECT_EQ(h.ui.events.front(), "hide Messages");
    EXPECT_EQ(h.ui.events.back(), "show Messages");
    EXPECT_EQ(h.state.strMDBFilePath, other);
    EXPECT_EQ(h.form.txtMessagesInGrid, "2");
    EXPECT_EQ(h.cell(2, "Index"), "11");
    EXPECT_EQ(noBackup, 0);
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST_F(OpenDatabase, ACancelledDialogLeavesNoBackupOpen) {
    EXPECT_FALSE(mnuLoadDatabase_Click(h.form, main));
    EXPECT_EQ(h.ui.dialogs.size(), 1u);
    EXPECT_EQ(h.state.strMDBConnectString, "");
    EXPECT_EQ(noBackup, 1);
    EXPECT_EQ(h.ui.events, std::vector<std::string>{"hide Messages"});
}

TEST_F(OpenDatabase, ARejectedFileLeavesNoBackupOpen) {
    test::BackupFixture notABackup;
    notABackup.table("Contacts").text("Name").row({"x"});
    h.ui.openPaths.push_back(notABackup.write(h.dir.path(), "Contacts.mdb"));
    EXPECT_FALSE(mnuLoadDatabase_Click(h.form, main));
    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(h.ui.boxes[0].text.rfind("Could not open MDB file", 0), 0u);
    EXPECT_EQ(h.state.strMDBConnectString, "");
    EXPECT_EQ(noBackup, 1);
}

}  // namespace
}  // namespace tdv::messages
