#include "jet/memory_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "helpers/testdata.h"
#include "jet/error.h"
#include "jet/page_file.h"

using namespace jet;

namespace {

std::vector<uint8_t> readWhole(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ErrorKind kindOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no error";
    return ErrorKind::Internal;
}

}  // namespace

TEST(MemoryFile, ReadsWritesGrowsAndTruncates) {
    MemoryFile f({1, 2, 3, 4});
    uint8_t buf[4] = {};
    f.readAt(1, buf, 3);
    EXPECT_EQ(buf[0], 2);
    EXPECT_EQ(buf[2], 4);
    EXPECT_EQ(kindOf([&] { f.readAt(2, buf, 3); }), ErrorKind::Corrupt);
    EXPECT_EQ(kindOf([&] { f.readAt(~uint64_t{0}, buf, 2); }), ErrorKind::Corrupt);
    const uint8_t w[2] = {9, 8};
    f.writeAt(6, w, 2);  // leaves a zero-filled gap
    EXPECT_EQ(f.bytes(), (std::vector<uint8_t>{1, 2, 3, 4, 0, 0, 9, 8}));
    f.truncate(3);
    EXPECT_EQ(f.size(), 3u);
    EXPECT_EQ(kindOf([&] { f.writeAt(~uint64_t{0} - 1, w, 2); }), ErrorKind::Io);
}

TEST(MemoryFile, ReadOnlyFileRefusesWrites) {
    MemoryFile f({1, 2}, false);
    const uint8_t w = 0;
    EXPECT_EQ(kindOf([&] { f.writeAt(0, &w, 1); }), ErrorKind::Io);
    EXPECT_EQ(kindOf([&] { f.truncate(0); }), ErrorKind::Io);
    EXPECT_EQ(f.bytes(), (std::vector<uint8_t>{1, 2}));
}

TEST(MemoryFileSystem, FilesAreSharedBetweenOpensAndFollowOpenModes) {
    MemoryFileSystem fs;
    EXPECT_FALSE(fs.exists("a.mdb"));
    EXPECT_EQ(kindOf([&] { fs.open("a.mdb", FileSystem::Mode::ReadOnly); }), ErrorKind::Io);
    EXPECT_EQ(kindOf([&] { fs.open("a.mdb", FileSystem::Mode::ReadWrite); }), ErrorKind::Io);
    fs.addFile("a.mdb", {5, 6, 7});
    auto reader = fs.open("a.mdb", FileSystem::Mode::ReadOnly);
    auto writer = fs.open("a.mdb", FileSystem::Mode::ReadWrite);
    const uint8_t w = 1;
    writer->writeAt(0, &w, 1);
    uint8_t r = 0;
    reader->readAt(0, &r, 1);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(fs.bytes("a.mdb"), (std::vector<uint8_t>{1, 6, 7}));
    EXPECT_EQ(kindOf([&] { reader->writeAt(0, &w, 1); }), ErrorKind::Io);

    auto created = fs.open("a.mdb", FileSystem::Mode::CreateReadWrite);
    EXPECT_EQ(created->size(), 0u);
    EXPECT_EQ(reader->size(), 0u);

    fs.setReadOnly("a.mdb", true);
    EXPECT_EQ(kindOf([&] { fs.open("a.mdb", FileSystem::Mode::ReadWrite); }), ErrorKind::ReadOnly);
    EXPECT_NO_THROW(fs.open("a.mdb", FileSystem::Mode::ReadOnly));
    fs.remove("a.mdb");
    fs.remove("a.mdb");
    EXPECT_FALSE(fs.exists("a.mdb"));
    EXPECT_EQ(kindOf([&] { fs.bytes("a.mdb"); }), ErrorKind::Io);
}

TEST(MemoryFileSystem, LocksConflictBetweenFilesLikeAdvisoryLocks) {
    MemoryFileSystem fs;
    fs.addFile("a.mdb", {0});
    auto a = fs.open("a.mdb", FileSystem::Mode::ReadWrite);
    auto b = fs.open("a.mdb", FileSystem::Mode::ReadWrite);
    EXPECT_TRUE(a->tryLock(LockRange::Pages, LockMode::Shared));
    EXPECT_TRUE(b->tryLock(LockRange::Pages, LockMode::Shared));
    EXPECT_FALSE(a->tryLock(LockRange::Pages, LockMode::Exclusive));
    EXPECT_TRUE(b->tryLock(LockRange::Pages, LockMode::Unlocked));
    EXPECT_TRUE(a->tryLock(LockRange::Pages, LockMode::Exclusive));  // upgrade once alone
    EXPECT_FALSE(b->tryLock(LockRange::Pages, LockMode::Shared));
    a.reset();  // closing releases
    EXPECT_TRUE(b->tryLock(LockRange::Pages, LockMode::Exclusive));
    auto c = fs.open("a.mdb", FileSystem::Mode::ReadWrite);
    EXPECT_TRUE(c->tryLock(LockRange::Writer, LockMode::Exclusive));  // ranges are independent
    EXPECT_FALSE(b->tryLock(LockRange::Writer, LockMode::Shared));
}

TEST(PosixFile, LocksConflictBetweenTwoOpensOfOneProcess) {
    tdv::test::TempDir dir;
    auto path = dir.copy(tdv::test::testdataDir() / "jet4-empty" / "empty.mdb").string();
    auto a = FileSystem::real().open(path, FileSystem::Mode::ReadWrite);
    auto b = FileSystem::real().open(path, FileSystem::Mode::ReadOnly);
    EXPECT_TRUE(a->tryLock(LockRange::Pages, LockMode::Exclusive));
    EXPECT_FALSE(b->tryLock(LockRange::Pages, LockMode::Shared));
    EXPECT_TRUE(a->tryLock(LockRange::Pages, LockMode::Shared));
    EXPECT_TRUE(b->tryLock(LockRange::Pages, LockMode::Shared));
    EXPECT_EQ(a->identity(), b->identity());
}

TEST(PosixFile, FileWithoutWritePermissionOpensReadOnlyOnly) {
    tdv::test::TempDir dir;
    auto path = dir.copy(tdv::test::testdataDir() / "jet4-empty" / "empty.mdb");
    std::filesystem::permissions(
        path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    try {
        FileSystem::real().open(path.string(), FileSystem::Mode::ReadWrite);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::ReadOnly);
        EXPECT_NE(std::string(e.what()).find("read-only"), std::string::npos);
    }
    EXPECT_NO_THROW(FileSystem::real().open(path.string(), FileSystem::Mode::ReadOnly));
}

TEST(MemoryFileSystem, HoldsARealDatabaseByteForByte) {
    auto path = tdv::test::testdataDir() / "V1997" / "testV1997.mdb";
    auto bytes = readWhole(path);
    MemoryFileSystem fs;
    fs.addFile("x.mdb", bytes);
    PageFile pf(fs.open("x.mdb", FileSystem::Mode::ReadOnly), 2048);
    ASSERT_EQ(pf.pageCount(), bytes.size() / 2048);
    auto last = pf.read(pf.pageCount() - 1);
    EXPECT_TRUE(std::equal(last->begin(), last->end(), bytes.end() - 2048));
}
