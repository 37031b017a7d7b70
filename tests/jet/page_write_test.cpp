// Save transactions of PageFile: reads inside a save, commit, rollback, cache coherence,
// locks between writers and readers, read-only files and files changed under us.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "helpers/testdata.h"
#include "jet/error.h"
#include "jet/journal.h"
#include "jet/memory_file.h"
#include "jet/page_file.h"

using namespace jet;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kPageSize = 2048;

std::vector<uint8_t> filled(uint8_t value) {
    return std::vector<uint8_t>(kPageSize, value);
}

// A file of `pages` pages, page i filled with byte i + 1.
std::vector<uint8_t> syntheticFile(uint32_t pages) {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < pages; ++i) {
        auto p = filled(static_cast<uint8_t>(i + 1));
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

PageFileOptions writable(std::chrono::milliseconds timeout = 3000ms) {
    PageFileOptions o;
    o.writable = true;
    o.busyTimeout = timeout;
    return o;
}

std::vector<uint8_t> readWhole(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename F>
Error errorOf(F&& f) {
    try {
        f();
    } catch (const Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error thrown";
    return Error(ErrorKind::Internal, 0, "none");
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class PageWrite : public ::testing::Test {
protected:
    void SetUp() override { fs.addFile("db.mdb", syntheticFile(4)); }
    MemoryFileSystem fs;
};

}  // namespace

TEST_F(PageWrite, ReadsInsideASaveSeeWrittenAndAppendedPages) {
    PageFile pf(fs, "db.mdb", writable(), kPageSize);
    EXPECT_EQ((*pf.read(1))[0], 2);
    pf.beginWrite();
    pf.write(1, filled(0xAA));
    EXPECT_EQ(pf.append(filled(0xBB)), 4u);
    EXPECT_EQ(pf.pageCount(), 5u);
    EXPECT_EQ((*pf.read(1))[0], 0xAA);
    EXPECT_EQ((*pf.read(4))[0], 0xBB);
    EXPECT_EQ((*pf.read(2))[0], 3);
    // Nothing reaches the file before commit.
    EXPECT_EQ(fs.bytes("db.mdb"), syntheticFile(4));
    pf.commit();
    EXPECT_FALSE(pf.inWrite());
    auto bytes = fs.bytes("db.mdb");
    ASSERT_EQ(bytes.size(), 5u * kPageSize);
    EXPECT_EQ(bytes[1 * kPageSize], 0xAA);
    EXPECT_EQ(bytes[4 * kPageSize + kPageSize - 1], 0xBB);
    EXPECT_EQ(bytes[2 * kPageSize], 3);
    EXPECT_FALSE(fs.exists(journalPathFor("db.mdb")));
}

TEST_F(PageWrite, RollbackForgetsEverythingAndKeepsTheCacheRight) {
    PageFile pf(fs, "db.mdb", writable(), kPageSize);
    Page before = pf.read(2);  // cached
    pf.beginWrite();
    pf.write(2, filled(0xCC));
    pf.append(filled(0xDD));
    pf.rollback();
    EXPECT_EQ(pf.pageCount(), 4u);
    EXPECT_EQ((*pf.read(2))[0], 3);
    EXPECT_EQ((*before)[0], 3);  // a page handed out earlier is never changed in place
    EXPECT_THROW(pf.read(4), Error);
    EXPECT_EQ(fs.bytes("db.mdb"), syntheticFile(4));
}

TEST_F(PageWrite, CommitRefreshesTheCacheOfThisAndOtherPageFiles) {
    PageFile writer(fs, "db.mdb", writable(), kPageSize);
    PageFile reader(fs, "db.mdb", {}, kPageSize);
    Page old = writer.read(3);
    EXPECT_EQ((*reader.read(3))[0], 4);
    writer.beginWrite();
    writer.write(3, filled(0x33));
    writer.commit();
    EXPECT_EQ((*writer.read(3))[0], 0x33);
    EXPECT_EQ((*old)[0], 4);
    EXPECT_EQ((*reader.read(3))[0], 0x33);  // the reader noticed the save and dropped its cache
    writer.beginWrite();
    writer.append(filled(0x44));
    writer.commit();
    EXPECT_EQ((*reader.read(4))[0], 0x44);
    EXPECT_EQ(reader.pageCount(), 5u);
}

TEST_F(PageWrite, MisuseIsAnInternalError) {
    PageFile pf(fs, "db.mdb", writable(), kPageSize);
    EXPECT_EQ(errorOf([&] { pf.write(0, filled(1)); }).kind(), ErrorKind::Internal);
    EXPECT_EQ(errorOf([&] { pf.commit(); }).kind(), ErrorKind::Internal);
    pf.beginWrite();
    EXPECT_EQ(errorOf([&] { pf.beginWrite(); }).kind(), ErrorKind::Internal);
    EXPECT_EQ(errorOf([&] { pf.write(4, filled(1)); }).kind(), ErrorKind::Internal);
    EXPECT_EQ(errorOf([&] { pf.write(0, std::vector<uint8_t>(10)); }).kind(), ErrorKind::Internal);
    pf.rollback();
}

TEST_F(PageWrite, AppendingToAFileWithAPartialLastPageIsRefused) {
    auto bytes = syntheticFile(2);
    bytes.resize(bytes.size() + 100);
    fs.addFile("odd.mdb", bytes);
    PageFile pf(fs, "odd.mdb", writable(), kPageSize);
    pf.beginWrite();
    EXPECT_EQ(errorOf([&] { pf.append(filled(1)); }).kind(), ErrorKind::Corrupt);
    pf.rollback();
    EXPECT_EQ(fs.bytes("odd.mdb"), bytes);
}

TEST_F(PageWrite, SecondWriterWaitsItsTimeoutThenFailsBusy) {
    PageFile first(fs, "db.mdb", writable(), kPageSize);
    PageFile second(fs, "db.mdb", writable(150ms), kPageSize);
    first.beginWrite();
    first.write(0, filled(9));
    auto start = std::chrono::steady_clock::now();
    Error e = errorOf([&] { second.beginWrite(); });
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(e.kind(), ErrorKind::Busy);
    EXPECT_EQ(e.number(), errnum::kBusy);
    EXPECT_TRUE(contains(e.what(), "locked")) << e.what();
    EXPECT_GE(waited, 150ms);
    EXPECT_LT(waited, 2000ms);
    EXPECT_FALSE(second.inWrite());
    first.commit();
    // The first save changed the file: the second writer's view is stale.
    Error stale = errorOf([&] { second.beginWrite(); });
    EXPECT_EQ(stale.kind(), ErrorKind::Io);
    EXPECT_TRUE(contains(stale.what(), "changed by another program")) << stale.what();
}

TEST_F(PageWrite, CommitWaitsForReadersAndUndoesTheSaveWhenTheyStay) {
    PageFile writer(fs, "db.mdb", writable(100ms), kPageSize);
    PageFile reader(fs, "db.mdb", {}, kPageSize);
    writer.beginWrite();
    writer.write(1, filled(0x11));
    {
        PageFile::ReadScope scope(reader);
        Error e = errorOf([&] { writer.commit(); });
        EXPECT_EQ(e.kind(), ErrorKind::Busy);
        EXPECT_TRUE(contains(e.what(), "reading")) << e.what();
        EXPECT_EQ((*reader.read(1))[0], 2);
    }
    EXPECT_FALSE(writer.inWrite());
    EXPECT_EQ(fs.bytes("db.mdb"), syntheticFile(4));
    writer.beginWrite();  // and the next try works once the reader is gone
    writer.write(1, filled(0x11));
    writer.commit();
    EXPECT_EQ((*reader.read(1))[0], 0x11);
}

TEST_F(PageWrite, ASaveInsideAReadScopeKeepsTheScopesLock) {
    PageFile pf(fs, "db.mdb", writable(), kPageSize);
    {
        PageFile::ReadScope scope(pf);
        EXPECT_EQ((*pf.read(1))[0], 2);
        pf.beginWrite();
        {
            PageFile::ReadScope inner(pf);  // opened and closed inside the save
            EXPECT_EQ((*pf.read(2))[0], 3);
        }
        pf.write(1, filled(0x21));
        pf.commit();
        EXPECT_EQ((*pf.read(1))[0], 0x21);
        // The scope still holds its shared lock: another program cannot commit now.
        PageFile other(fs, "db.mdb", writable(100ms), kPageSize);
        other.beginWrite();
        other.write(2, filled(0x22));
        EXPECT_EQ(errorOf([&] { other.commit(); }).kind(), ErrorKind::Busy);
    }
    // Scope closed: the lock is free again.
    PageFile third(fs, "db.mdb", writable(100ms), kPageSize);
    third.beginWrite();
    third.write(2, filled(0x23));
    third.commit();
    EXPECT_EQ((*pf.read(2))[0], 0x23);
}

TEST_F(PageWrite, ReaderWaitsForAWriterHoldingThePagesThenFailsBusy) {
    PageFile reader(fs, "db.mdb", PageFileOptions{false, 100ms, {}}, kPageSize);
    auto intruder = fs.open("db.mdb", FileSystem::Mode::ReadWrite);
    ASSERT_TRUE(intruder->tryLock(LockRange::Pages, LockMode::Exclusive));
    Error e = errorOf([&] { reader.read(0); });
    EXPECT_EQ(e.kind(), ErrorKind::Busy);
    intruder.reset();
    EXPECT_EQ((*reader.read(0))[0], 1);
}

TEST_F(PageWrite, FileChangedSinceOpeningIsRefusedBeforeTheSaveStarts) {
    PageFile pf(fs, "db.mdb", writable(), kPageSize);
    auto other = fs.open("db.mdb", FileSystem::Mode::ReadWrite);
    const uint8_t b = 0x77;
    other->writeAt(5, &b, 1);
    Error e = errorOf([&] { pf.beginWrite(); });
    EXPECT_EQ(e.kind(), ErrorKind::Io);
    EXPECT_TRUE(contains(e.what(), "changed by another program")) << e.what();
    EXPECT_FALSE(pf.inWrite());
}

TEST_F(PageWrite, ReadOnlyOpeningRefusesSaves) {
    PageFile pf(fs, "db.mdb", {}, kPageSize);
    Error e = errorOf([&] { pf.beginWrite(); });
    EXPECT_EQ(e.kind(), ErrorKind::ReadOnly);
    EXPECT_EQ(e.number(), errnum::kReadOnly);
    fs.setReadOnly("db.mdb", true);
    Error e2 = errorOf([&] { PageFile w(fs, "db.mdb", writable(), kPageSize); });
    EXPECT_EQ(e2.kind(), ErrorKind::ReadOnly);
    EXPECT_TRUE(contains(e2.what(), "read-only")) << e2.what();
}

TEST(PageWriteRealFile, ReadOnlyFileGivesAClearErrorAndStaysUnchanged) {
    tdv::test::TempDir dir;
    auto path = dir.copy(tdv::test::testdataDir() / "V2000" / "testV2000.mdb");
    auto before = readWhole(path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    Error e = errorOf([&] { PageFile pf(FileSystem::real(), path.string(), writable(), 4096); });
    EXPECT_EQ(e.kind(), ErrorKind::ReadOnly);
    EXPECT_TRUE(contains(e.what(), "read-only")) << e.what();
    EXPECT_TRUE(contains(e.what(), path.string())) << e.what();
    EXPECT_EQ(readWhole(path), before);
}

TEST(PageWriteRealFile, SaveOnDiskWritesPagesMovesTheTimeAndLeavesNoJournal) {
    for (const char* name : {"V1997/testV1997.mdb", "V2000/testV2000.mdb"}) {
        SCOPED_TRACE(name);
        tdv::test::TempDir dir;
        auto path = dir.copy(tdv::test::testdataDir() / name);
        uint32_t pageSize = std::string(name).starts_with("V1997") ? 2048 : 4096;
        auto before = readWhole(path);
        auto mtimeBefore = std::filesystem::last_write_time(path);
        PageFile pf(FileSystem::real(), path.string(), writable(), pageSize);
        uint32_t count = pf.pageCount();
        std::vector<uint8_t> changed(*pf.read(count - 1));
        changed[100] ^= 0xFF;
        pf.beginWrite();
        pf.write(count - 1, changed);
        pf.append(std::vector<uint8_t>(pageSize, 0x5A));
        pf.commit();
        auto after = readWhole(path);
        ASSERT_EQ(after.size(), before.size() + pageSize);
        EXPECT_TRUE(std::equal(before.begin(), before.end() - pageSize, after.begin()));
        EXPECT_EQ(after[(count - 1) * size_t{pageSize} + 100],
                  before[before.size() - pageSize + 100] ^ 0xFF);
        EXPECT_EQ(after.back(), 0x5A);
        EXPECT_GT(std::filesystem::last_write_time(path), mtimeBefore);
        EXPECT_FALSE(std::filesystem::exists(journalPathFor(path.string())));
        // Saving again right away still works: this PageFile's own save is not "a change by
        // another program".
        pf.beginWrite();
        pf.write(0, std::vector<uint8_t>(*pf.read(0)));
        pf.commit();
    }
}

TEST(PageWriteRealFile, TwoWritersOnDiskExcludeEachOther) {
    tdv::test::TempDir dir;
    auto path = dir.copy(tdv::test::testdataDir() / "jet4-empty" / "empty.mdb").string();
    PageFile a(FileSystem::real(), path, writable(), 4096);
    PageFile b(FileSystem::real(), path, writable(100ms), 4096);
    a.beginWrite();
    EXPECT_EQ(errorOf([&] { b.beginWrite(); }).kind(), ErrorKind::Busy);
    a.rollback();
    b.beginWrite();  // nothing was written: b's view is still current
    b.rollback();
}

// A reader in a loop while a writer saves in a loop (two opens of one file on disk, one per
// thread): every read transaction sees the pages of one save, never a mix of two.
TEST(PageWriteRealFile, ReaderNeverSeesHalfASaveWhileAWriterSavesInALoop) {
    tdv::test::TempDir dir;
    auto path = dir.copy(tdv::test::testdataDir() / "jet4-empty" / "empty.mdb").string();
    constexpr uint32_t kPage = 4096;
    constexpr int kSaves = 30;
    PageFileOptions options = writable();
    options.sync = false;
    PageFile writer(FileSystem::real(), path, options, kPage);
    ASSERT_GE(writer.pageCount(), 4u);
    // Pages 1 to 3 end with the number of the save that wrote them.
    auto save = [&](int number) {
        writer.beginWrite();
        for (uint32_t n = 1; n < 4; ++n) {
            std::vector<uint8_t> page(*writer.read(n));
            page[kPage - 1] = static_cast<uint8_t>(number);
            writer.write(n, std::move(page));  // front to back: a reader between would mix
        }
        writer.commit();
    };
    save(0);
    PageFile reader(FileSystem::real(), path, {}, kPage);
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    std::thread saver([&] {
        try {
            for (int number = 1; number <= kSaves; ++number) {
                save(number);
                std::this_thread::sleep_for(100us);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        done = true;
    });
    int reads = 0;
    int mixed = 0;
    int older = 0;
    uint8_t last = 0;
    while (!done || reads == 0) {
        {
            PageFile::ReadScope scope(reader);
            const uint8_t first = (*reader.read(1))[kPage - 1];
            for (uint32_t n = 2; n < 4; ++n) {
                std::this_thread::sleep_for(50us);  // give a save the chance to come between
                mixed += (*reader.read(n))[kPage - 1] != first;
            }
            older += first < last;
            last = first;
            ++reads;
        }
        // A pause between read transactions, as between a program's queries: a reader that
        // never lets go would keep every save waiting.
        std::this_thread::sleep_for(200us);
    }
    saver.join();
    if (failure) std::rethrow_exception(failure);
    EXPECT_EQ(mixed, 0) << "of " << reads << " reads";
    EXPECT_EQ(older, 0) << "of " << reads << " reads";
    EXPECT_GT(reads, 1);
    PageFile::ReadScope scope(reader);
    EXPECT_EQ((*reader.read(3))[kPage - 1], kSaves);
}
