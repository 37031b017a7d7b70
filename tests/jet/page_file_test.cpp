#include "jet/page_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "helpers/fault_fs.h"
#include "helpers/testdata.h"
#include "jet/error.h"
#include "jet/journal.h"
#include "jet/memory_file.h"

using namespace jet;

TEST(PageFile, ReadsWholePagesAndRejectsPagesBeyondTheEnd) {
    auto path = tdv::test::testdataDir() / "V2000" / "testV2000.mdb";
    PageFile pf(FileSystem::real().open(path.string(), FileSystem::Mode::ReadOnly), 4096);
    ASSERT_GT(pf.pageCount(), 2u);
    Page p0 = pf.read(0);
    ASSERT_EQ(p0->size(), 4096u);
    EXPECT_EQ((*p0)[0], 0x00);  // the definition page
    EXPECT_EQ(pf.read(0), p0);  // served from the cache
    EXPECT_THROW(pf.read(pf.pageCount()), Error);
    try {
        pf.read(0xFFFFFFFFu);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
    }
}

TEST(PageFile, MissingFileIsAnIoError) {
    try {
        FileSystem::real().open("/nonexistent/x.mdb", FileSystem::Mode::ReadOnly);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Io);
        EXPECT_NE(std::string(e.what()).find("/nonexistent/x.mdb"), std::string::npos);
    }
}

// Saves without syncs: no fsync of the database, the journal or their folder, yet the
// journal is still written first, so a failure half-way through the pages undoes the save.
namespace {

constexpr uint32_t kSyncTestPage = 2048;

std::vector<uint8_t> pagesFilled(uint32_t count) {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < count; ++i) out.insert(out.end(), kSyncTestPage, uint8_t(i + 1));
    return out;
}

long countKind(const tdv::test::FaultFileSystem& fs, const std::string& kind) {
    return std::count_if(fs.log().begin(), fs.log().end(),
                         [&](const std::string& entry) { return entry.rfind(kind + " ", 0) == 0; });
}

// Saves pages 1 and 2 (and appends one) through fs with the given sync setting.
void saveTwoPages(tdv::test::FaultFileSystem& fs, bool sync) {
    PageFileOptions options;
    options.writable = true;
    options.sync = sync;
    PageFile pf(fs, "db.mdb", options, kSyncTestPage);
    pf.beginWrite();
    pf.write(1, std::vector<uint8_t>(kSyncTestPage, 0xAA));
    pf.write(2, std::vector<uint8_t>(kSyncTestPage, 0xBB));
    pf.append(std::vector<uint8_t>(kSyncTestPage, 0xCC));
    pf.commit();
}

}  // namespace

TEST(PageFileSync, SyncOffSkipsEveryFsyncButStillJournalsTheSave) {
    for (bool sync : {true, false}) {
        SCOPED_TRACE(sync ? "sync on" : "sync off");
        MemoryFileSystem disk;
        disk.addFile("db.mdb", pagesFilled(4));
        tdv::test::FaultFileSystem fs(disk);
        saveTwoPages(fs, sync);
        auto after = disk.bytes("db.mdb");
        ASSERT_EQ(after.size(), 5u * kSyncTestPage);
        EXPECT_EQ(after[1 * kSyncTestPage], 0xAA);
        EXPECT_EQ(after[2 * kSyncTestPage], 0xBB);
        EXPECT_EQ(after[4 * kSyncTestPage], 0xCC);
        EXPECT_FALSE(disk.exists(journalPathFor("db.mdb")));
        EXPECT_EQ(countKind(fs, "create"), 1) << "the journal is written either way";
        EXPECT_EQ(countKind(fs, "remove"), 1);
        if (sync) {
            EXPECT_GE(countKind(fs, "sync"), 2);  // the journal, then the database
            EXPECT_GE(countKind(fs, "syncdir"), 1);
        } else {
            EXPECT_EQ(countKind(fs, "sync"), 0);
            EXPECT_EQ(countKind(fs, "syncdir"), 0);
        }
    }
}

TEST(PageFileSync, SyncOffSaveThatFailsHalfWayLeavesTheFileAsBefore) {
    // A dry run finds which write (writes are counted apart from other operations) puts
    // the second database page.
    MemoryFileSystem dry;
    dry.addFile("db.mdb", pagesFilled(4));
    tdv::test::FaultFileSystem dryFs(dry);
    saveTwoPages(dryFs, false);
    int writes = 0, dbWrites = 0, secondPageWrite = 0;
    for (const auto& entry : dryFs.log()) {
        bool isWrite = entry.rfind("write ", 0) == 0 || entry.rfind("truncate ", 0) == 0 ||
                       entry.rfind("create ", 0) == 0;
        if (isWrite) ++writes;
        if (entry == "write db.mdb" && ++dbWrites == 2) secondPageWrite = writes;
    }
    ASSERT_GT(secondPageWrite, 0);

    MemoryFileSystem disk;
    auto before = pagesFilled(4);
    disk.addFile("db.mdb", before);
    tdv::test::FaultFileSystem fs(disk);
    fs.failWrite(secondPageWrite, ENOSPC);
    EXPECT_THROW(saveTwoPages(fs, false), Error);
    EXPECT_EQ(disk.bytes("db.mdb"), before);
    EXPECT_FALSE(disk.exists(journalPathFor("db.mdb")));
}
