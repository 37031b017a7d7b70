// Building a whole Jet 4 database file in memory, page by page (for new databases).
//
// DbImage holds the pages of a file under construction, in one save of a PageFile over an
// in-memory file (no journal work, no syncs: the file reaches the disk only when complete).
// Pages are reserved first (so a table's pages can be numbered before their contents are
// known) and filled later; every page left unfilled at the end is an error, never a page of
// zeros in the file. Writers that add pages of their own (LongValueWriter) append to the
// same PageFile.
//
// Usage maps are rows of "map pages" (data pages owned by no table, as Access keeps them):
// a map row is reserved (its row pointer goes into a table definition) and its set of
// pages is given when the table's pages are known. A map is written inline (kind 0, 512
// pages from a start page) when its pages fit, else as a reference map (kind 1) listing
// usage map pages (type 0x05), each a bitmap of its stretch of the file.
//
// addTableContent lays out one table's rows: rows packed into data pages in the order
// given, Memo/OLE values stored by LongValueWriter (inline when small, else in long value
// rows on LVAL pages, as every other write stores them), then every index built bottom-up
// from its sorted entries (leaf pages, and intermediate levels when one leaf is not
// enough), with the index's root at its reserved page.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

#include "jet/format.h"
#include "jet/memory_file.h"
#include "jet/page_file.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

class DbImage {
public:
    explicit DbImage(const Format& format);
    ~DbImage();
    DbImage(const DbImage&) = delete;
    DbImage& operator=(const DbImage&) = delete;

    const Format& format() const { return format_; }
    uint32_t pageCount() const { return pages_->pageCount(); }
    // The page file the image is built in, inside its open save.
    PageFile& pages() { return *pages_; }

    // Reserves the next page number (contents given later with setPage).
    uint32_t reserve();
    void setPage(uint32_t n, std::vector<uint8_t> contents);

    // Reserves a usage map row on the current map page (a new one when it is full, or when
    // freshPage is set) and returns its row pointer.
    uint32_t reserveMapRow(bool freshPage = false);
    // The pages the map row at rowPointer lists.
    void setMapPages(uint32_t rowPointer, const std::set<uint32_t>& pages);

    // Writes the map pages (and the bitmap pages of maps too wide to be inline, which
    // adds pages); no map row may be reserved afterwards.
    void writeMapPages();

    // The finished file. Throws Error(Internal) when a reserved page was never filled.
    std::vector<uint8_t> finish();

private:
    struct MapPage {
        uint32_t number;
        std::vector<std::set<uint32_t>> rows;
    };

    const Format& format_;
    MemoryFileSystem fs_;
    std::unique_ptr<PageFile> pages_;
    std::vector<bool> filled_;  // per reserved page; pages other writers append are filled
    std::vector<MapPage> mapPages_;
};

// A data page holding `rows` (row 0 at the end of the page), owned by the table whose
// definition starts at `owner` (0 for map pages).
std::vector<uint8_t> encodeRowsPage(const Format& format, const std::vector<Bytes>& rows,
                                    uint32_t owner);
// An inline usage map row listing `pages` (all within 512 pages of the lowest, rounded
// down to a multiple of 8). Throws Error(Unsupported) when they are spread wider.
Bytes encodeInlineMapRow(const std::set<uint32_t>& pages);

// The pages of one table reserved before its content is built.
struct TablePlacement {
    uint32_t definitionPage = 0;
    uint32_t usedPagesRow = 0;
    uint32_t freePagesRow = 0;
    std::vector<uint32_t> indexMapRows;       // per physical index
    std::vector<uint32_t> indexRoots;         // per physical index
    std::vector<uint32_t> longValueUsedRows;  // per Memo/OLE column (column order)
    std::vector<uint32_t> longValueFreeRows;
    std::vector<uint32_t> dataPages;  // reserved data pages to fill first (may be empty)
};

// What addTableContent wrote, for the table definition.
struct TableContent {
    uint32_t rowCount = 0;
    std::vector<uint32_t> indexEntryCounts;  // per physical index: distinct keys
};

// Writes the rows (values in TableDef::columns order, already of the columns' types) and
// the index trees of `table`. Throws Error(Type) for a row too large, Error(Constraint)
// for a duplicate key in a unique index or a Null in a primary key, naming table and row.
TableContent addTableContent(DbImage& image, const TableDef& table, const TablePlacement& where,
                             const std::vector<std::vector<Value>>& rows);

}  // namespace jet
