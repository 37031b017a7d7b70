// The directory backup of the sample generator: written through the engine, checked page by
// page, and read back with the edge cases the viewer's reports and commands rely on.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jet/db_check.h"
#include "sample/directory_backup_support.h"

namespace tdv::sample::test {
namespace {

std::set<int64_t> numbersIn(const TableRows& t, const std::string& column) {
    std::set<int64_t> out;
    for (size_t r = 0; r < t.size(); ++r)
        if (auto n = number(t.at(r, column))) out.insert(*n);
    return out;
}

std::set<std::string> textsIn(const TableRows& t, const std::string& column) {
    std::set<std::string> out;
    for (size_t r = 0; r < t.size(); ++r)
        if (t.at(r, column).is<jet::Text>()) out.insert(t.text(r, column));
    return out;
}

size_t nullsIn(const TableRows& t, const std::string& column) {
    size_t n = 0;
    for (size_t r = 0; r < t.size(); ++r) n += t.at(r, column).isNull() ? 1 : 0;
    return n;
}

class DirectoryBackupVariants : public ::testing::TestWithParam<SampleVariant> {};

TEST_P(DirectoryBackupVariants, WrittenFilePassesTheFullCheck) {
    auto w = writeBackup(GetParam());
    const jet::CheckReport report = jet::checkDatabaseReport(*w->db);
    for (const auto& p : report.problems) ADD_FAILURE() << p.describe();
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
    EXPECT_GT(report.rows, 500u);
}

TEST_P(DirectoryBackupVariants, EveryTableTheViewerReadsExists) {
    auto w = writeBackup(GetParam());
    for (const char* name : {"Subscribers",
                             "DTMFAccessID",
                             "COS",
                             "MWIDevices",
                             "NotificationDevices",
                             "PrivateLists",
                             "PrivateListMembers",
                             "CallHandlers",
                             "ContactRules",
                             "MessagingRules",
                             "MenuEntries",
                             "PublicDistributionLists",
                             "PublicDistributionListMembers",
                             "Interviewers",
                             "InterviewQuestions",
                             "NameLookupHandlers",
                             "Schedules",
                             "ObjectMappingHistory",
                             "VersionInfo",
                             "MDBVersion"})
        EXPECT_TRUE(w->db->hasTable(name)) << name;
    EXPECT_EQ(w->db->hasTable("QRN_GreetingStreams"), GetParam().quorin);
    EXPECT_EQ(w->db->hasTable("QRN_DirectoryHandlerGreetings"), GetParam().quorin);
    EXPECT_EQ(w->db->hasTable("SMTPProxy"), GetParam().schemaRevision >= 15);
    TableRows mdbVersion(*w->db, "MDBVersion");
    ASSERT_EQ(mdbVersion.size(), 1u);
    EXPECT_EQ(number(mdbVersion.at(0, "Version")), GetParam().schemaRevision);
}

TEST_P(DirectoryBackupVariants, UsersListMatchesTheSubscribersTable) {
    auto w = writeBackup(GetParam());
    TableRows subs(*w->db, "Subscribers");
    ASSERT_EQ(subs.size(), w->backup.users.size());
    ASSERT_EQ(subs.size(), 40u);
    std::set<std::string> aliases;
    for (const SampleUser& u : w->backup.users) {
        EXPECT_EQ(u.objectId.size(), 38u);
        EXPECT_TRUE(aliases.insert(u.alias).second) << "duplicate alias " << u.alias;
        EXPECT_EQ(subs.where("ObjectID", u.objectId).size(), 1u) << u.objectId;
        if (!u.extension.empty()) {
            EXPECT_GE(u.extension.size(), 3u);
            EXPECT_LE(u.extension.size(), 5u);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sample, DirectoryBackupVariants,
                         ::testing::Values(olderProductVariant(), quorinVariant(),
                                           flagsAsIntegerVariant()),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });

TEST(DirectoryBackup, UsersHoldTheReportEdgeCases) {
    auto w = writeBackup(olderProductVariant());
    TableRows subs(*w->db, "Subscribers");
    EXPECT_GE(nullsIn(subs, "FirstName"), 1u);
    EXPECT_GE(nullsIn(subs, "LastName"), 1u);
    EXPECT_GE(nullsIn(subs, "Volume"), 1u);
    EXPECT_GE(nullsIn(subs, "Speed"), 1u);
    EXPECT_GE(nullsIn(subs, "ExitAction"), 1u);
    EXPECT_EQ(numbersIn(subs, "AddressMode"), (std::set<int64_t>{0, 1, 2, 3}));
    EXPECT_TRUE(numbersIn(subs, "Language").count(33801));
    EXPECT_TRUE(numbersIn(subs, "Language").count(0));
    EXPECT_TRUE(numbersIn(subs, "Volume").count(50));
    const auto exits = numbersIn(subs, "ExitAction");
    for (int64_t a : {-1, 0, 1, 2, 3, 4, 5, 6}) EXPECT_TRUE(exits.count(a)) << a;
    EXPECT_EQ(subs.where("Alias", "o'brien").size(), 1u);
    EXPECT_EQ(subs.where("DisplayName", "Seán O'Brien").size(), 1u);
    EXPECT_EQ(subs.where("DisplayName", "José Núñez").size(), 1u);
    EXPECT_EQ(subs.def().columns[*subs.def().findColumn("ListInDirectory")].type,
              jet::ColumnType::Boolean);
    EXPECT_TRUE(subs.hasColumn("EMAILAddress"));
    EXPECT_GE(nullsIn(subs, "SMTPAddress"), 1u);
    EXPECT_GE(nullsIn(subs, "DTMFAccessID"), 1u);

    // The bare user has nothing attached.
    const std::string bare = w->backup.users[5].objectId;
    for (const char* table : {"DTMFAccessID", "MWIDevices", "NotificationDevices", "PrivateLists"})
        EXPECT_TRUE(TableRows(*w->db, table).where("ParentObjectID", bare).empty()) << table;
    EXPECT_TRUE(TableRows(*w->db, "SMTPProxy").where("SubscriberObjectID", bare).empty());

    // One user's primary call handler is missing.
    TableRows handlers(*w->db, "CallHandlers");
    size_t missing = 0;
    for (size_t r = 0; r < subs.size(); ++r)
        missing += handlers.where("ObjectID", subs.text(r, "CallHandlerObjectID")).empty();
    EXPECT_EQ(missing, 1u);
}

TEST(DirectoryBackup, DevicesCoverPagerScrubAndReportCases) {
    auto w = writeBackup(olderProductVariant());
    TableRows devices(*w->db, "NotificationDevices");
    const auto names = textsIn(devices, "Alias");
    for (const char* n : {"Pager", "Pager 2", "pager 3", "PAGER 7"})
        EXPECT_TRUE(names.count(n)) << n;
    EXPECT_TRUE(numbersIn(devices, "DeviceType").count(4));
    EXPECT_EQ(numbersIn(devices, "DeviceActive"), (std::set<int64_t>{-1, 0}));
    const auto phones = textsIn(devices, "DevicePhoneNumber");
    EXPECT_TRUE(phones.count("123"));
    EXPECT_TRUE(phones.count("1234"));

    TableRows mwi(*w->db, "MWIDevices");
    EXPECT_GE(nullsIn(mwi, "Extension"), 1u);
    EXPECT_GE(nullsIn(mwi, "Alias"), 1u);

    TableRows members(*w->db, "PrivateListMembers");
    const auto kinds = numbersIn(members, "ObjectIDType");
    EXPECT_TRUE(kinds.count(1));
    EXPECT_TRUE(kinds.count(2));
    TableRows lists(*w->db, "PrivateLists");
    const auto rich = lists.where("ParentObjectID", w->backup.users[0].objectId);
    ASSERT_EQ(rich.size(), 2u);
    EXPECT_EQ(members.where("ParentObjectID", lists.text(rich[0], "ObjectID")).size(), 3u);
    EXPECT_EQ(members.where("ParentObjectID", lists.text(rich[1], "ObjectID")).size(), 2u);
}

TEST(DirectoryBackup, HandlersCoverEveryActionOwnerAndRuleSetting) {
    auto w = writeBackup(olderProductVariant());
    TableRows handlers(*w->db, "CallHandlers");
    // One primary handler per user but the one whose handler is missing, plus one no user owns.
    size_t primary = 0;
    for (size_t r = 0; r < handlers.size(); ++r)
        primary += number(handlers.at(r, "IsPrimary")) == 1;
    EXPECT_EQ(primary, 40u);
    EXPECT_EQ(numbersIn(handlers, "AdministratorObjectIDType"), (std::set<int64_t>{1, 2, 7, 102}));
    const auto recipients = numbersIn(handlers, "RecipientObjectIDType");
    for (int64_t t : {1, 2, 9, 102}) EXPECT_TRUE(recipients.count(t)) << t;
    EXPECT_GE(nullsIn(handlers, "RecipientObjectID"), 1u);
    EXPECT_GE(nullsIn(handlers, "Alias"), 1u);
    EXPECT_GE(nullsIn(handlers, "MaxMsgLen"), 1u);
    EXPECT_GE(nullsIn(handlers, "DTMFAccessID"), 1u);
    EXPECT_TRUE(textsIn(handlers, "DTMFAccessID").count("")) << "an empty extension";

    TableRows contacts(*w->db, "ContactRules");
    EXPECT_EQ(numbersIn(contacts, "XFerHoldingMode"), (std::set<int64_t>{0, 1, 2, 3}));
    EXPECT_EQ(numbersIn(contacts, "Action"), (std::set<int64_t>{0, 1}));
    EXPECT_EQ(numbersIn(contacts, "XFerType"), (std::set<int64_t>{0, 1}));
    EXPECT_GE(nullsIn(contacts, "TimeExpires"), 1u);
    EXPECT_GE(nullsIn(contacts, "Extension"), 1u);
    std::set<bool> expired;
    for (size_t r = 0; r < contacts.size(); ++r) {
        const auto& t = contacts.at(r, "TimeExpires");
        if (t.is<jet::DateTime>()) expired.insert(t.get<jet::DateTime>().days < 45000);
    }
    EXPECT_EQ(expired.size(), 2u) << "expired and future rules";

    TableRows greetings(*w->db, "MessagingRules");
    EXPECT_EQ(numbersIn(greetings, "PlayWhat"), (std::set<int64_t>{0, 1, 2, 3}));
    EXPECT_GE(nullsIn(greetings, "Reprompts"), 1u);

    // Menu keys and greetings hold every conversation name the action strings know, in
    // some letter case, plus an unknown one.
    std::set<std::string> conversations;
    for (const char* table : {"MenuEntries", "MessagingRules"}) {
        for (const auto& s : textsIn(TableRows(*w->db, table), "ConversationName")) {
            std::string upper = s;
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            conversations.insert(upper);
        }
    }
    for (const char* name : {"CHINTERVIEW",
                             "PHINTERVIEW",
                             "PHGREETING",
                             "PHTRANSFER",
                             "AD",
                             "SUBSIGNIN",
                             "GREETINGSADMINISTRATOR",
                             "BROADCASTMESSAGEADMINISTRATOR",
                             "AVCONVSUBSYSTEMTRANSFER",
                             "AVCONVSYSTEMTRANSFER",
                             "CONVHOTELCHECKEDOUT",
                             "CONVCVMMBOXRESET",
                             "AVCONVEASYSIGNIN",
                             "TRANSFERALTCONTACTNUMBER",
                             "REVERSETRAP",
                             "CONVUTILSLIVERECORD",
                             "SUBSYSTRANSFER",
                             "SYSTEMTRANSFER",
                             "SUBSIGNINARCHIVEDMAILBOX",
                             "EASYSIGNIN",
                             "FOO"})
        EXPECT_TRUE(conversations.count(name)) << name;
    TableRows menu(*w->db, "MenuEntries");
    const auto actions = numbersIn(menu, "Action");
    for (int64_t a : {-1, 0, 1, 2, 3, 4, 5, 6}) EXPECT_TRUE(actions.count(a)) << a;
    EXPECT_GE(nullsIn(menu, "Action"), 1u);
    // A greeting target that is a user's primary handler, and one that exists nowhere.
    bool toPrimary = false, toNothing = false;
    for (size_t r = 0; r < menu.size(); ++r) {
        if (!menu.at(r, "DestinationObjectID").is<jet::Text>()) continue;
        const auto hits = handlers.where("ObjectID", menu.text(r, "DestinationObjectID"));
        if (!hits.empty() && number(handlers.at(hits[0], "IsPrimary")) == 1) toPrimary = true;
        if (menu.text(r, "ConversationName") == "PHTRANSFER" && hits.empty()) toNothing = true;
    }
    EXPECT_TRUE(toPrimary);
    EXPECT_TRUE(toNothing);
}

TEST(DirectoryBackup, ListsInterviewsAndDirectoryHandlers) {
    auto w = writeBackup(olderProductVariant());
    TableRows lists(*w->db, "PublicDistributionLists");
    TableRows members(*w->db, "PublicDistributionListMembers");
    ASSERT_GE(lists.size(), 4u);
    EXPECT_EQ(members.where("DLObjectID", lists.text(0, "ObjectID")).size(), 40u);
    EXPECT_TRUE(members.where("DLObjectID", lists.text(2, "ObjectID")).empty());
    EXPECT_EQ(members.where("SubscriberObjectID", lists.text(1, "ObjectID")).size(), 1u)
        << "list 1 is a member of another list";
    EXPECT_GE(nullsIn(lists, "DTMFAccessID"), 1u);

    TableRows questions(*w->db, "InterviewQuestions");
    EXPECT_GE(nullsIn(questions, "MaxMsgLength"), 1u);
    EXPECT_GE(nullsIn(questions, "Stream"), 1u);
    size_t stubs = 0;
    for (size_t r = 0; r < questions.size(); ++r) {
        const auto& s = questions.at(r, "Stream");
        stubs += s.is<jet::Bytes>() && s.get<jet::Bytes>().size() <= 10;
    }
    EXPECT_GE(stubs, 1u);

    TableRows dh(*w->db, "NameLookupHandlers");
    EXPECT_GE(nullsIn(dh, "Alias"), 1u);
    EXPECT_GE(nullsIn(dh, "DTMFAccessID"), 1u);
    EXPECT_EQ(TableRows(*w->db, "Schedules").size(), 4u);
}

TEST(DirectoryBackup, VersionInfoCarriesTheVariantAndAnExportLog) {
    const SampleVariant v = olderProductVariant();
    auto w = writeBackup(v);
    TableRows info(*w->db, "VersionInfo");
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(number(info.at(0, "ZerithVersionMajor")), 5);
    EXPECT_EQ(number(info.at(0, "ZerithVersionBuild")), 2105);
    EXPECT_EQ(number(info.at(0, "AppVersionRev")), 31);
    EXPECT_EQ(number(info.at(0, "ZerithVersionbQRN")), 0);
    EXPECT_TRUE(info.at(0, "BackUpStartTime").is<jet::DateTime>());
    EXPECT_FALSE(info.text(0, "ZerithServerName").empty());
    const auto& zip = info.at(0, "LogFileZIP");
    ASSERT_TRUE(zip.is<jet::Bytes>());
    const jet::Bytes& bytes = zip.get<jet::Bytes>();
    ASSERT_GT(bytes.size(), 100u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), std::string("PK\x03\x04", 4));
}

TEST(DirectoryBackup, NewerProductStoresUtf8BytesAndGreetingsPerLanguage) {
    auto w = writeBackup(quorinVariant());
    TableRows subs(*w->db, "Subscribers");
    // "José Núñez" as its UTF-8 bytes read one per character in Windows-1252.
    EXPECT_EQ(subs.where("DisplayName",
                         "Jos\xC3\x83\xC2\xA9 N\xC3\x83\xC2\xBA\xC3\x83\xC2\xB1"
                         "ez")
                  .size(),
              1u);
    EXPECT_TRUE(subs.where("DisplayName", "José Núñez").empty());
    TableRows streams(*w->db, "QRN_GreetingStreams");
    const auto languages = numbersIn(streams, "LanguageCode");
    for (int64_t code : {1033, 33801, 1036, 12345}) EXPECT_TRUE(languages.count(code)) << code;
    EXPECT_GE(nullsIn(streams, "LanguageCode"), 1u);
    TableRows dhGreetings(*w->db, "QRN_DirectoryHandlerGreetings");
    EXPECT_EQ(numbersIn(dhGreetings, "LanguageCode"),
              (std::set<int64_t>{1033, 1036, 12345, 33801}));
    TableRows info(*w->db, "VersionInfo");
    EXPECT_EQ(number(info.at(0, "ZerithVersionbQRN")), -1);
    EXPECT_EQ(number(info.at(0, "ZerithVersionbIsCoRes")), -1);
}

TEST(DirectoryBackup, OldFilesHaveIntegerFlagsAndLackNewerColumns) {
    auto w = writeBackup(flagsAsIntegerVariant());
    TableRows devices(*w->db, "NotificationDevices");
    EXPECT_EQ(devices.def().columns[*devices.def().findColumn("DeviceActive")].type,
              jet::ColumnType::Integer);
    EXPECT_EQ(numbersIn(devices, "DeviceActive"), (std::set<int64_t>{-1, 0}));
    EXPECT_GE(nullsIn(devices, "DeviceActive"), 1u);
    TableRows subs(*w->db, "Subscribers");
    EXPECT_GE(nullsIn(subs, "GreetByName"), 1u);
    EXPECT_FALSE(subs.hasColumn("SMTPAddress"));
    EXPECT_FALSE(subs.hasColumn("EMAILAddress"));
    TableRows dh(*w->db, "NameLookupHandlers");
    EXPECT_FALSE(dh.hasColumn("DTMFAccessID"));
    EXPECT_FALSE(dh.hasColumn("VoiceEnabled"));
    TableRows info(*w->db, "VersionInfo");
    for (const char* c : {"ZerithVersionbIsCoRes", "ZerithServerName", "LogFileZIP", "UserName"})
        EXPECT_FALSE(info.hasColumn(c)) << c;
}

TEST(DirectoryBackup, RevisionGuardsFollowTheSchemaRevision) {
    SampleVariant v = olderProductVariant();
    v.schemaRevision = 17;
    auto w = writeBackup(v);
    TableRows subs(*w->db, "Subscribers");
    EXPECT_TRUE(subs.hasColumn("SMTPAddress"));
    EXPECT_FALSE(subs.hasColumn("EMAILAddress"));
    EXPECT_TRUE(TableRows(*w->db, "NameLookupHandlers").hasColumn("VoiceEnabled"));
    v.schemaRevision = 16;
    auto older = writeBackup(v);
    EXPECT_FALSE(TableRows(*older->db, "NameLookupHandlers").hasColumn("DTMFAccessID"));
}

TEST(DirectoryBackup, EmptyDirectoryHasNoRowsButItsSchemaRevision) {
    SampleVariant v = olderProductVariant();
    v.emptyDirectory = true;
    auto w = writeBackup(v);
    EXPECT_TRUE(w->backup.users.empty());
    for (const char* table : {"VersionInfo", "Subscribers", "CallHandlers", "COS",
                              "PublicDistributionLists", "Schedules", "ObjectMappingHistory"})
        EXPECT_EQ(TableRows(*w->db, table).size(), 0u) << table;
    EXPECT_EQ(TableRows(*w->db, "MDBVersion").size(), 1u);
    EXPECT_TRUE(jet::checkDatabase(*w->db).empty());
}

TEST(DirectoryBackup, SameSeedGivesTheSameFileAndAnotherSeedDoesNot) {
    const SampleVariant v = quorinVariant();
    SampleOptions options;
    options.seed = 7;
    const auto a = jet::buildDatabaseFile(buildDirectoryBackup(v, options).database);
    const auto b = jet::buildDatabaseFile(buildDirectoryBackup(v, options).database);
    EXPECT_TRUE(a == b);
    options.seed = 8;
    const DirectoryBackup other = buildDirectoryBackup(v, options);
    EXPECT_FALSE(jet::buildDatabaseFile(other.database) == a);
    options.seed = 7;
    EXPECT_NE(other.users.front().objectId,
              buildDirectoryBackup(v, options).users.front().objectId);
}

TEST(DirectoryBackup, SmallDirectoriesStillBuild) {
    for (int users : {0, 1, 3, 9}) {
        SampleOptions options;
        options.users = users;
        auto w = writeBackup(olderProductVariant(), options);
        EXPECT_EQ(TableRows(*w->db, "Subscribers").size(), static_cast<size_t>(users));
        EXPECT_TRUE(jet::checkDatabase(*w->db).empty()) << users << " users";
    }
}

}  // namespace
}  // namespace tdv::sample::test
