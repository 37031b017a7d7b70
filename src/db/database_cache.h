// Opened databases kept between recordsets.
//
// The program opens a new recordset for every query against the same file; parsing the
// catalog each time would be wasted work. The cache keys an opened jet::Database by the
// file's canonical path and checks, on every request, that the file is still the one that
// was opened (same size, modification time to the nanosecond, device and inode). A changed or
// replaced file is opened afresh and its old entry dropped. At most `capacity` files are
// kept; the least recently used one goes first. Recordsets share the Database they got, so
// dropping an entry never pulls a database away from a recordset still using it.
//
// A database wanted for writing (a recordset that may update) is opened writable and serves
// read-only requests too; a read-only entry is replaced by a writable one when asked for
// writing. A file that cannot be written (read-only on disk) is opened read-only instead, and
// writes then fail with the engine's read-only error. After a save through a cached database,
// noteWritten() records the file's new stamp for that database and drops every other entry of
// the file, so no reader is served stale pages even when the clock did not move.
//
// Not thread-safe: the program queries from one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "jet/database.h"
#include "jet/file.h"

namespace tdv::db {

class DatabaseCache {
public:
    explicit DatabaseCache(size_t capacity = 4);

    // The open database for path, opened now if it is not cached or the file changed.
    // Throws DbError (a file that does not exist: "Could not find file '...'."; engine
    // failures as error_mapping.h translates them).
    std::shared_ptr<jet::Database> open(const std::string& path);
    std::shared_ptr<jet::Database> open(const std::string& path, bool writable);
    // Called after `db` (from this cache or not) saved changes to its file.
    void noteWritten(const jet::Database& db);

    void clear();
    size_t size() const { return entries_.size(); }

private:
    using FileStamp = jet::FileIdentity;
    struct Entry {
        std::string canonicalPath;
        FileStamp stamp;
        std::shared_ptr<jet::Database> db;
        bool writable = false;
    };

    static FileStamp stampOf(const std::string& canonicalPath);

    size_t capacity_;
    std::list<Entry> entries_;  // most recently used first
};

// Opens a database without caching (the same errors as DatabaseCache::open).
std::shared_ptr<jet::Database> openDatabase(const std::string& path, bool writable = false);

}  // namespace tdv::db
