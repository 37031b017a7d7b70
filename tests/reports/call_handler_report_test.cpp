#include "reports/call_handler_report.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "main_state/common_values.h"
#include "sample/sample.h"

namespace tdv::reports {
namespace {

using test::BackupFixture;
using test::FixtureTable;

constexpr int kPast = 36526;    // 1 January 2000
constexpr int kFuture = 73051;  // 1 January 2100
const std::string kBanner = "****************** primary call handler data *********************";

FixtureTable& callHandlersTable(BackupFixture& db) {
    return db.table("CallHandlers")
        .text("ObjectID")
        .text("TextName")
        .text("Alias")
        .text("DTMFAccessID")
        .integer("IsPrimary")
        .text("AdministratorObjectID")
        .integer("AdministratorObjectIDType")
        .text("RecipientObjectID")
        .integer("RecipientObjectIDType")
        .text("ScheduleObjectName")
        .longInt("Language")
        .longInt("MaxMsgLen")
        .yesNo("EditMsg")
        .yesNo("SendUrgentMsg")
        .integer("AfterMessageAction")
        .text("AfterMessageConversation")
        .text("AfterMessageObjectID");
}

void addRuleTables(BackupFixture& db) {
    db.table("ContactRules")
        .text("ParentObjectID")
        .text("Alias")
        .dateTime("TimeExpires")
        .integer("Action")
        .integer("XFerType")
        .text("Extension")
        .integer("XFerHoldingMode")
        .yesNo("XFerAnnounce")
        .yesNo("XFerConfirm")
        .yesNo("XFerIntroduce")
        .yesNo("XFerScreening")
        .row({"{H1}", "Standard", nullptr, 1, 1, "1234", 2, true, false, true, nullptr})
        .row({"{H1}", "Alternate", kPast, 0, 0, nullptr, 3, false, false, false, false})
        .row({"{H1}", "Closed", kFuture, nullptr, nullptr, "", 0, nullptr, nullptr, nullptr,
              nullptr})
        .row({"{H1}", nullptr, nullptr, 0, 0, "9", 1, true, true, true, true})
        .row({"{H9}", "Other handler", nullptr, 0, 0, "5", 0, true, true, true, true});
    db.table("MessagingRules")
        .text("ParentObjectID")
        .text("Alias")
        .dateTime("TimeExpires")
        .integer("PlayWhat")
        .yesNo("IgnoreDigits")
        .integer("Reprompts")
        .integer("Action")
        .text("ConversationName")
        .text("DestinationObjectID")
        .row({"{H1}", "Standard", nullptr, 0, nullptr, 0, 4, "", ""})
        .row({"{H1}", "Alternate", kPast, 1, true, 2, 2, "PHGreeting", "{H2}"})
        .row({"{H1}", "Off Hours", kFuture, 5, false, nullptr, nullptr, "AD", "{N1}"});
    db.table("MenuEntries")
        .text("ParentObjectID")
        .text("Alias")
        .integer("Action")
        .text("ConversationName")
        .text("DestinationObjectID")
        .row({"{H1}", "3", 2, "Foo", ""})
        .row({"{H1}", "1", 1, "", ""})
        .row({"{H1}", "0", 2, "PHGreeting", "{H2}"})
        .row({"{H1}", "2", nullptr, "", ""});
}

BackupFixture handlersBackup() {
    BackupFixture db;
    callHandlersTable(db)
        .row({"{H1}", "Opening Greeting", "opening", "100", 0, "{S1}", 1, "{L1}", 2, "Weekdays",
              1033, 300, true, false, 1, "", ""})
        .row({"{H2}", "  Second  ", nullptr, "", 1, nullptr, 1, nullptr, 1, nullptr, 0, nullptr,
              nullptr, true, nullptr, nullptr, nullptr})
        .row({"{H4}", "Fourth", "fourth", nullptr, 0, "   ", 1, "{S1}", nullptr, "", 33801, -5,
              false, nullptr, 2, "PHTransfer", "{H1}"})
        .row({"{H5}", "Fifth", "", " ", 0, "{S1}", 7, "{S9}", 102, "Always", nullptr, 0, false,
              false, 2, "Bar", ""})
        .row({"{HD}", "Twin", "twin", "1", 0, nullptr, 1, nullptr, 1, nullptr, 0, 0, false, false,
              1, nullptr, nullptr})
        .row({"{HD}", "Twin", "twin", "1", 0, nullptr, 1, nullptr, 1, nullptr, 0, 0, false, false,
              1, nullptr, nullptr});
    addRuleTables(db);
    db.table("Subscribers")
        .text("ObjectID")
        .text("DisplayName")
        .text("CallHandlerObjectID")
        .row({"{S1}", "John Smith", "{H2}"});
    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("DisplayName")
        .row({"{L1}", "All Staff"});
    return db;
}

std::string lines(const std::vector<std::string>& all) {
    std::string out;
    for (const auto& l : all) out += l + "\r\n";
    return out;
}

class CallHandlerReportTest : public ::testing::Test {
protected:
    void open(const BackupFixture& db) {
        const std::string path = db.write(dir.path(), "ZerithDBData_Backup_test.mdb");
        state.strMDBFilePath = path;
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + path;
    }
    void SetUp() override { open(handlersBackup()); }

    test::TempDir dir;
    test::ScriptedUi ui;
    backup::AppState state;
    app::FrmMain form{ui, state};
};

const std::vector<std::string> kFullHandler = {
    "TextName= Opening Greeting",
    "ObjectID={H1}",
    "Alias= opening",
    "Extension= 100",
    "Owner= subscriber with a display name=John Smith [{S1}: 1]",
    "Message recipient= public distribution list with a display name=All Staff [{L1}: 2]",
    "ScheduleObjectName= Weekdays",
    "Language= " + app::strLanguageName(1033),
    "Contact Rules:",
    // The rule without an alias loses only its alias line.
    "           Enabled",
    "           Action: skip transfer, go to greeting",
    "           Transfer Type= Release",
    "           Transfer String= 9",
    "           Holding: always",
    "           Transfer Options:",
    "                Announce",
    "                Confirm",
    "                Introduce",
    "                Screening",
    "     Alternate:",
    "           Disabled",
    "           Action: skip transfer, go to greeting",
    "           Transfer Type= Release",
    "           Transfer String= <empty>",
    "           Transfer Options:",
    "     Closed:",
    "           Enabled",
    "           Action: attempt transfer",
    "           Transfer Type= Supervised",
    "           Transfer String= ",
    "           Holding: none",
    "           Transfer Options:",
    "     Standard:",
    "           Enabled",
    "           Action: attempt transfer",
    "           Transfer Type= Supervised",
    "           Transfer String= 1234",
    "           Holding: ask caller",
    "           Transfer Options:",
    "                Announce",
    "                Introduce",
    "Message Rules:",
    "     Alternate:",
    "           Disabled",
    "           Greeting Source: custom",
    "           Allow User Input: no",
    "           Reprompts:  2",
    "           After Message Action= Send caller to greeting for  subscriber with display name "
    "= John Smith [PHGreeting:{H2}: 2]",
    "     Off Hours:",
    "           Enabled",
    "           Allow User Input: yes",
    "     Standard:",
    "           Enabled",
    "           Greeting Source: system",
    "           Allow User Input: yes",
    "           Reprompts:  0",
    "           After Message Action= Take Message [:: 4]",
    "Menu Entry Keys:",
    "     0: Send caller to greeting for  subscriber with display name = John Smith "
    "[PHGreeting:{H2}: 2]",
    "     1: Hangup [:: 1]",
    "     3: Unknown conversation string=Foo",
    "Maximum Message Length (seconds)=  300",
    "Callers can edit messages",
    "Callers can not mark messages urgent",
    "After Message Action=Hangup [:: 1]",
};

TEST_F(CallHandlerReportTest, FullReportLineByLine) {
    form.txtInfo.Text = "old report\r\n";
    PullCallHandlerData(form, "{H1}", false);
    EXPECT_EQ(form.txtInfo.Text, lines(kFullHandler));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CallHandlerReportTest, EmbeddedAppendsAfterTheBanner) {
    form.AddLine("Exit Action=Hangup [:: 1]");
    PullCallHandlerData(form, "{H1}", true);
    std::vector<std::string> expected = {"Exit Action=Hangup [:: 1]", kBanner};
    expected.insert(expected.end(), kFullHandler.begin(), kFullHandler.end());
    EXPECT_EQ(form.txtInfo.Text, lines(expected));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CallHandlerReportTest, NullAndEmptyValuesDropOrReplaceTheirLines) {
    PullCallHandlerData(form, "{H2}", false);
    // No alias: the text name again; no owner; a Null recipient, max length and after-message
    // action lose their lines; no rows in any sub-list.
    EXPECT_EQ(form.txtInfo.Text, lines({
                                     "TextName= Second",
                                     "ObjectID={H2}",
                                     "Text Name=Second",
                                     "Extension= <none>",
                                     "ScheduleObjectName= ",
                                     "Language= <inherited>",
                                     "    No contact rules were not found for this call handler",
                                     "    No message rules were not found for this call handler",
                                     "    No menu entries found for this handler",
                                     "Callers can not edit messages",
                                     "Callers can mark messages urgent",
                                 }));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CallHandlerReportTest, OwnerAndRecipientRules) {
    // A blank owner gives no owner line; a Null recipient type drops the recipient line.
    PullCallHandlerData(form, "{H4}", false);
    EXPECT_EQ(form.txtInfo.Text,
              lines({
                  "TextName= Fourth",
                  "ObjectID={H4}",
                  "Alias= fourth",
                  "Extension= <none>",
                  "ScheduleObjectName= ",
                  "Language= English (TDD/TTY)",
                  "    No contact rules were not found for this call handler",
                  "    No message rules were not found for this call handler",
                  "    No menu entries found for this handler",
                  "Maximum Message Length (seconds)= -5",
                  "Callers can not edit messages",
                  "Callers can not mark messages urgent",
                  "After Message Action=Send caller to transfer for  call handler: Opening "
                  "Greeting [PHTransfer:{H1}: 2]",
              }));

    // An invalid owner type and a recipient that does not exist are described, not dropped.
    PullCallHandlerData(form, "{H5}", false);
    EXPECT_EQ(form.txtInfo.Text,
              lines({
                  "TextName= Fifth",
                  "ObjectID={H5}",
                  "Text Name=Fifth",
                  "Extension= <none>",
                  "Owner= (error) invalid ObjectIDType value passed into the "
                  "strGetOWnerOrRecipient function: 7 [{S1}: 7]",
                  "Message recipient= (error) subscriber search foun no match for "
                  "ObjectID={S9} [{S9}: 102]",
                  "ScheduleObjectName= Always",
                  "Language= <inherited>",
                  "    No contact rules were not found for this call handler",
                  "    No message rules were not found for this call handler",
                  "    No menu entries found for this handler",
                  "Maximum Message Length (seconds)=  0",
                  "Callers can not edit messages",
                  "Callers can not mark messages urgent",
                  "After Message Action=Unknown conversation string=Bar",
              }));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CallHandlerReportTest, MissingHandlerShowsTheNotFoundBoxAndWritesNothing) {
    form.txtInfo.Text = "old report\r\n";
    PullCallHandlerData(form, "{H7}", false);
    EXPECT_EQ(form.txtInfo.Text, "");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "Error!  Call handler not found in database!");
    EXPECT_EQ(ui.boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(ui.boxes[0].icon, ui::Icon::None);
    EXPECT_EQ(ui.boxes[0].title, "");
}

TEST_F(CallHandlerReportTest, MissingEmbeddedHandlerKeepsTheLinesAbove) {
    form.AddLine("DisplayName= John Smith");
    PullCallHandlerData(form, "{H7}", true);
    EXPECT_EQ(form.txtInfo.Text, lines({"DisplayName= John Smith", kBanner}));
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Error!  Call handler not found in database!"});
}

TEST_F(CallHandlerReportTest, DuplicateHandlerShowsTheMultipleMatchBox) {
    PullCallHandlerData(form, "{HD}", false);
    EXPECT_EQ(form.txtInfo.Text, "");
    EXPECT_EQ(ui.texts(), std::vector<std::string>{
                              "Error!  More than one match found for call handler ObjectID={HD}"});
}

TEST_F(CallHandlerReportTest, MissingSubListTablesAreSilent) {
    BackupFixture db;
    callHandlersTable(db).row({"{H1}", "Lonely", "lonely", "7", 0, nullptr, 1, nullptr, 1, "Always",
                               0, 20, true, true, 0, "", ""});
    test::TempDir other;
    const std::string path = db.write(other.path(), "ZerithDBData_Backup_bare.mdb");
    state.strMDBConnectString = std::string(backup::kConnectPrefix) + path;
    PullCallHandlerData(form, "{H1}", false);
    EXPECT_EQ(form.txtInfo.Text, lines({
                                     "TextName= Lonely",
                                     "ObjectID={H1}",
                                     "Alias= lonely",
                                     "Extension= 7",
                                     "ScheduleObjectName= Always",
                                     "Language= <inherited>",
                                     "    No contact rules were not found for this call handler",
                                     "    No message rules were not found for this call handler",
                                     "    No menu entries found for this handler",
                                     "Maximum Message Length (seconds)=  20",
                                     "Callers can edit messages",
                                     "Callers can mark messages urgent",
                                     "After Message Action=Ignore [:: 0]",
                                 }));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(CallHandlerReportTest, NoCallHandlersTableReportsNotFound) {
    BackupFixture db;
    db.table("Other").text("ObjectID").row({"{A}"});
    test::TempDir other;
    state.strMDBConnectString = std::string(backup::kConnectPrefix) +
                                db.write(other.path(), "ZerithDBData_Backup_none.mdb");
    PullCallHandlerData(form, "{H1}", false);
    EXPECT_EQ(form.txtInfo.Text, "");
    EXPECT_EQ(ui.texts(), std::vector<std::string>{"Error!  Call handler not found in database!"});
}

// Reports of every call handler of generated sample backups: no message boxes, identity
// first, every sub-list record that has an alias shown in Alias order, and every action line
// in one of the forms the action strings give.
class SampleHandlersTest : public ::testing::TestWithParam<const char*> {
protected:
    std::vector<std::string> column(const std::string& sql, const char* name) {
        db::Recordset rs = state.newRecordset();
        rs.setCursorLocation(db::adUseClient);
        rs.Open(sql, state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
        std::vector<std::string> out;
        for (; !rs.Eof(); rs.MoveNext()) {
            const db::Variant v = rs(name).Value();
            out.push_back(v.isNull() ? std::string() : app::strGetFieldText(rs, name, state));
        }
        return out;
    }

    test::TempDir dir;
    test::ScriptedUi ui;
    backup::AppState state;
    app::FrmMain form{ui, state};
};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text does not end with CR LF";
    return out;
}

// The part of a line after its label, when the line is an action line.
bool actionOf(const std::string& line, std::string& action) {
    static const std::regex labels(
        "^(After Message Action=|           After Message Action= |     [^ ].*?: )(.*)$");
    std::smatch m;
    if (!std::regex_match(line, m, labels)) return false;
    action = m[2];
    return true;
}

TEST_P(SampleHandlersTest, EveryHandlerReportIsConsistent) {
    const sample::SampleVariant* variant = sample::findVariant(GetParam());
    ASSERT_NE(variant, nullptr);
    sample::SampleOptions options;
    options.users = 16;
    const sample::WrittenSample written = sample::writeSample(dir.path() / "s", *variant, options);
    state.strMDBConnectString = std::string(backup::kConnectPrefix) + written.directoryBackup;
    state.bIsQuorin7OrLater = variant->quorin && variant->serverMajor >= 7;

    static const std::regex knownAction(
        "^(Unknown conversation string=.*|"
        "(Ignore|Hangup|Take Message|Skip Greeting|"
        "Error in strConstructActionString - Invalid action value passed in|"
        "Send caller to (greeting|transfer) for  (call handler: .*|subscriber with display name "
        "= .*|subscriber - \\(error\\) could not find subscriber that owns this primary call "
        "handler\\.)|"
        "Send caller to (interview|directory) handler: .*|"
        "\\(error\\) Send caller to missing (interview|call|directory) handler\\.  ObjectId=.*|"
        "Subscriber sign in|Greetings administration|Broadcast message administration|"
        "Subscriber System Transfer|System Transfer|Hotel checkout|CVM Mailbox reset|"
        "Easy sign in|Alternate contact number transfer|Reverse Trap|Live Record|"
        "Archived mailbox sign in) \\[.*:.*:(-[0-9]+| [0-9]+)\\])$");

    const std::vector<std::string> ids =
        column("SELECT ObjectID FROM CallHandlers ORDER BY ObjectID", "ObjectID");
    ASSERT_GE(ids.size(), 5u);
    std::set<std::string> kinds;
    for (const std::string& id : ids) {
        SCOPED_TRACE(id);
        PullCallHandlerData(form, id, false);
        EXPECT_TRUE(ui.boxes.empty()) << (ui.boxes.empty() ? "" : ui.boxes[0].text);
        const std::vector<std::string> got = splitLines(form.txtInfo.Text);
        ASSERT_GE(got.size(), 2u);
        EXPECT_EQ(got[0].rfind("TextName= ", 0), 0u);
        EXPECT_EQ(got[1], "ObjectID=" + id);

        // The alias lines of each sub-list, in the order the query gives.
        std::vector<std::string> aliasLines;
        for (const char* table : {"ContactRules", "MessagingRules", "MenuEntries"}) {
            // A menu entry's line also needs an action code that is a 16-bit number.
            const std::string actionTest =
                std::string(table) == "MenuEntries"
                    ? " AND Action IS NOT NULL AND Action >= -32768 AND Action <= 32767"
                    : "";
            const auto aliases =
                column(std::string("SELECT Alias FROM ") + table + " WHERE ParentObjectID='" + id +
                           "'" + actionTest + " ORDER BY Alias",
                       "Alias");
            for (const auto& a : aliases)
                if (!a.empty()) aliasLines.push_back("     " + a + ":");
        }
        size_t at = 0;
        for (const auto& line : got)
            if (at < aliasLines.size() && line.rfind(aliasLines[at], 0) == 0) ++at;
        EXPECT_EQ(at, aliasLines.size())
            << "alias line missing: " << (at < aliasLines.size() ? aliasLines[at] : "");

        for (const auto& line : got) {
            std::string action;
            if (!actionOf(line, action)) continue;
            EXPECT_TRUE(std::regex_match(action, knownAction)) << line;
            kinds.insert(action.substr(0, 16));
        }
    }
    // The sample's fixed cases reach the handlers' actions: several kinds appear.
    EXPECT_GE(kinds.size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Variants, SampleHandlersTest,
                         ::testing::Values("zerith-rev20", "zerith-rev16", "quorin7-tool1020"));

}  // namespace
}  // namespace tdv::reports
