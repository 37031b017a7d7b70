// Several statements saved as one, as ADO's BeginTrans/CommitTrans did on a connection.
//
// runInTransaction opens the database of the connect string for writing through the cache
// the recordsets share, begins one save (PageFile::beginWrite: it takes the file's writer
// lock, so no other program saves in between) and runs `body`. Every recordset that body
// opens through the same cache gets that same database: its reads see the changes made so
// far, its UPDATE statements and record saves join the one save. When body returns, the
// save is committed with the rollback journal, so all of body's changes reach the file at
// once or, after a crash at any moment, none do. When body throws, or the commit fails,
// everything body changed is rolled back, the file is as before, and the failure (as a
// DbError) goes to the caller.
//
// A failed statement ends the save: body must let failures propagate rather than go on.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "db/database_cache.h"

namespace tdv::db {

void runInTransaction(DatabaseCache& cache, std::string_view connectString,
                      const std::function<void()>& body);
// The same on a database already open for writing, without a cache (the caller tells its
// cache, if any, with noteWritten afterwards). Several threads may each run one on a
// database of their own at the same time; body then uses the engine directly.
void runInTransaction(jet::Database& db, const std::function<void()>& body);

// Keeps every other program (and every other open of the file) from saving to the database
// of the connect string while it lives: they wait their busy timeout, then fail with a
// clear error. This program's saves through the same cache go on as usual. A change made of
// many saves holds its files this way, so that nobody saves between two of them. Throws
// DbError when another writer holds the file past the busy timeout, or the file cannot be
// written.
class WriterHold {
public:
    WriterHold(DatabaseCache& cache, std::string_view connectString);
    ~WriterHold();
    WriterHold(const WriterHold&) = delete;
    WriterHold& operator=(const WriterHold&) = delete;

private:
    std::shared_ptr<jet::Database> db_;
};

}  // namespace tdv::db
