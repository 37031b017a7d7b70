#include "catalog/object_lists.h"

#include <gtest/gtest.h>

#include "catalog/form_harness.h"

namespace tdv::catalog {
namespace {

using test::BackupFixture;
using test::FormHarness;
using Row = std::vector<std::string>;
using Hidden = std::vector<bool>;

constexpr const char* kDlError = " in procedure populateDistributionLists of Form frmMain";

// What LoadObjectList does before it calls a list procedure.
void startFill(FormHarness& h, int objectType) {
    h.form.cmbObjectType = objectType;
    h.form.myGrid.setRows(1);
    h.form.myGrid.setRedraw(0);
}

BackupFixture subscribers() {
    BackupFixture db;
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{S2}", "mjones", "Mary", "Jones", "Mary Jones", "2002"})
        .row({"{S1}", "asmith", nullptr, " Smith ", "A Smith", nullptr})
        .row({"{S3}", "zed", "Zed", "Z", "Zed Z", "2003"});
    return db;
}

BackupFixture namedObjects(const std::string& table,
                           const std::vector<std::vector<test::Cell>>& rows) {
    BackupFixture db;
    auto& t =
        db.table(table).text("ObjectID").text("Alias").text("DisplayName").text("DTMFAccessID");
    for (const auto& r : rows) t.row(r);
    return db;
}

TEST(PopulateSubscribers, ListsUsersInAliasOrderWithHiddenKeyAndShowsTheFirstReport) {
    FormHarness h;
    h.open(subscribers());
    startFill(h, app::kSubscribers);
    populateSubscribers(h.form);

    const auto& g = h.form.myGrid;
    ASSERT_EQ(g.Rows(), 4);
    EXPECT_EQ(h.row(0),
              (Row{"Alias", "First Name", "Last Name", "Display Name", "Extension", "ObjectID"}));
    // A Null first name or extension is an empty cell; names are trimmed.
    EXPECT_EQ(h.row(1), (Row{"asmith", "", "Smith", "A Smith", "", "{S1}"}));
    EXPECT_EQ(h.row(2), (Row{"mjones", "Mary", "Jones", "Mary Jones", "2002", "{S2}"}));
    EXPECT_EQ(h.row(3), (Row{"zed", "Zed", "Z", "Zed Z", "2003", "{S3}"}));
    EXPECT_EQ(h.form.txtObjectCount, "3");
    EXPECT_EQ(h.hiddenColumns(), (Hidden{false, false, false, false, false, true}));
    for (int c = 0; c <= 4; ++c) EXPECT_TRUE(g.isAutoSized(c)) << c;
    EXPECT_FALSE(g.isAutoSized(5));
    EXPECT_EQ(g.FixedRows(), 1);
    EXPECT_EQ(g.FixedCols(), 0);
    EXPECT_TRUE(g.presentationFlag);
    EXPECT_EQ(g.presentationMode, 5);
    EXPECT_EQ(g.Redraw(), 2);
    EXPECT_EQ(g.Row(), 1);
    // ShowObjectDetails ran for the users' row: it shows the user's buttons.
    EXPECT_TRUE(h.form.cmdPrivateListDumpVisible);
    EXPECT_EQ(h.ui.events.front(), "busy on");
    EXPECT_EQ(h.ui.events.back(), "busy off");
}

TEST(PopulateSubscribers, AListThatCannotBeReadSaysSoOnceAndIsKnownAsFailed) {
    FormHarness h;
    h.open(namedObjects("Schedules", {}));
    startFill(h, app::kSubscribers);
    populateSubscribers(h.form);
    EXPECT_EQ(h.form.myGrid.Rows(), 1);
    ASSERT_EQ(h.ui.boxes.size(), 1u) << ::testing::PrintToString(h.ui.texts());
    EXPECT_EQ(h.ui.boxes[0].text.rfind("Error ", 0), 0u) << h.ui.boxes[0].text;
    EXPECT_NE(h.ui.boxes[0].text.find(" in procedure populateSubscribers of Form frmMain"),
              std::string::npos);
    EXPECT_TRUE(h.form.listFailed);
    EXPECT_EQ(h.form.myGrid.Redraw(), 2);
    EXPECT_EQ(h.ui.events.back(), "busy off");

    // The next list that reads is no failure.
    h.ui.boxes.clear();
    startFill(h, app::kSchedules);
    populateSchedules(h.form);
    EXPECT_FALSE(h.form.listFailed);
    EXPECT_TRUE(h.ui.boxes.empty());
}

BackupFixture callHandlers() {
    BackupFixture db;
    db.table("CallHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("TextName")
        .text("DTMFAccessID")
        .integer("IsPrimary")
        .row({"{H1}", "operator", "Operator", "0", 0})
        .row({"{H2}", "jsmith_ch", "John Smith", "3001", 1})
        .row({"{H3}", "closed", nullptr, nullptr, 0});
    return db;
}

TEST(PopulateCallHandlers, ListsOnlyStandAloneHandlersInTableOrder) {
    FormHarness h;
    h.open(callHandlers());
    startFill(h, -1);  // no report: the handler report is not under test here
    populateCallHandlers(h.form);

    ASSERT_EQ(h.form.myGrid.Rows(), 3);
    EXPECT_EQ(h.row(0), (Row{"Alias", "Display Name", "Extension", "ObjectID"}));
    EXPECT_EQ(h.row(1), (Row{"operator", "Operator", "0", "{H1}"}));
    EXPECT_EQ(h.row(2), (Row{"closed", "", "", "{H3}"}));
    EXPECT_EQ(h.form.txtObjectCount, "2");
    EXPECT_EQ(h.hiddenColumns(), (Hidden{false, false, false, true}));
    EXPECT_TRUE(h.form.myGrid.isAutoSized(2));
    EXPECT_FALSE(h.form.myGrid.isAutoSized(3));
}

TEST(PopulateCallHandlers, NewerProductHidesTheAliasAndAnOlderFillShowsItAgain) {
    FormHarness h;
    h.open(callHandlers());
    h.newerProduct(1, 2, 1, 3, 1);
    startFill(h, -1);
    populateCallHandlers(h.form);
    EXPECT_EQ(h.hiddenColumns(), (Hidden{true, false, false, true}));

    h.olderProduct(7, 0, 29);
    startFill(h, -1);
    populateCallHandlers(h.form);
    EXPECT_EQ(h.hiddenColumns(), (Hidden{false, false, false, true}));
}

BackupFixture distributionLists(bool withLists) {
    BackupFixture db = namedObjects("PublicDistributionLists", {});
    if (withLists) {
        db.table("PublicDistributionLists")
            .row({"{L1}", "sales", "Sales Team", "5001"})
            .row({"{L2}", "allhands", "All Hands", nullptr});
    }
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{S1}", "asmith", "A Smith", "2001"});
    db.table("PublicDistributionListMembers")
        .text("DLObjectID")
        .text("SubscriberObjectID")
        .text("SubscriberAlias")
        .row({"{L1}", "{S1}", "asmith"});
    return db;
}

TEST(PopulateDistributionLists, ListsEveryListKeepsTheAliasAndShowsTheFirstListsMembers) {
    FormHarness h;
    h.open(distributionLists(true));
    h.newerProduct(1, 2, 1, 3, 1);  // the alias column stays for lists
    startFill(h, app::kDistributionLists);
    populateDistributionLists(h.form);

    ASSERT_EQ(h.form.myGrid.Rows(), 3);
    EXPECT_EQ(h.row(1), (Row{"sales", "Sales Team", "5001", "{L1}"}));
    EXPECT_EQ(h.row(2), (Row{"allhands", "All Hands", "", "{L2}"}));
    EXPECT_EQ(h.hiddenColumns(), (Hidden{false, false, false, true}));
    EXPECT_EQ(h.form.txtObjectCount, "2");
    // The first row's report, without a click, and only once: the selection changes of the
    // fill itself produced none (each report run turns the hourglass on once).
    EXPECT_EQ(h.form.txtInfo.Text,
              "ALIAS, DISPLAY_NAME, EXTENSION, SUBSCRIBER_OBJECTID\r\n"
              "asmith, A Smith, 2001, {S1}\r\n");
    EXPECT_EQ(h.eventCount("busy on"), 2);
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateDistributionLists, NoListsSaysSoWithCountZero) {
    FormHarness h;
    h.open(distributionLists(false));
    h.form.txtInfo.Text = "previous report";
    startFill(h, app::kDistributionLists);
    populateDistributionLists(h.form);

    EXPECT_EQ(h.form.txtInfo.Text, "No distribution lists found in the backup");
    EXPECT_EQ(h.form.txtObjectCount, "0");
    EXPECT_EQ(h.form.myGrid.Rows(), 1);
    EXPECT_EQ(h.form.myGrid.TextMatrix(0, 0), "");  // captions are not written
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.events.back(), "busy off");
}

TEST(PopulateDistributionLists, MissingTableShowsOneErrorBoxNamingTheProcedure) {
    FormHarness h;
    h.open(namedObjects("Interviewers", {}));
    h.form.txtObjectCount = "7";
    startFill(h, app::kDistributionLists);
    populateDistributionLists(h.form);

    // The failed query says so once; the reads that depend on it do not repeat it, and a
    // list that could not be read is not told as an empty one.
    ASSERT_EQ(h.ui.boxes.size(), 1u) << ::testing::PrintToString(h.ui.texts());
    EXPECT_EQ(h.ui.boxes[0].text.rfind("Error ", 0), 0u) << h.ui.boxes[0].text;
    EXPECT_NE(h.ui.boxes[0].text.find(kDlError), std::string::npos) << h.ui.boxes[0].text;
    EXPECT_EQ(h.ui.boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(h.ui.boxes[0].icon, ui::Icon::None);
    EXPECT_TRUE(h.form.listFailed);
    EXPECT_NE(h.form.txtInfo.Text, "No distribution lists found in the backup");
    EXPECT_EQ(h.form.txtObjectCount, "7");
    EXPECT_EQ(h.form.myGrid.Rows(), 1);
    EXPECT_EQ(h.ui.events.back(), "busy off");
}

// A Null key cannot be written into the grid: the list with error boxes says so, the user
// list passes over it silently; both keep the row.
TEST(ObjectLists, NullKeyFailsOnlyItsCell) {
    FormHarness h;
    BackupFixture db = subscribers();
    db.table("Subscribers").row({nullptr, "ghost", "G", "Host", "Ghost", "2999"});
    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({nullptr, "orphan", "Orphan", "5009"});
    h.open(db);
    startFill(h, -1);
    populateDistributionLists(h.form);
    EXPECT_EQ(h.row(1), (Row{"orphan", "Orphan", "5009", ""}));
    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_EQ(h.ui.boxes[0].text, std::string("Error 94 (Invalid use of Null)") + kDlError);

    h.ui.boxes.clear();
    startFill(h, -1);
    populateSubscribers(h.form);
    EXPECT_EQ(h.form.myGrid.Rows(), 5);
    EXPECT_EQ(h.form.myGrid.TextMatrix(2, 0), "ghost");
    EXPECT_EQ(h.form.myGrid.TextMatrix(2, 5), "");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateInterviewHandlers, NewerProductHidesTheAlias) {
    FormHarness h;
    h.open(namedObjects("Interviewers", {{"{I1}", "survey", "Survey", "7001"},
                                         {"{I2}", "feedback", nullptr, "7002"}}));
    h.newerProduct(7, 0, 1, 0, 20);
    startFill(h, -1);
    populateInterviewHandlers(h.form);

    ASSERT_EQ(h.form.myGrid.Rows(), 3);
    EXPECT_EQ(h.row(0), (Row{"Alias", "Display Name", "Extension", "ObjectID"}));
    EXPECT_EQ(h.row(2), (Row{"feedback", "", "7002", "{I2}"}));
    EXPECT_EQ(h.hiddenColumns(), (Hidden{true, false, false, true}));
    EXPECT_EQ(h.form.txtObjectCount, "2");
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateInterviewHandlers, EmptyTableReturnsEarlyLeavingTextAndHeaderAlone) {
    FormHarness h;
    h.open(namedObjects("Interviewers", {}));
    h.form.txtInfo.Text = "previous report";
    startFill(h, app::kInterviewHandlers);
    populateInterviewHandlers(h.form);

    EXPECT_EQ(h.form.txtObjectCount, "0");
    EXPECT_EQ(h.form.txtInfo.Text, "previous report");
    EXPECT_EQ(h.form.myGrid.Rows(), 1);
    EXPECT_EQ(h.form.myGrid.Cols(), 4);
    EXPECT_EQ(h.form.myGrid.TextMatrix(0, 1), "");
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.ui.events.back(), "busy off");
}

TEST(PopulateNameLookupHandlers, BelowRevision17ShowsOnlyTheCaptionsWithoutAQuery) {
    FormHarness h;
    h.open(namedObjects("Schedules", {}));  // no NameLookupHandlers table at all
    h.state.version.mdbVersion = 16;
    h.form.txtObjectCount = "12";
    h.form.txtInfo.Text = "previous report";
    startFill(h, app::kDirectoryHandlers);
    populateNameLookupHandlers(h.form);

    EXPECT_EQ(h.form.myGrid.Rows(), 1);
    EXPECT_EQ(h.row(0), (Row{"Alias", "Display Name", "Extension", "ObjectID"}));
    EXPECT_EQ(h.form.txtObjectCount, "0");
    EXPECT_EQ(h.form.txtInfo.Text, "previous report");  // LoadObjectList clears it first
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_TRUE(h.ui.events.empty());  // not even the hourglass
}

TEST(PopulateNameLookupHandlers, Revision17ListsHandlersAliasHiddenForNewerProduct) {
    FormHarness h;
    h.open(namedObjects("NameLookupHandlers", {{"{D1}", "dir", "Company Directory", "8000"}}));
    h.state.version.mdbVersion = 17;
    startFill(h, -1);
    populateNameLookupHandlers(h.form);
    EXPECT_EQ(h.row(1), (Row{"dir", "Company Directory", "8000", "{D1}"}));
    EXPECT_EQ(h.hiddenColumns(), (Hidden{false, false, false, true}));

    h.newerProduct(1, 2, 1, 3, 1);
    startFill(h, -1);
    populateNameLookupHandlers(h.form);
    EXPECT_EQ(h.hiddenColumns(), (Hidden{true, false, false, true}));
    EXPECT_EQ(h.form.txtObjectCount, "1");
}

TEST(PopulateNameLookupHandlers, MissingTableShowsTheStandardBox) {
    FormHarness h;
    h.open(namedObjects("Schedules", {}));
    startFill(h, app::kDirectoryHandlers);
    populateNameLookupHandlers(h.form);
    ASSERT_FALSE(h.ui.boxes.empty());
    EXPECT_NE(h.ui.boxes[0].text.find(" in procedure populateNameLookupHandlers of Form frmMain"),
              std::string::npos);
}

TEST(PopulateSchedules, ListsNamesWithTheKeyHiddenAndShowsTheFixedText) {
    FormHarness h;
    BackupFixture db;
    db.table("Schedules")
        .text("ObjectID")
        .text("DisplayName")
        .row({"{W1}", "Weekdays"})
        .row({"{W2}", "All Hours"});
    h.open(db);
    startFill(h, app::kSchedules);
    populateSchedules(h.form);

    ASSERT_EQ(h.form.myGrid.Rows(), 3);
    EXPECT_EQ(h.row(0), (Row{"Display Name", "ObjectID"}));
    EXPECT_EQ(h.row(1), (Row{"Weekdays", "{W1}"}));
    EXPECT_EQ(h.row(2), (Row{"All Hours", "{W2}"}));
    EXPECT_EQ(h.hiddenColumns(), (Hidden{false, true}));
    EXPECT_FALSE(h.form.myGrid.isAutoSized(0));
    EXPECT_EQ(h.form.txtInfo.Text, app::kScheduleText);
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(PopulateSchedules, EmptyTableIsNotAnError) {
    FormHarness h;
    BackupFixture db;
    db.table("Schedules").text("ObjectID").text("DisplayName");
    h.open(db);
    h.form.txtInfo.Text = "previous report";
    startFill(h, app::kSchedules);
    populateSchedules(h.form);
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_EQ(h.form.myGrid.Rows(), 1);
    EXPECT_EQ(h.form.txtObjectCount, "0");
    EXPECT_EQ(h.form.txtInfo.Text, "");
}

// Through the type list, as the window drives it: the list replaces the previous one.
TEST(ObjectLists, SwitchingTypesReplacesGridAndCount) {
    FormHarness h;
    BackupFixture db = distributionLists(true);
    db.table("Schedules").text("ObjectID").text("DisplayName").row({"{W1}", "Weekdays"});
    h.open(db);
    app::selectObjectType(h.form, app::kDistributionLists);
    EXPECT_EQ(h.form.myGrid.Rows(), 3);
    EXPECT_EQ(h.form.txtObjectCount, "2");

    app::selectObjectType(h.form, app::kSchedules);
    EXPECT_EQ(h.form.myGrid.Rows(), 2);
    EXPECT_EQ(h.form.myGrid.Cols(), 2);
    EXPECT_EQ(h.form.txtObjectCount, "1");
    EXPECT_EQ(h.form.txtInfo.Text, app::kScheduleText);

    // A click on another row shows that row's report once redrawing is on again.
    app::selectObjectType(h.form, app::kDistributionLists);
    h.form.myGrid.setRow(2);
    EXPECT_EQ(h.form.txtInfo.Text,
              "No members found in the backup for this public distribution list");
    EXPECT_TRUE(h.ui.boxes.empty());
}

}  // namespace
}  // namespace tdv::catalog
