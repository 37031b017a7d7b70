// The file system as the engine sees it: File (one open file) and FileSystem (names).
//
// Everything the engine reads or writes goes through these two interfaces, so tests can put
// an in-memory file system (memory_file.h) or one that fails or "loses power" at a chosen
// write or sync (tests/helpers/fault_fs.h) in place of the real one.
//
// Promises every implementation keeps:
//   - failures are jet::Error: Io for the operating system's refusals (a full disk says
//     "the disk is full"), Corrupt for a read past the end, ReadOnly when a file that may
//     not be written is opened for writing;
//   - writeAt/truncate are not durable until sync(); creating or removing a name is not
//     durable until syncDirectoryOf(that name);
//   - locks are advisory, belong to the File object that took them (two Files of one
//     process conflict exactly as two processes do) and are released when it is destroyed;
//   - the name operations (entryAt, createFolder, renameNoReplace, remove, CreateNew) never
//     follow a link at the last component of a name; links above it are followed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jet {

// Two independent locks on each database file:
//   Writer - held exclusively by the one process that is preparing or writing a save;
//   Pages  - held shared by readers while they read pages, exclusively by a writer while it
//            overwrites pages (so no reader ever sees half of a save).
enum class LockRange { Writer = 0, Pages = 1 };
enum class LockMode { Unlocked, Shared, Exclusive };

// What identifies one version of a file on disk: size, modification time and the file's
// identity in its file system. A save refuses to start when this differs from the version
// that was opened (another program changed or replaced the file).
struct FileIdentity {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

class File {
public:
    virtual ~File() = default;
    virtual uint64_t size() = 0;
    // Reads exactly n bytes at offset; a short read is Error(Corrupt).
    virtual void readAt(uint64_t offset, uint8_t* out, size_t n) = 0;
    virtual void writeAt(uint64_t offset, const uint8_t* data, size_t n) = 0;
    virtual void sync() = 0;
    virtual void truncate(uint64_t size) = 0;
    // Changes the lock this File holds on range to mode, without waiting (Unlocked releases).
    // Returns false when another holder's lock conflicts; the lock held before stays then.
    // Files without locking (the default) always succeed.
    virtual bool tryLock(LockRange range, LockMode mode) {
        (void)range;
        (void)mode;
        return true;
    }
    virtual FileIdentity identity() { return FileIdentity{size(), 0, 0, 0}; }
    // Sets the modification time (nanoseconds since the epoch). A writer uses it so that
    // every save moves the time forward even within the file system's clock resolution.
    virtual void setModificationTime(int64_t mtimeNs) { (void)mtimeNs; }
};

// What a directory entry is, looked at itself (lstat): a link is a Link whatever it points to.
enum class EntryKind { None, File, Folder, Link, Other };

struct Entry {
    EntryKind kind = EntryKind::None;
    FileIdentity identity;  // of the entry itself; zero for None
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // CreateNew creates a file that does not exist yet: any entry of that name (a link,
    // dangling or not, included) makes it fail with Error(Io), and nothing is followed.
    enum class Mode { ReadOnly, ReadWrite, CreateReadWrite, CreateNew };
    virtual std::unique_ptr<File> open(const std::string& path, Mode mode) = 0;
    virtual bool exists(const std::string& path) = 0;
    virtual void remove(const std::string& path) = 0;
    // Makes the creation or removal of path durable (fsync of its directory on POSIX).
    virtual void syncDirectoryOf(const std::string& path) { (void)path; }
    // The identity of the file at path as it stands now, without keeping it open.
    virtual FileIdentity identityOf(const std::string& path) {
        return open(path, Mode::ReadOnly)->identity();
    }
    // The entry at path itself, not following a link there; kind None when there is none.
    virtual Entry entryAt(const std::string& path) = 0;
    // Creates the folder and any missing folder above it; an existing folder is no error, any
    // other entry of that name is Error(Io).
    virtual void createFolder(const std::string& path) = 0;
    // The names (without the folder) of the entries directly in a folder, in no set order.
    virtual std::vector<std::string> list(const std::string& folder) = 0;
    // Gives the file `from` the name `to` in the same folder, failing with Error(Io) and
    // changing nothing when `to` exists (no entry is ever replaced). Not durable until
    // syncDirectoryOf(to).
    virtual void renameNoReplace(const std::string& from, const std::string& to) = 0;
    // The real POSIX file system.
    static FileSystem& real();
};

}  // namespace jet
