// Index maintenance: adding and removing entries in an index tree, as Access does.
//
// Entries are written byte-identical to what Access writes: leaf entries prefix-compressed
// against the page's first entry, intermediate entries naming the last key of each child,
// the entry-start bitmap and free-space fields kept exact. A full page splits (and a full
// root gains a new level) with the root page number kept, so the table definition never
// needs rewriting for an index change. New pages (free pages first, global_usage_map.h) are
// recorded in the index's own owned-pages usage map, by insertions and removals alike (a removal
// can split a page); a page an emptied level gives up leaves that map and is released to the
// database's free-page map when the save commits. The tree rules are in
// index_tree_writer.h.
//
// A write is two-phase. The caller first calls checkInsert for every index of the row
// (it reads only and throws Error(Constraint, kDuplicate) for a duplicate key in a unique
// index); only when every index and constraint agrees does it call insert/remove, which
// write pages through the open save of the PageFile (PageFile::beginWrite). insert/remove
// check what they read before writing, but a damaged page met half-way through a split
// (or an owned-pages map that cannot record a new page, Error(Unsupported)) throws with
// part of the change already in the save: the caller must then roll the save back.
//
// Which rows get entries (ignore-nulls indexes leave out rows whose indexed columns are
// all Null; primary keys and required indexes refuse Nulls) is the caller's rule: the
// writer stores whatever key it is given.
#pragma once

#include <memory>

#include "jet/database.h"
#include "jet/index_reader.h"
#include "jet/index_tree_writer.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

// Throws the Error(Constraint, kDuplicate) of a key already in the unique index.
[[noreturn]] void throwDuplicateKey(const TableDef& table, const IndexDef& index);

class IndexWriter {
public:
    IndexWriter(Database& db, const TableDef& table, const IndexDef& index);

    // Checks that key may be added for row (unique indexes: no other entry with this key).
    // Reads only. Throws Error(Constraint) naming the index when it would duplicate a key.
    void checkInsert(const Bytes& key, RowId row);
    // Adds the entry; the save must be open. Splits pages and adds levels as needed.
    void insert(const Bytes& key, RowId row);
    // Removes the entry (key, row); throws Error(Corrupt) when it is not in the index.
    void remove(const Bytes& key, RowId row);

    // The tree, for adding many entries through one IndexTreeWriter; the save must be open.
    IndexTreeWriter treeForWrite();

private:
    Database& db_;
    const TableDef& table_;
    const IndexDef& index_;
};

}  // namespace jet
