#include "extract/export_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <cerrno>

#include "catalog/form_harness.h"
#include "helpers/fault_fs.h"
#include "jet/memory_file.h"

namespace tdv::extract {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes zipLike(size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 13 + 0x50);
    return b;
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

test::BackupFixture versionInfo(test::Cell log) {
    test::BackupFixture db;
    db.table("VersionInfo").text("ZerithVersion").ole("LogFileZIP").row({"5.0", std::move(log)});
    return db;
}

struct ExportLog : ::testing::Test {
    void open(test::Cell log) {
        h.open(versionInfo(std::move(log)));
        h.state.appFolder = (h.dir.path() / "home").string();
        fs::create_directories(h.state.appFolder);
        target = h.dir.path() / "home" / "LogArchives" / "TARNIS_Export_LogFile.zip";
    }
    test::FormHarness h;
    fs::path target;
};

TEST_F(ExportLog, WritesTheArchiveVerbatimAndOpensTheFolder) {
    open(zipLike(10001));
    h.form.myGrid.setRows(5);
    EXPECT_TRUE(FetchBackupLogFile(h.form));
    EXPECT_EQ(readFile(target), zipLike(10001));
    EXPECT_EQ(h.form.myGrid.Rows(), 0);
    EXPECT_EQ(h.form.txtObjectCount, "");
    EXPECT_EQ(h.form.txtInfo.Text, "Export log file extracted to:\r\n" + target.string());
    EXPECT_EQ(h.ui.opened,
              (std::vector<std::string>{(h.dir.path() / "home" / "LogArchives").string()}));
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST_F(ExportLog, TheTypeListsLastEntryRunsTheExtraction) {
    open(zipLike(5000));
    app::selectObjectType(h.form, app::kExtractExportLog);
    EXPECT_EQ(readFile(target), zipLike(5000));
    EXPECT_EQ(h.form.txtInfo.Text, "Export log file extracted to:\r\n" + target.string());
}

TEST_F(ExportLog, OlderToolsHaveNoLogAndNothingIsTouched) {
    open(zipLike(100));
    h.tool(7, 0, 28);
    EXPECT_FALSE(FetchBackupLogFile(h.form));
    EXPECT_EQ(h.form.txtInfo.Text,
              "No backup log file in MDB\r\nBackup was produced with a version older than 7.0.29 "
              "for Zerith or 1.3.1 for Quorin 1.x which did not include the backup log files in "
              "the MDB backup.\r\n");
    EXPECT_FALSE(fs::exists(target.parent_path()));
    EXPECT_TRUE(h.ui.opened.empty());

    // An archive of an earlier backup does not pass for this one's.
    fs::create_directories(target.parent_path());
    std::ofstream(target) << "earlier backup's log";
    h.newerProduct(5, 0, 1, 3, 0);  // newer product, tool 1.3.0, server 5: no log
    EXPECT_FALSE(FetchBackupLogFile(h.form));
    EXPECT_FALSE(fs::exists(target));
    h.newerProduct(7, 0, 1, 0, 0);  // server 7 of the newer product always has one
    EXPECT_TRUE(FetchBackupLogFile(h.form));
    h.newerProduct(5, 0, 1, 3, 1);
    EXPECT_TRUE(FetchBackupLogFile(h.form));
}

TEST_F(ExportLog, NullArchiveDeletesTheEarlierFileAndReports) {
    open(nullptr);
    fs::create_directories(target.parent_path());
    std::ofstream(target) << "earlier";
    EXPECT_FALSE(FetchBackupLogFile(h.form));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{"Error unpacking ZIP file from MDB database"}));
    EXPECT_EQ(h.form.txtInfo.Text, "Error unpacking ZIP file containing export log");
}

// LogArchives is the program's own: through a link nothing is removed or written, also when
// the backup holds no archive.
TEST_F(ExportLog, ALinkedArchiveFolderIsRefusedAndItsTargetKept) {
    open(zipLike(100));
    const fs::path elsewhere = h.dir.path() / "elsewhere";
    fs::create_directories(elsewhere);
    std::ofstream(elsewhere / "TARNIS_Export_LogFile.zip") << "theirs";
    fs::create_directories(target.parent_path().parent_path());
    fs::create_directory_symlink(elsewhere, target.parent_path());
    EXPECT_FALSE(FetchBackupLogFile(h.form));
    ASSERT_EQ(h.ui.texts().size(), 1u) << ::testing::PrintToString(h.ui.texts());
    EXPECT_NE(h.ui.texts()[0].find("' is a link"), std::string::npos) << h.ui.texts()[0];
    std::ifstream in(elsewhere / "TARNIS_Export_LogFile.zip");
    std::string kept;
    in >> kept;
    EXPECT_EQ(kept, "theirs");
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST_F(ExportLog, AFullDiskIsNoExtraction) {
    open(zipLike(10001));
    jet::MemoryFileSystem disk;
    test::FaultFileSystem full(disk);
    full.failWrite(3, ENOSPC, true);  // the folder, the file, then its first write
    h.ui.files = &full;
    EXPECT_FALSE(FetchBackupLogFile(h.form));
    EXPECT_FALSE(disk.exists(target.string()));
    EXPECT_EQ(disk.names(), std::vector<std::string>{});  // no temporary file either
    const auto texts = h.ui.texts();
    // One failure, one message, naming the file.
    ASSERT_EQ(texts.size(), 1u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0], "(error) 61 (Disk full: '" + target.string() +
                            "' could not be written) in procedure bunPackWAVFile of Module "
                            "modZerithDB");
    EXPECT_EQ(h.form.txtInfo.Text, "Error unpacking ZIP file containing export log");
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST(ExportLogMissingColumn, ReportsTheEngineErrorOnce) {
    test::FormHarness h;
    test::BackupFixture db;
    db.table("VersionInfo").text("ZerithVersion").row({"5.0"});
    h.open(db);
    h.state.appFolder = (h.dir.path() / "home").string();
    EXPECT_FALSE(FetchBackupLogFile(h.form));
    const auto texts = h.ui.texts();
    ASSERT_EQ(texts.size(), 1u) << ::testing::PrintToString(texts);
    EXPECT_EQ(texts[0].rfind("(error) 3265 (", 0), 0u) << texts[0];
}

}  // namespace
}  // namespace tdv::extract
