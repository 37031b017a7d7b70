// The message browser's grid: its fixed layout, InitForm's fill (cells, check states, count,
// the file-name choice, the revision rule for Secure), the sender alias forms and the
// arrival time's text.
#include <gtest/gtest.h>

#include <filesystem>

#include "message_harness.h"
#include "messages/frm_messages.h"

namespace tdv::messages {
namespace {

namespace fs = std::filesystem;
using test::MessageRow;

TEST(MessageGridLayout, ColumnsAreFoundByKeyWithTheirCaptionsWidthsAndTypes) {
    test::ScriptedUi ui;
    backup::AppState state;
    FrmMessages form(ui, state);
    const ui::GridModel& g = form.gridMessages;
    ASSERT_EQ(g.Cols(), 10);
    EXPECT_EQ(g.Rows(), 1);
    EXPECT_EQ(g.FixedRows(), 1);
    const std::vector<std::string> captions = {
        "Arrival Time", "Secure",    "Read",           "Urgent",  "Private",
        "Sender Alias", "Recipient", "Calling Number", "Subject", "Index"};
    const std::vector<int> widths = {960, 630, 960, 735, 690, 1125, 960, 1395, 960, 960};
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(g.TextMatrix(0, c), captions[c]);
        EXPECT_EQ(g.ColWidth(c), widths[c]);
        EXPECT_EQ(g.ColHidden(c), c == 9) << c;
        EXPECT_EQ(g.ColDataType(c) == ui::GridModel::kCheckBoxType, c >= 1 && c <= 4) << c;
    }
    EXPECT_EQ(g.ColIndex("index"), 9);
    EXPECT_EQ(g.ColIndex("SENDERALIAS"), 5);
    EXPECT_EQ(form.txtMessagesInGrid, "0");
}

TEST(MessageList, FillsOneRowPerMessageInTableOrder) {
    test::MessageHarness h;
    MessageRow first;
    first.index = 7;
    first.read = true;
    first.isPrivate = true;
    MessageRow second;
    second.index = 3;
    second.fromAddress = "CN=jdoe/O=Org";
    second.subject = "  padded subject  ";
    second.arrival = 46387.99998842592;
    second.urgent = true;
    second.secure = true;
    second.callerAni = nullptr;
    second.toAlias = "other";
    h.load({first, second});

    ASSERT_EQ(h.form.gridMessages.Rows(), 3);
    EXPECT_EQ(h.form.txtMessagesInGrid, "2");
    EXPECT_EQ(h.row(1),
              (std::vector<std::string>{"2008/03/14 09:05:07", "[ ]", "[x]", "[ ]", "[x]", "jsmith",
                                        "mbox", "5551234", "Voice message from jsmith", "7"}));
    EXPECT_EQ(h.row(2), (std::vector<std::string>{"2026/12/31 23:59:59", "[x]", "[ ]", "[x]", "[ ]",
                                                  "jdoe/Org", "other", "", "padded subject", "3"}));
    EXPECT_TRUE(h.ui.boxes.empty()) << h.ui.texts().front();
}

TEST(MessageList, NullFlagsAndTextsShowUncheckedAndEmpty) {
    test::MessageHarness h;
    MessageRow m;
    m.read = m.urgent = m.isPrivate = m.secure = nullptr;
    m.subject = m.callerAni = m.toAlias = nullptr;
    h.load({m});
    EXPECT_EQ(h.row(1), (std::vector<std::string>{"2008/03/14 09:05:07", "[ ]", "[ ]", "[ ]", "[ ]",
                                                  "jsmith", "", "", "", "1"}));
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(MessageList, SecureIsShownFromRevision14Only) {
    MessageRow secure;
    secure.secure = true;
    {
        test::MessageHarness h;
        h.load({secure}, 14);
        EXPECT_TRUE(h.checked(1, "Secure"));
    }
    {
        // Revision 13 files have no IsSecure; one that has it anyway is not believed.
        test::MessageHarness h;
        h.open(test::messageBackup({secure}, 13, 1));
        InitForm(h.form);
        EXPECT_FALSE(h.checked(1, "Secure"));
        EXPECT_EQ(h.cell(1, "Secure"), "0");
        EXPECT_EQ(h.state.version.mdbVersion, 13);
        EXPECT_TRUE(h.ui.boxes.empty());
    }
    {
        test::MessageHarness h;
        h.load({MessageRow{}}, 13);
        EXPECT_FALSE(h.checked(1, "Secure"));
        EXPECT_TRUE(h.ui.boxes.empty());
    }
}

TEST(MessageList, AnyNonZeroStoredFlagCountsAsSetAndASecureMessageStaysClosed) {
    MessageRow m;
    m.read = 1;
    m.urgent = 0;
    m.isPrivate = -1;
    m.secure = 1;
    test::MessageHarness h;
    h.open(test::messageBackup({m}, 20, 1, true));
    InitForm(h.form);
    EXPECT_TRUE(h.checked(1, "Read"));
    EXPECT_FALSE(h.checked(1, "Urgent"));
    EXPECT_TRUE(h.checked(1, "Private"));
    EXPECT_TRUE(h.checked(1, "Secure"));
    h.form.gridMessages.setRow(1);
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(h.ui.texts().back().rfind("That message is marked secure", 0), 0u);
    EXPECT_TRUE(h.tempMsgIsEmpty());
}

TEST(MessageList, TheFirstSendersAddressChoosesTheExtractionFile) {
    MessageRow lowerCaseDirectoryName;
    lowerCaseDirectoryName.fromAddress = "/o=org/ou=hq/cn=recipients/cn=jsmith";
    MessageRow smtp;
    smtp.fromAddress = "jane@example.com";
    {
        test::MessageHarness h;
        h.load({lowerCaseDirectoryName, smtp});
        EXPECT_FALSE(h.form.bEMLZipMessages);
        EXPECT_EQ(targetFilePath(h.form), (h.tempMsg() / "MSG_WAV_File.wav").string());
    }
    {
        test::MessageHarness h;
        h.load({smtp, lowerCaseDirectoryName});
        EXPECT_TRUE(h.form.bEMLZipMessages);
        EXPECT_EQ(targetFilePath(h.form), (h.tempMsg() / "MSG_EML_Zip_File.zip").string());
        EXPECT_EQ(h.cell(1, "SenderAlias"), "");
    }
}

TEST(MessageList, AnEmptyTableSaysSoAndKeepsTheFileChoice) {
    test::MessageHarness h;
    h.form.bEMLZipMessages = true;
    h.load({});
    EXPECT_EQ(h.form.gridMessages.Rows(), 1);
    EXPECT_EQ(h.form.txtMessagesInGrid, "0");
    EXPECT_TRUE(h.form.bEMLZipMessages);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"No messages found in the backup files for "
                                                     "the selected subscriber."});
}

TEST(MessageList, InitFormPreparesTheFolderSizesColumnsAndHidesTheSplash) {
    test::MessageHarness h;
    h.load({MessageRow{}});
    EXPECT_EQ(h.form.strTempMsgFolder, h.tempMsg().string());
    EXPECT_TRUE(fs::is_directory(h.tempMsg()));
    const ui::GridModel& g = h.form.gridMessages;
    for (int c = 0; c < g.Cols(); ++c) EXPECT_EQ(g.isAutoSized(c), c <= 7) << c;
    EXPECT_EQ(g.Redraw(), 2);
    ASSERT_FALSE(h.ui.events.empty());
    EXPECT_EQ(h.ui.events.back(), "hide Splash");
}

TEST(MessageList, RefillingEmptiesTheGridFirst) {
    test::MessageHarness h;
    h.load({MessageRow{}, MessageRow{}});
    InitForm(h.form);
    EXPECT_EQ(h.form.gridMessages.Rows(), 3);
    EXPECT_EQ(h.form.txtMessagesInGrid, "2");
}

TEST(MessageList, ANullIndexOrDateIsReportedAndTheRowStays) {
    test::MessageHarness h;
    MessageRow m;
    m.index = nullptr;
    m.arrival = nullptr;
    h.load({m, MessageRow{}});
    const std::string error =
        "Error 94 (Invalid use of Null) in procedure PopulateGridWithSubscriberMessageInfo of "
        "Form frmMessageSelection";
    EXPECT_EQ(h.ui.texts(), (std::vector<std::string>{error, error}));
    EXPECT_EQ(h.form.txtMessagesInGrid, "2");
    EXPECT_EQ(h.cell(1, "Index"), "");
    EXPECT_EQ(h.cell(1, "ArrivalDate"), "");
    EXPECT_EQ(h.cell(1, "SenderAlias"), "jsmith");
    EXPECT_EQ(h.cell(2, "Index"), "1");
}

TEST(MessageList, FillingExtractsNothing) {
    test::MessageHarness h;
    MessageRow second;
    second.index = 2;
    h.load({MessageRow{}, second});
    EXPECT_TRUE(h.tempMsgIsEmpty());
    EXPECT_TRUE(h.ui.opened.empty());
    // A row chosen before a refill is not a selection either.
    h.form.gridMessages.setRow(2);
    ASSERT_EQ(h.ui.opened.size(), 1u);
    fs::remove_all(h.tempMsg());
    h.ui.opened.clear();
    InitForm(h.form);
    EXPECT_TRUE(h.tempMsgIsEmpty());
    EXPECT_TRUE(h.ui.opened.empty());
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(SenderAlias, EachAddressFormGivesItsAlias) {
    test::ScriptedUi ui;
    backup::AppState state;
    FrmMessages form(ui, state);
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"CN=jsmith/O=Org", "jsmith/Org"},
        {"cn=jsmith/o=Org/O=Two", "jsmith/Org/Two"},
        {"CN=a", "a"},
        {"Zerith Messaging System", "Zerith Messaging System"},
        {"ZERITH messaging SYSTEM", "ZERITH messaging SYSTEM"},
        {"/O=ORG/OU=SITE/CN=RECIPIENTS/CN=jsmith", "jsmith"},
        {"/o=org/ou=site/cn=recipients/cn=o'brien", "o'brien"},
        {"ab/CN=x", "x"},
        {"a/CN=x", ""},
        {"/CN=jsmith", ""},
        {"abc", ""},
        {"CN=", ""},
        {"", ""},
        {"jsmith@example.com", ""},
    };
    for (const auto& [address, alias] : cases)
        EXPECT_EQ(strFetchAliasFromAddress(form, address), alias) << address;
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(ArrivalTime, IsYearMonthDayAndTheTwentyFourHourClock) {
    EXPECT_EQ(formatArrivalTime(39521.37855324074), "2008/03/14 09:05:07");
    EXPECT_EQ(formatArrivalTime(36162.541666666664), "1999/01/02 13:00:00");
    EXPECT_EQ(formatArrivalTime(39521.0), "2008/03/14 00:00:00");
    // Half a second before midnight rounds into the next day.
    EXPECT_EQ(formatArrivalTime(39521.0 - 0.4 / 86400.0), "2008/03/14 00:00:00");
    EXPECT_EQ(formatArrivalTime(0.0), "1899/12/30 00:00:00");
}

TEST(EmlZipChoice, OnlyAnAddressWithoutSlashOIsAnEmailArchive) {
    EXPECT_FALSE(bAddressMeansEmlZip("/O=ORG/CN=x"));
    EXPECT_FALSE(bAddressMeansEmlZip("CN=x/o=org"));
    EXPECT_TRUE(bAddressMeansEmlZip("x@example.com"));
    EXPECT_TRUE(bAddressMeansEmlZip("Zerith Messaging System"));
    EXPECT_TRUE(bAddressMeansEmlZip(""));
}

}  // namespace
}  // namespace tdv::messages
