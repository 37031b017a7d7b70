#include "db/transaction.h"

#include <stdexcept>
#include <string>

#include "db/connect_string.h"
#include "db/db_error.h"
#include "db/error_mapping.h"
#include "jet/page_file.h"

namespace tdv::db {

namespace {

std::string pathOf(std::string_view connectString) {
    try {
        return dataSourceOf(connectString);
    } catch (const std::invalid_argument& e) {
        throw DbError(hresult::kFail, e.what());
    }
}

}  // namespace

WriterHold::WriterHold(DatabaseCache& cache, std::string_view connectString)
    : db_(cache.open(pathOf(connectString), true)) {
    translatingEngineErrors([&] { db_->pages().holdWriter(); });
}

WriterHold::~WriterHold() {
    db_->pages().releaseWriter();
}

void runInTransaction(jet::Database& db, const std::function<void()>& body) {
    jet::PageFile& pages = db.pages();
    translatingEngineErrors([&] { pages.beginWrite(); });
    try {
        body();
        translatingEngineErrors([&] {
            // A statement that failed half-way has already rolled the save back.
            if (!pages.inWrite())
                throw jet::Error(jet::ErrorKind::Internal, jet::errnum::kInternal,
                                 "The save was rolled back after a write failed; nothing was "
                                 "saved");
            pages.commit();
        });
    } catch (...) {
        if (pages.inWrite()) pages.rollback();
        try {
            db.refreshTableCounters();
        } catch (...) {
            // The next read of a table reports the damage.
        }
        throw;
    }
    translatingEngineErrors([&] { db.refreshTableCounters(); });
}

void runInTransaction(DatabaseCache& cache, std::string_view connectString,
                      const std::function<void()>& body) {
    const std::shared_ptr<jet::Database> db = cache.open(pathOf(connectString), true);
    runInTransaction(*db, body);
    cache.noteWritten(*db);
}

}  // namespace tdv::db
