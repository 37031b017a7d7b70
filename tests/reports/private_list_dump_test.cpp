// The private list dump: its lines, their order, the member type words, the clipboard, the
// grid columns it reads, and how a Null value stops it without ending the program.
#include "reports/private_list_dump.h"

#include <gtest/gtest.h>

#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"

namespace tdv::test {
namespace {

using Row = std::vector<Cell>;

class PrivateListDumpTest : public ::testing::Test {
protected:
    // ParentObjectID, ObjectID, Alias, DisplayName
    std::vector<Row> lists = {
        {"{U1}", "{L1}", "team", "Team Leads"},
        {"{U2}", "{L9}", "other", "Someone Else's"},
        {"{U1}", "{L2}", "golf", "Golf Friends"},
    };
    // ParentObjectID, Alias, OBjectIDType
    std::vector<Row> members = {
        {"{L1}", "asmith", 1}, {"{L2}", "bjones", 1}, {"{L1}", "allstaff", 2},
        {"{L9}", "nobody", 1}, {"{L1}", "cwhite", 1}, {"{L2}", "sales", 2},
    };

    void open() {
        BackupFixture db;
        FixtureTable& l = db.table("PrivateLists");
        l.text("ParentObjectID").text("ObjectID").text("Alias").text("DisplayName");
        for (const Row& row : lists) l.row(row);
        FixtureTable& m = db.table("PrivateListMembers");
        m.text("ParentObjectID").text("Alias").integer("OBjectIDType");
        for (const Row& row : members) m.row(row);
        const std::string path = db.write(dir.path(), "ZerithDBData_Backup_test.mdb");
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + path;
    }

    TempDir dir;
    ScriptedUi ui;
    backup::AppState state;
    app::FrmMain form{ui, state};
};

TEST_F(PrivateListDumpTest, OneLinePerMemberListByListAndOnTheClipboard) {
    open();
    form.txtInfo.Text = "the report shown before\r\n";
    reports::DumpPrivateLists(form, "{U1}", "jsmith");
    const std::string expected =
        "jsmith, team, Team Leads, asmith, subscriber\r\n"
        "jsmith, team, Team Leads, allstaff, public list\r\n"
        "jsmith, team, Team Leads, cwhite, subscriber\r\n"
        "jsmith, golf, Golf Friends, bjones, subscriber\r\n"
        "jsmith, golf, Golf Friends, sales, public list\r\n";
    EXPECT_EQ(form.txtInfo.Text, expected);
    EXPECT_EQ(ui.clipboard, expected);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PrivateListDumpTest, AnyTypeOtherThanOneIsAPublicList) {
    lists = {{"{U1}", "{L1}", "mix", "Mixed"}};
    members = {{"{L1}", "a", 0}, {"{L1}", "b", 3}, {"{L1}", "c", nullptr}, {"{L1}", "d", 1}};
    open();
    reports::DumpPrivateLists(form, "{U1}", "jsmith");
    EXPECT_EQ(form.txtInfo.Text,
              "jsmith, mix, Mixed, a, public list\r\n"
              "jsmith, mix, Mixed, b, public list\r\n"
              "jsmith, mix, Mixed, c, public list\r\n"
              "jsmith, mix, Mixed, d, subscriber\r\n");
}

TEST_F(PrivateListDumpTest, NoListsOrEmptyListsLeaveTextAndClipboardEmpty) {
    members = {{"{L9}", "nobody", 1}};  // {U1}'s lists have no members
    open();
    form.txtInfo.Text = "old";
    ui.clipboard = "old clipboard";
    reports::DumpPrivateLists(form, "{U1}", "jsmith");
    EXPECT_EQ(form.txtInfo.Text, "");
    EXPECT_EQ(ui.clipboard, "");

    ui.clipboard = "old clipboard";
    reports::DumpPrivateLists(form, "{NOLISTS}", "nolists");
    EXPECT_EQ(form.txtInfo.Text, "");
    EXPECT_EQ(ui.clipboard, "");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(PrivateListDumpTest, ButtonTakesObjectIDAndAliasFromTheCurrentGridRow) {
    open();
    form.myGrid.setCols(6);
    form.myGrid.setRows(3);
    form.myGrid.setTextMatrix(1, 0, "mjones");
    form.myGrid.setTextMatrix(1, 5, "{U2}");
    form.myGrid.setTextMatrix(2, 0, "jsmith");
    form.myGrid.setTextMatrix(2, 5, "{U1}");
    form.myGrid.setRow(1);
    reports::cmdPrivateListDump_Click(form);
    EXPECT_EQ(form.txtInfo.Text, "mjones, other, Someone Else's, nobody, subscriber\r\n");
    EXPECT_EQ(ui.clipboard, form.txtInfo.Text);
}

TEST_F(PrivateListDumpTest, NullValuesAreEmptyFieldsAndEveryListIsDumped) {
    lists = {{"{U1}", "{L1}", "team", "Team"},
             {"{U1}", "{L2}", "golf", nullptr},
             {"{U1}", "{L3}", "chess", "Chess"}};
    members = {
        {"{L1}", "asmith", 1}, {"{L2}", "bjones", 1}, {"{L2}", nullptr, 1}, {"{L3}", "dgreen", 2}};
    open();
    ui.clipboard = "old";
    EXPECT_TRUE(reports::DumpPrivateLists(form, "{U1}", "jsmith"));
    EXPECT_EQ(form.txtInfo.Text,
              "jsmith, team, Team, asmith, subscriber\r\n"
              "jsmith, golf, , bjones, subscriber\r\n"
              "jsmith, golf, , , subscriber\r\n"
              "jsmith, chess, Chess, dgreen, public list\r\n");
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.clipboard, form.txtInfo.Text);
}

TEST_F(PrivateListDumpTest, BackupWithoutPrivateListTablesShowsTheEngineError) {
    BackupFixture db;
    db.table("Subscribers").text("ObjectID").row({"{U1}"});
    state.strMDBConnectString =
        std::string(backup::kConnectPrefix) + db.write(dir.path(), "ZerithDBData_Backup_x.mdb");
    ui.clipboard = "old";
    EXPECT_FALSE(reports::DumpPrivateLists(form, "{U1}", "jsmith"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("Error ", 0), 0u) << ui.boxes[0].text;
    EXPECT_NE(ui.boxes[0].text.find("in procedure DumpPrivateLists of Form frmMain"),
              std::string::npos);
    EXPECT_EQ(form.txtInfo.Text, "");
    EXPECT_EQ(ui.clipboard, "");  // the clipboard holds what is shown
}

}  // namespace
}  // namespace tdv::test
