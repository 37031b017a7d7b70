// One index page decoded: header fields and entries with prefix compression undone.
//
// Index trees are made of leaf pages (type 0x04, entries point at data rows) and
// intermediate pages (type 0x03, entries point at child index pages). Both kinds share one
// layout: a small header (owning table definition page, previous/next page of the same
// level, the "tail" child of an intermediate page, the length of the prefix shared by the
// page's entries), then a bitmap with one bit per byte of the entry area marking where each
// entry ends, then the entries themselves.
//
// Entry bytes: key bytes, then the data row (3-byte page number, big-endian, and a 1-byte
// row number); an intermediate entry is followed by its child page (4 bytes, big-endian).
// The first entry on a page is stored whole; every later entry omits the page's prefix
// (the first prefixLength bytes of the first entry), which may reach into the row pointer.
//
// An intermediate entry holds the greatest entry (key and row) of its child's subtree; the
// last child of an intermediate page is not an entry but the page's tail pointer.
//
// Jet 3 and Jet 4 differ only in where the header fields sit and how big the bitmap is;
// those differences are data (IndexPageLayout), not code paths.
//
// decodeIndexPage checks every length and offset against the page and throws
// Error(Corrupt) naming table, index and page when something is out of range.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "jet/schema.h"
#include "jet/types.h"
#include "jet/value.h"

namespace jet {

constexpr uint8_t kIndexIntermediatePage = 0x03;
constexpr uint8_t kIndexLeafPage = 0x04;

// Where the header fields and the entry bitmap of an index page are, per format version.
struct IndexPageLayout {
    uint32_t freeSpaceOffset;  // 2 bytes: unused bytes at the end of the page
    uint32_t ownerOffset;      // 4 bytes: table definition page owning the index
    uint32_t prevOffset;       // 4 bytes: previous page of the same level (0 = none)
    uint32_t nextOffset;       // 4 bytes: next page of the same level (0 = none)
    uint32_t tailOffset;       // 4 bytes: last child of an intermediate page (0 = none)
    uint32_t prefixOffset;     // prefix length of the page's entries
    uint32_t prefixSize;       // bytes of the prefix length field (1 or 2)
    uint32_t bitmapOffset;     // first byte of the entry-end bitmap
    uint32_t bitmapSize;       // bytes of the bitmap
    uint32_t pageSize;

    uint32_t firstEntryOffset() const { return bitmapOffset + bitmapSize; }
    // Bytes available to entries: limited by the page and by the bitmap.
    uint32_t entryAreaSize() const;
};

const IndexPageLayout& indexPageLayout(JetVersion version);

// Bytes after an entry's key: row pointer (4), plus the child page (4) on intermediate pages.
constexpr uint32_t kLeafEntryTrailer = 4;
constexpr uint32_t kIntermediateEntryTrailer = 8;

struct IndexPageEntry {
    Bytes key;
    RowId row;
    uint32_t child = 0;  // intermediate pages only
};

// Order of entries within an index: key bytes (unsigned, shorter first on a common
// prefix), then the row address. Both return <0, 0, >0.
int compareKeys(const Bytes& a, const Bytes& b);
int compareEntries(const Bytes& keyA, RowId rowA, const Bytes& keyB, RowId rowB);

struct IndexPage {
    uint32_t number = 0;
    bool leaf = true;
    uint32_t owner = 0;
    uint32_t prev = 0;
    uint32_t next = 0;
    uint32_t tail = 0;
    uint32_t freeSpace = 0;
    uint32_t prefixLength = 0;
    uint32_t usedBytes = 0;  // end of the last entry within the entry area
    std::vector<IndexPageEntry> entries;
};

// Names used in damage messages: "index 'X' of table 'T'".
struct IndexLocation {
    std::string table;
    std::string index;
    std::string describe(uint32_t page) const;
};

[[noreturn]] void throwIndexDamage(const IndexLocation& where, uint32_t page,
                                   const std::string& what);

// A page read in place, without decoding it: for finding where an entry goes with a few
// comparisons. Entries are found through the bitmap when needed, never listed, so a
// binary search costs a few short bitmap scans. An entry is named by its Slot: its bytes
// [start, end) relative to the first entry; the slot past the last entry has start == end
// == usedBytes().
//
// valid() is false when the page is not an index page, its free-space count does not match
// its last entry, or an entry looked at is out of range; callers then use decodeIndexPage,
// which names the damage.
class IndexPageView {
public:
    struct Slot {
        uint32_t start = 0;
        uint32_t end = 0;
    };

    IndexPageView(std::span<const uint8_t> bytes, const IndexPageLayout& layout);

    bool valid() const { return valid_ && !damaged_; }
    bool leaf() const { return leaf_; }
    uint32_t owner() const;
    uint32_t next() const;
    uint32_t tail() const;
    uint32_t prefixLength() const { return prefix_; }
    uint32_t usedBytes() const { return used_; }
    bool empty() const { return used_ == 0; }
    bool isEnd(Slot s) const { return s.start >= used_; }

    Slot first() const { return slotAt(0); }
    Slot last() const { return used_ == 0 ? end() : slotAt(used_ - 1); }
    Slot end() const { return {used_, used_}; }
    Slot following(Slot s) const { return isEnd(s) ? s : slotAt(s.end); }

    // The entry whole (prefix restored): key bytes, then the row pointer (and child page).
    void entry(Slot s, Bytes& out) const;
    void keyOf(Slot s, Bytes& out) const;
    RowId rowOf(Slot s) const;
    uint32_t childOf(Slot s) const;
    // The first entry not ordered before (key, row), or end(); *equal tells whether it is
    // exactly (key, row).
    Slot lowerBound(const Bytes& key, RowId row, bool* equal = nullptr) const;
    // The entry against (key, row): <0, 0, >0 as compareEntries.
    int compare(Slot s, const Bytes& key, RowId row) const { return compareAt(s, key, row); }
    // Bitmap positions: the smallest entry end >= from, or usedBytes() when none.
    uint32_t nextEnd(uint32_t from) const;

private:
    Slot slotAt(uint32_t byte) const;  // the entry holding byte `byte` of the entry area
    int compareAt(Slot s, const Bytes& key, RowId row) const;

    std::span<const uint8_t> bytes_;
    const IndexPageLayout* layout_;
    bool valid_ = false;
    mutable bool damaged_ = false;
    bool leaf_ = true;
    uint32_t prefix_ = 0;
    uint32_t used_ = 0;
    uint32_t trailer_ = kLeafEntryTrailer;
    mutable Bytes scratch_;
};

// Decodes a whole page (its size must be layout.pageSize). Throws Error(Corrupt) when the
// page is not an index page or an entry does not fit.
IndexPage decodeIndexPage(std::span<const uint8_t> bytes, uint32_t number,
                          const IndexPageLayout& layout, const IndexLocation& where);

// A key as hex digits for damage messages (its first 32 bytes).
std::string keyHex(const Bytes& key);

// The rules the checker holds each decoded index page to on its own, and that reads and
// writes apply to every page they decode (index_tree.h): the header's free space accounts
// for the bytes the entries use, a leaf has no tail page, an intermediate page has an
// entry or a tail, and the entries are in strictly increasing (key, row) order. Returns
// the first fault found, or nullopt.
std::optional<std::string> indexPageFault(const IndexPage& page, const IndexPageLayout& layout);

}  // namespace jet
