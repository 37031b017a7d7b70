#include "reports/small_reports.h"

#include <gtest/gtest.h>

#include "catalog/form_harness.h"

namespace tdv::reports {
namespace {

using test::BackupFixture;
using test::FormHarness;
using Bytes = std::vector<uint8_t>;

// ---- Directory handler report ----

BackupFixture nameLookupHandlers() {
    BackupFixture db;
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .yesNo("VoiceEnabled")
        .row({"{D1}", "dir", " Company Directory ", "8000 ", true})
        .row({"{D2}", nullptr, "Sales Directory", "", false})
        .row({"{D3}", "  ", nullptr, nullptr, nullptr});
    return db;
}

TEST(PullNameLookupHandlerData, WritesEveryLine) {
    FormHarness h;
    h.open(nameLookupHandlers());
    h.form.txtInfo.Text = "previous report";
    PullNameLookupHandlerData(h.form, "{D1}");
    // The extension is shown as stored once it is known not to be empty.
    EXPECT_EQ(h.form.txtInfo.Text,
              "Display Name= Company Directory\r\n"
              "Voice enabled directory handler\r\n"
              "ObjectID={D1}\r\n"
              "Alias= dir\r\n"
              "Extension= 8000 \r\n");
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.events, (std::vector<std::string>{"busy off"}));
}

TEST(PullNameLookupHandlerData, NoAliasLineAndNoneForAnEmptyOrNullExtension) {
    FormHarness h;
    h.open(nameLookupHandlers());
    PullNameLookupHandlerData(h.form, "{D2}");
    EXPECT_EQ(h.form.txtInfo.Text,
              "Display Name= Sales Directory\r\n"
              "Touchtone directory handler\r\n"
              "ObjectID={D2}\r\n"
              "Extension= <none>\r\n");

    PullNameLookupHandlerData(h.form, "{D3}");
    EXPECT_EQ(h.form.txtInfo.Text,
              "Display Name= \r\n"
              "Touchtone directory handler\r\n"  // Null VoiceEnabled
              "ObjectID={D3}\r\n"
              "Extension= <none>\r\n");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PullNameLookupHandlerData, Revision16HasNoDetails) {
    FormHarness h;
    h.open(nameLookupHandlers());
    h.state.version.mdbVersion = 16;
    PullNameLookupHandlerData(h.form, "{D1}");
    EXPECT_EQ(h.form.txtInfo.Text,
              "Backup was done with a version of export that did not include detailed export "
              "information about name lookup handlers.");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PullNameLookupHandlerData, UnknownObjectIdGivesANotice) {
    FormHarness h;
    h.open(nameLookupHandlers());
    PullNameLookupHandlerData(h.form, "{NOPE}");
    EXPECT_EQ(h.form.txtInfo.Text, "No directory handler with ObjectID={NOPE} found in the backup");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PullNameLookupHandlerData, MissingColumnReportsAndSkipsOnlyItsLine) {
    FormHarness h;
    BackupFixture db;
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{D1}", "dir", "Directory", "8000"});
    h.open(db);
    PullNameLookupHandlerData(h.form, "{D1}");
    EXPECT_EQ(h.form.txtInfo.Text,
              "Display Name= Directory\r\nObjectID={D1}\r\nAlias= dir\r\nExtension= 8000\r\n");
    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(h.ui.boxes[0].text.rfind("Error 3265 (", 0), 0u) << h.ui.boxes[0].text;
    EXPECT_NE(h.ui.boxes[0].text.find(") in procedure PullNameLookupHandlerData of Form frmMain"),
              std::string::npos);
}

// ---- Interview handler report ----

BackupFixture interviewQuestions() {
    BackupFixture db;
    db.table("InterviewQuestions")
        .text("ParentObjectID")
        .text("Alias")
        .longInt("MaxMsgLength")
        .ole("Stream")
        .memo("StreamText")
        .row({"{I1}", "2", nullptr, nullptr, "Your \"phone\" number?"})
        .row({"{I1}", " 1 ", 30, Bytes{'R', 'I', 'F', 'F'}, "Your name?"})
        .row({"{I2}", "1", 60, Bytes{1}, "Other handler"})
        .row({"{I1}", "3", 0, Bytes{}, nullptr});
    return db;
}

constexpr const char* kQuestions =
    "#, MAX_LENGTH, VOICE_FILE_INCLUDED, QUESTION_TEXT\r\n"
    "1, 30, TRUE, \"Your name?\"\r\n"
    "2, 0, FALSE, \"Your \"phone\" number?\"\r\n"
    "3, 0, FALSE, \"\"\r\n";
constexpr const char* kTooOldForQuestions =
    "Backup was done with a version of zerith export older than 7.0.29 for Zerith or 1.3.1 for "
    "Quorin - no interview handler details are pressent";

TEST(PullInterviewerData, ListsQuestionsInAliasOrder) {
    FormHarness h;
    h.open(interviewQuestions());
    h.form.txtInfo.Text = "previous report";
    PullInterviewerData(h.form, "{I1}");
    EXPECT_EQ(h.form.txtInfo.Text, kQuestions);
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.events, (std::vector<std::string>{"busy on", "events", "busy off"}));
}

TEST(PullInterviewerData, ToolAndServerVersionsDecideWhetherQuestionsArePresent) {
    FormHarness h;
    h.open(interviewQuestions());
    h.olderProduct(7, 0, 28);
    PullInterviewerData(h.form, "{I1}");
    EXPECT_EQ(h.form.txtInfo.Text, kTooOldForQuestions);

    h.newerProduct(7, 0, 1, 0, 5);  // server 7 makes any tool version enough
    PullInterviewerData(h.form, "{I1}");
    EXPECT_EQ(h.form.txtInfo.Text, kQuestions);

    h.newerProduct(1, 2, 1, 3, 0);
    PullInterviewerData(h.form, "{I1}");
    EXPECT_EQ(h.form.txtInfo.Text, kTooOldForQuestions);

    h.newerProduct(1, 2, 1, 3, 1);
    PullInterviewerData(h.form, "{I1}");
    EXPECT_EQ(h.form.txtInfo.Text, kQuestions);

    // The newer product's threshold does not apply to the older product.
    h.olderProduct(1, 3, 1);
    PullInterviewerData(h.form, "{I1}");
    EXPECT_EQ(h.form.txtInfo.Text, kTooOldForQuestions);
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PullInterviewerData, NoQuestions) {
    FormHarness h;
    h.open(interviewQuestions());
    PullInterviewerData(h.form, "{I9}");
    EXPECT_EQ(h.form.txtInfo.Text, "No questions found in the backup for this interview handler");
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_TRUE(h.ui.events.empty());
}

TEST(PullInterviewerData, MissingTableReportsEachFailingStepAndEnds) {
    FormHarness h;
    BackupFixture db;
    db.table("Other").text("X");
    h.open(db);
    PullInterviewerData(h.form, "{I1}");
    EXPECT_EQ(h.form.txtInfo.Text, "No questions found in the backup for this interview handler");
    // The open, then the count and the close of a recordset that never opened.
    ASSERT_EQ(h.ui.boxes.size(), 3u);
    for (const auto& box : h.ui.boxes) {
        EXPECT_NE(box.text.find(" in procedure PullInterviewerData of Form frmMain"),
                  std::string::npos)
            << box.text;
    }
}

// ---- Distribution list report ----

BackupFixture listMembers() {
    BackupFixture db;
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{S1}", "asmith", "A Smith", "2001"})
        .row({"{S2}", "mjones", nullptr, nullptr})
        .row({"{S3}", "zed", "Zed", "2003"});
    db.table("PublicDistributionListMembers")
        .text("DLObjectID")
        .text("SubscriberObjectID")
        .text("SubscriberAlias")
        .row({"{L1}", "{S2}", "mjones"})
        .row({"{L1}", "{L2}", "nested"})  // a nested list is no subscriber
        .row({"{L1}", "{S1}", "asmith"})
        .row({"{L2}", "{S3}", "zed"});
    return db;
}

TEST(PullDistributionListData, ListsSubscriberMembers) {
    FormHarness h;
    h.open(listMembers());
    h.form.txtInfo.Text = "previous report";
    PullDistributionListData(h.form, "{L1}");
    const std::string& text = h.form.txtInfo.Text;
    const std::string header = "ALIAS, DISPLAY_NAME, EXTENSION, SUBSCRIBER_OBJECTID\r\n";
    ASSERT_EQ(text.rfind(header, 0), 0u) << text;
    // Members come in the order the join returns them.
    const std::string rows = text.substr(header.size());
    EXPECT_TRUE(rows == "mjones, , , {S2}\r\nasmith, A Smith, 2001, {S1}\r\n" ||
                rows == "asmith, A Smith, 2001, {S1}\r\nmjones, , , {S2}\r\n")
        << rows;
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.events, (std::vector<std::string>{"busy on", "events", "busy off"}));
}

TEST(PullDistributionListData, EmptyListSaysSoAlone) {
    FormHarness h;
    h.open(listMembers());
    PullDistributionListData(h.form, "{L9}");
    EXPECT_EQ(h.form.txtInfo.Text,
              "No members found in the backup for this public distribution list");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PullDistributionListData, MissingMembersTableShowsTheStandardBox) {
    FormHarness h;
    BackupFixture db;
    db.table("Subscribers").text("ObjectID").text("Alias");
    h.open(db);
    PullDistributionListData(h.form, "{L1}");
    ASSERT_FALSE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.boxes[0].text.rfind("Error ", 0), 0u);
    EXPECT_NE(h.ui.boxes[0].text.find(" in procedure PullDistributionListData of Form frmMain"),
              std::string::npos);
    EXPECT_EQ(h.form.txtInfo.Text,
              "No members found in the backup for this public distribution list");
}

}  // namespace
}  // namespace tdv::reports
