// Files that live in memory: MemoryFile (one File over a byte vector) and MemoryFileSystem
// (a FileSystem of named in-memory files).
//
// They let tests and fuzz targets open a database from bytes without touching the disk, and
// they are the base the fault-injecting test file system wraps. Semantics follow the POSIX
// file system closely enough for the engine not to notice the difference:
//   - every open() of the same name shares the same bytes (a write through one File is
//     visible through the others at once);
//   - reads past the end throw Error(Corrupt) as a short read of a real file does; writes
//     past the end grow the file with zero bytes in any gap; truncate() shrinks or grows;
//   - a File opened ReadOnly refuses writes with Error(Io); a name marked read-only refuses
//     opening for writing with Error(ReadOnly);
//   - opening a missing name ReadOnly or ReadWrite throws Error(Io); CreateReadWrite creates
//     or empties it; CreateNew creates it and fails on an existing name; remove() of a
//     missing name is not an error;
//   - folders exist when created (createFolder) or when a file lies in them; there are no
//     links, so entryAt gives File, Folder or None;
//   - sync() does nothing (memory does not lose writes);
//   - locks behave like the real file system's advisory locks: they belong to the File that
//     took them and conflict between Files, even within one process.
// Both classes are thread-safe: one mutex guards each file's bytes, another the names.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "jet/file.h"

namespace jet {

// The shared state of one in-memory file: its bytes and the locks held on it.
struct MemoryFileData {
    std::mutex mutex;
    std::vector<uint8_t> bytes;
    uint64_t version = 0;         // bumped by each write or truncate; stands in for mtime
    int sharedLocks[2] = {0, 0};  // per LockRange: number of Files holding a shared lock
    bool exclusiveLock[2] = {false, false};
};

class MemoryFile : public File {
public:
    // A stand-alone file over a copy of bytes (nothing else sees it).
    explicit MemoryFile(std::vector<uint8_t> bytes, bool writable = true);
    // A file over shared data (MemoryFileSystem hands these out).
    MemoryFile(std::shared_ptr<MemoryFileData> data, std::string name, bool writable);
    ~MemoryFile() override;

    uint64_t size() override;
    void readAt(uint64_t offset, uint8_t* out, size_t n) override;
    void writeAt(uint64_t offset, const uint8_t* data, size_t n) override;
    void sync() override {}
    void truncate(uint64_t size) override;
    bool tryLock(LockRange range, LockMode mode) override;
    FileIdentity identity() override;
    void setModificationTime(int64_t) override;

    // A copy of the current contents.
    std::vector<uint8_t> bytes() const;

private:
    std::shared_ptr<MemoryFileData> data_;
    std::string name_;
    bool writable_;
    LockMode held_[2] = {LockMode::Unlocked, LockMode::Unlocked};
};

class MemoryFileSystem : public FileSystem {
public:
    // Adds (or replaces) a file with the given contents.
    void addFile(const std::string& path, std::vector<uint8_t> bytes);
    // The current contents of a file; throws Error(Io) when it does not exist.
    std::vector<uint8_t> bytes(const std::string& path) const;
    // Marks a file read-only (opening it for writing fails with Error(ReadOnly)) or writable.
    void setReadOnly(const std::string& path, bool readOnly);
    // Names of all files, sorted.
    std::vector<std::string> names() const;

    std::unique_ptr<File> open(const std::string& path, Mode mode) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path) override;
    Entry entryAt(const std::string& path) override;
    void createFolder(const std::string& path) override;
    std::vector<std::string> list(const std::string& folder) override;
    void renameNoReplace(const std::string& from, const std::string& to) override;

private:
    bool isFolder(const std::string& path) const;  // mutex_ held

    struct Named {
        std::shared_ptr<MemoryFileData> data;
        bool readOnly = false;
    };
    mutable std::mutex mutex_;
    std::map<std::string, Named> files_;
    std::set<std::string> folders_;
};

}  // namespace jet
