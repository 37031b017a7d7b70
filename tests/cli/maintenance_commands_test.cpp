// tdv export-users, clear-mappings and pager-scrub over the sample backups.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "helpers/testdata.h"

namespace tdv::cli {
namespace {

namespace fs = std::filesystem;
using test::runTdv;
using test::shellQuote;
using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The sample's directory backup of the given variant, written into dir.
fs::path sampleDirectoryBackup(const test::TempDir& dir, const std::string& variant) {
    const auto made =
        runTdv("make-sample " + shellQuote(dir.path().string()) + " --variant " + variant);
    EXPECT_EQ(made.status, 0) << made.err;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        if (e.path().filename().string().find("DBData_Backup") != std::string::npos) {
            return e.path();
        }
    }
    ADD_FAILURE() << "no directory backup in the sample";
    return {};
}

std::string withHome(const test::TempDir& dir, const std::string& args) {
    return "TDV_HOME=" + shellQuote((dir.path() / "home").string()) + " " + shellQuote(TDV_BINARY) +
           " " + args;
}

TEST(ExportUsersCommand, WritesTheCsvOnlyWhenAskedToOverwrite) {
    test::TempDir dir;
    const fs::path file = sampleDirectoryBackup(dir, "zerith-rev20");
    const fs::path out = dir.path() / "users.csv";
    const auto r = test::runCommand(withHome(
        dir, "export-users " + shellQuote(file.string()) + " " + shellQuote(out.string())));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string csv = readAll(out);
    EXPECT_THAT(csv, StartsWith("OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, "
                                "OLD_SMTP_ADDRESS, NEW_SMTP_ADDRESS\r\n"));
    // The sample's user without an extension is written with an empty field, and said so.
    EXPECT_THAT(r.err, HasSubstr("question: Export complete: "));
    EXPECT_THAT(r.err, HasSubstr(" users exported, 1 without an extension.  View output file "
                                 "now? -> No"));

    // Without --yes the overwrite question is answered No and the file stays as it is.
    const auto again = test::runCommand(withHome(
        dir, "export-users " + shellQuote(file.string()) + " " + shellQuote(out.string())));
    EXPECT_EQ(again.status, 1);  // a declined question
    EXPECT_EQ(again.err, "question: Overwrite file? -> No\n");
    EXPECT_EQ(readAll(out), csv);
}

TEST(PagerScrubCommand, ScrubsOnlyWithYesAndFileStaysConsistent) {
    test::TempDir dir;
    const fs::path file = sampleDirectoryBackup(dir, "zerith-rev20");
    const std::string before = readAll(file);
    const auto no = test::runCommand(withHome(dir, "pager-scrub " + shellQuote(file.string())));
    EXPECT_EQ(no.status, 1);
    EXPECT_THAT(no.err, HasSubstr("-> No"));
    EXPECT_EQ(readAll(file), before);

    const auto yes =
        test::runCommand(withHome(dir, "pager-scrub --yes " + shellQuote(file.string())));
    ASSERT_EQ(yes.status, 0) << yes.err;
    EXPECT_THAT(yes.err, HasSubstr("message: Operation completed.  "));
    const auto second =
        test::runCommand(withHome(dir, "pager-scrub --yes " + shellQuote(file.string())));
    EXPECT_THAT(second.err, HasSubstr("message: Operation completed.  0 auxiliary pager devices "
                                      "deleted and 0 pager devices activated."));
    const auto check = runTdv("check " + shellQuote(file.string()));
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST(PagerScrubCommand, RefusesNewerProductBackup) {
    test::TempDir dir;
    const fs::path file = sampleDirectoryBackup(dir, "quorin7-tool1020");
    const std::string before = readAll(file);
    const auto r =
        test::runCommand(withHome(dir, "pager-scrub --yes " + shellQuote(file.string())));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "message: This function is only valid for Zerith backups - the current directory "
              "backup is from Quorin\n");
    EXPECT_EQ(readAll(file), before);
}

TEST(ExtractLogCommand, ABackupWithoutALogIsARefusalAndNoOldArchivePassesForIt) {
    test::TempDir dir;
    const fs::path file = sampleDirectoryBackup(dir, "zerith-tool7028");
    const fs::path zip = dir.path() / "home" / "LogArchives" / "TARNIS_Export_LogFile.zip";
    fs::create_directories(zip.parent_path());
    std::ofstream(zip) << "an earlier backup's log";
    const auto r = test::runCommand(withHome(dir, "extract-log " + shellQuote(file.string())));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, StartsWith("error: extract-log: No backup log file in MDB"));
    EXPECT_FALSE(fs::exists(zip));
}

TEST(ExportUsersCommand, AFolderThatDoesNotExistIsOneMessage) {
    test::TempDir dir;
    const fs::path file = sampleDirectoryBackup(dir, "zerith-rev20");
    const fs::path out = dir.path() / "missing" / "users.csv";
    const auto r = test::runCommand(withHome(
        dir, "export-users --yes " + shellQuote(file.string()) + " " + shellQuote(out.string())));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "message: Error 75 (Path/File access error: '" + out.string() +
                         "' could not be created: no such folder) in procedure "
                         "mnuExportUsers_Click of Form frmMain\n");
}

// The export onto its own input, spelled another way: one message, the backup intact.
TEST(ExportUsersCommand, TheBackupItselfIsRefused) {
    test::TempDir dir;
    const fs::path file = sampleDirectoryBackup(dir, "zerith-rev20");
    const std::string before = readAll(file);
    const fs::path folder = file.parent_path();
    const fs::path same = folder / ".." / folder.filename() / file.filename();
    const auto r = test::runCommand(withHome(dir, "export-users " + shellQuote(file.string()) +
                                                      " " + shellQuote(same.string()) + " --yes"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("is the backup being read"), std::string::npos) << r.err;
    EXPECT_EQ(readAll(file), before);
}

TEST(ClearMappingsCommand, EmptiesTheTableAndCheckPasses) {
    test::TempDir dir;
    const fs::path file = sampleDirectoryBackup(dir, "zerith-rev20");
    const std::string before = readAll(file);
    const auto r =
        test::runCommand(withHome(dir, "clear-mappings --yes " + shellQuote(file.string())));
    ASSERT_EQ(r.status, 0) << r.err;
    // The message names the safety copy, which holds the file as it was.
    const std::string note =
        "message: Mapping history table cleared\\nSafety copy of the file "
        "as it was before: ";
    ASSERT_THAT(r.err, HasSubstr(note));
    const std::string copy =
        r.err.substr(r.err.find(note) + note.size(),
                     r.err.find('\n', r.err.find(note)) - r.err.find(note) - note.size());
    EXPECT_TRUE(copy.starts_with(file.string() + ".") && copy.ends_with(".bak")) << copy;
    EXPECT_TRUE(readAll(copy) == before);
    const auto count = runTdv("sql " + shellQuote(file.string()) +
                              " \"SELECT COUNT(*) FROM ObjectMappingHistory\"");
    EXPECT_THAT(count.out, HasSubstr(":0}"));
    const auto check = runTdv("check " + shellQuote(file.string()));
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    // The option switches it off, before the command or after its arguments.
    for (const std::string& args :
         {"--no-safety-copy clear-mappings --yes " + shellQuote(file.string()),
          "clear-mappings --yes " + shellQuote(file.string()) + " --no-safety-copy"}) {
        const auto off = test::runCommand(withHome(dir, args));
        ASSERT_EQ(off.status, 0) << off.err;
        EXPECT_THAT(off.err, ::testing::EndsWith("message: Mapping history table cleared\n"));
    }
    int copies = 0;
    for (const auto& e : fs::directory_iterator(file.parent_path()))
        copies += e.path().extension() == ".bak";
    EXPECT_EQ(copies, 1);
}

}  // namespace
}  // namespace tdv::cli
