// The e-mail address remap window's load side: its header, the line checks that differ
// from the alias window (blank lines logged, primary extensions only), its grid rows and the
// activation below schema revision 20.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "remap/frm_smtp_address_remap.h"
#include "remap_load_harness.h"

namespace tdv::test {
namespace {

using remap::FrmSMTPAddressRemap;

constexpr const char* kHeader = "OLD_ALIAS,OLD_EXTENSION,NEW_SMTP_ADDRESS";
constexpr const char* kHeaderMessage =
    "Error - CSV File is not formatted correctly.  The first line of the file needs to contain "
    "'OLD_EXTENSION', 'OLD_ALIAS' and 'NEW_SMTP_ADDRESS' column headers.  Review the help file "
    "for details on format constraints.";

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
        .row({"{U1}", "jsmith", "John", "Smith", "John Smith", "1001", "js@example.com"})
        .row({"{U2}", "mjones", nullptr, "Jones", "Mary Jones", "1002", nullptr});
    db.table("DTMFAccessID")
        .text("ParentObjectID")
        .text("DTMFAccessID")
        .text("Alias")
        .row({"{U1}", "2001", "jsmith_alt"});
    return db;
}

struct SmtpHarness : LoadHarness {
    FrmSMTPAddressRemap form{ui, state, logs};

    explicit SmtpHarness(int16_t revision = 20) {
        open(directory(), revision);
        remap::InitForm(form);
    }
    std::vector<std::string> loadLines(const std::string& header,
                                       const std::vector<std::string>& lines) {
        std::string text = header + "\r\n";
        for (const auto& l : lines) text += l + "\r\n";
        queueCsv(text);
        remap::cmdOpenCSVFile_Click(form);
        return errorLog();
    }
    int rows() const { return form.myGrid.Rows() - 1; }
    std::string at(int row, const char* key) const { return cell(form.myGrid, row, key); }
};

TEST(SmtpRemapGrid, TenColumns) {
    SmtpHarness h;
    const ui::GridModel& g = h.form.myGrid;
    const std::vector<std::string> keys = {
        "Selected", "OldAlias",    "OldExtension", "SMTPEmailAddress", "FirstName",
        "LastName", "DisplayName", "Info",         "OriginalLine",     "ObjectID"};
    const std::vector<std::string> captions = {
        "",          "Old Alias",    "Old Extension", "New Email Address", "First Name",
        "Last Name", "Display Name", "Info",          "OriginalLine",      "ObjectID"};
    const std::vector<int> widths = {270, 1140, 1245, 1815, 960, 960, 1350, 960, 960, 960};
    ASSERT_EQ(g.Cols(), 10);
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(g.ColKey(c), keys[c]);
        EXPECT_EQ(g.TextMatrix(0, c), captions[c]);
        EXPECT_EQ(g.ColWidth(c), widths[c]);
        EXPECT_EQ(g.ColHidden(c), c >= 8) << c;
    }
}

TEST(SmtpRemapActivation, BelowRevision20TheWindowStaysEmpty) {
    SmtpHarness h(19);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{
                                "The backup you have is too old to support this - you must be at "
                                "rev 20 of the MDB file for email address remapping."});
    EXPECT_FALSE(h.form.closed);
    EXPECT_FALSE(h.form.users.has_value());

    SmtpHarness ok;
    EXPECT_TRUE(ok.ui.boxes.empty());
    ASSERT_TRUE(ok.form.users.has_value());
    EXPECT_EQ(ok.form.users->RecordCount(), 2);
}

TEST(SmtpRemapHeader, ThreeNamesAndTheirMessages) {
    SmtpHarness h;
    remap::SMTPCsvColumns c;
    const std::string path = h.queueCsv(" new_smtp_address , x, Old_Alias,OLD_EXTENSION\r\n\r\n");
    EXPECT_TRUE(remap::bisValidCSVFileFormat(h.form, path, c));
    EXPECT_EQ(c.newSMTPAddress, 0);
    EXPECT_EQ(c.oldAlias, 2);
    EXPECT_EQ(c.oldExtension, 3);

    h.loadLines("OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS", {"jsmith,,a@b"});
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{
                  kHeaderMessage,
                  "CSV file is not a recognized format - see the help file for details."}));
    h.ui.boxes.clear();
    h.loadLines(kHeader, {});
    EXPECT_EQ(h.ui.texts().front(), "File contains no data to work with");
    EXPECT_TRUE(h.form.txtCSVPath.empty());
}

TEST(SmtpRemapLines, RejectionsIncludingBlankLines) {
    SmtpHarness h;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "Invalid CSV line format"},
        {"jsmith,1001", "Invalid CSV line format"},
        {" , ,a@b", "No value provided for OLD_ALIAS or OLD_EXTENSION"},
        {"jsmith,, ", "No value provided for NEW_SMTP_ADDRESS"},
        {"nobody,,a@b", "User not found by OLD_ALIAS and no OLD_EXTENSION provided"},
        {"nobody,1e,a@b", "Invalid string for OLD_EXTENSION column value"},
        {",2001,a@b",
         "User or alternate extension not found using OLD_ALIAS or OLD_EXTENSION values"},
        {"jsmith,," + std::string(294, 'a') + "@example.com",
         "New SMTP address is too long for the backup database"},
    };
    std::vector<std::string> lines, expected;
    for (const auto& [line, reason] : cases) {
        lines.push_back(line);
        expected.push_back(logged(line, reason));
    }
    EXPECT_EQ(h.loadLines(kHeader, lines), expected);
    EXPECT_EQ(h.rows(), 0);
    EXPECT_EQ(h.ui.boxes.back().text,
              "Import complete. 8 lines read in from text file, 0 users added to grid.  Review CSV "
              "parse error log now?");
}

TEST(SmtpRemapRows, ByAliasAndByExtensionWithoutAddressChecks) {
    SmtpHarness h;
    // A second line for the same user is rejected: its address would silently win.
    EXPECT_EQ(h.loadLines(kHeader, {"JSMITH,999x,new@example.com", ",1002,x", "mjones,,y"}),
              std::vector<std::string>{
                  logged("mjones,,y", "The same user is changed by an earlier line of the file")});
    ASSERT_EQ(h.rows(), 2);
    EXPECT_EQ(h.at(1, "OldAlias"), "jsmith");
    EXPECT_EQ(h.at(1, "OldExtension"), "");
    EXPECT_EQ(h.at(1, "SMTPEmailAddress"), "new@example.com");
    EXPECT_EQ(h.at(1, "FirstName"), "John");
    EXPECT_EQ(h.at(1, "DisplayName"), "John Smith");
    EXPECT_EQ(h.at(1, "Info"), "Replace SMTP address");
    EXPECT_EQ(h.at(1, "ObjectID"), "{U1}");
    EXPECT_EQ(h.at(1, "OriginalLine"), "JSMITH,999x,new@example.com");
    EXPECT_EQ(h.at(2, "OldAlias"), "mjones");
    EXPECT_EQ(h.at(2, "OldExtension"), "1002");
    EXPECT_EQ(h.at(2, "FirstName"), "");
    EXPECT_EQ(h.at(2, "SMTPEmailAddress"), "x");  // one character: refused only when applied
    EXPECT_EQ(h.ui.boxes.back().text,
              "Import complete. 3 lines read in from text file, 2 users added to grid.  Review "
              "CSV parse error log now?");
}

TEST(SmtpRemapSelection, SameRulesAsTheAliasWindow) {
    SmtpHarness h;
    h.loadLines(kHeader, {"jsmith,,a@b", "mjones,,c@d"});
    h.form.chkSelectAll = true;
    remap::chkSelectAll_Click(h.form);
    EXPECT_TRUE(h.form.myGrid.isChecked(1, 0));
    EXPECT_TRUE(h.form.myGrid.isChecked(2, 0));
    h.form.myGrid.setRow(1);
    h.form.myGrid.setCol(3);
    remap::myGrid_Click(h.form);
    EXPECT_FALSE(h.form.myGrid.isChecked(1, 0));
    EXPECT_TRUE(remap::myGrid_CanEdit(h.form, 0));
    EXPECT_FALSE(remap::myGrid_CanEdit(h.form, 3));

    remap::cmdCancel_Click(h.form);
    EXPECT_TRUE(h.form.closed);
    remap::Form_Unload(h.form);
    EXPECT_FALSE(h.form.users.has_value());
    std::string id;
    EXPECT_FALSE(remap::bOldAliasMatchesASubscriber(h.form, "jsmith", id));
    EXPECT_TRUE(h.ui.texts().back().ends_with(
        "in procedure bOldAliasMatchesASubscriber of Form frmSMTPAddressRemap"));
}

}  // namespace
}  // namespace tdv::test
