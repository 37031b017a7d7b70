#include "reports/action_strings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"

namespace tdv::reports {
namespace {

using test::BackupFixture;

const std::string kInvalid = "Error in strConstructActionString - Invalid action value passed in";

// A backup with one target of each kind, a user's primary call handler, one without an
// owner, and duplicated ObjectIDs for the multiple-match texts.
BackupFixture targetsBackup() {
    BackupFixture db;
    db.table("Interviewers")
        .text("ObjectID")
        .text("DisplayName")
        .row({"{I1}", "Job Survey"})
        .row({"{I'1}", "O'Brien Survey"});
    db.table("CallHandlers")
        .text("ObjectID")
        .text("TextName")
        .integer("IsPrimary")
        .row({"{H1}", "Opening Greeting", 0})
        .row({"{H2}", "jsmith", 1})
        .row({"{H3}", "orphan", 1})
        .row({"{H4}", "Night Greeting", nullptr});
    db.table("Subscribers")
        .text("ObjectID")
        .text("DisplayName")
        .text("CallHandlerObjectID")
        .row({"{S1}", "John Smith", "{H2}"})
        .row({"{S2}", "  Padded Name  ", "{HX}"})
        .row({"{SD}", "Twin A", "{HY}"})
        .row({"{SD}", "Twin B", "{HZ}"});
    db.table("NameLookupHandlers")
        .text("ObjectID")
        .text("DisplayName")
        .row({"{N1}", "Company Directory"});
    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("DisplayName")
        .row({"{L1}", "All Staff"})
        .row({"{LD}", "Copy 1"})
        .row({"{LD}", "Copy 2"});
    return db;
}

class ActionStringsTest : public ::testing::Test {
protected:
    void open(const BackupFixture& db) {
        const std::string path = db.write(dir.path(), "ZerithDBData_Backup_test.mdb");
        state.strMDBFilePath = path;
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + path;
    }
    void SetUp() override { open(targetsBackup()); }

    std::string action(int16_t code, const std::string& conv, const std::string& id) {
        return strConstructActionString(form, code, conv, id);
    }

    test::TempDir dir;
    test::ScriptedUi ui;
    backup::AppState state;
    app::FrmMain form{ui, state};
};

TEST(SignPositionNumber, BlankBeforeZeroAndPositiveMinusBeforeNegative) {
    EXPECT_EQ(signPositionNumber(0), " 0");
    EXPECT_EQ(signPositionNumber(5), " 5");
    EXPECT_EQ(signPositionNumber(-1), "-1");
    EXPECT_EQ(signPositionNumber(-32768), "-32768");
    EXPECT_EQ(signPositionNumber(32767), " 32767");
}

TEST_F(ActionStringsTest, FixedActionCodes) {
    EXPECT_EQ(action(0, "", ""), "Ignore [:: 0]");
    EXPECT_EQ(action(1, "", ""), "Hangup [:: 1]");
    EXPECT_EQ(action(4, "PHGreeting", "{H1}"), "Take Message [PHGreeting:{H1}: 4]");
    EXPECT_EQ(action(5, "x", "y"), "Skip Greeting [x:y: 5]");
    // The conversation name only matters for action 2.
    EXPECT_EQ(action(1, "Foo", ""), "Hangup [Foo:: 1]");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ActionStringsTest, InvalidActionCodesKeepTheBracketedReference) {
    EXPECT_EQ(action(3, "", ""), kInvalid + " [:: 3]");
    EXPECT_EQ(action(6, "AD", "{N1}"), kInvalid + " [AD:{N1}: 6]");
    EXPECT_EQ(action(-1, "", ""), kInvalid + " [::-1]");
    EXPECT_EQ(action(-32768, "", "{Z}"), kInvalid + " [:{Z}:-32768]");
    EXPECT_EQ(action(32767, "", ""), kInvalid + " [:: 32767]");
}

TEST_F(ActionStringsTest, EveryFixedConversationNameIgnoringCase) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"SubSignIn", "Subscriber sign in"},
        {"GreetingsAdministrator", "Greetings administration"},
        {"BroadcastMessageAdministrator", "Broadcast message administration"},
        {"AvConvSubSystemTransfer", "Subscriber System Transfer"},
        {"AvConvSystemTransfer", "System Transfer"},
        {"ConvHotelCheckedOut", "Hotel checkout"},
        {"ConvCVMMBoxReset", "CVM Mailbox reset"},
        {"AvConvEasySignIn", "Easy sign in"},
        {"TRANSFERALTCONTACTNUMBER", "Alternate contact number transfer"},
        {"REVERSETRAP", "Reverse Trap"},
        {"CONVUTILSLIVERECORD", "Live Record"},
        {"SUBSYSTRANSFER", "Subscriber System Transfer"},
        {"SYSTEMTRANSFER", "System Transfer"},
        {"SUBSIGNINARCHIVEDMAILBOX", "Archived mailbox sign in"},
        {"EasySignIn", "Easy sign in"},
    };
    for (const auto& [name, text] : names) {
        EXPECT_EQ(action(2, name, "{X}"), text + " [" + name + ":{X}: 2]") << name;
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(action(2, lower, ""), text + " [" + lower + ":: 2]") << lower;
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ActionStringsTest, UnknownConversationHasNoBracketedSuffix) {
    EXPECT_EQ(action(2, "Foo", "{H1}"), "Unknown conversation string=Foo");
    EXPECT_EQ(action(2, "", "{H1}"), "Unknown conversation string=");
    // A name is matched whole, not by its beginning.
    EXPECT_EQ(action(2, "ADX", ""), "Unknown conversation string=ADX");
    EXPECT_EQ(action(2, "PHGreetin", ""), "Unknown conversation string=PHGreetin");
}

TEST_F(ActionStringsTest, InterviewHandlerTargets) {
    EXPECT_EQ(action(2, "chInterview", "{I1}"),
              "Send caller to interview handler: Job Survey [chInterview:{I1}: 2]");
    EXPECT_EQ(action(2, "PHINTERVIEW", "{I1}"),
              "Send caller to interview handler: Job Survey [PHINTERVIEW:{I1}: 2]");
    EXPECT_EQ(action(2, "PHInterview", "{I9}"),
              "(error) Send caller to missing interview handler.  ObjectId={I9} "
              "[PHInterview:{I9}: 2]");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ActionStringsTest, CallHandlerTargetsByTextNameOrOwningSubscriber) {
    EXPECT_EQ(action(2, "PHGreeting", "{H1}"),
              "Send caller to greeting for  call handler: Opening Greeting [PHGreeting:{H1}: 2]");
    EXPECT_EQ(action(2, "phtransfer", "{H1}"),
              "Send caller to transfer for  call handler: Opening Greeting [phtransfer:{H1}: 2]");
    // A user's primary call handler is described by the user, not by its text name.
    EXPECT_EQ(action(2, "PHTransfer", "{H2}"),
              "Send caller to transfer for  subscriber with display name = John Smith "
              "[PHTransfer:{H2}: 2]");
    EXPECT_EQ(action(2, "PHGreeting", "{H3}"),
              "Send caller to greeting for  subscriber - (error) could not find subscriber that "
              "owns this primary call handler. [PHGreeting:{H3}: 2]");
    // IsPrimary Null is not 1: a stand-alone handler.
    EXPECT_EQ(action(2, "PHGreeting", "{H4}"),
              "Send caller to greeting for  call handler: Night Greeting [PHGreeting:{H4}: 2]");
    // A missing target drops the prefix.
    EXPECT_EQ(action(2, "PHTransfer", "{H9}"),
              "(error) Send caller to missing call handler.  ObjectId={H9} [PHTransfer:{H9}: 2]");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ActionStringsTest, DirectoryHandlerTargets) {
    EXPECT_EQ(action(2, "AD", "{N1}"),
              "Send caller to directory handler: Company Directory [AD:{N1}: 2]");
    EXPECT_EQ(action(2, "ad", ""),
              "(error) Send caller to missing directory handler.  ObjectId= [ad:: 2]");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ActionStringsTest, OwnerOrRecipientOfEachType) {
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{S1}", 1),
              "subscriber with a display name=John Smith [{S1}: 1]");
    // Type 102 is a subscriber too; the display name is trimmed.
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{S2}", 102),
              "subscriber with a display name=Padded Name [{S2}: 102]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{S9}", 1),
              "(error) subscriber search foun no match for ObjectID={S9} [{S9}: 1]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{SD}", 102),
              "(error) Subscriber search found multiple matches for ObjectID={SD} [{SD}: 102]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{L1}", 2),
              "public distribution list with a display name=All Staff [{L1}: 2]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{L9}", 2),
              "(error) public distribution list search found no match for ObjectID={L9} "
              "[{L9}: 2]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{LD}", 2),
              "(error) public distribution list search found multiple matches for "
              "ObjectID={LD} [{LD}: 2]");
    // A list's ObjectID asked as a subscriber is not found.
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{L1}", 1),
              "(error) subscriber search foun no match for ObjectID={L1} [{L1}: 1]");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ActionStringsTest, OwnerOrRecipientOfAnInvalidType) {
    const std::string invalid =
        "(error) invalid ObjectIDType value passed into the strGetOWnerOrRecipient function:";
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{S1}", 7), invalid + " 7 [{S1}: 7]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{S1}", 0), invalid + " 0 [{S1}: 0]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "", -1), invalid + "-1 [:-1]");
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{X}", -32768), invalid + "-32768 [{X}:-32768]");
    EXPECT_TRUE(ui.boxes.empty());
}

// A backup without the lookup tables: every failure shows the "(error):" box and the
// function still returns its text.
class MissingTablesTest : public ActionStringsTest {
protected:
    void SetUp() override {
        BackupFixture db;
        db.table("Other").text("ObjectID").row({"{A}"});
        open(db);
    }
};

void expectErrorBoxes(const test::ScriptedUi& ui, const std::string& procedure) {
    ASSERT_FALSE(ui.boxes.empty());
    const std::string tail = ") in procedure " + procedure + " of Form frmMain";
    for (const auto& box : ui.boxes) {
        EXPECT_EQ(box.text.rfind("(error):", 0), 0u) << box.text;
        EXPECT_GE(box.text.size(), tail.size());
        EXPECT_EQ(box.text.substr(box.text.size() - tail.size()), tail) << box.text;
        EXPECT_EQ(box.buttons, ui::Buttons::Ok);
        EXPECT_EQ(box.icon, ui::Icon::None);
        EXPECT_EQ(box.title, "");
    }
}

TEST_F(MissingTablesTest, ActionLookupFailuresShowTheErrorBoxAndGoOn) {
    // The failed query leaves no record to find: the not-found text follows the boxes.
    EXPECT_EQ(action(2, "AD", "{N1}"),
              "(error) Send caller to missing directory handler.  ObjectId={N1} [AD:{N1}: 2]");
    // The failed open, then the record test on the closed recordset.
    EXPECT_EQ(ui.texts(),
              (std::vector<std::string>{
                  "(error):-2147217865 (The Microsoft Jet database engine cannot find the input "
                  "table or query 'NameLookupHandlers'.  Make sure it exists and that its name is "
                  "spelled correctly.) in procedure strConstructActionString of Form frmMain",
                  "(error):3704 (Operation is not allowed when the object is closed.) in "
                  "procedure strConstructActionString of Form frmMain"}));
    expectErrorBoxes(ui, "strConstructActionString");
    ui.boxes.clear();
    EXPECT_EQ(action(2, "PHGreeting", "{H1}"),
              "(error) Send caller to missing call handler.  ObjectId={H1} [PHGreeting:{H1}: 2]");
    expectErrorBoxes(ui, "strConstructActionString");
    ui.boxes.clear();
    // No lookup, no box.
    EXPECT_EQ(action(1, "AD", "{N1}"), "Hangup [AD:{N1}: 1]");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(MissingTablesTest, OwnerLookupFailuresShowTheErrorBoxAndGoOn) {
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{S1}", 1),
              "(error) subscriber search foun no match for ObjectID={S1} [{S1}: 1]");
    expectErrorBoxes(ui, "strGetOwnerOrRecipient");
    ui.boxes.clear();
    EXPECT_EQ(strGetOwnerOrRecipient(form, "{L1}", 2),
              "(error) public distribution list search found no match for ObjectID={L1} "
              "[{L1}: 2]");
    expectErrorBoxes(ui, "strGetOwnerOrRecipient");
}

TEST_F(ActionStringsTest, QuoteInTheObjectIdReachesTheQueryAsAQuotedLiteral) {
    EXPECT_EQ(action(2, "chInterview", "{I'1}"),
              "Send caller to interview handler: O'Brien Survey [chInterview:{I'1}: 2]");
    EXPECT_EQ(action(2, "chInterview", "{I9}' OR 'a'='a"),
              "(error) Send caller to missing interview handler.  ObjectId={I9}' OR 'a'='a "
              "[chInterview:{I9}' OR 'a'='a: 2]");
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tdv::reports
