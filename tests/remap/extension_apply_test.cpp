// "Apply Changes" of the alias and extension remap window over a hand-made backup and its
// message backup files: refusals, the warning, every table written, the message files (and
// the files left alone), the version gate, apostrophes, alternate extensions, the exact run
// log, and the file checks after every apply.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "db/transaction.h"
#include "helpers/fault_fs.h"
#include "main_state/common_values.h"
#include "remap/apply_rows.h"
#include "remap/frm_extension_remap.h"
#include "remap/message_files.h"
#include "remap/remap_apply_harness.h"
#include "remap/remap_preview.h"

namespace tdv::test {
namespace {

namespace fs = std::filesystem;
using ui::Answer;

constexpr const char* kU1 = "{A1000000-0000-0000-0000-000000000001}";
constexpr const char* kU2 = "{A1000000-0000-0000-0000-000000000002}";
constexpr const char* kU3 = "{A1000000-0000-0000-0000-000000000003}";
constexpr const char* kU4 = "{A1000000-0000-0000-0000-000000000004}";
constexpr const char* kC1 = "{C1000000-0000-0000-0000-000000000001}";
constexpr const char* kC2 = "{C1000000-0000-0000-0000-000000000002}";
constexpr const char* kC3 = "{C1000000-0000-0000-0000-000000000003}";
constexpr const char* kC4 = "{C1000000-0000-0000-0000-000000000004}";

constexpr const char* kNoRows =
    "You must first load some values from a CSV file to apply.  See help file for more details";
constexpr const char* kNoneTicked =
    "You must select at least one row in the grid to apply to the database.";
constexpr const char* kWarning =
    "WARNING! This will change alias and/or extension strings in the backup MDB file you "
    "currently have open and any message backup files found in the same direcotry.  It's strong "
    "suggested that you do the reamp operation on a COPY of your backup files so you always "
    "have your original backup data around.  Do you want to continue?  Yes to apply changes, "
    "no to exit.";
constexpr const char* kReview = "Updates complete: 1 rows applied, 0 failed - review log file now?";
constexpr const char* kHeader = "OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n";

// privateAliasSize: the size of PrivateListMembers.Alias (0: the default).
BackupFixture directory(uint32_t privateAliasSize = 0) {
    BackupFixture db;
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID")
        .text("CallHandlerObjectID")
        .text("SMTPAddress")
        .index("Alias", {"Alias"})
        .row({kU1, "jsmith", "John", "Smith", "John Smith", "1001", kC1, "js@example.com"})
        .row({kU2, "o'brien", "Pat", "O'Brien", "Pat O'Brien", "1002", kC2, "pob@example.com"})
        .row({kU3, "mjones", "Mary", nullptr, "Mary Jones", "1003", kC3, "mj@example.com"})
        .row({kU4, "bwhite", "Bob", "White", "Bob White", "1004", kC4, "bw@example.com"});
    db.table("DTMFAccessID")
        .text("ParentObjectID")
        .text("DTMFAccessID")
        .text("Alias")
        .row({kU1, "1001", "jsmith"})
        .row({kU2, "1002", "o'brien"})
        .row({kU3, "1003", "mjones"})
        .row({kU4, "1004", "bwhite"})
        .row({kU3, "2003", "mjones_alt"});
    db.table("CallHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("DTMFAccessID")
        .text("TextName")
        .yesNo("IsPrimary")
        .row({kC1, "jsmith_ch", "1001", "John Smith", true})
        .row({kC2, "obrien_ch", "1002", "Pat O'Brien", true})
        .row({kC3, "mjones_ch", "1003", "Mary Jones", true})
        .row({kC4, "bwhite_ch", "1004", "Bob White", true})
        .row({"{C9}", "opening", "0", "Opening Greeting", false});
    db.table("PublicDistributionLists")
        .text("Alias")
        .text("DTMFAccessID")
        .text("DisplayName")
        .row({"alllist", "5000", "All users"});
    db.table("Interviewers")
        .text("DTMFAccessID")
        .text("ObjectID")
        .text("DisplayName")
        .row({"6000", "{I1}", "Survey"});
    db.table("PublicDistributionListMembers")
        .text("ParentObjectID")
        .text("SubscriberObjectID")
        .text("SubscriberAlias")
        .row({"{L1}", kU1, "jsmith"})
        .row({"{L1}", kU2, "o'brien"})
        .row({"{L1}", kU4, "bwhite"});
    db.table("PrivateListMembers")
        .text("ParentObjectID")
        .text("Alias", privateAliasSize == 0 ? 255 : privateAliasSize)
        .row({kU4, "jsmith"})
        .row({kU4, "o'brien"})
        .row({kU1, "bwhite"});
    return db;
}

using Message = std::pair<Cell, Cell>;  // FromAlias, ToAlias

BackupFixture messages(const std::vector<Message>& rows, uint32_t aliasSize = 64) {
    BackupFixture db;
    auto& t = db.table("Messages")
                  .longInt("Index")
                  .text("FromAlias", aliasSize)
                  .text("ToAlias", aliasSize)
                  .text("Subject")
                  .index("FromAlias", {"FromAlias"})
                  .index("ToAlias", {"ToAlias"});
    int n = 0;
    for (const auto& [from, to] : rows) t.row({++n, from, to, "Message " + std::to_string(n)});
    return db;
}

bool isCountLine(const std::string& line) {
    return line.starts_with("    ") && line.find(" instances found for ") != std::string::npos;
}

std::vector<std::string> sortedCountRuns(std::vector<std::string> lines) {
    for (auto it = lines.begin(); it != lines.end();) {
        auto end = std::find_if_not(it, lines.end(), isCountLine);
        std::sort(it, end);
        it = end == it ? it + 1 : end;
    }
    return lines;
}

TEST(MessageBackupFileName, NeedsThePrefixAnywhereAndTheMdbEndingInAnyCase) {
    EXPECT_TRUE(remap::isMessageBackupFileName("ZerithMessage_Backup_jsmith.MDB"));
    EXPECT_TRUE(remap::isMessageBackupFileName("old-zerithmessage_backup_.mDb"));
    EXPECT_FALSE(remap::isMessageBackupFileName("ZerithMessage_Backup_jsmith.mdb.bak"));
    EXPECT_FALSE(remap::isMessageBackupFileName("ZerithMessageBackup_jsmith.mdb"));
    EXPECT_FALSE(remap::isMessageBackupFileName("ZerithDBData_Backup_x.mdb"));
    EXPECT_FALSE(remap::isMessageBackupFileName(".mdb"));
}

TEST(MessageBackupFileName, FoldersAreNotListed) {
    TempDir dir;
    fs::create_directories(dir.path() / "ZerithMessage_Backup_folder.mdb");
    writeText(dir.path() / "ZerithMessage_Backup_file.mdb", "x");
    EXPECT_EQ(remap::listMessageBackupFiles(dir.path().string()),
              std::vector<std::string>{(dir.path() / "ZerithMessage_Backup_file.mdb").string()});
    // Relative paths become absolute: the run log names each message backup by its full path.
    EXPECT_EQ(remap::folderOf("backup.mdb"), fs::current_path().string());
    EXPECT_EQ(remap::folderOf("sub/backup.mdb"), (fs::current_path() / "sub").string());
    EXPECT_EQ(remap::folderOf("/a/b/backup.mdb"), "/a/b");
}

struct ExtensionApplyTest : ::testing::Test {
    RemapHarness h;
    std::unique_ptr<remap::FrmExtensionRemap> form;
    std::string fileA, fileB, other, notMdb;

    void SetUp() override {
        h.open(directory());
        fileA = h.addFile(messages({{"jsmith", "bwhite"},
                                    {"bwhite", "JSmith"},
                                    {"o'brien", "jsmith"},
                                    {nullptr, "jsmith"}}),
                          "ZerithMessage_Backup_jsmith_20261201.MDB");
        fileB = h.addFile(messages({{"jsmith", "bwhite"}, {"mjones", "o'brien"}}),
                          "zerithmessage_backup_bwhite.mdb");
        other = h.addFile(messages({{"jsmith", "jsmith"}}), "Other.mdb");
        notMdb = h.addFile(messages({{"jsmith", "jsmith"}}), "ZerithMessage_Backup_old.bak");
        form = std::make_unique<remap::FrmExtensionRemap>(h.ui, h.state, h.logs);
        remap::InitForm(*form);
    }

    // Loads the CSV as the window's button does and forgets the messages of the load.
    void load(const std::string& lines) {
        h.ui.openPaths.push_back(h.writeCsv(std::string(kHeader) + lines));
        remap::cmdOpenCSVFile_Click(*form);
        h.ui.boxes.clear();
    }
    void tickAll() {
        form->chkSelectAll = true;
        remap::chkSelectAll_Click(*form);
    }
    void apply(Answer warning = Answer::Yes, Answer review = Answer::No) {
        h.ui.answers = {warning, review};
        remap::cmdRemap_Click(*form);
    }
    std::string path(const char* name) const { return (h.folder() / name).string(); }
    std::vector<std::vector<std::string>> messagesOf(const std::string& file) const {
        return queryRows(file, "SELECT FromAlias, ToAlias FROM Messages ORDER BY [Index]");
    }
    std::vector<std::vector<std::string>> subscribers() const {
        return queryRows(h.state.strMDBFilePath,
                         "SELECT Alias, DTMFAccessID FROM Subscribers ORDER BY ObjectID");
    }
    std::string countLine(int n, const char* column, const char* alias,
                          const std::string& file) const {
        return "    " + std::to_string(n) + " " + column + " instances found for " + alias +
               " in " + file;
    }
    void expectEveryFileClean() const {
        for (const auto& e : fs::directory_iterator(h.folder())) {
            SCOPED_TRACE(e.path().string());
            EXPECT_EQ(checkProblems(e.path().string()), std::vector<std::string>{});
        }
    }
    std::map<std::string, std::string> bytesOfEveryFile() const {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::directory_iterator(h.folder()))
            out[e.path().string()] = fileText(e.path().string());
        return out;
    }
};

TEST_F(ExtensionApplyTest, EmptyGridAndNothingTickedAreRefusedWithoutALog) {
    remap::cmdRemap_Click(*form);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{kNoRows});

    load("jsmith,,jsmith2,\r\n");
    ASSERT_EQ(form->myGrid.Rows(), 2);
    remap::cmdRemap_Click(*form);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{kNoneTicked});
    EXPECT_FALSE(form->closed);
    EXPECT_TRUE(h.runLogFiles().empty());
}

TEST_F(ExtensionApplyTest, NoToTheWarningWritesNothingAndCreatesNoRunLog) {
    load("jsmith,,jsmith2,\r\nbwhite,,,1104\r\n");
    tickAll();
    const auto before = bytesOfEveryFile();
    apply(Answer::No);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{kWarning});
    EXPECT_EQ(h.ui.boxes[0].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(bytesOfEveryFile(), before);
    EXPECT_TRUE(h.runLogFiles().empty());
    EXPECT_FALSE(form->closed);
}

TEST_F(ExtensionApplyTest, AliasChangeWritesTheExactRunLogAndEveryTable) {
    load("jsmith,,jsmith2,\r\n");
    tickAll();
    const std::string otherBefore = fileText(other);
    const std::string notMdbBefore = fileText(notMdb);
    apply();
    EXPECT_EQ(h.ui.texts(), (std::vector<std::string>{kWarning, kReview}));
    EXPECT_TRUE(h.ui.opened.empty());
    EXPECT_TRUE(form->closed);

    const std::string log = h.logs.runLogPath();
    EXPECT_EQ(fs::path(log).filename().string(), "tdv_CSVRemapLog_261206_11_45_23.TXT");
    // The files in the order the folder lists them.
    const auto files = remap::listMessageBackupFiles(h.folder().string());
    ASSERT_EQ(files.size(), 2u);
    std::string expected =
        std::string(64, '=') +
        "\r\nRunning tdv, version 1.2.3\r\nLocal time=12/6/2026 11:45:23 AM\r\n" +
        std::string(64, '=') + "\r\n\r\nSearch for '(error)' or '(warning)' for problems\r\n\r\n" +
        "********\r\nCSV File Line=jsmith,,jsmith2,\r\n" +
        "Action=Replace old alias with new alias for this user.\r\n";
    for (const std::string& f : files) {
        const bool a = f == fileA;
        expected += countLine(a ? 1 : 1, "fromAlias", "jsmith", f) + "\r\n";
        expected += countLine(a ? 3 : 0, "toAlias", "jsmith", f) + "\r\n";
    }
    expected += "    Subscribers Alias set to:jsmith2\r\n    Alias set to:jsmith2\r\n";
    EXPECT_EQ(fileText(log), expected);

    EXPECT_EQ(messagesOf(fileA), (std::vector<std::vector<std::string>>{{"jsmith2", "bwhite"},
                                                                        {"bwhite", "jsmith2"},
                                                                        {"o'brien", "jsmith2"},
                                                                        {"<null>", "jsmith2"}}));
    EXPECT_EQ(messagesOf(fileB), (std::vector<std::vector<std::string>>{{"jsmith2", "bwhite"},
                                                                        {"mjones", "o'brien"}}));
    EXPECT_EQ(fileText(other), otherBefore);
    EXPECT_EQ(fileText(notMdb), notMdbBefore);
    EXPECT_EQ(subscribers()[0], (std::vector<std::string>{"jsmith2", "1001"}));
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT SubscriberAlias FROM PublicDistributionListMembers WHERE "
                        "SubscriberObjectID='" +
                            std::string(kU1) + "'"),
              (std::vector<std::vector<std::string>>{{"jsmith2"}}));
    EXPECT_EQ(queryRows(h.state.strMDBFilePath, "SELECT Alias FROM PrivateListMembers"),
              (std::vector<std::vector<std::string>>{{"jsmith2"}, {"o'brien"}, {"bwhite"}}));
    // The extension tables are not touched by an alias change.
    EXPECT_EQ(
        queryRows(h.state.strMDBFilePath, "SELECT DTMFAccessID FROM CallHandlers WHERE ObjectID='" +
                                              std::string(kC1) + "'"),
        (std::vector<std::vector<std::string>>{{"1001"}}));
    expectEveryFileClean();
}

TEST_F(ExtensionApplyTest, YesToTheReviewQuestionOpensTheRunLog) {
    load("jsmith,,jsmith2,\r\n");
    tickAll();
    apply(Answer::Yes, Answer::Yes);
    EXPECT_EQ(h.ui.opened, std::vector<std::string>{h.logs.runLogPath()});
    EXPECT_TRUE(form->closed);
}

TEST_F(ExtensionApplyTest, ExtensionOnlyRowTouchesNoListMemberAndNoMessageFile) {
    load("bwhite,,,1104\r\n");
    tickAll();
    const std::string a = fileText(fileA), b = fileText(fileB);
    const auto privateBefore =
        queryRows(h.state.strMDBFilePath, "SELECT Alias FROM PrivateListMembers");
    const auto publicBefore = queryRows(
        h.state.strMDBFilePath, "SELECT SubscriberAlias FROM PublicDistributionListMembers");
    apply();
    EXPECT_EQ(logBody(h.logs.runLogPath()),
              (std::vector<std::string>{
                  "********", "CSV File Line=bwhite,,,1104",
                  "Action=Replace primary extension with new extension for this user.",
                  "    Subscribers primary extension set to:1104",
                  "    Subscribers primary call handler extension set to:1104"}));
    EXPECT_EQ(fileText(fileA), a);
    EXPECT_EQ(fileText(fileB), b);
    EXPECT_EQ(queryRows(h.state.strMDBFilePath, "SELECT Alias FROM PrivateListMembers"),
              privateBefore);
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT SubscriberAlias FROM PublicDistributionListMembers"),
              publicBefore);
    EXPECT_EQ(subscribers()[3], (std::vector<std::string>{"bwhite", "1104"}));
    EXPECT_EQ(
        queryRows(h.state.strMDBFilePath, "SELECT DTMFAccessID FROM CallHandlers WHERE ObjectID='" +
                                              std::string(kC4) + "'"),
        (std::vector<std::vector<std::string>>{{"1104"}}));
    // The primary extension's own DTMFAccessID row is not changed by a primary change.
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT DTMFAccessID FROM DTMFAccessID WHERE ParentObjectID='" +
                            std::string(kU4) + "'"),
              (std::vector<std::vector<std::string>>{{"1004"}}));
    expectEveryFileClean();
}

TEST_F(ExtensionApplyTest, RowsNotTickedAreUntouched) {
    load("jsmith,,jsmith2,\r\nbwhite,,,1104\r\nmjones,,mjones2,1103\r\n");
    ASSERT_EQ(form->myGrid.Rows(), 4);
    form->myGrid.setCellChecked(2, form->myGrid.ColIndex("Selected"), ui::GridModel::kChecked);
    apply();
    EXPECT_EQ(
        subscribers(),
        (std::vector<std::vector<std::string>>{
            {"jsmith", "1001"}, {"o'brien", "1002"}, {"mjones", "1003"}, {"bwhite", "1104"}}));
    expectEveryFileClean();
}

// Each row is checked against the backup as it is when the row is applied, before any file
// is touched: a user gone since the load, or a new alias another user took meanwhile (in
// another letter case), leaves every file as it was and says why.
TEST_F(ExtensionApplyTest, RowsAreCheckedAgainstTheBackupBeforeAnyFileIsTouched) {
    load("jsmith,,jsmith2,\r\nbwhite,,samealias,\r\n");
    tickAll();
    {
        db::Recordset rs;
        rs.Open("DELETE FROM Subscribers WHERE ObjectID='" + std::string(kU1) + "'",
                h.state.strMDBConnectString);
        rs.Open(
            "UPDATE Subscribers SET Alias='SameAlias' WHERE ObjectID='" + std::string(kU3) + "'",
            h.state.strMDBConnectString);
    }
    const auto before = bytesOfEveryFile();
    // The preview finds the same problems, changes no file and leaves no run log.
    const remap::RemapPreview preview = remap::previewExtensionRemap(*form);
    ASSERT_EQ(preview.rows.size(), 2u);
    EXPECT_FALSE(preview.rows[0].applies);
    EXPECT_EQ(preview.rows[0].problem,
              "could not find subscriber for this record by ObjectId=" + std::string(kU1));
    EXPECT_EQ(preview.rows[1].problem,
              "new alias conflicts with an existing user in the backup database:SameAlias");
    EXPECT_EQ(preview.rows[1].records.users, 0);
    EXPECT_TRUE(bytesOfEveryFile() == before);
    EXPECT_TRUE(h.runLogFiles().empty());
    EXPECT_TRUE(h.ui.boxes.empty());
    apply();
    EXPECT_EQ(
        logBody(h.logs.runLogPath()),
        (std::vector<std::string>{
            "********", "CSV File Line=jsmith,,jsmith2,",
            "Action=Replace old alias with new alias for this user.",
            "(error) could not find subscriber for this record by ObjectId=" + std::string(kU1),
            "********", "CSV File Line=bwhite,,samealias,",
            "Action=Replace old alias with new alias for this user.",
            "(error) new alias conflicts with an existing user in the backup "
            "database:SameAlias"}));
    EXPECT_EQ(bytesOfEveryFile(), before);
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{
                  kWarning, "Updates complete: 0 rows applied, 2 failed - review log file now?"}));
    EXPECT_TRUE(form->closed);
}

// The safety copies of an apply: the backup and the message backups the run changes (not
// the one it leaves alone), each equal to the file before; the run log and the closing
// question name them.
TEST_F(ExtensionApplyTest, SafetyCopiesHoldEveryChangedFileAsItWas) {
    backup::setSafetyCopyEnabled(h.ui, true);
    load("mjones,,mjones2,\r\n");  // mjones has messages in fileB only
    tickAll();
    const auto before = bytesOfEveryFile();
    apply();
    std::map<std::string, std::string> copies;  // original -> copy
    for (const auto& [path, bytes] : bytesOfEveryFile()) {
        const size_t stamp = path.size() - std::string(".YYYYMMDD-HHMMSS.bak").size();
        if (!path.ends_with(".bak") || path == notMdb) continue;
        EXPECT_THAT(path.substr(stamp), ::testing::MatchesRegex("\\.[0-9]{8}-[0-9]{6}\\.bak"));
        copies[path.substr(0, stamp)] = path;
        EXPECT_TRUE(bytes == before.at(path.substr(0, stamp))) << path;
    }
    ASSERT_EQ(copies.size(), 2u);
    const std::string backupCopy = copies.at(h.state.strMDBFilePath);
    const std::string messageCopy = copies.at(fileB);
    const std::string summary =
        "Safety copies of the files as they were before: " + backupCopy + ", " + messageCopy;
    EXPECT_EQ(h.ui.texts(), (std::vector<std::string>{kWarning, summary + "\n" + kReview}));
    const auto body = logBody(h.logs.runLogPath());
    EXPECT_THAT(body,
                ::testing::Contains("    Safety copy of " + fileB + " written: " + messageCopy));
    EXPECT_EQ(body.back(), summary);
    EXPECT_EQ(messagesOf(fileB)[1][0], "mjones2");
}

// A backup whose copy cannot be written is not changed at all: one message, no run log.
TEST_F(ExtensionApplyTest, ABackupThatCannotBeCopiedIsNotChanged) {
    backup::setSafetyCopyEnabled(h.ui, true);
    load("jsmith,,jsmith2,\r\n");
    tickAll();
    jet::MemoryFileSystem disk;
    FaultFileSystem full(disk);
    full.failWrite(2, ENOSPC, true);
    h.ui.files = &full;
    const auto before = bytesOfEveryFile();
    apply();
    const auto texts = h.ui.texts();
    ASSERT_EQ(texts.size(), 2u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0], kWarning);
    EXPECT_EQ(texts[1].rfind("The safety copy of " + h.state.strMDBFilePath +
                                 " could not be written (Disk full: '",
                             0),
              0u)
        << texts[1];
    EXPECT_EQ(bytesOfEveryFile(), before);
    EXPECT_TRUE(disk.names().empty());
    EXPECT_TRUE(h.runLogFiles().empty());
    EXPECT_FALSE(form->closed);
}

// A message backup whose copy cannot be written stops the apply before that file changes:
// its row is not applied, the row before it in the same save is, later rows are not tried,
// and the message says why once.
TEST_F(ExtensionApplyTest, AMessageBackupThatCannotBeCopiedStopsTheApply) {
    backup::setSafetyCopyEnabled(h.ui, true);
    load("bwhite,,,1104\r\njsmith,,jsmith2,\r\nmjones,,mjones2,\r\n");
    tickAll();
    jet::MemoryFileSystem disk;
    FaultFileSystem full(disk);
    h.ui.files = &full;
    const auto before = bytesOfEveryFile();
    // The backup's copy is created, written and named first; the first message backup's
    // copy cannot be created.
    full.failWrite(4, ENOSPC, true);
    apply();
    for (const std::string& file : {fileA, fileB})
        EXPECT_TRUE(bytesOfEveryFile()[file] == before.at(file));
    EXPECT_EQ(
        subscribers(),
        (std::vector<std::vector<std::string>>{
            {"jsmith", "1001"}, {"o'brien", "1002"}, {"mjones", "1003"}, {"bwhite", "1104"}}));
    ASSERT_EQ(disk.names().size(), 1u);
    const auto texts = h.ui.texts();
    ASSERT_EQ(texts.size(), 3u) << ::testing::PrintToString(texts);
    EXPECT_THAT(texts[1], ::testing::HasSubstr("' could not be created); nothing was changed."));
    EXPECT_EQ(texts[2], "Safety copy of the file as it was before: " + disk.names()[0] +
                            "\nUpdates complete: 1 rows applied, 1 failed - review log file now?");
    const auto body = logBody(h.logs.runLogPath());
    EXPECT_EQ(body.back(), "Safety copy of the file as it was before: " + disk.names()[0]);
    EXPECT_THAT(body, ::testing::Contains("    Subscribers primary extension set to:1104"));
    EXPECT_THAT(body, ::testing::Contains("CSV File Line=jsmith,,jsmith2,"));
    EXPECT_THAT(body, ::testing::Not(::testing::Contains("CSV File Line=mjones,,mjones2,")));
}

// Another program holding the backup for writing keeps the apply out (after its bounded
// wait): said once, every row logged as not applied, no file changed.
TEST_F(ExtensionApplyTest, AnotherWriterHoldingTheBackupIsRefusedOnceAndNothingChanges) {
    load("jsmith,,jsmith2,\r\nbwhite,,,1104\r\n");
    tickAll();
    db::DatabaseCache otherProgram;
    db::WriterHold held(otherProgram, h.state.strMDBConnectString);
    const auto before = bytesOfEveryFile();
    apply();
    const auto body = logBody(h.logs.runLogPath());
    ASSERT_EQ(body.size(), 8u);
    EXPECT_TRUE(body[3].starts_with(
        "(error) the backup could not be held for writing; nothing was changed for this record: "))
        << body[3];
    EXPECT_EQ(body[7], body[3]);
    EXPECT_EQ(bytesOfEveryFile(), before);
    ASSERT_EQ(h.ui.boxes.size(), 3u);
    EXPECT_EQ(h.ui.texts()[2], "Updates complete: 0 rows applied, 2 failed - review log file now?");
}

// A save that fails inside the backup (the new alias does not fit the private list's
// column) leaves every table of the backup and every message backup as it was for that row,
// is shown once, and the run log names the cause and the message backups already changed
// (none). The rows before and after it, which share its save, are saved without it.
TEST_F(ExtensionApplyTest, AFailedSaveLeavesTheBackupAsItWasAndSaysWhatChanged) {
    fs::remove(h.folder() / "ZerithDBData_Backup_test.mdb");
    h.open(directory(8));
    form = std::make_unique<remap::FrmExtensionRemap>(h.ui, h.state, h.logs);
    remap::InitForm(*form);
    load("mjones,,,1113\r\njsmith,,jsmith_renamed,1101\r\nbwhite,,,1104\r\n");
    tickAll();
    const std::string messagesBefore = fileText(fileA);
    const auto subscribersBefore = subscribers();
    const auto publicBefore = queryRows(
        h.state.strMDBFilePath, "SELECT SubscriberAlias FROM PublicDistributionListMembers");
    apply();
    const auto body = logBody(h.logs.runLogPath());
    const auto files = remap::listMessageBackupFiles(h.folder().string());
    ASSERT_EQ(files.size(), 2u);
    ASSERT_EQ(body.size(), 19u);
    EXPECT_EQ(body[3], "    Subscribers primary extension set to:1113");
    EXPECT_EQ(body[6], "CSV File Line=jsmith,,jsmith_renamed,1101");
    EXPECT_TRUE(body[12].starts_with("(error) the backup was not changed for this record: "))
        << body[12];
    // Its statements failed before its message backups were changed: none was.
    EXPECT_EQ(body[13], "(error) message backups already changed for this record: none");
    EXPECT_EQ(fileText(fileA), messagesBefore);
    EXPECT_EQ(body[15], "CSV File Line=bwhite,,,1104");
    EXPECT_EQ(std::count_if(body.begin(), body.end(),
                            [](const std::string& l) { return l.find("set to") != l.npos; }),
              4);
    EXPECT_EQ(subscribers()[0], subscribersBefore[0]);
    EXPECT_EQ(subscribers()[2], (std::vector<std::string>{"mjones", "1113"}));
    EXPECT_EQ(subscribers()[3], (std::vector<std::string>{"bwhite", "1104"}));
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT SubscriberAlias FROM PublicDistributionListMembers"),
              publicBefore);
    EXPECT_EQ(
        queryRows(h.state.strMDBFilePath, "SELECT DTMFAccessID FROM CallHandlers WHERE ObjectID='" +
                                              std::string(kC1) + "'"),
        (std::vector<std::vector<std::string>>{{"1001"}}));
    // One box for the failed save, then the completion with its counts.
    ASSERT_EQ(h.ui.boxes.size(), 3u);
    EXPECT_EQ(h.ui.texts()[2], "Updates complete: 2 rows applied, 1 failed - review log file now?");
    expectEveryFileClean();
}

// Two rows whose renames share the save of a message backup that cannot take one of the new
// aliases (its columns are shorter): the other row is saved there on its own and applied;
// the failing one is logged with "(error)" naming the file and the message backup it
// already changed, and the backup keeps its old alias.
TEST_F(ExtensionApplyTest, AMessageBackupFailingOneRowOfASaveFailsThatRowAlone) {
    fs::remove(fileB);
    fileB = h.addFile(messages({{"jsmith", "bwhite"}, {"mjones", "o'brien"}}, 8),
                      "zerithmessage_backup_bwhite.mdb");
    load("jsmith,,jsmith_renamed,\r\nmjones,,mjones2,\r\n");
    tickAll();
    apply();
    const auto body = logBody(h.logs.runLogPath());
    const auto has = [&](const std::string& line) {
        return std::find(body.begin(), body.end(), line) != body.end();
    };
    EXPECT_TRUE(std::any_of(body.begin(), body.end(), [&](const std::string& l) {
        return l.starts_with("(error) the backup was not changed for this record: message backup " +
                             fileB + " could not be changed");
    }));
    EXPECT_TRUE(has("(error) message backups already changed for this record: " + fileA));
    EXPECT_TRUE(has("    Subscribers Alias set to:mjones2"));
    EXPECT_FALSE(has("    Subscribers Alias set to:jsmith_renamed"));
    EXPECT_EQ(subscribers()[0], (std::vector<std::string>{"jsmith", "1001"}));
    EXPECT_EQ(subscribers()[2], (std::vector<std::string>{"mjones2", "1003"}));
    EXPECT_EQ(messagesOf(fileB), (std::vector<std::vector<std::string>>{{"jsmith", "bwhite"},
                                                                        {"mjones2", "o'brien"}}));
    EXPECT_EQ(h.ui.texts().back(),
              "Updates complete: 1 rows applied, 1 failed - review log file now?");
    expectEveryFileClean();
}

// Values reach SQL quoted so that every value round-trips: an alias with two apostrophes in
// a row, and one written to break out of its literal.
TEST_F(ExtensionApplyTest, EveryAliasRoundTripsThroughTheStatements) {
    const auto renameBrien = [&](const std::string& from, const std::string& to) {
        form = std::make_unique<remap::FrmExtensionRemap>(h.ui, h.state, h.logs);
        remap::InitForm(*form);
        load(from + ",," + to + ",\r\n");
        ASSERT_EQ(form->myGrid.Rows(), 2) << from << " -> " << to;
        tickAll();
        apply();
    };
    renameBrien("o'brien", "le''dwards");
    renameBrien("le''dwards", "x'OR'a'='a");
    EXPECT_EQ(
        subscribers(),
        (std::vector<std::vector<std::string>>{
            {"jsmith", "1001"}, {"x'OR'a'='a", "1002"}, {"mjones", "1003"}, {"bwhite", "1004"}}));
    EXPECT_EQ(queryRows(h.state.strMDBFilePath, "SELECT Alias FROM PrivateListMembers"),
              (std::vector<std::vector<std::string>>{{"jsmith"}, {"x'OR'a'='a"}, {"bwhite"}}));
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT SubscriberAlias FROM PublicDistributionListMembers"),
              (std::vector<std::vector<std::string>>{{"jsmith"}, {"x'OR'a'='a"}, {"bwhite"}}));
    EXPECT_EQ(messagesOf(fileA)[2], (std::vector<std::string>{"x'OR'a'='a", "jsmith"}));
    EXPECT_EQ(messagesOf(fileB), (std::vector<std::vector<std::string>>{{"jsmith", "bwhite"},
                                                                        {"mjones", "x'OR'a'='a"}}));
    expectEveryFileClean();
}

// A newer-product 7.x backup keeps each UTF-8 byte as one character: a non-ASCII alias is
// found in that form everywhere, and a new one is stored so that it reads back unchanged.
TEST_F(ExtensionApplyTest, Utf8BackupsAreMatchedAndWrittenInTheirStoredForm) {
    const std::string stored = remap::storedText("j\xC3\xB6rg", true);
    ASSERT_EQ(stored, "j\xC3\x83\xC2\xB6rg");
    for (const char* sql : {"UPDATE Subscribers SET Alias='@' WHERE Alias='jsmith'",
                            "UPDATE PrivateListMembers SET Alias='@' WHERE Alias='jsmith'",
                            "UPDATE PublicDistributionListMembers SET SubscriberAlias='@' WHERE "
                            "SubscriberAlias='jsmith'"}) {
        std::string text = sql;
        text.replace(text.find('@'), 1, stored);
        db::Recordset rs;
        rs.Open(text, h.state.strMDBConnectString);
    }
    for (const std::string& file : {fileA, fileB}) {
        db::Recordset rs;
        rs.Open("UPDATE Messages SET FromAlias='" + stored + "' WHERE FromAlias='jsmith'",
                std::string(backup::kConnectPrefix) + file);
        rs.Open("UPDATE Messages SET ToAlias='" + stored + "' WHERE ToAlias='jsmith'",
                std::string(backup::kConnectPrefix) + file);
    }
    h.newerProduct(7, 1, 0, 20);
    h.state.bIsQuorin7OrLater = true;
    form = std::make_unique<remap::FrmExtensionRemap>(h.ui, h.state, h.logs);
    remap::InitForm(*form);
    load("j\xC3\xB6rg,,pw\xC3\xA9iss,\r\n");
    ASSERT_EQ(form->myGrid.Rows(), 2);
    tickAll();
    apply();
    const std::string newStored = remap::storedText("pw\xC3\xA9iss", true);
    EXPECT_EQ(subscribers()[0][0], newStored);
    EXPECT_EQ(app::strRepairUTF8Text(newStored), "pw\xC3\xA9iss");
    EXPECT_EQ(queryRows(h.state.strMDBFilePath, "SELECT Alias FROM PrivateListMembers")[0],
              std::vector<std::string>{newStored});
    EXPECT_EQ(messagesOf(fileA)[1], (std::vector<std::string>{"bwhite", newStored}));
    EXPECT_EQ(messagesOf(fileB)[0], (std::vector<std::string>{newStored, "bwhite"}));
    const auto body = logBody(h.logs.runLogPath());
    // The run log is Windows-1252 text: the alias as the user wrote it.
    EXPECT_NE(std::find(body.begin(), body.end(), countLine(3, "toAlias", "j\xF6rg", fileA)),
              body.end());
    expectEveryFileClean();
}

TEST_F(ExtensionApplyTest, ToolOlderThanTheGateChangesTheBackupButNoMessageFile) {
    h.tool(1, 0, 19);
    load("jsmith,,jsmith2,\r\n");
    tickAll();
    const std::string a = fileText(fileA), b = fileText(fileB);
    apply();
    EXPECT_EQ(logBody(h.logs.runLogPath()),
              (std::vector<std::string>{"********", "CSV File Line=jsmith,,jsmith2,",
                                        "Action=Replace old alias with new alias for this user.",
                                        "    Subscribers Alias set to:jsmith2",
                                        "    Alias set to:jsmith2"}));
    EXPECT_EQ(fileText(fileA), a);
    EXPECT_EQ(fileText(fileB), b);
    EXPECT_EQ(subscribers()[0][0], "jsmith2");
    expectEveryFileClean();
}

struct GateCase {
    bool quorin;
    int16_t serverMajor;
    int16_t major, minor, rev;
    bool changesMessageFiles;
};

class MessageFileGateTest : public ExtensionApplyTest,
                            public ::testing::WithParamInterface<GateCase> {};

TEST_P(MessageFileGateTest, ToolVersionDecidesWhetherMessageFilesChange) {
    const GateCase c = GetParam();
    if (c.quorin) {
        h.newerProduct(c.serverMajor, c.major, c.minor, c.rev);
    } else {
        h.olderProduct(c.major, c.minor, c.rev);
    }
    h.logs.GenerateNewLogFileName();
    h.logs.startLogging();
    remap::UpdateAliasForMessageFiles(*form, "jsmith", "jsmith2");
    h.logs.stopLogging();
    EXPECT_EQ(logBody(h.logs.runLogPath()).size(), c.changesMessageFiles ? 4u : 0u);
    EXPECT_EQ(messagesOf(fileB)[0][0], c.changesMessageFiles ? "jsmith2" : "jsmith");
    EXPECT_TRUE(h.ui.boxes.empty());
    expectEveryFileClean();
}

INSTANTIATE_TEST_SUITE_P(
    Versions, MessageFileGateTest,
    ::testing::Values(GateCase{false, 5, 1, 0, 20, true}, GateCase{false, 5, 1, 0, 19, false},
                      GateCase{false, 5, 0, 9, 99, false}, GateCase{true, 7, 1, 0, 20, true},
                      GateCase{true, 7, 1, 0, 19, false}, GateCase{true, 6, 1, 3, 5, true},
                      GateCase{true, 6, 1, 3, 4, false}, GateCase{true, 6, 1, 0, 20, false}));

TEST_F(ExtensionApplyTest, AliasWithApostropheIsFoundEverywhereAndStoredWithIt) {
    load("o'brien,,o'neil,\r\n");
    tickAll();
    apply();
    EXPECT_EQ(subscribers()[1][0], "o'neil");
    EXPECT_EQ(queryRows(h.state.strMDBFilePath, "SELECT Alias FROM PrivateListMembers")[1],
              std::vector<std::string>{"o'neil"});
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT SubscriberAlias FROM PublicDistributionListMembers")[1],
              std::vector<std::string>{"o'neil"});
    EXPECT_EQ(messagesOf(fileA)[2], (std::vector<std::string>{"o'neil", "jsmith"}));
    EXPECT_EQ(messagesOf(fileB)[1], (std::vector<std::string>{"mjones", "o'neil"}));
    const auto body = logBody(h.logs.runLogPath());
    EXPECT_NE(std::find(body.begin(), body.end(), countLine(1, "fromAlias", "o'brien", fileA)),
              body.end());
    EXPECT_NE(std::find(body.begin(), body.end(), countLine(1, "toAlias", "o'brien", fileB)),
              body.end());
    EXPECT_TRUE(h.ui.texts() == (std::vector<std::string>{kWarning, kReview}));
    expectEveryFileClean();
}

TEST_F(ExtensionApplyTest, AlternateExtensionIsUpdatedInItsOwnRow) {
    load(",2003,,2103\r\n");
    ASSERT_EQ(form->myGrid.Rows(), 2);
    tickAll();
    apply();
    EXPECT_EQ(logBody(h.logs.runLogPath()),
              (std::vector<std::string>{
                  "********", "CSV File Line=,2003,,2103",
                  "Action=Replace old alternate extension with new extension for this user.",
                  "    Alternate extension updated to:2103"}));
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT DTMFAccessID FROM DTMFAccessID WHERE Alias='mjones_alt'"),
              (std::vector<std::vector<std::string>>{{"2103"}}));
    EXPECT_EQ(subscribers()[2], (std::vector<std::string>{"mjones", "1003"}));
    expectEveryFileClean();
}

TEST_F(ExtensionApplyTest, AlternateExtensionNotFoundExactlyOnceGivesOnlyTheErrorLine) {
    load(",2003,,2103\r\n");
    tickAll();
    {
        db::Recordset rs;
        rs.Open("SELECT * FROM DTMFAccessID", h.state.strMDBConnectString, db::adOpenKeyset,
                db::adLockOptimistic);
        rs.MoveFirst();
        rs("ParentObjectID").setValue(db::Variant::fromString(kU3));
        rs("Alias").setValue(db::Variant::fromString("mjones_alt"));
        rs.Update();
        rs.Close();
    }
    apply();
    EXPECT_EQ(logBody(h.logs.runLogPath()),
              (std::vector<std::string>{
                  "********", "CSV File Line=,2003,,2103",
                  "Action=Replace old alternate extension with new extension for this user.",
                  "(error) could not find alternate extension in MDB for this record."}));
    EXPECT_EQ(queryRows(h.state.strMDBFilePath,
                        "SELECT DTMFAccessID FROM DTMFAccessID WHERE Alias='mjones_alt' ORDER BY "
                        "DTMFAccessID"),
              (std::vector<std::vector<std::string>>{{"1001"}, {"2003"}}));
    EXPECT_TRUE(form->closed);
    expectEveryFileClean();
}

TEST_F(ExtensionApplyTest, ShortObjectIdAndMissingNewValuesAreLoggedAsErrors) {
    ui::GridModel& g = form->myGrid;
    const auto add = [&](const std::string& id, const std::string& newAlias) {
        g.AddItem();
        const int r = g.Rows() - 1;
        g.setTextMatrix(r, g.ColIndex("ObjectID"), id);
        g.setTextMatrix(r, g.ColIndex("NewAlias"), newAlias);
        g.setTextMatrix(r, g.ColIndex("OriginalLine"), "line" + std::to_string(r));
        g.setCellChecked(r, g.ColIndex("Selected"), ui::GridModel::kChecked);
    };
    add("{short}", "x");
    add(kU1, "");
    apply();
    EXPECT_EQ(logBody(h.logs.runLogPath()),
              (std::vector<std::string>{
                  "********", "CSV File Line=line1",
                  "Action=", "(error) invalid subscriber objectID in table for the record:{short}",
                  "********", "CSV File Line=line2",
                  "Action=", "(error) invalid record - no new alias or new extension value set"}));
    EXPECT_EQ(subscribers()[0][0], "jsmith");
    expectEveryFileClean();
}

// Renames A->B then B->C, case variants and an alias held by no user: the counts kept in
// memory give the same files and the same log as the four statements per file and row.
TEST_F(ExtensionApplyTest, CountedRenamesMatchThePlainAlgorithm) {
    const auto fill = [](remap::FrmExtensionRemap& f) {
        ui::GridModel& g = f.myGrid;
        const std::vector<std::vector<std::string>> rows = {{kU1, "jsmith", "bob"},
                                                            {kU1, "BOB", "carl"},
                                                            {kU4, "bwhite", "JSMITH"},
                                                            {kU2, "o'brien", "o'neil"},
                                                            {kU3, "nobody", "x"}};
        for (const auto& row : rows) {
            g.AddItem();
            const int r = g.Rows() - 1;
            g.setTextMatrix(r, g.ColIndex("ObjectID"), row[0]);
            g.setTextMatrix(r, g.ColIndex("OldAlias"), row[1]);
            g.setTextMatrix(r, g.ColIndex("NewAlias"), row[2]);
            g.setCellChecked(r, g.ColIndex("Selected"), ui::GridModel::kChecked);
        }
    };
    // A second copy of the folder for the plain algorithm.
    RemapHarness plain;
    fs::create_directories(plain.folder());
    for (const auto& e : fs::directory_iterator(h.folder()))
        fs::copy_file(e.path(), plain.folder() / e.path().filename());
    plain.state.strMDBFilePath = (plain.folder() / "ZerithDBData_Backup_test.mdb").string();
    plain.state.strMDBConnectString =
        std::string(backup::kConnectPrefix) + plain.state.strMDBFilePath;
    plain.state.version = h.state.version;
    remap::FrmExtensionRemap plainForm(plain.ui, plain.state, plain.logs);

    fill(*form);
    fill(plainForm);
    h.ui.answers = {Answer::Yes, Answer::No};
    plain.ui.answers = {Answer::Yes, Answer::No};
    remap::MessageBackupFiles counted(h.folder().string());
    remap::MessageBackupFiles perRow(plain.folder().string(),
                                     remap::MessageBackupFiles::Strategy::PerRowQueries);
    remap::cmdRemap_Click(*form, counted);
    remap::cmdRemap_Click(plainForm, perRow);
    // Each file is opened once for the whole apply, against four times per file and row.
    EXPECT_EQ(counted.fileOpens(), 2);
    // The row whose old alias is no longer the user's is refused before any file is opened.
    EXPECT_EQ(perRow.fileOpens(), 4 * 2 * 4);

    std::vector<std::string> countedLog = logBody(h.logs.runLogPath());
    std::vector<std::string> plainLog = logBody(plain.logs.runLogPath());
    for (auto& line : plainLog) {
        const auto at = line.find(plain.folder().string());
        if (at != std::string::npos)
            line.replace(at, plain.folder().string().size(), h.folder().string());
    }
    // The two folders may list their files in different orders; each row's count lines are
    // compared as a set.
    EXPECT_EQ(sortedCountRuns(countedLog), sortedCountRuns(plainLog));
    for (const char* name :
         {"ZerithMessage_Backup_jsmith_20261201.MDB", "zerithmessage_backup_bwhite.mdb"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(messagesOf(path(name)), messagesOf((plain.folder() / name).string()));
    }
    EXPECT_EQ(messagesOf(fileA),
              (std::vector<std::vector<std::string>>{
                  {"carl", "JSMITH"}, {"JSMITH", "carl"}, {"o'neil", "carl"}, {"<null>", "carl"}}));
    EXPECT_EQ(h.ui.boxes.size(), 2u);
    expectEveryFileClean();
}

// A file that is no database is reported once per apply, logged with its path and left
// out of every alias change; both strategies say the same.
TEST_F(ExtensionApplyTest, AnUnreadableMessageFileIsReportedOnceAndLeftOut) {
    const std::string broken = (h.folder() / "ZerithMessage_Backup_broken.mdb").string();
    writeText(broken, std::string(5000, 'x'));
    const auto run = [&](remap::MessageBackupFiles::Strategy strategy) {
        h.ui.boxes.clear();
        h.logs.GenerateNewLogFileName();
        h.logs.startLogging();
        remap::MessageBackupFiles files(h.folder().string(), strategy);
        remap::UpdateAliasForMessageFiles(*form, "nobody", "somebody", files);
        remap::UpdateAliasForMessageFiles(*form, "nobody2", "somebody2", files);
        h.logs.stopLogging();
        return std::make_pair(h.ui.texts(), logBody(h.logs.runLogPath()));
    };
    const auto counted = run(remap::MessageBackupFiles::Strategy::Counts);
    const auto plain = run(remap::MessageBackupFiles::Strategy::PerRowQueries);
    EXPECT_EQ(counted, plain);
    ASSERT_EQ(counted.first.size(), 1u);
    EXPECT_TRUE(
        counted.first[0].starts_with("(error) in UpdateAliasForMessageFiles on frmExtensionRemap:"))
        << counted.first[0];
    // One error line, then two count lines per readable file and alias change.
    ASSERT_EQ(counted.second.size(), 9u);
    EXPECT_EQ(std::count_if(counted.second.begin(), counted.second.end(),
                            [&](const std::string& l) {
                                return l.starts_with("(error) message backup") &&
                                       l.find(broken) != l.npos;
                            }),
              1);
}

// mdb-export reads the renamed aliases in the backup and in the message backup files.
TEST_F(ExtensionApplyTest, OracleMdbExportReadsTheChangedValues) {
    if (runCommand("command -v mdb-export").status != 0) GTEST_SKIP() << "mdb-export missing";
    load("jsmith,,jsmith2,1101\r\n");
    tickAll();
    apply();
    const auto subscribersCsv =
        runCommand("mdb-export " + shellQuote(h.state.strMDBFilePath) + " Subscribers");
    ASSERT_EQ(subscribersCsv.status, 0) << subscribersCsv.err;
    EXPECT_NE(subscribersCsv.out.find("\"jsmith2\",\"John\",\"Smith\",\"John Smith\",\"1101\""),
              std::string::npos)
        << subscribersCsv.out;
    const auto handlers =
        runCommand("mdb-export " + shellQuote(h.state.strMDBFilePath) + " CallHandlers");
    EXPECT_NE(handlers.out.find("\"jsmith_ch\",\"1101\""), std::string::npos) << handlers.out;
    const auto messagesCsv = runCommand("mdb-export " + shellQuote(fileB) + " Messages");
    ASSERT_EQ(messagesCsv.status, 0) << messagesCsv.err;
    EXPECT_NE(messagesCsv.out.find("\"jsmith2\",\"bwhite\""), std::string::npos) << messagesCsv.out;
    EXPECT_EQ(messagesCsv.out.find("\"jsmith\""), std::string::npos) << messagesCsv.out;
}

}  // namespace
}  // namespace tdv::test
