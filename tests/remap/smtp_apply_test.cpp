// "Apply Changes" of the e-mail address remap window and the main window's "too old" gate:
// the one-character address refusal, two users given the same address, a user gone since
// the load, the exact run log body, and the file afterwards.
#include <gtest/gtest.h>

#include "main_state/frm_main.h"
#include "remap/frm_smtp_address_remap.h"
#include "remap/remap_apply_harness.h"

namespace tdv::test {
namespace {

using ui::Answer;

constexpr const char* kU1 = "{B1000000-0000-0000-0000-000000000001}";
constexpr const char* kU2 = "{B1000000-0000-0000-0000-000000000002}";
constexpr const char* kU3 = "{B1000000-0000-0000-0000-000000000003}";
constexpr const char* kWarning =
    "WARNING! This will change SMTP Address strings in the backup MDB file you currently have "
    "open.  It's strong suggested that you do the reamp operation on a COPY of your backup files "
    "so you always have your original backup data around.  Do you want to continue?  Yes to "
    "apply changes, no to exit.";
constexpr const char* kTooOld =
    "The backup you have is too old to support this - you must be at rev 20 of the MDB file for "
    "email address remapping.";

BackupFixture directory() {
    BackupFixture db;
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .text("SMTPAddress")
        .row({kU1, "jsmith", "John", "Smith", "John Smith", "1001", "js@example.com"})
        .row({kU2, "o'brien", "Pat", "O'Brien", "Pat O'Brien", "1002", nullptr})
        .row({kU3, "mjones", "Mary", "Jones", "Mary Jones", "1003", "mj@example.com"});
    return db;
}

struct SmtpApplyTest : ::testing::Test {
    RemapHarness h;
    std::unique_ptr<remap::FrmSMTPAddressRemap> form;

    void SetUp() override {
        h.open(directory());
        form = std::make_unique<remap::FrmSMTPAddressRemap>(h.ui, h.state, h.logs);
        remap::InitForm(*form);
        h.ui.openPaths.push_back(h.writeCsv(
            "OLD_EXTENSION,OLD_ALIAS,NEW_SMTP_ADDRESS\r\n,jsmith,x\r\n,o'brien,same@example.com\r\n"
            "1003,,same@example.com\r\n"));
        remap::cmdOpenCSVFile_Click(*form);
        h.ui.boxes.clear();
        form->chkSelectAll = true;
        remap::chkSelectAll_Click(*form);
    }
    std::vector<std::vector<std::string>> addresses() const {
        return queryRows(h.state.strMDBFilePath,
                         "SELECT Alias, SMTPAddress FROM Subscribers ORDER BY ObjectID");
    }
};

TEST_F(SmtpApplyTest, AppliesEveryTickedRowAndRefusesAOneCharacterAddress) {
    ASSERT_EQ(form->myGrid.Rows(), 4);
    h.ui.answers = {Answer::Yes, Answer::No};
    remap::cmdRemap_Click(*form);
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{
                  kWarning, "Updates complete: 2 rows applied, 1 failed - review log file now?"}));
    EXPECT_TRUE(form->closed);
    EXPECT_EQ(
        logBody(h.logs.runLogPath()),
        (std::vector<std::string>{
            "********", "CSV File Line=,jsmith,x", "Action=Replace SMTP address",
            "(error) invalid new STMPAddress value provided for the record:" + std::string(kU1),
            "********", "CSV File Line=,o'brien,same@example.com", "Action=Replace SMTP address",
            "********", "CSV File Line=1003,,same@example.com", "Action=Replace SMTP address"}));
    EXPECT_EQ(addresses(), (std::vector<std::vector<std::string>>{{"jsmith", "js@example.com"},
                                                                  {"o'brien", "same@example.com"},
                                                                  {"mjones", "same@example.com"}}));
    EXPECT_EQ(checkProblems(h.state.strMDBFilePath), std::vector<std::string>{});
}

TEST_F(SmtpApplyTest, NoToTheWarningWritesNothing) {
    const std::string before = fileText(h.state.strMDBFilePath);
    h.ui.answers = {Answer::No};
    remap::cmdRemap_Click(*form);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{kWarning});
    EXPECT_EQ(fileText(h.state.strMDBFilePath), before);
    EXPECT_TRUE(h.runLogFiles().empty());
    EXPECT_FALSE(form->closed);
}

TEST_F(SmtpApplyTest, UserGoneSinceTheLoadIsLoggedAndOthersApplied) {
    {
        db::Recordset rs;
        rs.Open("DELETE FROM Subscribers WHERE ObjectID='" + std::string(kU2) + "'",
                h.state.strMDBConnectString);
    }
    h.ui.answers = {Answer::Yes, Answer::No};
    remap::cmdRemap_Click(*form);
    const auto body = logBody(h.logs.runLogPath());
    ASSERT_EQ(body.size(), 11u);
    EXPECT_EQ(body[7],
              "(error) could not find subscriber for this record by ObjectId=" + std::string(kU2));
    EXPECT_EQ(addresses().back(), (std::vector<std::string>{"mjones", "same@example.com"}));
}

TEST_F(SmtpApplyTest, OracleMdbExportReadsTheNewAddresses) {
    if (runCommand("command -v mdb-export").status != 0) GTEST_SKIP() << "mdb-export missing";
    h.ui.answers = {Answer::Yes, Answer::No};
    remap::cmdRemap_Click(*form);
    const auto csv =
        runCommand("mdb-export " + shellQuote(h.state.strMDBFilePath) + " Subscribers");
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_NE(csv.out.find("\"o'brien\",\"Pat\",\"O'Brien\",\"Pat O'Brien\",\"1002\",\"same@"
                           "example.com\""),
              std::string::npos)
        << csv.out;
    EXPECT_NE(csv.out.find("\"js@example.com\""), std::string::npos) << csv.out;
}

TEST(SmtpRemapGate, RefusesBelowSchemaRevision20) {
    ScriptedUi ui;
    backup::AppState state;
    app::FrmMain main(ui, state);
    state.version.mdbVersion = 19;
    EXPECT_FALSE(remap::mnuSMTPRemap_CanOpen(main));
    EXPECT_EQ(ui.texts(), std::vector<std::string>{kTooOld});
    EXPECT_EQ(ui.boxes[0].buttons, ui::Buttons::Ok);
    ui.boxes.clear();
    state.version.mdbVersion = 20;
    EXPECT_TRUE(remap::mnuSMTPRemap_CanOpen(main));
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tdv::test
