// Changing one index tree in place: adding and removing leaf entries, splitting full pages,
// adding levels and dropping emptied pages, with every parent entry kept exact.
//
// Tree rules kept (the way Access writes trees):
//   - a leaf entry is key + row pointer; entries are ordered by key, then row pointer;
//   - an intermediate page lists its children in order; each child but the last has an
//     entry holding the child's greatest leaf entry (key and row) and the child page; the
//     last child is the page's tail pointer and has no entry. A page with one child has
//     that child as an entry and no tail;
//   - the pages of each level, leaves and intermediate pages alike, are linked
//     previous/next from the first to the last in tree order, across parents;
//   - the root page number never changes: a full root moves its contents to a new page
//     below it, an emptied tree leaves the root as an empty leaf.
// A full page is split in two, the lower entries going to a new page linked in before it;
// a page that fills up at the right edge of the tree keeps its entries and gives only the
// newest one to the new page (so ascending keys leave full pages behind). An emptied page
// other than the root is unlinked from its parent and its level, left empty and given up.
//
// Pages are read through the PageFile (so a save's own writes are seen) and written with
// PageFile::write/append; the caller opens and commits the save. Page numbers and page
// contents are checked as they are read (IndexTreeWalk); damage raises Error(Corrupt)
// before anything is written for the operation.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "jet/index_page.h"
#include "jet/page_file.h"
#include "jet/types.h"

namespace jet {

class IndexTreeWriter {
public:
    // pageAdded is called with the number of every page taken for the tree (a free page of
    // the database, else one appended; for the
    // index's owned-pages map); insert and remove both may add pages, and refuse with
    // Error(Internal) to add one when it is not given. pageDropped, when given, is called
    // with every page an emptied level gives up (left as an empty leaf that nothing links
    // to), so the owner can release it. owner = the table definition page written into new
    // pages and checked on pages read.
    IndexTreeWriter(PageFile& pages, JetVersion version, uint32_t root, uint32_t owner,
                    IndexLocation where, std::function<void(uint32_t)> pageAdded = {},
                    std::function<void(uint32_t)> pageDropped = {});

    // Adds (key, row). Throws Error(Internal) when the entry is already there. One writer
    // adding entries in ascending order finds the place of each without going down the
    // tree; nothing else may change the tree meanwhile.
    void insert(const Bytes& key, RowId row);
    // Removes (key, row). Throws Error(Corrupt) when it is not in the tree.
    void remove(const Bytes& key, RowId row);
    // Whether some entry other than (key, row) has exactly this key.
    bool hasOtherEntryWithKey(const Bytes& key, RowId row);

private:
    struct Impl;
    PageFile& pages_;
    JetVersion version_;
    uint32_t root_;
    uint32_t owner_;
    IndexLocation where_;
    std::function<void(uint32_t)> pageAdded_;
    std::function<void(uint32_t)> pageDropped_;
    uint32_t rightmostLeaf_ = 0;  // the tree's last leaf, while this writer alone changes it
};

}  // namespace jet
