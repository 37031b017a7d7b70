// Reading index trees: leaf and intermediate pages, prefix-compressed entries.
//
// An index tree is walked from its root page down to the leaves and then along the leaf
// chain; every page number, entry length and prefix length is checked, and a page visited
// twice in one walk is reported as damage (no loops). Entries come out in index order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/index_page.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

struct IndexEntry {
    Bytes key;  // the entry's key bytes, prefix compression undone
    RowId row;  // the data row it points to
};

class IndexCursor {
public:
    // Advances to the next entry; false at the end.
    bool next();
    const IndexEntry& entry() const;

    IndexCursor(IndexCursor&&) noexcept;
    IndexCursor& operator=(IndexCursor&&) noexcept;
    ~IndexCursor();

    struct Impl;
    explicit IndexCursor(std::unique_ptr<Impl> impl);

private:
    std::unique_ptr<Impl> impl_;
};

class IndexReader {
public:
    IndexReader(Database& db, const TableDef& table, const IndexDef& index);

    // Every entry in index order.
    IndexCursor all();
    // Entries with key >= key, in index order (descends through intermediate pages; does
    // not read the leaves before the first match).
    IndexCursor seek(const Bytes& key);
    // Rows whose entry key equals key exactly.
    std::vector<RowId> lookup(const Bytes& key);

private:
    Database& db_;
    const TableDef& table_;
    const IndexDef& index_;
};

// A cursor over the tree rooted at root, read directly from pages (no table definition
// needed; owner = 0 skips the owning-table check). With lowerBound, the cursor starts at
// the first entry whose key is >= *lowerBound. IndexReader uses the same walk.
IndexCursor openIndexCursor(PageFile& pages, JetVersion version, uint32_t root,
                            const Bytes* lowerBound, IndexLocation where, uint32_t owner = 0);

// Compares an index with the table's rows: one entry per live row (rows whose indexed
// columns are all Null are left out of an ignore-nulls index), entries in non-decreasing
// key order (strictly increasing for a unique index), page links consistent.
// Returns one line per problem; empty when the index is sound.
std::vector<std::string> checkIndex(Database& db, const TableDef& table, const IndexDef& index);

}  // namespace jet
