// The subscriber detail report over small hand-made backups: whole report texts, the lines
// that disappear on Null values, the version and revision tests, and the message boxes.
#include "reports/subscriber_report.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "main_state/common_values.h"

namespace tdv::test {
namespace {

enum class Kind { Text, Integer, Long, YesNo };

struct Column {
    std::string name;
    Kind kind;
    Cell value;
};

using Row = std::vector<Cell>;

// One backup: the rich user {U1} with every related row, and a second user {U2} whose rows
// must never show in {U1}'s report. Tests change the cells and rows they are about.
struct BackupShape {
    std::vector<Column> user = {
        {"ObjectID", Kind::Text, "{U1}"},
        {"Alias", Kind::Text, "jsmith"},
        {"FirstName", Kind::Text, "John"},
        {"LastName", Kind::Text, "Smith"},
        {"DisplayName", Kind::Text, "John Smith"},
        {"DTMFAccessID", Kind::Text, "2001"},
        {"SMTPAddress", Kind::Text, "jsmith@example.com"},
        {"EMAILAddress", Kind::Text, "john.smith@corp.example.com"},
        {"CallHandlerObjectID", Kind::Text, "{H1}"},
        {"COSObjectID", Kind::Text, "{C1}"},
        {"ListInDirectory", Kind::YesNo, true},
        {"NewMailUser", Kind::Integer, 0},
        {"Language", Kind::Long, 33801},
        {"Volume", Kind::Integer, 75},
        {"Speed", Kind::Integer, 150},
        {"GreetByName", Kind::Integer, -1},
        {"SayTotalNew", Kind::Integer, -1},
        {"SayTotalNewVoice", Kind::Integer, 0},
        {"SayTotalNewEmail", Kind::Integer, 1},
        {"SayTotalNewFax", Kind::Integer, 0},
        {"SayTotalSaved", Kind::Integer, -1},
        {"SaySender", Kind::Integer, -1},
        {"SayMsgNumber", Kind::Integer, 0},
        {"SayTimestampBefore", Kind::Integer, 0},
        {"SayTimestampAfter", Kind::Integer, -1},
        {"UseBriefPrompts", Kind::Integer, -1},
        {"AddressMode", Kind::Integer, 2},
        {"BillingID", Kind::Text, "B-77"},
        {"PWCantChange", Kind::Integer, 0},
        {"PWMustChange", Kind::Integer, -1},
        {"PWDoesntExpire", Kind::Integer, 0},
        {"ExitAction", Kind::Integer, 2},
        {"ExitConversation", Kind::Text, "PHGreeting"},
        {"ExitOBjectID", Kind::Text, "{H2}"},
    };
    // The second user, in the same column order: only the cells named here differ.
    std::map<std::string, Cell> otherUser = {{"ObjectID", "{U2}"},
                                             {"Alias", "mjones"},
                                             {"DisplayName", "Mary Jones"},
                                             {"CallHandlerObjectID", "{H3}"}};
    bool duplicateUser = false;
    std::set<std::string> droppedUserColumns;
    std::set<std::string> droppedTables;

    // ObjectID, Alias, TextName, DTMFAccessID, IsPrimary, RecipientObjectID,
    // RecipientObjectIDType, ScheduleObjectName, Language, MaxMsgLen, EditMsg, SendUrgentMsg,
    // AfterMessageAction
    std::vector<Row> handlers = {
        {"{H1}", "jsmith", "John Smith", "2001", 1, "{U1}", 1, "Weekdays", 0, 300, 0, -1, 1},
        {"{H2}", "opening", "Opening Greeting", "0", 0, "{U1}", 1, "All Hours", 0, 60, -1, 0, 1},
        {"{H3}", "mjones", "Mary Jones", "2002", 1, "{U2}", 1, "Weekdays", 0, 300, 0, 0, 1},
    };
    std::vector<Row> proxies = {
        {"{U1}", "js@example.com"}, {"{U2}", "mary@example.com"}, {"{U1}", "john@example.com"}};
    std::vector<Row> alternates = {
        {"{U1}", "3001", "desk"}, {"{U2}", "3100", "mary"}, {"{U1}", "3002", "lab"}};
    std::vector<Row> classes = {{"{C1}", "Standard Users"}, {"{C2}", "Executives"}};
    std::vector<Row> mwis = {{"{U1}", "Desk lamp", "2001"}, {"{U2}", "Mary lamp", "2002"}};
    // ParentObjectID, Alias, DeviceActive, DevicePhoneNumber, DeviceSMTPAddress, DeviceType
    std::vector<Row> devices = {
        {"{U1}", "Work Email", 0, nullptr, "jsmith@work.example.com", 4},
        {"{U2}", "Mary Pager", -1, "5550000", nullptr, 1},
        {"{U1}", "Home Phone", -1, "5551234", nullptr, 2},
    };
    // ParentObjectID, ObjectID, Alias, DisplayName, DTMFAccessID
    std::vector<Row> lists = {{"{U1}", "{L1}", "team", "Team", "1"},
                              {"{U2}", "{L2}", "friends", "Friends", "1"}};
};

std::string writeBackup(const BackupShape& shape, const std::filesystem::path& dir) {
    BackupFixture db;
    auto wanted = [&](const std::string& table) { return !shape.droppedTables.count(table); };
    FixtureTable& users = db.table("Subscribers");
    Row first, second;
    for (const Column& c : shape.user) {
        if (shape.droppedUserColumns.count(c.name)) continue;
        switch (c.kind) {
            case Kind::Text:
                users.text(c.name);
                break;
            case Kind::Integer:
                users.integer(c.name);
                break;
            case Kind::Long:
                users.longInt(c.name);
                break;
            case Kind::YesNo:
                users.yesNo(c.name);
                break;
        }
        first.push_back(c.value);
        auto other = shape.otherUser.find(c.name);
        second.push_back(other != shape.otherUser.end() ? other->second : c.value);
    }
    users.row(first).row(second);
    if (shape.duplicateUser) users.row(first);

    FixtureTable& handlers = db.table("CallHandlers");
    handlers.text("ObjectID").text("Alias").text("TextName").text("DTMFAccessID");
    handlers.integer("IsPrimary").text("RecipientObjectID").integer("RecipientObjectIDType");
    handlers.text("ScheduleObjectName").longInt("Language").integer("MaxMsgLen");
    handlers.integer("EditMsg").integer("SendUrgentMsg").integer("AfterMessageAction");
    handlers.text("AdministratorObjectID").integer("AdministratorObjectIDType");
    handlers.text("AfterMessageConversation").text("AfterMessageObjectID");
    for (Row row : shape.handlers) {
        row.insert(row.end(), {nullptr, nullptr, nullptr, nullptr});
        handlers.row(row);
    }
    for (const char* sub : {"ContactRules", "MessagingRules", "MenuEntries"})
        db.table(sub).text("ParentObjectID").text("Alias").integer("Action");

    auto fill = [&](const std::string& name, std::vector<std::string> columns,
                    const std::vector<Row>& rows) {
        if (!wanted(name)) return;
        FixtureTable& t = db.table(name);
        for (const std::string& column : columns) {
            if (column == "DeviceActive" || column == "DeviceType" || column == "OBjectIDType")
                t.integer(column);
            else
                t.text(column);
        }
        for (const Row& row : rows) t.row(row);
    };
    fill("SMTPProxy", {"SubscriberObjectID", "SMTPAddress"}, shape.proxies);
    fill("DTMFAccessID", {"ParentObjectID", "DTMFAccessID", "Alias"}, shape.alternates);
    fill("COS", {"ObjectID", "DisplayName"}, shape.classes);
    fill("MWIDevices", {"ParentObjectID", "Alias", "Extension"}, shape.mwis);
    fill("NotificationDevices",
         {"ParentObjectID", "Alias", "DeviceActive", "DevicePhoneNumber", "DeviceSMTPAddress",
          "DeviceType"},
         shape.devices);
    fill("PrivateLists", {"ParentObjectID", "ObjectID", "Alias", "DisplayName", "DTMFAccessID"},
         shape.lists);
    return db.write(dir, "ZerithDBData_Backup_test.mdb");
}

Cell& cell(BackupShape& shape, const std::string& column) {
    for (Column& c : shape.user)
        if (c.name == column) return c.value;
    throw std::logic_error("no column " + column);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no CR LF>");
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines) text += l + "\r\n";
    return text;
}

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The lines from the first that starts with `from` up to (not including) the first after it
// that starts with `to`.
std::vector<std::string> section(const std::vector<std::string>& lines, const std::string& from,
                                 const std::string& to) {
    auto begin = std::find_if(lines.begin(), lines.end(),
                              [&](const std::string& l) { return l.rfind(from, 0) == 0; });
    if (begin == lines.end()) return {};
    auto end = std::find_if(begin + 1, lines.end(),
                            [&](const std::string& l) { return l.rfind(to, 0) == 0; });
    return {begin, end};
}

const std::string kClosedError =
    "(error):3704 (Operation is not allowed when the object is closed.) in procedure "
    "listHandlers_Click of Form frmMain";

class SubscriberReportTest : public ::testing::Test {
protected:
    // A newer-product 7.0 backup at schema revision 20 unless a test says otherwise.
    void SetUp() override {
        state.version.bIsQuorinBackup = true;
        state.version.serverMajor = 7;
        state.version.mdbVersion = 20;
        state.bIsQuorin7OrLater = true;
    }

    std::vector<std::string> report(const BackupShape& shape, const std::string& id = "{U1}") {
        const std::filesystem::path folder = dir.path() / std::to_string(files++);
        std::filesystem::create_directories(folder);
        const std::string path = writeBackup(shape, folder);
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + path;
        state.strMDBFilePath = path;
        reports::listHandlers_Click(form, id);
        return linesOf(form.txtInfo.Text);
    }

    TempDir dir;
    int files = 0;
    ScriptedUi ui;
    backup::AppState state;
    app::FrmMain form{ui, state};
};

TEST_F(SubscriberReportTest, RichNewerProductUserGivesTheWholeReport) {
    form.txtInfo.Text = "left over from the previous row\r\n";
    const auto lines = report(BackupShape{});
    const std::vector<std::string> expected = {
        "DisplayName= John Smith",
        "ObjectID={U1}",
        "Alias= jsmith",
        "Primary email address=jsmith@example.com",
        "Corporate email address=john.smith@corp.example.com",
        "Proxy SMTP Addresses:",
        "    js@example.com",
        "    john@example.com",
        "Primary Call Handler Alias= jsmith",
        "Primary Extension= 2001",
        "Alternate Extensions:",
        "    3001",
        "    3002",
        "COS= Standard Users",
        "List in directory= True",
        "First time enrollment= False",
        "Language= English (TDD/TTY)",
        "Volume=  75",
        "Speed=  150",
        "Greet subscriber by name= True",
        "Play message count total= True",
        "Play voice mail counts= False",
        "Play Email counts= True",
        "Play fax counts= False",
        "Play saved message counts= True",
        "Before playing message, play the senders name= True",
        "Before playing message, play message number= False",
        "Play timestamp before message= False",
        "Play timestamp after message= True",
        "Menu mode= Brief",
        "Default addressing mode= spell by first name then last name",
        "Billing ID= B-77",
        "Can't change their phone password= False",
        "Must change their phone password at next login= True",
        "Phone password does not expire= False",
        "MWI Devices:",
        "    Desk lamp",
        "    Extension =2001",
        "Notifcation Devices:",
        "     Home Phone:",
        "           Enabled",
        "           Phone number= 5551234",
        "     Work Email:",
        "           Disabled",
        "           SMTP address= jsmith@work.example.com",
        "Private lists:",
        "    Display Name=Team",
        "    Alias=team",
        "    DTMFAccessID=1",
        "Exit Action=Send caller to greeting for  call handler: Opening Greeting [PHGreeting:{H2}: "
        "2]",
        "****************** primary call handler data *********************",
        "TextName= John Smith",
        "ObjectID={H1}",
        "Alias= jsmith",
        "Extension= 2001",
        "Message recipient= subscriber with a display name=John Smith [{U1}: 1]",
        "ScheduleObjectName= Weekdays",
        "Language= <inherited>",
        "    No contact rules were not found for this call handler",
        "    No message rules were not found for this call handler",
        "    No menu entries found for this handler",
        "Maximum Message Length (seconds)=  300",
        "Callers can not edit messages",
        "Callers can mark messages urgent",
        "After Message Action=Hangup [:: 1]",
    };
    EXPECT_EQ(form.txtInfo.Text, joinLines(expected));
    EXPECT_TRUE(ui.boxes.empty()) << ui.texts().front();
}

TEST_F(SubscriberReportTest, UserWithoutRelatedRowsSaysSoInOrder) {
    BackupShape shape;
    shape.proxies.clear();
    shape.alternates.clear();
    shape.mwis.clear();
    shape.devices.clear();
    shape.lists.clear();
    const auto lines = report(shape);
    EXPECT_FALSE(hasLine(lines, "Proxy SMTP Addresses:"));
    const std::vector<std::string> from = section(lines, "Corporate email", "COS=");
    EXPECT_EQ(from, (std::vector<std::string>{"Corporate email address=john.smith@corp.example.com",
                                              "Primary Call Handler Alias= jsmith",
                                              "Primary Extension= 2001",
                                              "Alternate Extensions = (none)"}));
    EXPECT_EQ(section(lines, "MWI Devices:", "Exit Action="),
              (std::vector<std::string>{"MWI Devices:", "    <none>",
                                        "    No notification devices found for this user",
                                        "No private lists configured"}));
    EXPECT_TRUE(ui.boxes.empty());
}

// The e-mail lines between "Alias= " and the primary call handler.
std::vector<std::string> emailLines(const std::vector<std::string>& lines) {
    auto all = section(lines, "Alias= ", "Primary Call Handler");
    if (!all.empty()) all.erase(all.begin());
    return all;
}

TEST_F(SubscriberReportTest, EmailBlockFollowsProductVersionAndRevision) {
    const std::vector<std::string> primary = {"Primary email address=jsmith@example.com"};
    const std::vector<std::string> proxies = {"Proxy SMTP Addresses:", "    js@example.com",
                                              "    john@example.com"};
    auto plus = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    struct Case {
        bool quorin;
        int16_t major;
        int16_t revision;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {true, 7, 20,
         plus(plus(primary, {"Corporate email address=john.smith@corp.example.com"}), proxies)},
        {true, 7, 19, plus(primary, proxies)},
        {true, 7, 15, plus(primary, proxies)},
        {true, 7, 14, {}},  // below 15 and below 16: no e-mail lines at all
        {true, 6, 20, primary},
        {false, 8, 20, primary},
        {false, 8, 16, primary},
        {false, 8, 15, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "quorin " << c.quorin << " major " << c.major
                                          << " revision " << c.revision);
        state.version.bIsQuorinBackup = c.quorin;
        state.version.serverMajor = c.major;
        state.version.mdbVersion = c.revision;
        state.bIsQuorin7OrLater = c.quorin && c.major >= 7;
        EXPECT_EQ(emailLines(report(BackupShape{})), c.expected);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SubscriberReportTest, OlderFileWithoutNewerColumnsAndTablesReadsNothingOfThem) {
    state.version = {};
    state.version.serverMajor = 5;
    state.version.mdbVersion = 14;
    state.bIsQuorin7OrLater = false;
    BackupShape shape;
    shape.droppedUserColumns = {"EMAILAddress", "SMTPAddress"};
    shape.droppedTables = {"SMTPProxy"};
    const auto lines = report(shape);
    EXPECT_TRUE(emailLines(lines).empty());
    EXPECT_EQ(lines.back(), "After Message Action=Hangup [:: 1]");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SubscriberReportTest, NullValuesDropTheirLinesSilently) {
    BackupShape shape;
    shape.handlers[0][3] = nullptr;  // the primary handler's DTMFAccessID
    shape.alternates = {{"{U1}", nullptr, "desk"}, {"{U1}", "3002", "lab"}};
    shape.mwis = {{"{U1}", nullptr, "2001"}, {"{U1}", "Hall lamp", nullptr}};
    shape.devices = {{"{U1}", nullptr, nullptr, "5551234", nullptr, nullptr},
                     {"{U1}", "Pager", nullptr, nullptr, nullptr, 1}};
    for (const char* column :
         {"Language", "Volume", "Speed", "NewMailUser", "GreetByName", "UseBriefPrompts",
          "AddressMode", "BillingID", "PWMustChange", "ExitAction"})
        cell(shape, column) = nullptr;
    const auto lines = report(shape);

    EXPECT_EQ(section(lines, "Primary Call Handler", "COS="),
              (std::vector<std::string>{"Primary Call Handler Alias= jsmith",
                                        "Alternate Extensions:", "    3002"}));
    EXPECT_EQ(section(lines, "First time", "Play message count"),
              (std::vector<std::string>{"First time enrollment= False",
                                        "Language= (error) no language defined", "Volume= 50",
                                        "Speed= 100", "Greet subscriber by name= False"}));
    EXPECT_TRUE(hasLine(lines, "Menu mode= Full"));
    EXPECT_TRUE(hasLine(lines, "Default addressing mode= invalid value"));
    EXPECT_TRUE(hasLine(lines, "Billing ID= <empty>"));
    EXPECT_TRUE(hasLine(lines, "Must change their phone password at next login= False"));
    // A device list ordered by alias puts the Null alias first; its alias line is missing.
    EXPECT_EQ(section(lines, "MWI Devices:", "Private lists:"),
              (std::vector<std::string>{
                  "MWI Devices:", "    Extension =2001", "    Hall lamp",
                  "    Extension= <NULL - Illegal value>",
                  "Notifcation Devices:", "           Disabled", "           Phone number= 5551234",
                  "     Pager:", "           Disabled", "           Phone number= "}));
    // No exit action line: the report goes straight on to the handler's banner.
    const auto banner =
        std::find(lines.begin(), lines.end(),
                  "****************** primary call handler data *********************");
    ASSERT_NE(banner, lines.end());
    EXPECT_EQ(*(banner - 1), "    DTMFAccessID=1");
    EXPECT_TRUE(hasLine(lines, "Extension= <none>"));
    EXPECT_TRUE(ui.boxes.empty()) << ui.texts().front();
}

TEST_F(SubscriberReportTest, QueriesEmbeddingANullAreNotRunAndTheirReadsFail) {
    BackupShape shape;
    cell(shape, "CallHandlerObjectID") = nullptr;
    cell(shape, "COSObjectID") = nullptr;
    const auto lines = report(shape);
    EXPECT_EQ(
        section(lines, "Proxy SMTP", "List in directory"),
        (std::vector<std::string>{"Proxy SMTP Addresses:", "    js@example.com",
                                  "    john@example.com", "(error) no primary call handler found",
                                  "Alternate Extensions:", "    3001", "    3002", "COS= "}));
    // The handler's record count and close, then the class of service's close, fail on the
    // recordset that never opened; the embedded handler report is skipped without a word.
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{kClosedError, kClosedError, kClosedError}));
    EXPECT_EQ(lines.back(),
              "Exit Action=Send caller to greeting for  call handler: Opening "
              "Greeting [PHGreeting:{H2}: 2]");
}

TEST_F(SubscriberReportTest, ValueMappings) {
    struct Case {
        const char* column;
        Cell value;
        const char* line;
    };
    const std::vector<Case> cases = {
        {"Language", 0, "Language= (error) no language defined"},
        {"Volume", 50, "Volume=  50"},
        {"Volume", -5, "Volume= -5"},
        {"Speed", 0, "Speed=  0"},
        {"AddressMode", 0, "Default addressing mode= spell by last name then first name"},
        {"AddressMode", 1, "Default addressing mode= address by extension number"},
        {"AddressMode", 3, "Default addressing mode= invalid value"},
        {"BillingID", "", "Billing ID= "},
        {"ListInDirectory", false, "List in directory= False"},
        {"NewMailUser", 1, "First time enrollment= True"},
        {"UseBriefPrompts", 0, "Menu mode= Full"},
        {"PWDoesntExpire", -1, "Phone password does not expire= True"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        BackupShape shape;
        cell(shape, c.column) = c.value;
        EXPECT_TRUE(hasLine(report(shape), c.line));
    }
    BackupShape us;
    cell(us, "Language") = 1033;
    const std::string name = app::strLanguageName(1033);
    EXPECT_NE(name, "(error)");
    EXPECT_TRUE(hasLine(report(us), "Language= " + name));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SubscriberReportTest, PrimaryCallHandlerLookups) {
    BackupShape noAlias;
    noAlias.handlers[0][1] = "";
    auto lines = report(noAlias);
    EXPECT_EQ(section(lines, "Primary Call", "Alternate"),
              (std::vector<std::string>{"Primary Call Handler Text Name= John Smith",
                                        "Primary Extension= 2001"}));

    BackupShape twice;
    twice.handlers.push_back(twice.handlers[0]);
    lines = report(twice);
    EXPECT_EQ(section(lines, "(error)", "Alternate"),
              (std::vector<std::string>{"(error) more than one primary call handler found"}));
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{
                              "Error!  More than one match found for call handler ObjectID={H1}"}));

    ui.boxes.clear();
    BackupShape missing;
    missing.handlers.erase(missing.handlers.begin());
    lines = report(missing);
    EXPECT_TRUE(hasLine(lines, "(error) no primary call handler found"));
    // The embedded report shows its banner, then finds no handler.
    EXPECT_EQ(lines.back(), "****************** primary call handler data *********************");
    EXPECT_EQ(ui.texts(),
              (std::vector<std::string>{"Error!  Call handler not found in database!"}));
}

TEST_F(SubscriberReportTest, ClassOfServiceWithoutMatchEndsAfterTheEqualsSign) {
    BackupShape shape;
    shape.classes.clear();
    EXPECT_TRUE(hasLine(report(shape), "COS= "));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SubscriberReportTest, NotFoundAndDuplicateSubscribersShowAMessageOnly) {
    form.txtInfo.Text = "old\r\n";
    EXPECT_TRUE(report(BackupShape{}, "{NOBODY}").empty());
    EXPECT_EQ(ui.texts(), (std::vector<std::string>{"Error!  Subscriber not found in database!"}));
    EXPECT_EQ(ui.boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(ui.boxes[0].icon, ui::Icon::None);

    ui.boxes.clear();
    BackupShape shape;
    shape.duplicateUser = true;
    EXPECT_TRUE(report(shape).empty());
    EXPECT_EQ(ui.texts(),
              (std::vector<std::string>{"Error!  More than one match found for ObjectID={U1}"}));
}

TEST_F(SubscriberReportTest, UnreadableSubscribersTableShowsOneErrorAndWritesNothing) {
    BackupFixture db;
    db.table("COS").text("ObjectID").text("DisplayName");
    state.strMDBConnectString =
        std::string(backup::kConnectPrefix) + db.write(dir.path(), "ZerithDBData_Backup_x.mdb");
    reports::listHandlers_Click(form, "{U1}");
    EXPECT_EQ(form.txtInfo.Text, "");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.texts()[0].rfind("(error):", 0), 0u) << ui.texts()[0];
    EXPECT_NE(ui.texts()[0].find("in procedure listHandlers_Click of Form frmMain"),
              std::string::npos);
}

TEST_F(SubscriberReportTest, MissingTableShowsTheErrorAndTheReportGoesOn) {
    BackupShape shape;
    shape.droppedTables = {"MWIDevices"};
    const auto lines = report(shape);
    // The failed query leaves no records to count, so the section says it has none.
    EXPECT_EQ(section(lines, "MWI Devices:", "Notifcation"),
              (std::vector<std::string>{"MWI Devices:", "    <none>"}));
    EXPECT_EQ(lines.back(), "After Message Action=Hangup [:: 1]");
    ASSERT_EQ(ui.boxes.size(), 3u);  // the open, the record count, the close
    EXPECT_EQ(ui.texts()[0].rfind("(error):", 0), 0u) << ui.texts()[0];
    EXPECT_NE(ui.texts()[0].find("MWIDevices"), std::string::npos) << ui.texts()[0];
    EXPECT_EQ(ui.texts()[1], kClosedError);
    EXPECT_EQ(ui.texts()[2], kClosedError);
}

TEST_F(SubscriberReportTest, NewerProductTextIsRepairedFromUtf8) {
    BackupShape shape;
    cell(shape, "DisplayName") = "Ren\xC3\x83\xC2\xA9 Dupont";  // "René" stored as UTF-8 bytes
    const auto lines = report(shape);
    EXPECT_EQ(lines.front(), "DisplayName= Ren\xC3\xA9 Dupont");
}

}  // namespace
}  // namespace tdv::test
