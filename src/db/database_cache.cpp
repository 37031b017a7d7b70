#include "db/database_cache.h"

#include <filesystem>
#include <system_error>

#include "db/db_error.h"
#include "db/error_mapping.h"

namespace tdv::db {
namespace {

DbError fileNotFound(const std::string& path) {
    return DbError(hresult::kFail, "Could not find file '" + path + "'.");
}

std::string canonicalOf(const std::string& path) {
    std::error_code ec;
    auto canonical = std::filesystem::canonical(path, ec);
    if (ec || !std::filesystem::is_regular_file(canonical, ec)) throw fileNotFound(path);
    return canonical.string();
}

// Opens writable when asked; a file that cannot be written is opened read-only instead.
std::shared_ptr<jet::Database> openCanonical(const std::string& canonical, bool writable) {
    return translatingEngineErrors([&] {
        if (writable) {
            try {
                return jet::Database::open(canonical, jet::OpenOptions{.writable = true});
            } catch (const jet::Error& e) {
                if (e.kind() != jet::ErrorKind::ReadOnly) throw;
            }
        }
        return jet::Database::open(canonical);
    });
}

}  // namespace

DatabaseCache::DatabaseCache(size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

DatabaseCache::FileStamp DatabaseCache::stampOf(const std::string& canonicalPath) {
    try {
        return jet::FileSystem::real().identityOf(canonicalPath);
    } catch (const jet::Error&) {
        throw fileNotFound(canonicalPath);
    }
}

std::shared_ptr<jet::Database> DatabaseCache::open(const std::string& path) {
    return open(path, false);
}

std::shared_ptr<jet::Database> DatabaseCache::open(const std::string& path, bool writable) {
    const std::string canonical = canonicalOf(path);
    const FileStamp stamp = stampOf(canonical);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->canonicalPath != canonical) continue;
        if (it->stamp == stamp && (it->writable || !writable)) {
            entries_.splice(entries_.begin(), entries_, it);
            return entries_.front().db;
        }
        entries_.erase(it);
        break;
    }
    auto db = openCanonical(canonical, writable);
    entries_.push_front(Entry{canonical, stamp, db, writable});
    while (entries_.size() > capacity_) entries_.pop_back();
    return db;
}

void DatabaseCache::noteWritten(const jet::Database& db) {
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->canonicalPath != db.path()) {
            ++it;
        } else if (it->db.get() == &db) {
            it->stamp = stampOf(it->canonicalPath);
            ++it;
        } else {
            it = entries_.erase(it);
        }
    }
}

void DatabaseCache::clear() {
    entries_.clear();
}

std::shared_ptr<jet::Database> openDatabase(const std::string& path, bool writable) {
    return openCanonical(canonicalOf(path), writable);
}

}  // namespace tdv::db
