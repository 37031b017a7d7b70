// The one class that touches a database file: whole-page reads and atomic saves.
//
// Reading. Pages are read through a FileSystem so tests can substitute one that fails or
// "crashes" at chosen points. Reads are bounds-checked: asking for a page beyond the end of
// the file raises Error(Corrupt). Recently read pages are kept in a small cache; a returned
// Page stays valid as long as the caller holds it.
//
// Saving. A PageFile opened with PageFileOptions::writable saves in transactions:
//   beginWrite(); write(n, bytes); append(bytes); ...; commit();   (or rollback())
// Written pages stay in memory until commit; reads inside the transaction see them.
// commit() makes the save atomic with the rollback journal (journal.h lists its rules):
// after a crash or power loss at any moment the file holds either every old page or every
// new page (with PageFileOptions::sync off, only a program's crash is covered, not a power
// loss). When commit() fails (full disk, I/O error, lock timeout) the save is undone, the
// transaction ends and the error says what happened; the file is as before.
//
// Locks (opened by path only; see file.h for the two lock ranges):
//   - a save holds the Writer lock from beginWrite() to the end of commit()/rollback(); a
//     second writer waits PageFileOptions::busyTimeout, then fails with Error(Busy);
//     holdWriter() keeps it across several saves;
//   - commit() holds the Pages lock exclusively while it overwrites pages; readers hold it
//     shared while they read, so no reader ever sees half of a save. A reader takes it for
//     each page read, or once for many reads with a ReadScope (cheaper, and every page read
//     in one scope comes from one version of the file). Holding a ReadScope for long delays
//     other programs' saves, which give up after their busy timeout;
//   - when a reader finds that the file changed since its cache was filled, it drops the
//     cache; if the change was a save that stopped half-way (a journal is left), it rolls
//     that save back first (which needs write access to the file).
// Opening by path rolls back an unfinished save left by a crashed writer before anything
// is read. beginWrite() refuses, with a clear error, when the file was changed by another
// program since it was opened (size, modification time or identity differ).
//
// A save may start and end inside a ReadScope (a scan that stays open while a row is
// updated); the scope's shared lock is upgraded for the commit and given back after it.
//
// A PageFile is not thread-safe; several PageFiles (in one process or several) may share a
// file, the locks keep them apart.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "jet/crash_point.h"
#include "jet/file.h"

namespace jet {

using Page = std::shared_ptr<const std::vector<uint8_t>>;

struct PageFileOptions {
    bool writable = false;
    // How long to wait for another program's lock before failing with Error(Busy).
    std::chrono::milliseconds busyTimeout{3000};
    // Test hook (crash_point.h); when not given, TDV_CRASH_AT from the environment.
    std::optional<std::string> crashAt;
    // Whether a save syncs (fsync) the journal, the database and their folder. Without
    // syncs the journal is still written and removed, so a save stays all-or-nothing when
    // a program stops; only a power loss or an operating-system crash may then lose or tear
    // it. For scratch files and bulk builds that are thrown away on failure.
    bool sync = true;
    // Whether opening rolls back a save a crashed writer left unfinished. When false the
    // file is never changed: a leftover journal makes the open (or a later read that finds
    // one) fail with Error(Corrupt) and the text kInterruptedSaveText (journal.h).
    bool rollBackJournal = true;
};

class PageFile {
public:
    // Over an already open file: reads only, no locks, no journal. pageSize is known once
    // the caller has read the header; 0 = not known yet.
    PageFile(std::unique_ptr<File> file, uint32_t pageSize);
    // Opens path through fs, with locks and the journal; rolls back an unfinished save.
    // Throws Error(ReadOnly) when writable is asked for a read-only file, Error(Busy) when a
    // crashed save must be rolled back and another program holds the lock.
    PageFile(FileSystem& fs, std::string path, PageFileOptions options = {}, uint32_t pageSize = 0);
    ~PageFile();
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    void setPageSize(uint32_t pageSize);
    uint32_t pageSize() const { return pageSize_; }
    // Pages in the file, including pages appended by the open transaction.
    uint32_t pageCount() const;

    // Whole page n. Throws Error(Corrupt) when n is beyond the file.
    Page read(uint32_t n);
    // Raw bytes at an offset, for the header before the page size is known.
    void readRaw(uint64_t offset, uint8_t* out, size_t n);

    void dropCache();
    File& file() { return *file_; }
    const std::string& path() const { return path_; }
    bool writable() const { return writable_; }

    // Holds the shared Pages lock for its lifetime (nests; a no-op without locks).
    class ReadScope {
    public:
        explicit ReadScope(PageFile& pages);
        ~ReadScope();
        ReadScope(const ReadScope&) = delete;
        ReadScope& operator=(const ReadScope&) = delete;

    private:
        PageFile& pages_;
    };

    // Starts a save. Throws Error(ReadOnly) when not opened writable, Error(Busy) when
    // another writer holds the lock past the timeout, Error(Io) when the file changed since
    // it was opened, Error(Internal) when a save is already open.
    void beginWrite();
    bool inWrite() const { return inWrite_; }
    // Keeps the Writer lock from now until the matching releaseWriter(), across any number
    // of this PageFile's saves, so that no other program saves in between (a change made of
    // several saves). Waits busyTimeout for another writer, then throws Error(Busy);
    // Error(ReadOnly) when not opened writable. Holds nest.
    void holdWriter();
    void releaseWriter() noexcept;
    // Replaces page n (n < pageCount()); contents must be pageSize() bytes.
    void write(uint32_t n, std::vector<uint8_t> contents);
    // Adds a page at the end and returns its number.
    uint32_t append(std::vector<uint8_t> contents);
    // Makes every written page durable at once (see above); on failure undoes the save.
    void commit();
    // Forgets every written page and ends the save. Never throws.
    void rollback() noexcept;

    // Notes that page n (n < pageCount()) is no longer used by anything once this save
    // commits, so the commit hook can list it as free. The page's bytes are not changed.
    void release(uint32_t n);
    const std::set<uint32_t>& releasedPages() const { return released_; }
    // Pages in the file when the open save began; pages from here on were appended by it.
    uint32_t pageCountAtBegin() const;
    // Runs at the start of every commit() that changed or released pages, inside the save
    // (it may read, write and append pages; a throw rolls the save back). The database sets
    // one to keep its free-page map in step with the pages a save adds and releases.
    void setCommitHook(std::function<void(PageFile&)> hook) { commitHook_ = std::move(hook); }

private:
    void enterRead();
    void leaveRead() noexcept;
    void validateCache();
    void recoverLeftoverJournal();
    void refuseLeftoverJournal();
    Page readCommitted(uint32_t n);
    void cachePut(uint32_t n, Page page);
    void endWrite() noexcept;
    LockMode pagesLockBetweenWrites() const;
    void commitLocked();
    void checkPage(const std::vector<uint8_t>& contents) const;

    std::unique_ptr<File> file_;
    FileSystem* fs_ = nullptr;  // null: opened over a File, no locks, no journal
    std::string path_;
    PageFileOptions options_;
    CrashPoints crash_;
    bool writable_ = false;
    uint32_t pageSize_;
    uint64_t fileSize_;
    std::unordered_map<uint32_t, Page> cache_;
    std::vector<uint32_t> cacheOrder_;
    FileIdentity cacheIdentity_;   // the version of the file the cache was filled from
    FileIdentity openedIdentity_;  // the version opened, or written by this PageFile's last save
    int readDepth_ = 0;

    bool inWrite_ = false;
    int writerHolds_ = 0;  // holdWriter() calls not yet released
    uint64_t writeOriginalSize_ = 0;
    uint32_t writePageCount_ = 0;
    std::map<uint32_t, Page> dirty_;  // ordered: pages are written front to back
    std::set<uint32_t> released_;
    std::function<void(PageFile&)> commitHook_;
};

}  // namespace jet
