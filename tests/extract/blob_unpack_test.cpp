#include "extract/blob_unpack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <cerrno>

#include "backup/app_state.h"
#include "helpers/backup_fixture.h"
#include "helpers/fault_fs.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "jet/memory_file.h"

namespace tdv::extract {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes pattern(size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>((i * 131 + i / 251) & 0xFF);
    return b;
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// One table Blobs(Id, Data) whose rows hold blobs of the sizes under test and one Null.
class BlobUnpack : public ::testing::Test {
protected:
    static constexpr size_t kSizes[] = {0, 1, 10, 4999, 5000, 5001, 10000, 10001};

    void SetUp() override {
        test::BackupFixture db;
        auto& t = db.table("Blobs").longInt("Id").ole("Data");
        for (size_t size : kSizes) t.row({static_cast<int>(size), pattern(size)});
        t.row({-1, nullptr});
        connect = std::string(backup::kConnectPrefix) + db.write(dir.path(), "blobs.mdb");
    }

    db::Recordset openRow(int id) {
        db::Recordset rs;
        rs.setCursorLocation(db::adUseClient);
        rs.Open("SELECT Id, Data FROM Blobs WHERE Id=" + std::to_string(id), connect,
                db::adOpenKeyset, db::adLockReadOnly);
        return rs;
    }

    test::TempDir dir;
    test::ScriptedUi ui;
    std::string connect;
};

TEST_F(BlobUnpack, EveryChunkBoundaryGivesTheStoredBytes) {
    for (size_t size : kSizes) {
        SCOPED_TRACE(size);
        db::Recordset rs = openRow(static_cast<int>(size));
        const fs::path target = dir.path() / ("out_" + std::to_string(size) + ".wav");
        EXPECT_TRUE(bunPackWAVFile(ui, rs, "Data", target.string()));
        ASSERT_TRUE(fs::exists(target));
        EXPECT_EQ(readFile(target), pattern(size));
        // The cursor stays on its record.
        EXPECT_EQ(rs.Fields("Id").Value().toLong(), static_cast<int32_t>(size));
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(BlobUnpack, ColumnNameIgnoresCase) {
    db::Recordset rs = openRow(5001);
    const fs::path target = dir.path() / "case.wav";
    EXPECT_TRUE(bunPackWAVFile(ui, rs, "dATA", target.string()));
    EXPECT_EQ(readFile(target), pattern(5001));
}

TEST_F(BlobUnpack, ReplacesAnExistingReadOnlyFile) {
    db::Recordset rs = openRow(4999);
    const fs::path target = dir.path() / "old.wav";
    writeFile(target, std::string(20000, 'x'));
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read,
                    fs::perm_options::replace);
    EXPECT_TRUE(bunPackWAVFile(ui, rs, "Data", target.string()));
    EXPECT_EQ(readFile(target), pattern(4999));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(BlobUnpack, NullDeletesTheOldFileAndWritesNone) {
    db::Recordset rs = openRow(-1);
    const fs::path target = dir.path() / "null.wav";
    writeFile(target, "earlier");
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "Data", target.string()));
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(BlobUnpack, PathsShorterThanThreeCharactersTouchNothing) {
    db::Recordset rs = openRow(1);
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    writeFile("ab", "kept");
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "Data", ""));
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "Data", "a"));
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "Data", "ab"));
    EXPECT_EQ(readFile("ab"), (Bytes{'k', 'e', 'p', 't'}));
    EXPECT_TRUE(bunPackWAVFile(ui, rs, "Data", "abc"));
    EXPECT_EQ(readFile("abc"), pattern(1));
    fs::current_path(cwd);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(BlobUnpack, UnknownColumnReportsTheEngineErrorAndCreatesNoFile) {
    db::Recordset rs = openRow(10);
    const fs::path target = dir.path() / "missing.wav";
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "LogFileZIP", target.string()));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("(error) 3265 (", 0), 0u) << ui.boxes[0].text;
    EXPECT_NE(ui.boxes[0].text.find(") in procedure bunPackWAVFile of Module modZerithDB"),
              std::string::npos);
    EXPECT_EQ(ui.boxes[0].buttons, ui::Buttons::Ok);
}

TEST_F(BlobUnpack, NoCurrentRecordIsReportedAsALookupFailure) {
    db::Recordset rs = openRow(12345);  // no such row: the recordset is at EOF
    const fs::path target = dir.path() / "eof.zip";
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "Data", target.string()));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("(error) 3021 (", 0), 0u) << ui.boxes[0].text;
}

TEST_F(BlobUnpack, UnwritableTargetIsOneFailureAndNoSuccess) {
    db::Recordset rs = openRow(10001);  // three chunks
    const fs::path target = dir.path() / "no_such_folder" / "x.wav";
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "Data", target.string()));
    EXPECT_FALSE(fs::exists(target));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text.rfind("(error) ", 0), 0u) << ui.boxes[0].text;
}

TEST_F(BlobUnpack, AFullDiskStopsAtTheFailingChunkAndRemovesThePart) {
    jet::MemoryFileSystem disk;
    test::FaultFileSystem full(disk);
    full.failWrite(2, ENOSPC, true);
    ui.files = &full;
    db::Recordset rs = openRow(10001);
    const std::string target = (dir.path() / "full.wav").string();
    EXPECT_FALSE(bunPackWAVFile(ui, rs, "Data", target));
    EXPECT_EQ(disk.names(), std::vector<std::string>{});  // no part under any name
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "(error) 61 (Disk full: '" + target +
                                    "' could not be written) in procedure bunPackWAVFile of "
                                    "Module modZerithDB");
}

TEST_F(BlobUnpack, LinksAtTheTargetAreReplacedNeverFollowed) {
    db::Recordset rs = openRow(5001);
    const fs::path elsewhere = dir.path() / "elsewhere.txt";
    writeFile(elsewhere, "keep me");
    fs::permissions(elsewhere, fs::perms::owner_read, fs::perm_options::replace);
    const fs::path link = dir.path() / "link.wav";
    fs::create_symlink(elsewhere, link);
    EXPECT_TRUE(bunPackWAVFile(ui, rs, "Data", link.string()));
    EXPECT_FALSE(fs::is_symlink(link));
    EXPECT_EQ(readFile(link), pattern(5001));
    EXPECT_EQ(readFile(elsewhere), (Bytes{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
    EXPECT_EQ(fs::status(elsewhere).permissions(), fs::perms::owner_read);

    const fs::path dangling = dir.path() / "dangling.wav";
    const fs::path nowhere = dir.path() / "nowhere.wav";
    fs::create_symlink(nowhere, dangling);
    db::Recordset again = openRow(5001);
    EXPECT_TRUE(bunPackWAVFile(ui, again, "Data", dangling.string()));
    EXPECT_FALSE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(nowhere));
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tdv::extract
