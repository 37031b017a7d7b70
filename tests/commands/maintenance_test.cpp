// The mapping memory clear and the pager scrub: refusals, counts, messages, and the file
// after the writes (engine check, and mdb-export reading the same rows as the engine).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "backup/safety_copy.h"
#include "catalog/form_harness.h"
#include "commands/maintenance.h"
#include "helpers/fault_fs.h"
#include "jet/db_check.h"
#include "jet/memory_file.h"

namespace tdv::test {
namespace {

using ::testing::MatchesRegex;
using ui::Answer;

constexpr const char* kCopyNote = "\nSafety copy of the file as it was before: ";

constexpr const char* kScrubQuestion =
    "This will remove all Pager 3 and higher devices in the backup and activate all Pager "
    "devices that have a valid phone number in them.  Make sure you have a backup of your MDB "
    "file before continuing.  Are you sure you want to do this?";
constexpr const char* kClearQuestion =
    "This will remove all mapping memory from the open backup database - all mappings for all "
    "objects for all Quorin servers will be removed.  Are you sure you want to delete this "
    "information?";

using Device = std::tuple<std::string, bool, std::string>;  // alias, active, phone

BackupFixture devices(const std::vector<Device>& rows) {
    BackupFixture db;
    auto& t = db.table("NotificationDevices")
                  .text("ObjectID")
                  .text("Alias")
                  .yesNo("DeviceActive")
                  .text("DevicePhoneNumber");
    int id = 0;
    for (const auto& [alias, active, phone] : rows) {
        t.row({"{" + std::to_string(++id) + "}", alias, active, phone});
    }
    db.table("ObjectMappingHistory")
        .text("SourceObjectID")
        .text("TargetServerName")
        .row({"{1}", "srv1"})
        .row({"{2}", "srv2"});
    return db;
}

const std::vector<Device> kUserDevices = {
    {"Pager", false, "1234"},    {"Pager 2", false, "5550002"}, {"pager 3", true, "5550003"},
    {"PAGER 7", false, "555"},   {"Pager", true, "5550009"},    {"Pager", false, " 123 "},
    {"pager", false, "5550010"}, {"Pager 8", false, "5550011"}, {"Pager 4", true, ""},
    {"Pager 5", false, "1"},     {"Pager 6", false, "2"},       {"Pager", false, "98765"},
    {"Phone", false, "5550012"},
};

std::vector<Device> readDevices(FormHarness& h) {
    auto rs = h.state.newRecordset();
    rs.Open("SELECT Alias, DeviceActive, DevicePhoneNumber FROM NotificationDevices",
            h.state.strMDBConnectString);
    std::vector<Device> out;
    for (; !rs.Eof(); rs.MoveNext()) {
        out.emplace_back(rs("Alias").Value().toText(), rs("DeviceActive").Value().get<bool>(),
                         rs("DevicePhoneNumber").Value().isNull()
                             ? std::string()
                             : rs("DevicePhoneNumber").Value().toText());
    }
    std::sort(out.begin(), out.end());
    return out;
}

long countRows(FormHarness& h, const std::string& table) {
    auto rs = h.state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    rs.Open("SELECT * FROM " + table, h.state.strMDBConnectString, db::adOpenKeyset);
    return rs.RecordCount();
}

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> checkProblems(const std::string& path) {
    auto db = jet::Database::open(path);
    std::vector<std::string> out;
    for (const jet::Problem& p : jet::checkDatabase(*db)) out.push_back(p.describe());
    return out;
}

// The safety copy a closing message names ("" when none).
std::string copyIn(const std::string& text) {
    const auto at = text.find(kCopyNote);
    return at == std::string::npos ? std::string()
                                   : text.substr(at + std::string(kCopyNote).size());
}

// The copy sits beside the file under its name, a time stamp and ".bak", holding the file
// as it was before the command.
void expectCopyOf(const std::string& path, const std::string& copy, const std::string& before) {
    EXPECT_THAT(copy, MatchesRegex(".*/ZerithDBData_Backup_test\\.mdb\\.[0-9]{8}-[0-9]{6}\\.bak"));
    EXPECT_EQ(std::filesystem::path(copy).parent_path(), std::filesystem::path(path).parent_path());
    EXPECT_TRUE(fileBytes(copy) == before) << copy;
}

struct PagerScrubTest : ::testing::Test {
    FormHarness h;
};

TEST_F(PagerScrubTest, DeletesAuxiliaryPagersAndActivatesUsablePagers) {
    h.open(devices(kUserDevices));
    const std::string before = fileBytes(h.state.strMDBFilePath);
    h.ui.answers = {Answer::Yes};
    commands::mnuStQuellisPagerScrub_Click(h.form);
    const auto texts = h.ui.texts();
    ASSERT_EQ(texts.size(), 2u);
    const std::string copy = copyIn(texts[1]);
    EXPECT_EQ(texts, (std::vector<std::string>{kScrubQuestion,
                                               "Operation completed.  5 auxiliary pager devices "
                                               "deleted and 2 pager devices activated." +
                                                   std::string(kCopyNote) + copy}));
    expectCopyOf(h.state.strMDBFilePath, copy, before);
    std::vector<Device> expected = {
        {"Pager", true, "1234"},   {"Pager 2", false, "5550002"}, {"Pager", true, "5550009"},
        {"Pager", false, " 123 "}, {"pager", false, "5550010"},   {"Pager 8", false, "5550011"},
        {"Pager", true, "98765"},  {"Phone", false, "5550012"},
    };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(readDevices(h), expected);
    EXPECT_EQ(h.ui.events.back(), "busy off");
    EXPECT_EQ(checkProblems(h.state.strMDBFilePath), std::vector<std::string>{});
}

TEST_F(PagerScrubTest, RefusesMessageBackupWithoutTouchingTheFile) {
    h.open(devices(kUserDevices));
    const std::string before = fileBytes(h.state.strMDBFilePath);
    h.state.bIsMessageBackup = true;
    h.ui.answers = {Answer::Yes};
    commands::mnuStQuellisPagerScrub_Click(h.form);
    EXPECT_EQ(h.ui.texts(),
              std::vector<std::string>{"This function is only valid if you are viewing a "
                                       "directory backup, not for message backup exploration."});
    EXPECT_EQ(fileBytes(h.state.strMDBFilePath), before);
}

TEST_F(PagerScrubTest, RefusesNewerProductWithoutTouchingTheFile) {
    h.open(devices(kUserDevices));
    const std::string before = fileBytes(h.state.strMDBFilePath);
    h.newerProduct(7, 0, 7, 0, 20);
    h.ui.answers = {Answer::Yes};
    commands::mnuStQuellisPagerScrub_Click(h.form);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"This function is only valid for Zerith "
                                                     "backups - the current directory backup is "
                                                     "from Quorin"});
    EXPECT_EQ(fileBytes(h.state.strMDBFilePath), before);
}

TEST_F(PagerScrubTest, DeclinedQuestionChangesNothing) {
    h.open(devices(kUserDevices));
    const std::string before = fileBytes(h.state.strMDBFilePath);
    commands::mnuStQuellisPagerScrub_Click(h.form);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{kScrubQuestion});
    EXPECT_EQ(fileBytes(h.state.strMDBFilePath), before);
}

TEST_F(PagerScrubTest, NoPagerDevices) {
    h.open(devices({{"Phone", false, "5550012"}, {"Home pager", false, "5550013"}}));
    h.ui.answers = {Answer::Yes};
    commands::mnuStQuellisPagerScrub_Click(h.form);
    EXPECT_EQ(h.ui.texts(), (std::vector<std::string>{kScrubQuestion,
                                                      "No pager devices found in the currently "
                                                      "open directory backup - no changes "
                                                      "made"}));
    EXPECT_EQ(h.ui.events.back(), "busy off");
}

TEST_F(PagerScrubTest, MissingTableShowsOwnErrorTextAndRestoresPointer) {
    BackupFixture db;
    db.table("Other").text("X").row({"a"});
    h.open(db);
    h.ui.answers = {Answer::Yes};
    commands::mnuStQuellisPagerScrub_Click(h.form);
    const auto texts = h.ui.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[1].rfind("Error in StQuellisPagerScrub:", 0), 0u) << texts[1];
    EXPECT_EQ(h.ui.events.back(), "busy off");
}

TEST(ClearMappingMemory, EmptiesTableOnlyAfterYes) {
    FormHarness h;
    h.open(devices(kUserDevices));
    commands::mnuClearMappingMemory_Click(h.form);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{kClearQuestion});
    EXPECT_EQ(countRows(h, "ObjectMappingHistory"), 2);

    const std::string before = fileBytes(h.state.strMDBFilePath);
    h.ui.answers = {Answer::Yes};
    commands::mnuClearMappingMemory_Click(h.form);
    const std::string copy = copyIn(h.ui.texts().back());
    EXPECT_EQ(h.ui.texts().back(), "Mapping history table cleared" + std::string(kCopyNote) + copy);
    expectCopyOf(h.state.strMDBFilePath, copy, before);
    EXPECT_EQ(countRows(h, "ObjectMappingHistory"), 0);
    EXPECT_EQ(countRows(h, "NotificationDevices"), static_cast<long>(kUserDevices.size()));
    EXPECT_EQ(checkProblems(h.state.strMDBFilePath), std::vector<std::string>{});
}

TEST(ClearMappingMemory, NoSafetyCopyWhenSwitchedOff) {
    FormHarness h;
    h.open(devices(kUserDevices));
    backup::setSafetyCopyEnabled(h.ui, false);
    h.ui.answers = {Answer::Yes};
    EXPECT_TRUE(commands::mnuClearMappingMemory_Click(h.form));
    EXPECT_EQ(h.ui.texts().back(), "Mapping history table cleared");
    EXPECT_EQ(countRows(h, "ObjectMappingHistory"), 0);
    for (const auto& e : std::filesystem::directory_iterator(h.dir.path()))
        EXPECT_FALSE(e.path().string().ends_with(".bak")) << e.path();
}

// A copy that cannot be written whole (the disk fills) is removed, said once, and the
// command changes nothing.
TEST(ClearMappingMemory, ACopyThatCannotBeWrittenChangesNothing) {
    FormHarness h;
    h.open(devices(kUserDevices));
    const std::string before = fileBytes(h.state.strMDBFilePath);
    jet::MemoryFileSystem disk;
    FaultFileSystem full(disk);
    full.failWrite(2, ENOSPC, true);
    h.ui.files = &full;
    h.ui.answers = {Answer::Yes};
    EXPECT_FALSE(commands::mnuClearMappingMemory_Click(h.form));
    const auto texts = h.ui.texts();
    ASSERT_EQ(texts.size(), 2u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0], kClearQuestion);
    const std::string told = "The safety copy of " + h.state.strMDBFilePath +
                             " could not be written (Disk full: '" + h.state.strMDBFilePath + ".";
    EXPECT_EQ(texts[1].rfind(told, 0), 0u) << texts[1];
    EXPECT_TRUE(texts[1].ends_with(".bak' could not be written); nothing was changed."))
        << texts[1];
    EXPECT_EQ(fileBytes(h.state.strMDBFilePath), before);
    for (const auto& name : disk.names()) ADD_FAILURE() << "left behind: " << name;
}

// A taken name (here a link to another file) is neither followed nor replaced: the copy
// takes the next free name.
TEST(SafetyCopies, LeaveATakenNameAlone) {
    FormHarness h;
    h.open(devices(kUserDevices));
    const auto when = std::chrono::system_clock::now();
    const std::string path = h.state.strMDBFilePath;
    const std::string taken = backup::safetyCopyName(path, when);
    const auto victim = h.dir.path() / "victim";
    std::ofstream(victim) << "keep";
    std::filesystem::create_symlink(victim, taken);
    backup::SafetyCopies copies(h.ui, [when] { return when; });
    copies.beforeChange(h.state.cache, h.state.strMDBConnectString);
    copies.beforeChange(h.state.cache, h.state.strMDBConnectString);  // once per run
    ASSERT_EQ(copies.copies().size(), 1u);
    EXPECT_EQ(copies.copies()[0], taken.substr(0, taken.size() - 4) + "-2.bak");
    EXPECT_TRUE(fileBytes(copies.copies()[0]) == fileBytes(path));
    EXPECT_TRUE(std::filesystem::is_symlink(taken));
    EXPECT_EQ(fileBytes(victim.string()), "keep");
}

TEST(ClearMappingMemory, MissingTableShowsOwnErrorText) {
    FormHarness h;
    BackupFixture db;
    db.table("Other").text("X").row({"a"});
    h.open(db);
    h.ui.answers = {Answer::Yes};
    commands::mnuClearMappingMemory_Click(h.form);
    const auto texts = h.ui.texts();
    // The failure, and no claim that the table was cleared.
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[1].rfind("Error in mnuClearMappingMemory:", 0), 0u) << texts[1];
}

// mdb-export reads the scrubbed and cleared file with the same rows as our engine.
TEST(MaintenanceOracle, MdbExportReadsSameRowsAfterScrubAndClear) {
    FormHarness h;
    h.open(devices(kUserDevices));
    h.ui.answers = {Answer::Yes, Answer::Yes};
    commands::mnuStQuellisPagerScrub_Click(h.form);
    commands::mnuClearMappingMemory_Click(h.form);

    const auto result = runCommand("mdb-export -d '|' -Q " + shellQuote(h.state.strMDBFilePath) +
                                   " NotificationDevices");
    ASSERT_EQ(result.status, 0) << result.err;
    std::vector<Device> theirs;
    std::istringstream lines(result.out);
    std::string line;
    std::getline(lines, line);  // header
    while (std::getline(lines, line)) {
        std::vector<std::string> f;
        std::stringstream ls(line);
        for (std::string cell; std::getline(ls, cell, '|');) f.push_back(cell);
        if (f.size() == 3) f.push_back("");  // empty trailing phone number
        ASSERT_EQ(f.size(), 4u) << line;
        theirs.emplace_back(f[1], f[2] == "1", f[3]);
    }
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(theirs, readDevices(h));

    const auto mappings = runCommand("mdb-export " + shellQuote(h.state.strMDBFilePath) +
                                     " ObjectMappingHistory | wc -l");
    EXPECT_EQ(mappings.out, "1\n");  // header only
    EXPECT_EQ(checkProblems(h.state.strMDBFilePath), std::vector<std::string>{});
}

}  // namespace
}  // namespace tdv::test
