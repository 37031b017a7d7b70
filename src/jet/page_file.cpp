// PageFile: opening, reading, the page cache and the reader's side of the locks.
// The save transaction is in page_write.cpp.
#include "jet/page_file.h"

#include "jet/error.h"
#include "jet/file_lock.h"
#include "jet/journal.h"

namespace jet {
namespace {

constexpr size_t kCachePages = 64;

}  // namespace

PageFile::PageFile(std::unique_ptr<File> file, uint32_t pageSize)
    : file_(std::move(file)), pageSize_(pageSize), fileSize_(file_->size()) {}

PageFile::PageFile(FileSystem& fs, std::string path, PageFileOptions options, uint32_t pageSize)
    : fs_(&fs),
      path_(std::move(path)),
      options_(std::move(options)),
#ifdef TDV_TEST_HOOKS
      crash_(options_.crashAt ? CrashPoints(*options_.crashAt) : CrashPoints::fromEnvironment()),
#endif
      writable_(options_.writable),
      pageSize_(pageSize),
      fileSize_(0) {
    file_ = fs.open(path_, writable_ ? FileSystem::Mode::ReadWrite : FileSystem::Mode::ReadOnly);
    if (fs.exists(journalPathFor(path_))) {
        if (options_.rollBackJournal)
            recoverLeftoverJournal();
        else
            refuseLeftoverJournal();
    }
    openedIdentity_ = cacheIdentity_ = file_->identity();
    fileSize_ = openedIdentity_.size;
}

PageFile::~PageFile() {
    rollback();
}

void PageFile::setPageSize(uint32_t pageSize) {
    pageSize_ = pageSize;
    dropCache();
}

uint32_t PageFile::pageCount() const {
    if (inWrite_) return writePageCount_;
    return pageSize_ == 0 ? 0 : static_cast<uint32_t>(fileSize_ / pageSize_);
}

Page PageFile::read(uint32_t n) {
    if (inWrite_) {
        // The Writer lock keeps other savers out and beginWrite checked the cache, so the
        // committed pages cannot change under this transaction.
        if (auto it = dirty_.find(n); it != dirty_.end()) return it->second;
        return readCommitted(n);
    }
    if (!fs_ || readDepth_ > 0) return readCommitted(n);
    ReadScope scope(*this);
    return readCommitted(n);
}

Page PageFile::readCommitted(uint32_t n) {
    if (auto it = cache_.find(n); it != cache_.end()) return it->second;
    if (pageSize_ == 0 || uint64_t{n} >= fileSize_ / pageSize_)
        throw Error(
            ErrorKind::Corrupt, errnum::kCorrupt,
            "Damaged database: page " + std::to_string(n) + " is beyond the end of the file");
    auto buf = std::make_shared<std::vector<uint8_t>>(pageSize_);
    file_->readAt(uint64_t{n} * pageSize_, buf->data(), pageSize_);
    cachePut(n, buf);
    return buf;
}

void PageFile::cachePut(uint32_t n, Page page) {
    if (auto it = cache_.find(n); it != cache_.end()) {
        it->second = std::move(page);
        return;
    }
    if (cache_.size() >= kCachePages) {
        cache_.erase(cacheOrder_.front());
        cacheOrder_.erase(cacheOrder_.begin());
    }
    cache_.emplace(n, std::move(page));
    cacheOrder_.push_back(n);
}

void PageFile::readRaw(uint64_t offset, uint8_t* out, size_t n) {
    std::optional<ReadScope> scope;
    if (fs_ && !inWrite_ && readDepth_ == 0) scope.emplace(*this);
    if (offset > fileSize_ || n > fileSize_ - offset)
        throw Error(ErrorKind::Corrupt, errnum::kCorrupt,
                    "Damaged database: the file is shorter than its header");
    file_->readAt(offset, out, n);
}

void PageFile::dropCache() {
    cache_.clear();
    cacheOrder_.clear();
    fileSize_ = file_->size();
}

PageFile::ReadScope::ReadScope(PageFile& pages) : pages_(pages) {
    pages_.enterRead();
}
PageFile::ReadScope::~ReadScope() {
    pages_.leaveRead();
}

// The depth counts every open ReadScope. The shared Pages lock is held while the depth is
// above zero, except inside a save, whose Writer lock already keeps other savers out;
// endWrite() puts the Pages lock back in line with the depth.
void PageFile::enterRead() {
    if (!fs_ || readDepth_++ > 0 || inWrite_) return;
    try {
        acquireLock(*file_, LockRange::Pages, LockMode::Shared, options_.busyTimeout, path_);
        validateCache();
    } catch (...) {
        --readDepth_;
        try {
            file_->tryLock(LockRange::Pages, LockMode::Unlocked);
        } catch (...) {
        }
        throw;
    }
}

void PageFile::leaveRead() noexcept {
    if (!fs_ || readDepth_ == 0 || --readDepth_ > 0 || inWrite_) return;
    try {
        file_->tryLock(LockRange::Pages, LockMode::Unlocked);
    } catch (...) {
        // The kernel drops the lock with the file.
    }
}

// Called with the shared Pages lock held, so no save is writing pages now. A changed file
// means another program saved (drop the cache) or stopped in the middle of a save (a journal
// is left: roll it back, then drop the cache).
void PageFile::validateCache() {
    FileIdentity now = file_->identity();
    if (now == cacheIdentity_) return;
    if (fs_->exists(journalPathFor(path_))) {
        // Under the shared Pages lock no save is writing, so the journal is a leftover.
        if (!options_.rollBackJournal)
            throw Error(ErrorKind::Corrupt, errnum::kCorrupt, kInterruptedSaveText);
        file_->tryLock(LockRange::Pages, LockMode::Unlocked);
        recoverLeftoverJournal();
        acquireLock(*file_, LockRange::Pages, LockMode::Shared, options_.busyTimeout, path_);
        now = file_->identity();
    }
    cache_.clear();
    cacheOrder_.clear();
    fileSize_ = now.size;
    cacheIdentity_ = now;
}

// Rolls back a save that another writer (or this program, before a crash) left unfinished.
// Needs both locks exclusively; a read-only PageFile borrows a writable handle to do it.
void PageFile::recoverLeftoverJournal() {
    std::unique_ptr<File> writableHandle;
    File* target = file_.get();
    if (!writable_) {
        try {
            writableHandle = fs_->open(path_, FileSystem::Mode::ReadWrite);
        } catch (const Error& e) {
            if (e.kind() != ErrorKind::ReadOnly) throw;
            throw Error(ErrorKind::ReadOnly, errnum::kReadOnly,
                        "The database '" + path_ +
                            "' was left half-saved by a program that stopped, and it cannot be "
                            "repaired because the file is read-only. Make it writable and "
                            "open it again.");
        }
        target = writableHandle.get();
    }
    LockHolder writer(*target, LockRange::Writer, LockMode::Exclusive, LockMode::Unlocked,
                      options_.busyTimeout, path_);
    LockHolder pages(*target, LockRange::Pages, LockMode::Exclusive, LockMode::Unlocked,
                     options_.busyTimeout, path_);
    recoverJournal(*fs_, path_, *target, 0, crash_);
}

// Reports a leftover journal without touching the file. A live save keeps its journal only
// while it holds the Pages lock exclusively, so one still there under the shared lock belongs
// to a save that stopped.
void PageFile::refuseLeftoverJournal() {
    LockHolder pages(*file_, LockRange::Pages, LockMode::Shared, LockMode::Unlocked,
                     options_.busyTimeout, path_);
    if (fs_->exists(journalPathFor(path_)))
        throw Error(ErrorKind::Corrupt, errnum::kCorrupt, kInterruptedSaveText);
}

}  // namespace jet
