// The rollback journal's invariants (journal.h) and what they promise: whatever happens
// during a save (crash or power loss at any write or sync, full disk, I/O error, the
// process killed), the file afterwards holds all old pages or all new pages, byte for byte.
#include "jet/journal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "helpers/fault_fs.h"
#include "helpers/testdata.h"
#include "jet/error.h"
#include "jet/memory_file.h"
#include "jet/page_file.h"

using namespace jet;
using tdv::test::FaultFileSystem;
using tdv::test::SimulatedCrash;

namespace {

const std::string kDb = "dir/db.mdb";
const std::string kJournal = "dir/db.mdb-journal";

std::vector<uint8_t> readWhole(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> syntheticFile(uint32_t pages, uint32_t pageSize) {
    std::vector<uint8_t> out;
    for (uint32_t i = 0; i < pages; ++i) out.insert(out.end(), pageSize, uint8_t(i + 1));
    return out;
}

PageFileOptions writable() {
    PageFileOptions o;
    o.writable = true;
    o.busyTimeout = std::chrono::milliseconds(200);
    o.crashAt = "";  // never from the environment in these tests
    return o;
}

// The save every test makes: three pages overwritten (first, middle, last) and two
// appended, so a half-done save is visible wherever it stops.
struct Save {
    uint32_t pageSize;
    std::vector<uint8_t> before;

    void apply(PageFile& pf) const {
        uint32_t count = static_cast<uint32_t>(before.size() / pageSize);
        pf.beginWrite();
        for (uint32_t n : {1u, count / 2, count - 1}) {
            std::vector<uint8_t> page(*pf.read(n));
            for (size_t i = 0; i < page.size(); i += 7) page[i] = uint8_t(page[i] ^ 0xA5);
            pf.write(n, std::move(page));
        }
        pf.append(std::vector<uint8_t>(pageSize, 0xE1));
        pf.append(std::vector<uint8_t>(pageSize, 0xE2));
        pf.commit();
    }

    std::vector<uint8_t> after() const {
        MemoryFileSystem fs;
        fs.addFile(kDb, before);
        PageFile pf(fs, kDb, writable(), pageSize);
        apply(pf);
        return fs.bytes(kDb);
    }
};

Save realSave(const char* name) {
    uint32_t pageSize = std::string(name).starts_with("V1997") ? 2048 : 4096;
    return Save{pageSize, readWhole(tdv::test::testdataDir() / name)};
}

// Reopens the disk after a crash (which rolls back any unfinished save) and returns the file.
std::vector<uint8_t> reopen(MemoryFileSystem& disk, uint32_t pageSize) {
    PageFile pf(disk, kDb, writable(), pageSize);
    EXPECT_FALSE(disk.exists(kJournal));
    return disk.bytes(kDb);
}

size_t indexOf(const std::vector<std::string>& log, const std::string& entry, size_t from = 0) {
    auto it = std::find(log.begin() + long(from), log.end(), entry);
    return it == log.end() ? SIZE_MAX : size_t(it - log.begin());
}

}  // namespace

// Invariant 1: originals and the original size are journalled and synced (file and folder)
// before the first page of the database is overwritten.
TEST(Journal, Invariant1_OriginalsAreDurableBeforeAnyPageIsOverwritten) {
    Save save{2048, syntheticFile(6, 2048)};
    MemoryFileSystem disk;
    disk.addFile(kDb, save.before);
    FaultFileSystem fs(disk);
    PageFile pf(fs, kDb, writable(), 2048);
    save.apply(pf);
    const auto& log = fs.log();
    size_t firstDbWrite = indexOf(log, "write " + kDb);
    ASSERT_NE(firstDbWrite, SIZE_MAX);
    EXPECT_LT(indexOf(log, "create " + kJournal), firstDbWrite);
    EXPECT_LT(indexOf(log, "sync " + kJournal), firstDbWrite);
    EXPECT_LT(indexOf(log, "syncdir " + kJournal), firstDbWrite);
    EXPECT_LT(indexOf(log, "sync " + kJournal), indexOf(log, "syncdir " + kJournal));

    // What survives a power loss at that first database write: a journal that restores
    // every overwritten page and the original size.
    MemoryFileSystem disk2;
    disk2.addFile(kDb, save.before);
    FaultFileSystem fs2(disk2);
    fs2.crashAt(int(firstDbWrite) + 1, FaultFileSystem::Loss::DropUnsynced);
    PageFile pf2(fs2, kDb, writable(), 2048);
    EXPECT_THROW(save.apply(pf2), SimulatedCrash);
    ASSERT_TRUE(disk2.exists(kJournal));
    // Damage the overwritten pages as badly as possible; the journal must repair them.
    auto wrecked = save.after();
    disk2.addFile(kDb, wrecked);
    CrashPoints none;
    auto file = disk2.open(kDb, FileSystem::Mode::ReadWrite);
    EXPECT_EQ(recoverJournal(disk2, kDb, *file, 2048, none), JournalOutcome::RolledBack);
    EXPECT_EQ(disk2.bytes(kDb), save.before);
}

// Invariant 2: a journal with any damage is recognised as torn (and so never replayed).
TEST(Journal, Invariant2_TornJournalsAreRecognised) {
    const uint32_t ps = 512;
    auto original = syntheticFile(4, ps);
    std::vector<uint8_t> p1(original.begin() + ps, original.begin() + 2 * ps);
    std::vector<uint8_t> p3(original.begin() + 3 * ps, original.end());
    auto modified = original;
    std::fill(modified.begin() + ps, modified.end(), 0xEE);
    modified.resize(6 * ps, 0xEE);

    MemoryFileSystem base;
    CrashPoints none;
    writeJournal(base, kJournal, ps, original.size(), {{1, &p1}, {3, &p3}}, none);
    const auto journal = base.bytes(kJournal);

    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
    };
    std::vector<Damage> damages = {
        {"cut inside the last record", [](auto& j) { j.pop_back(); }},
        {"cut inside the header", [](auto& j) { j.erase(j.begin() + 20, j.end()); }},
        {"empty", [](auto& j) { j.clear(); }},
        {"byte of a record's page", [](auto& j) { j[40 + 4 + 100] ^= 1; }},
        {"record's page number", [](auto& j) { j[40] ^= 2; }},
        {"record checksum", [](auto& j) { j.back() ^= 0x80; }},
        {"magic", [](auto& j) { j[0] = 'X'; }},
        {"page size", [](auto& j) { j[13] ^= 0x10; }},
        {"record count", [](auto& j) { j[24] = 9; }},
        {"zeros where records were", [](auto& j) { std::fill(j.begin() + 40, j.end(), 0); }},
    };
    for (const auto& d : damages) {
        SCOPED_TRACE(d.what);
        MemoryFileSystem fs;
        auto j = journal;
        d.apply(j);
        fs.addFile(kJournal, j);
        fs.addFile(kDb, modified);
        auto db = fs.open(kDb, FileSystem::Mode::ReadWrite);
        EXPECT_EQ(recoverJournal(fs, kDb, *db, 0, none), JournalOutcome::DiscardedTorn);
        EXPECT_EQ(fs.bytes(kDb), modified);  // untouched
        EXPECT_FALSE(fs.exists(kJournal));
    }
    // A journal for another page size does not belong to this database.
    MemoryFileSystem fs;
    fs.addFile(kJournal, journal);
    fs.addFile(kDb, modified);
    auto db = fs.open(kDb, FileSystem::Mode::ReadWrite);
    EXPECT_EQ(recoverJournal(fs, kDb, *db, 4096, none), JournalOutcome::DiscardedTorn);

    // The undamaged journal restores pages 1 and 3 and the size; page 2 was not journalled.
    MemoryFileSystem good;
    good.addFile(kJournal, journal);
    good.addFile(kDb, modified);
    auto gdb = good.open(kDb, FileSystem::Mode::ReadWrite);
    EXPECT_EQ(recoverJournal(good, kDb, *gdb, ps, none), JournalOutcome::RolledBack);
    auto expected = original;
    std::fill(expected.begin() + 2 * ps, expected.begin() + 3 * ps, 0xEE);
    EXPECT_EQ(good.bytes(kDb), expected);
}

// Invariant 3: the database is synced after its last page write and before the journal is
// removed; the removal is made durable by syncing the folder.
TEST(Journal, Invariant3_DatabaseIsSyncedBeforeTheJournalIsRemoved) {
    Save save{2048, syntheticFile(6, 2048)};
    MemoryFileSystem disk;
    disk.addFile(kDb, save.before);
    FaultFileSystem fs(disk);
    PageFile pf(fs, kDb, writable(), 2048);
    save.apply(pf);
    const auto& log = fs.log();
    size_t lastDbWrite = 0;
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i] == "write " + kDb) lastDbWrite = i;
    size_t dbSync = indexOf(log, "sync " + kDb, lastDbWrite);
    size_t removal = indexOf(log, "remove " + kJournal);
    size_t folderSync = indexOf(log, "syncdir " + kJournal, removal);
    EXPECT_LT(lastDbWrite, dbSync);
    EXPECT_LT(dbSync, removal);
    EXPECT_NE(folderSync, SIZE_MAX);
    EXPECT_EQ(folderSync, log.size() - 1);
    EXPECT_EQ(disk.bytes(kDb), save.after());
}

// Invariant 4: a valid leftover journal is rolled back on open, before anything is read,
// and a crash during that rollback is repaired by the next open.
TEST(Journal, Invariant4_LeftoverJournalIsRolledBackOnOpenEvenAfterACrashInRecovery) {
    Save save = realSave("V2000/testV2000.mdb");
    MemoryFileSystem disk;
    disk.addFile(kDb, save.before);
    {
        // Power fails after every page is written, before the database sync: all kept.
        FaultFileSystem fs(disk);
        PageFile probe(fs, kDb, writable(), save.pageSize);
        size_t dbSync = 0;
        {
            MemoryFileSystem dry;
            dry.addFile(kDb, save.before);
            FaultFileSystem dryFs(dry);
            PageFile pf(dryFs, kDb, writable(), save.pageSize);
            save.apply(pf);
            dbSync = indexOf(dryFs.log(), "sync " + kDb);
        }
        fs.crashAt(int(dbSync) + 1, FaultFileSystem::Loss::KeepUnsynced);
        EXPECT_THROW(save.apply(probe), SimulatedCrash);
    }
    ASSERT_TRUE(disk.exists(kJournal));
    ASSERT_EQ(disk.bytes(kDb), save.after());  // every new page reached the disk

    // Crash in the middle of the rollback, at each of its operations, then open again.
    int recoveryOps = 0;
    {
        MemoryFileSystem dry;
        dry.addFile(kDb, disk.bytes(kDb));
        dry.addFile(kJournal, disk.bytes(kJournal));
        FaultFileSystem dryFs(dry);
        PageFile pf(dryFs, kDb, writable(), save.pageSize);
        recoveryOps = dryFs.operations();
        EXPECT_EQ(dry.bytes(kDb), save.before);
    }
    ASSERT_GT(recoveryOps, 3);
    for (int k = 1; k <= recoveryOps; ++k) {
        SCOPED_TRACE(k);
        MemoryFileSystem again;
        again.addFile(kDb, disk.bytes(kDb));
        again.addFile(kJournal, disk.bytes(kJournal));
        FaultFileSystem fs(again);
        fs.crashAt(k, FaultFileSystem::Loss::RandomSubset, uint32_t(k));
        EXPECT_THROW(PageFile(fs, kDb, writable(), save.pageSize), SimulatedCrash);
        EXPECT_EQ(reopen(again, save.pageSize), save.before);
    }
    // A reader (opened read-only) repairs it as well, when the file may be written.
    PageFile reader(disk, kDb, {}, save.pageSize);
    EXPECT_EQ(disk.bytes(kDb), save.before);
    EXPECT_FALSE(disk.exists(kJournal));
}

// Invariant 5: a torn journal means the database was not touched: it is removed, the
// database is left as it is.
TEST(Journal, Invariant5_TornJournalIsRemovedAndTheDatabaseLeftAlone) {
    Save save{2048, syntheticFile(6, 2048)};
    MemoryFileSystem disk;
    disk.addFile(kDb, save.before);
    disk.addFile(kJournal, std::vector<uint8_t>(300, 0x5C));
    PageFile pf(disk, kDb, writable(), 2048);
    EXPECT_FALSE(disk.exists(kJournal));
    EXPECT_EQ(disk.bytes(kDb), save.before);
    EXPECT_EQ((*pf.read(5))[0], 6);
}

// Invariant 6: appended pages have no record; rolling back truncates them away.
TEST(Journal, Invariant6_AppendedPagesAreRemovedByTruncation) {
    Save save{2048, syntheticFile(3, 2048)};
    MemoryFileSystem disk;
    disk.addFile(kDb, save.before);
    FaultFileSystem fs(disk);
    PageFile pf(fs, kDb, writable(), 2048);
    pf.beginWrite();
    pf.append(std::vector<uint8_t>(2048, 0x99));
    pf.append(std::vector<uint8_t>(2048, 0x98));
    fs.crashAt(fs.operations() + 7, FaultFileSystem::Loss::KeepUnsynced);
    // create, header, (no records), sync, syncdir, write, write | crash before db sync
    EXPECT_THROW(pf.commit(), SimulatedCrash);
    ASSERT_EQ(disk.bytes(kDb).size(), 5u * 2048);
    ASSERT_TRUE(disk.exists(kJournal));
    EXPECT_EQ(disk.bytes(kJournal).size(), 40u);  // a header and no record
    EXPECT_EQ(reopen(disk, 2048), save.before);
}

// Invariant 7: a journal belongs to the save of whoever holds the Writer lock; another
// writer does not touch it while that lock is held, it waits and fails Busy.
TEST(Journal, Invariant7_ALiveWritersJournalIsNotRolledBackByOthers) {
    Save save{2048, syntheticFile(4, 2048)};
    MemoryFileSystem disk;
    disk.addFile(kDb, save.before);
    auto modified = save.before;
    modified[0] = 0x42;
    std::vector<uint8_t> p0(save.before.begin(), save.before.begin() + 2048);
    CrashPoints none;
    writeJournal(disk, kJournal, 2048, save.before.size(), {{0, &p0}}, none);
    disk.addFile(kDb, modified);  // the live writer has overwritten page 0
    auto liveWriter = disk.open(kDb, FileSystem::Mode::ReadWrite);
    ASSERT_TRUE(liveWriter->tryLock(LockRange::Writer, LockMode::Exclusive));
    ASSERT_TRUE(liveWriter->tryLock(LockRange::Pages, LockMode::Exclusive));
    EXPECT_THROW(PageFile(disk, kDb, writable(), 2048), Error);  // Busy: cannot recover now
    EXPECT_TRUE(disk.exists(kJournal));
    EXPECT_EQ(disk.bytes(kDb), modified);
    liveWriter.reset();  // the writer died: now the journal is a leftover
    EXPECT_EQ(reopen(disk, 2048), save.before);
}

// Power loss at every counted operation of a multi-page save, with the unsynced writes
// dropped, kept, or kept in random part: after reopening, all old or all new pages.
TEST(JournalCrash, PowerLossAtEveryOperationLeavesAllOldOrAllNewPages) {
    for (const char* name : {"V1997/testV1997.mdb", "V2000/testV2000.mdb"}) {
        SCOPED_TRACE(name);
        Save save = realSave(name);
        auto after = save.after();
        int total = 0;
        {
            MemoryFileSystem disk;
            disk.addFile(kDb, save.before);
            FaultFileSystem fs(disk);
            PageFile pf(fs, kDb, writable(), save.pageSize);
            save.apply(pf);
            total = fs.operations();
        }
        ASSERT_GT(total, 10);
        int sawOld = 0, sawNew = 0;
        for (int k = 1; k <= total; ++k) {
            for (auto loss :
                 {FaultFileSystem::Loss::DropUnsynced, FaultFileSystem::Loss::KeepUnsynced,
                  FaultFileSystem::Loss::RandomSubset}) {
                for (uint32_t seed = 0;
                     seed < (loss == FaultFileSystem::Loss::RandomSubset ? 4u : 1u); ++seed) {
                    SCOPED_TRACE("operation " + std::to_string(k) + " loss " +
                                 std::to_string(int(loss)) + " seed " + std::to_string(seed));
                    MemoryFileSystem disk;
                    disk.addFile(kDb, save.before);
                    FaultFileSystem fs(disk);
                    fs.crashAt(k, loss, seed * 7919 + uint32_t(k));
                    {
                        PageFile pf(fs, kDb, writable(), save.pageSize);
                        EXPECT_THROW(save.apply(pf), SimulatedCrash);
                    }
                    auto result = reopen(disk, save.pageSize);
                    bool isOld = result == save.before, isNew = result == after;
                    EXPECT_TRUE(isOld || isNew);
                    sawOld += isOld;
                    sawNew += isNew;
                }
            }
        }
        EXPECT_GT(sawOld, 0);
        EXPECT_GT(sawNew, 0);  // once the journal's removal is durable the save has happened
    }
}

// A write that fails (full disk, I/O error) at any point of the save: the save is undone,
// the error says why, the file is unchanged and the next save works.
TEST(JournalFailure, FailedWriteAnywhereLeavesTheFileUnchanged) {
    Save save = realSave("V2000/testV2000.mdb");
    auto after = save.after();
    int writes = 0;
    {
        MemoryFileSystem disk;
        disk.addFile(kDb, save.before);
        FaultFileSystem fs(disk);
        PageFile pf(fs, kDb, writable(), save.pageSize);
        save.apply(pf);
        writes = fs.writes();
    }
    for (int err : {ENOSPC, EIO}) {
        for (bool persistent : {false, true}) {
            for (int k = 1; k <= writes; ++k) {
                SCOPED_TRACE("write " + std::to_string(k) + " errno " + std::to_string(err) +
                             (persistent ? " persistent" : ""));
                MemoryFileSystem disk;
                disk.addFile(kDb, save.before);
                FaultFileSystem fs(disk);
                fs.failWrite(k, err, persistent);
                PageFile pf(fs, kDb, writable(), save.pageSize);
                try {
                    save.apply(pf);
                    ADD_FAILURE() << "the save did not fail";
                } catch (const Error& e) {
                    EXPECT_EQ(e.kind(), ErrorKind::Io);
                    if (err == ENOSPC) {
                        EXPECT_NE(std::string(e.what()).find("disk is full"), std::string::npos)
                            << e.what();
                    }
                    EXPECT_NE(std::string(e.what()).find("not saved"), std::string::npos)
                        << e.what();
                }
                EXPECT_FALSE(pf.inWrite());
                if (!persistent) {
                    EXPECT_EQ(disk.bytes(kDb), save.before);
                    EXPECT_FALSE(disk.exists(kJournal));
                    EXPECT_EQ(*pf.read(1),
                              std::vector<uint8_t>(save.before.begin() + save.pageSize,
                                                   save.before.begin() + 2 * save.pageSize));
                    fs.failWrite(0, 0);
                    save.apply(pf);  // the cache and the lock are back in order
                    EXPECT_EQ(disk.bytes(kDb), after);
                } else {
                    // Even the rollback could not write: the journal repairs it on next open.
                    EXPECT_EQ(reopen(disk, save.pageSize), save.before);
                }
            }
        }
    }
}

// Needs the crash points of the test hooks.
#ifdef TDV_TEST_HOOKS
// The writing process really dies (_exit) at each named crash point; reopening the file
// afterwards gives all old or all new pages.
TEST(JournalProcessDeath, ProcessKilledAtEachCrashPoint) {
    Save save = realSave("V1997/testV1997.mdb");
    auto after = save.after();
    struct Point {
        const char* crashPoint;
        bool expectNew;
    };
    for (Point p : {Point{"journal-written", false}, Point{"journal-synced", false},
                    Point{"page-written:1", false}, Point{"page-written:4", false},
                    Point{"database-synced", false}, Point{"journal-removed", true}}) {
        SCOPED_TRACE(p.crashPoint);
        tdv::test::TempDir dir;
        auto path = (dir.path() / "db.mdb").string();
        {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(save.before.data()), long(save.before.size()));
        }
        PageFileOptions options = writable();
        options.crashAt = p.crashPoint;
        auto saveThenExit = [&] {
            PageFile pf(FileSystem::real(), path, options, save.pageSize);
            Save{save.pageSize, readWhole(path)}.apply(pf);
            std::exit(0);
        };
        EXPECT_EXIT(saveThenExit(), ::testing::ExitedWithCode(CrashPoints::kExitCode), "");
        { PageFile pf(FileSystem::real(), path, writable(), save.pageSize); }
        EXPECT_FALSE(std::filesystem::exists(journalPathFor(path)));
        EXPECT_EQ(readWhole(path), p.expectNew ? after : save.before);
    }
}
#endif  // TDV_TEST_HOOKS
