// The user export: header forms by schema revision, data lines, the Null rule, the save
// dialog and the overwrite question; a failure of the file (missing folder, full disk) ends
// it with one box and no file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <cerrno>

#include "catalog/form_harness.h"
#include "commands/user_export.h"
#include "helpers/fault_fs.h"
#include "jet/memory_file.h"

namespace tdv::test {
namespace {

using ui::Answer;

constexpr const char* kNewHeader =
    "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, OLD_SMTP_ADDRESS, NEW_SMTP_ADDRESS\r\n";
constexpr const char* kOldHeader = "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION\r\n";
constexpr const char* kNullError =
    "Error 94 (Invalid use of Null) in procedure mnuExportUsers_Click of Form frmMain";

std::string readAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

BackupFixture subscribers() {
    BackupFixture db;
    db.table("Subscribers")
        .text("Alias")
        .text("DTMFAccessID")
        .text("SMTPAddress")
        .row({"jdoe", "1234", "jdoe@example.com"})
        .row({"nomail", "2000", nullptr})
        .row({nullptr, "3000", "ghost@example.com"})
        .row({"noext", nullptr, "x@example.com"})
        .row({"caf\xc3\xa9", "4000", " padded@example.com "});
    return db;
}

BackupFixture cleanSubscribers() {
    BackupFixture db;
    db.table("Subscribers")
        .text("Alias")
        .text("DTMFAccessID")
        .text("SMTPAddress")
        .row({"jdoe", "1234", "jdoe@example.com"})
        .row({"nomail", "2000", nullptr})
        .row({"caf\xc3\xa9", "4000", " padded@example.com "});
    return db;
}

struct UserExportTest : ::testing::Test {
    FormHarness h;
    std::filesystem::path out;
    void SetUp() override { out = h.dir.path() / "users.csv"; }
    void run() { commands::mnuExportUsers_Click(withPath()); }
    app::FrmMain& withPath() {
        h.ui.savePaths.push_back(out.string());
        return h.form;
    }
};

TEST_F(UserExportTest, NewerRevisionWritesSixColumns) {
    h.open(cleanSubscribers());
    h.state.version.mdbVersion = 20;
    h.ui.answers = {Answer::Yes};  // view the file
    EXPECT_TRUE(commands::mnuExportUsers_Click(withPath()));
    // Null e-mail is an empty field; the e-mail text is trimmed; é is written as one
    // Windows-1252 byte.
    EXPECT_EQ(readAll(out), std::string(kNewHeader) +
                                "jdoe,1234,,,jdoe@example.com,\r\n"
                                "nomail,2000,,,,\r\n"
                                "caf\xe9,4000,,,padded@example.com,\r\n");
    EXPECT_EQ(h.ui.texts(), (std::vector<std::string>{"Export complete.  View output file now?"}));
    EXPECT_EQ(h.ui.opened, std::vector<std::string>{out.string()});
}

// A Null extension is an empty field and said so; a Null alias costs its line after its box,
// and the closing message counts it instead of calling the export complete.
TEST_F(UserExportTest, ANullExtensionIsAnEmptyFieldAndANullAliasIsCounted) {
    h.open(subscribers());
    h.state.version.mdbVersion = 20;
    EXPECT_FALSE(commands::mnuExportUsers_Click(withPath()));
    EXPECT_EQ(readAll(out), std::string(kNewHeader) +
                                "jdoe,1234,,,jdoe@example.com,\r\n"
                                "nomail,2000,,,,\r\n"
                                "noext,,,,x@example.com,\r\n"
                                "caf\xe9,4000,,,padded@example.com,\r\n");
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{kNullError,
                                        "Export incomplete: 4 users exported, 1 without an "
                                        "extension; 1 left out after an error.  View output file "
                                        "now?"}));
}

// A value the Windows code page lacks makes the file UTF-8 with its mark; an alias that
// would load back as another user's row is left out and named.
TEST_F(UserExportTest, UnsafeAliasesAreLeftOutAndNamedAndOtherScriptsKept) {
    BackupFixture db;
    db.table("Subscribers")
        .text("Alias")
        .text("DTMFAccessID")
        .row({"jackson,4846", "1"})
        .row({"say\"hi", "2"})
        .row({"\xE6\xBC\xA2\xE5\xAD\x97", "3"})
        .row({"jdoe", "4"});
    h.open(db);
    h.state.version.mdbVersion = 19;
    EXPECT_FALSE(commands::mnuExportUsers_Click(withPath()));
    EXPECT_EQ(readAll(out), "\xEF\xBB\xBF" + std::string(kOldHeader) +
                                "\xE6\xBC\xA2\xE5\xAD\x97,3,,\r\n"
                                "jdoe,4,,\r\n");
    EXPECT_EQ(h.ui.texts(), (std::vector<std::string>{
                                "Export incomplete: 2 users exported; left out, alias holds a "
                                "comma: jackson,4846; left out, alias holds a double quote: "
                                "say\"hi.  View output file now?"}));
}

// The export never takes the place of the backup it reads, however the path is spelled.
TEST_F(UserExportTest, TheBackupItselfIsRefusedThroughDotDotAndALink) {
    h.open(cleanSubscribers());
    const std::filesystem::path backup = h.state.strMDBFilePath;
    const std::string before = readAll(backup);
    std::filesystem::create_directories(backup.parent_path() / "sub");
    std::filesystem::create_symlink(backup, h.dir.path() / "link.csv");
    for (const std::filesystem::path& spelling :
         {backup.parent_path() / "sub" / ".." / backup.filename(), h.dir.path() / "link.csv"}) {
        h.ui.boxes.clear();
        out = spelling;
        h.ui.answers = {Answer::Yes, Answer::Yes};
        EXPECT_FALSE(commands::mnuExportUsers_Click(withPath()));
        ASSERT_EQ(h.ui.texts().size(), 1u) << ::testing::PrintToString(h.ui.texts());
        EXPECT_NE(h.ui.texts()[0].find("is the backup being read"), std::string::npos)
            << h.ui.texts()[0];
        EXPECT_EQ(readAll(backup), before);
    }
    EXPECT_TRUE(std::filesystem::is_symlink(h.dir.path() / "link.csv"));
}

TEST_F(UserExportTest, AFolderThatDoesNotExistIsOneBoxAndNoSuccess) {
    h.open(cleanSubscribers());
    out = h.dir.path() / "missing" / "users.csv";
    EXPECT_FALSE(commands::mnuExportUsers_Click(withPath()));
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{"Error 75 (Path/File access error: '" + out.string() +
                                        "' could not be created: no such folder) in procedure "
                                        "mnuExportUsers_Click of Form frmMain"}));
}

TEST_F(UserExportTest, AFullDiskRemovesThePartlyWrittenFile) {
    h.open(cleanSubscribers());
    jet::MemoryFileSystem disk;
    FaultFileSystem full(disk);
    full.failWrite(2, ENOSPC, true);
    h.ui.files = &full;
    EXPECT_FALSE(commands::mnuExportUsers_Click(withPath()));
    EXPECT_FALSE(disk.exists(out.string()));
    EXPECT_EQ(disk.names(), std::vector<std::string>{});  // no temporary file either
    EXPECT_EQ(h.ui.texts(), (std::vector<std::string>{"Error 61 (Disk full: '" + out.string() +
                                                      "' could not be written) in procedure "
                                                      "mnuExportUsers_Click of Form frmMain"}));
}

TEST_F(UserExportTest, OlderRevisionWritesFourColumnsWithoutReadingSmtp) {
    BackupFixture db;
    db.table("Subscribers").text("Alias").text("DTMFAccessID").row({"jdoe", "1234"});
    h.open(db);
    h.state.version.mdbVersion = 19;
    run();
    EXPECT_EQ(readAll(out), std::string(kOldHeader) + "jdoe,1234,,\r\n");
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"Export complete.  View output file now?"});
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST_F(UserExportTest, DialogSettingsAndCancel) {
    h.open(subscribers());
    commands::mnuExportUsers_Click(h.form);  // no scripted path: cancelled
    ASSERT_EQ(h.ui.dialogs.size(), 1u);
    const auto& d = h.ui.dialogs[0];
    EXPECT_EQ(d.title, "File to save user data to");
    EXPECT_EQ(d.defaultExtension, "CSV");
    EXPECT_EQ(d.filterPattern, "*.CSV");
    EXPECT_EQ(d.fileName.rfind("TARNISMDBView_User_Export_", 0), 0u);
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(UserExportName, TwoDigitYearMonthDay) {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 12, t.tm_isdst = -1;
    EXPECT_EQ(commands::strDefaultUserExportName(std::mktime(&t)),
              "TARNISMDBView_User_Export_26_12_06");
}

TEST_F(UserExportTest, DecliningOverwriteWritesNothing) {
    h.open(subscribers());
    { std::ofstream(out) << "keep me"; }
    run();  // the question is answered No by default
    EXPECT_EQ(readAll(out), "keep me");
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"Overwrite file?"});
    EXPECT_EQ(h.ui.boxes[0].buttons, ui::Buttons::YesNo);
}

TEST_F(UserExportTest, AcceptedOverwriteReplacesReadOnlyFile) {
    h.open(cleanSubscribers());
    { std::ofstream(out) << "old content that is longer than the new one ..."; }
    std::filesystem::permissions(out, std::filesystem::perms::owner_read);
    h.ui.answers = {Answer::Yes, Answer::No};
    run();
    EXPECT_EQ(readAll(out).rfind(kNewHeader, 0), 0u);
    EXPECT_EQ(h.ui.texts().front(), "Overwrite file?");
    EXPECT_EQ(h.ui.texts().back(), "Export complete.  View output file now?");
}

TEST_F(UserExportTest, EmptyTableLeavesOnlyTheHeader) {
    BackupFixture db;
    db.table("Subscribers").text("Alias").text("DTMFAccessID").text("SMTPAddress");
    h.open(db);
    run();
    EXPECT_EQ(readAll(out), kNewHeader);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"No subscribers found in backup!"});
}

}  // namespace
}  // namespace tdv::test
