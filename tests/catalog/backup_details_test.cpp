#include "catalog/backup_details.h"

#include <gtest/gtest.h>

#include "catalog/form_harness.h"

namespace tdv::catalog {
namespace {

using test::BackupFixture;
using test::FormHarness;

// 3/14/2024 9:05:30 AM as an OLE automation date.
constexpr double kStartTime = 45365.0 + (9.0 * 3600 + 5 * 60 + 30) / 86400.0;

BackupFixture versionInfo(bool withServerName, const test::Cell& userName = "admin") {
    BackupFixture db;
    auto& t = db.table("VersionInfo")
                  .text("UserName")
                  .text("DomainName")
                  .text("BackedUpServerName")
                  .dateTime("BackUpStartTime");
    if (withServerName) {
        t.text("ZerithServerName").row({userName, "CORP", "BKSRV01", kStartTime, "VMSRV02"});
    } else {
        t.row({userName, "CORP", "BKSRV01", kStartTime});
    }
    return db;
}

void prepare(FormHarness& h) {
    h.form.myGrid.setCols(6);
    h.form.myGrid.setRows(5);
    h.form.txtObjectCount = "4";
    h.form.txtInfo.Text = "previous report";
}

TEST(PopulateBackupDetails, OlderProductWithTool7028HasNoRunDetails) {
    FormHarness h;
    h.open(versionInfo(true));
    h.olderProduct(7, 0, 28);
    prepare(h);
    populateBackupDetails(h.form);

    EXPECT_EQ(h.form.txtInfo.Text,
              "Zerith version=5.0(3.2105)\r\n"
              "Backed up with Export version=7.0.28\r\n"
              "\r\n"
              "Backup was produced with a version older than 7.0.29 for Zerith and 1.3.1 for "
              "Quorin 1.x - there are no more details to show.\r\n");
    EXPECT_EQ(h.form.myGrid.Rows(), 0);  // not even a header
    EXPECT_EQ(h.form.txtObjectCount, "");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateBackupDetails, OlderProductWithTool7029ShowsEveryLine) {
    FormHarness h;
    h.open(versionInfo(true));
    prepare(h);
    populateBackupDetails(h.form);
    EXPECT_EQ(h.form.txtInfo.Text,
              "Zerith version=5.0(3.2105)\r\n"
              "Backed up with Export version=7.0.29\r\n"
              "\r\n"
              "User name that ran backup=admin\r\n"
              "Domain name backup was run from=CORP\r\n"
              "Back up ran from server name=BKSRV01\r\n"
              "Backed up started at: 3/14/2024 9:05:30 AM\r\n"
              "Backed up server name= VMSRV02\r\n");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateBackupDetails, NewerProductServer7IsRecentWhateverTheTool) {
    FormHarness h;
    h.open(versionInfo(true));
    h.newerProduct(7, 0, 1, 0, 5);
    h.state.version.bIsCoResBackup = true;
    populateBackupDetails(h.form);
    EXPECT_EQ(h.form.txtInfo.Text,
              "Zerith Quorin version=7.0(0.310)\r\n"
              "Backed up with Export version=1.0.5\r\n"
              "\r\n"
              "User name that ran backup=admin\r\n"
              "Domain name backup was run from=CORP\r\n"
              "Back up ran from server name=BKSRV01\r\n"
              "Backed up started at: 3/14/2024 9:05:30 AM\r\n"
              "Backed up server name= VMSRV02\r\n"
              "Quorin is a Co-Res installation\r\n");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateBackupDetails, NewerProductServer12NeedsTool131) {
    FormHarness h;
    h.open(versionInfo(true));
    h.newerProduct(1, 2, 1, 3, 1);
    populateBackupDetails(h.form);
    EXPECT_NE(h.form.txtInfo.Text.find("Backed up server name= VMSRV02\r\n"), std::string::npos);

    h.newerProduct(1, 2, 1, 3, 0);
    populateBackupDetails(h.form);
    EXPECT_EQ(h.form.txtInfo.Text,
              "Zerith Quorin version=1.2(0.310)\r\n"
              "Backed up with Export version=1.3.0\r\n"
              "\r\n"
              "Backup was produced with a version older than 7.0.29 for Zerith and 1.3.1 for "
              "Quorin 1.x - there are no more details to show.\r\n");
    // The newer product's threshold does not apply to the older product.
    h.olderProduct(1, 3, 1);
    populateBackupDetails(h.form);
    EXPECT_NE(h.form.txtInfo.Text.find("no more details"), std::string::npos);
}

TEST(PopulateBackupDetails, WithoutServerNameColumnStopsAtTheStartTimeSilently) {
    FormHarness h;
    h.open(versionInfo(false, nullptr));
    populateBackupDetails(h.form);
    EXPECT_EQ(h.form.txtInfo.Text,
              "Zerith version=5.0(3.2105)\r\n"
              "Backed up with Export version=7.0.29\r\n"
              "\r\n"
              "User name that ran backup=\r\n"  // Null prints as nothing
              "Domain name backup was run from=CORP\r\n"
              "Back up ran from server name=BKSRV01\r\n"
              "Backed up started at: 3/14/2024 9:05:30 AM\r\n");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateBackupDetails, UnreadableVersionInfoShowsAnErrorPerLine) {
    FormHarness h;
    BackupFixture db;
    db.table("MDBVersion").integer("Version").row({20});
    h.open(db);
    populateBackupDetails(h.form);
    // The open and the four run-fact lines fail; the later steps are silent.
    ASSERT_EQ(h.ui.boxes.size(), 5u);
    for (const auto& box : h.ui.boxes) {
        EXPECT_NE(box.text.find(" in procedure populateBackupDetails of Form frmMain"),
                  std::string::npos)
            << box.text;
    }
    // The fields of a recordset that never opened cannot be found.
    EXPECT_EQ(h.ui.boxes[1].text,
              "Error 3265 (Item cannot be found in the collection corresponding to the requested "
              "name or ordinal.) in procedure populateBackupDetails of Form frmMain");
    EXPECT_EQ(h.form.txtInfo.Text,
              "Zerith version=5.0(3.2105)\r\nBacked up with Export version=7.0.29\r\n\r\n");
}

}  // namespace
}  // namespace tdv::catalog
