// PageFile: the save transaction (beginWrite, write, append, commit, rollback).
#include <algorithm>
#include <chrono>
#include <optional>

#include "jet/error.h"
#include "jet/file_lock.h"
#include "jet/journal.h"
#include "jet/page_file.h"

namespace jet {
namespace {

[[noreturn]] void internal(const std::string& what) {
    throw Error(ErrorKind::Internal, errnum::kInternal, "Page file: " + what);
}

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void PageFile::beginWrite() {
    if (inWrite_) internal("a save is already in progress");
    if (!fs_ || !writable_)
        throw Error(ErrorKind::ReadOnly, errnum::kReadOnly,
                    "Cannot save changes: the database '" + path_ + "' is open read-only");
    if (pageSize_ == 0) internal("the page size is not known yet");
    // A writer hold (holdWriter) already owns the Writer lock.
    std::optional<LockHolder> writer;
    if (writerHolds_ == 0)
        writer.emplace(*file_, LockRange::Writer, LockMode::Exclusive, LockMode::Unlocked,
                       options_.busyTimeout, path_);
    if (fs_->exists(journalPathFor(path_))) {
        LockHolder pages(*file_, LockRange::Pages, LockMode::Exclusive, pagesLockBetweenWrites(),
                         options_.busyTimeout, path_);
        recoverJournal(*fs_, path_, *file_, 0, crash_);
    }
    FileIdentity now = file_->identity();
    if (now != openedIdentity_)
        throw Error(ErrorKind::Io, errnum::kIo,
                    "Cannot save changes: the database '" + path_ +
                        "' was changed by another program since it was opened. Open it "
                        "again and repeat the change.");
    if (now != cacheIdentity_) {
        cache_.clear();
        cacheOrder_.clear();
        cacheIdentity_ = now;
    }
    fileSize_ = now.size;
    writeOriginalSize_ = now.size;
    writePageCount_ = static_cast<uint32_t>(now.size / pageSize_);
    dirty_.clear();
    released_.clear();
    inWrite_ = true;
    // The transaction owns the Writer lock now; endWrite() releases it.
    if (writer) writer->keep();
}

void PageFile::holdWriter() {
    if (!fs_ || !writable_)
        throw Error(ErrorKind::ReadOnly, errnum::kReadOnly,
                    "Cannot save changes: the database '" + path_ + "' is open read-only");
    if (writerHolds_ == 0 && !inWrite_) {
        LockHolder writer(*file_, LockRange::Writer, LockMode::Exclusive, LockMode::Unlocked,
                          options_.busyTimeout, path_);
        writer.keep();
    }
    ++writerHolds_;
}

void PageFile::releaseWriter() noexcept {
    if (writerHolds_ == 0) return;
    if (--writerHolds_ > 0 || inWrite_) return;
    try {
        file_->tryLock(LockRange::Writer, LockMode::Unlocked);
    } catch (...) {
        // The kernel drops the lock with the file.
    }
}

void PageFile::checkPage(const std::vector<uint8_t>& contents) const {
    if (!inWrite_) internal("no save in progress");
    if (contents.size() != pageSize_)
        internal("a page of " + std::to_string(contents.size()) + " bytes, expected " +
                 std::to_string(pageSize_));
}

void PageFile::write(uint32_t n, std::vector<uint8_t> contents) {
    checkPage(contents);
    if (n >= writePageCount_) internal("write to page " + std::to_string(n) + " beyond the end");
    dirty_[n] = std::make_shared<const std::vector<uint8_t>>(std::move(contents));
}

uint32_t PageFile::append(std::vector<uint8_t> contents) {
    checkPage(contents);
    // A partial page at the end would be overwritten without being journalled.
    if (writeOriginalSize_ % pageSize_ != 0)
        throw Error(ErrorKind::Corrupt, errnum::kCorrupt,
                    "Damaged database: the size of '" + path_ +
                        "' is not a whole number of pages; pages cannot be added");
    if (writePageCount_ == UINT32_MAX) internal("too many pages");
    uint32_t n = writePageCount_++;
    dirty_[n] = std::make_shared<const std::vector<uint8_t>>(std::move(contents));
    return n;
}

void PageFile::release(uint32_t n) {
    if (!inWrite_) internal("no save in progress");
    if (n >= writePageCount_ || n < 2)
        internal("release of page " + std::to_string(n) + ", which no table can own");
    released_.insert(n);
}

uint32_t PageFile::pageCountAtBegin() const {
    if (!inWrite_) internal("no save in progress");
    return static_cast<uint32_t>(writeOriginalSize_ / pageSize_);
}

void PageFile::rollback() noexcept {
    if (!inWrite_) return;
    dirty_.clear();
    endWrite();
}

LockMode PageFile::pagesLockBetweenWrites() const {
    return readDepth_ > 0 ? LockMode::Shared : LockMode::Unlocked;
}

void PageFile::endWrite() noexcept {
    inWrite_ = false;
    dirty_.clear();
    released_.clear();
    try {
        // While this PageFile holds the Writer lock nobody else holds Pages exclusively, so
        // taking it shared for ReadScopes opened during the save cannot fail here.
        file_->tryLock(LockRange::Pages, pagesLockBetweenWrites());
        if (writerHolds_ == 0) file_->tryLock(LockRange::Writer, LockMode::Unlocked);
    } catch (...) {
        // The kernel drops the lock with the file.
    }
}

void PageFile::commit() {
    if (!inWrite_) internal("no save in progress");
    try {
        if (commitHook_ && (!dirty_.empty() || !released_.empty())) commitHook_(*this);
        if (!dirty_.empty()) commitLocked();
    } catch (...) {
        endWrite();
        throw;
    }
    endWrite();
}

void PageFile::commitLocked() {
    LockHolder pages(*file_, LockRange::Pages, LockMode::Exclusive, pagesLockBetweenWrites(),
                     options_.busyTimeout, path_);
    // Originals of the pages this save overwrites (appended pages need none: invariant 6).
    std::vector<std::vector<uint8_t>> originals;
    std::vector<JournalRecord> records;
    for (const auto& [n, page] : dirty_) {
        if (uint64_t{n + 1} * pageSize_ > writeOriginalSize_) break;
        originals.emplace_back(pageSize_);
    }
    size_t i = 0;
    for (const auto& [n, page] : dirty_) {
        if (i == originals.size()) break;
        file_->readAt(uint64_t{n} * pageSize_, originals[i].data(), pageSize_);
        records.push_back(JournalRecord{n, &originals[i]});
        ++i;
    }
    std::string journalPath = journalPathFor(path_);
    try {
        writeJournal(*fs_, journalPath, pageSize_, writeOriginalSize_, records, crash_,
                     options_.sync);
    } catch (const Error& e) {
        // The database was not touched yet (invariant 1).
        throw Error(e.kind(), e.number(), e.what() + std::string(" The changes were not saved."));
    }

    try {
        for (const auto& [n, page] : dirty_) {
            file_->writeAt(uint64_t{n} * pageSize_, page->data(), pageSize_);
#ifdef TDV_TEST_HOOKS
            crash_.reached("page-written");
#endif
        }
        // Every save moves the modification time forward, even within the clock's
        // resolution, so other programs' readers always notice it.
        file_->setModificationTime(std::max(nowNs(), openedIdentity_.mtimeNs + 1000));
        if (options_.sync) file_->sync();
#ifdef TDV_TEST_HOOKS
        crash_.reached("database-synced");
#endif
        fs_->remove(journalPath);
#ifdef TDV_TEST_HOOKS
        crash_.reached("journal-removed");
#endif
    } catch (const Error& e) {
        std::string outcome = " The changes were not saved.";
        try {
            recoverJournal(*fs_, path_, *file_, pageSize_, crash_);
        } catch (const Error&) {
            outcome =
                " The changes were not saved; the database will be repaired when it is "
                "opened again.";
        }
        cache_.clear();
        cacheOrder_.clear();
        try {
            openedIdentity_ = cacheIdentity_ = file_->identity();
            fileSize_ = openedIdentity_.size;
        } catch (const Error&) {
        }
        throw Error(e.kind(), e.number(), e.what() + outcome);
    }
    // The save is in the file. If the folder cannot be synced, a power loss could still
    // bring the journal back and roll this save back as a whole, which keeps the file
    // consistent; reporting a failure now would wrongly tell the caller nothing was saved.
    try {
        if (options_.sync) fs_->syncDirectoryOf(journalPath);
    } catch (const Error&) {
    }
    for (const auto& [n, page] : dirty_) {
        if (cache_.count(n)) cachePut(n, page);
    }
    openedIdentity_ = cacheIdentity_ = file_->identity();
    fileSize_ = openedIdentity_.size;
}

}  // namespace jet
