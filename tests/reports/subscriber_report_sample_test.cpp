// The subscriber report over whole sample backups of several products and schema revisions:
// every user's report has every line in its place, no message box, and the counts of its
// lookups agree with the tables.
#include <gtest/gtest.h>

#include "backup/backed_up_version.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "main_state/common_values.h"
#include "reports/private_list_dump.h"
#include "reports/subscriber_report.h"
#include "sample/sample.h"

namespace tdv::test {
namespace {

// Positions of the sample's edge-case users, in the order the sample writes them.
enum : size_t {
    kRichUser = 0,
    kNonAsciiUser = 4,
    kBareUser = 5,
    kNoPrimaryHandler = 6,
    kInvalidAddressMode = 8,
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

long countLines(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// The lines every report holds, in this order, whatever the user's settings.
const std::vector<std::string> kFixedPrefixes = {
    "DisplayName= ",
    "ObjectID=",
    "Alias= ",
    "COS= ",
    "List in directory= ",
    "First time enrollment= ",
    "Language= ",
    "Volume= ",
    "Speed= ",
    "Greet subscriber by name= ",
    "Play message count total= ",
    "Play voice mail counts= ",
    "Play Email counts= ",
    "Play fax counts= ",
    "Play saved message counts= ",
    "Before playing message, play the senders name= ",
    "Before playing message, play message number= ",
    "Play timestamp before message= ",
    "Play timestamp after message= ",
    "Menu mode= ",
    "Default addressing mode= ",
    "Billing ID= ",
    "Can't change their phone password= ",
    "Must change their phone password at next login= ",
    "Phone password does not expire= ",
    "MWI Devices:",
    "****************** primary call handler data *********************",
    "TextName= ",
};

class SampleReportTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const sample::SampleVariant* variant = sample::findVariant(GetParam());
        ASSERT_NE(variant, nullptr);
        sample::SampleOptions options;
        options.users = 16;
        options.messages = 2;
        const auto files = sample::writeSample((dir.path() / "s").string(), *variant, options);
        state.strMDBFilePath = files.directoryBackup;
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + files.directoryBackup;
        backup::BackedUpAppVersion(ui, state);
        backup::BackedUpZerithVer(ui, state);
        backup::LoadMDBVersion(ui, state);
        state.bIsQuorin7OrLater =
            backup::bIsBackedUpZerithVersionGreaterThanOrEqualTo(ui, state, 7, 0, 0, 0, true);
        ASSERT_TRUE(ui.boxes.empty());
    }

    // The values of one column for every row of a query.
    std::vector<std::string> column(const std::string& sql, const std::string& name) {
        db::Recordset rs = state.newRecordset();
        rs.setCursorLocation(db::adUseClient);
        rs.Open(sql, state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
        std::vector<std::string> values;
        for (; !rs.Eof(); rs.MoveNext()) values.push_back(app::strGetFieldText(rs, name, state));
        return values;
    }
    long count(const std::string& table, const std::string& parentColumn, const std::string& id) {
        return static_cast<long>(
            column("SELECT * FROM " + table + " WHERE " + parentColumn + "='" + id + "'",
                   parentColumn)
                .size());
    }

    TempDir dir;
    ScriptedUi ui;
    backup::AppState state;
    app::FrmMain form{ui, state};
};

TEST_P(SampleReportTest, EveryUsersReportIsCompleteAndAgreesWithTheTables) {
    const std::vector<std::string> ids = column("SELECT ObjectID FROM Subscribers", "ObjectID");
    ASSERT_GE(ids.size(), 10u);
    const bool newer = state.bIsQuorin7OrLater && state.version.mdbVersion >= 15;
    for (size_t i = 0; i < ids.size(); ++i) {
        const std::string& id = ids[i];
        SCOPED_TRACE(id);
        ui.boxes.clear();
        reports::listHandlers_Click(form, id);
        const auto lines = linesOf(form.txtInfo.Text);
        if (i == kNoPrimaryHandler) {
            // The embedded report shows its banner and finds no handler.
            EXPECT_EQ(ui.texts(),
                      std::vector<std::string>{"Error!  Call handler not found in database!"});
            EXPECT_EQ(countLines(lines, "(error) no primary call handler found"), 1);
            EXPECT_EQ(lines.back(), kFixedPrefixes[kFixedPrefixes.size() - 2]);
            continue;
        }
        ASSERT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
        if (i == kBareUser) {
            EXPECT_EQ(countLines(lines, "Volume= 50"), 1);
            EXPECT_EQ(countLines(lines, "Speed= 100"), 1);
            EXPECT_EQ(countLines(lines, "Alternate Extensions = (none)"), 1);
            EXPECT_EQ(countLines(lines, "No private lists configured"), 1);
            EXPECT_NE(std::find(lines.begin(), lines.end(), "COS= "), lines.end());
        }
        if (i == kInvalidAddressMode) {
            EXPECT_EQ(countLines(lines, "Default addressing mode= invalid value"), 1);
        }
        if (i == kNonAsciiUser) {
            EXPECT_EQ(lines[0],
                      "DisplayName= Jos\xC3\xA9 N\xC3\xBA\xC3\xB1"
                      "ez");
        }
        if (i == kRichUser) {
            EXPECT_EQ(countLines(lines, "Private lists:"), 1);
            EXPECT_EQ(countLines(lines, "Notifcation Devices:"), 1);
            EXPECT_EQ(countLines(lines, "Exit Action="), 1);
        }

        auto at = lines.begin();
        for (const std::string& prefix : kFixedPrefixes) {
            at = std::find_if(at, lines.end(),
                              [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
            ASSERT_NE(at, lines.end()) << "missing or out of order: " << prefix;
        }
        EXPECT_EQ(lines[1], "ObjectID=" + id);

        EXPECT_EQ(countLines(lines, "Primary email address="),
                  newer || state.version.mdbVersion >= 16 ? 1 : 0);
        EXPECT_EQ(countLines(lines, "Corporate email address="),
                  newer && state.version.mdbVersion >= 20 ? 1 : 0);
        const long proxies = newer ? count("SMTPProxy", "SubscriberObjectID", id) : 0;
        EXPECT_EQ(countLines(lines, "Proxy SMTP Addresses:"), proxies > 0 ? 1 : 0);

        const long alternates = count("DTMFAccessID", "ParentObjectID", id);
        EXPECT_EQ(countLines(lines, "Alternate Extensions:"), alternates > 0 ? 1 : 0);
        EXPECT_EQ(countLines(lines, "Alternate Extensions = (none)"), alternates > 0 ? 0 : 1);
        EXPECT_EQ(countLines(lines, "    Display Name="),
                  count("PrivateLists", "ParentObjectID", id));
        const long devices = count("NotificationDevices", "ParentObjectID", id);
        const auto notify = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l == "Notifcation Devices:" ||
                   l == "    No notification devices found for this user";
        });
        const auto lists = std::find_if(notify, lines.end(), [](const std::string& l) {
            return l == "Private lists:" || l == "No private lists configured";
        });
        ASSERT_NE(lists, lines.end());
        EXPECT_EQ(std::count_if(notify, lists,
                                [](const std::string& l) {
                                    return l == "           Enabled" || l == "           Disabled";
                                }),
                  devices);
        EXPECT_EQ(*notify == "Notifcation Devices:", devices > 0);
    }
}

TEST_P(SampleReportTest, PrivateListDumpHasOneLinePerMember) {
    const std::vector<std::string> ids = column("SELECT ObjectID FROM Subscribers", "ObjectID");
    long usersWithMembers = 0;
    for (const std::string& id : ids) {
        SCOPED_TRACE(id);
        long members = 0;
        for (const std::string& list : column(
                 "SELECT ObjectID FROM PrivateLists WHERE ParentObjectID='" + id + "'", "ObjectID"))
            members += count("PrivateListMembers", "ParentObjectID", list);
        reports::DumpPrivateLists(form, id, "someone");
        ASSERT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
        const auto lines = linesOf(form.txtInfo.Text);
        EXPECT_EQ(static_cast<long>(lines.size()), members);
        EXPECT_EQ(countLines(lines, "someone, "), members);
        EXPECT_EQ(ui.clipboard, form.txtInfo.Text);
        if (members > 0) ++usersWithMembers;
    }
    EXPECT_GT(usersWithMembers, 0);
}

INSTANTIATE_TEST_SUITE_P(Variants, SampleReportTest,
                         ::testing::Values("zerith-rev20", "zerith-rev16", "zerith-rev14",
                                           "quorin1-tool135", "quorin7-tool1020"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

}  // namespace
}  // namespace tdv::test
