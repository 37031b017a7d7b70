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
// Not thread-safe: the program queries from one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "jet/database.h"

namespace tdv::db {

class DatabaseCache {
public:
    explicit DatabaseCache(size_t capacity = 4);

    // The open database for path, opened now if it is not cached or the file changed.
    // Throws DbError (a file that does not exist: "Could not find file '...'."; engine
    // failures as error_mapping.h translates them).
    std::shared_ptr<jet::Database> open(const std::string& path);

    void clear();
    size_t size() const { return entries_.size(); }

private:
    struct FileStamp {
        uint64_t size = 0;
        int64_t mtimeNs = 0;
        uint64_t device = 0;
        uint64_t inode = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct Entry {
        std::string canonicalPath;
        FileStamp stamp;
        std::shared_ptr<jet::Database> db;
    };

    static FileStamp stampOf(const std::string& canonicalPath);

    size_t capacity_;
    std::list<Entry> entries_;  // most recently used first
};

// Opens a database without caching (the same errors as DatabaseCache::open).
std::shared_ptr<jet::Database> openDatabase(const std::string& path);

}  // namespace tdv::db
