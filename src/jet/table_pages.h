// The data pages of one table during a write: the pages edited so far, finding room for a
// row, adding pages, keeping both usage maps and the definition's counters in step.
//
// Room for a new row is looked for on the pages the free-space map lists, last page first
// (as Access fills a table), else on a new page added at the end of the file and recorded
// in the owned-pages map. A page stays in the free-space map while the smallest row of the
// table still fits on it; flush() applies that rule to every page it writes, so deleting
// or shrinking a row puts its page back on the map. A page left without live rows is
// given up instead: it leaves both maps and is released to the database's free-page map
// (global_usage_map.h), from which new pages are taken before the file grows.
#pragma once

#include <cstdint>
#include <map>

#include "jet/data_page_writer.h"
#include "jet/format.h"
#include "jet/page_file.h"
#include "jet/schema.h"

namespace jet {

class TablePages {
public:
    // minRowSize: bytes of the table's smallest row (every column Null).
    TablePages(PageFile& pages, const Format& format, const TableDef& table, size_t minRowSize);

    // The page, loaded once per write. Throws Error(Corrupt) when it is not a data page of
    // this table or breaks the checker's page rule (data_page.h): a write never builds on
    // a damaged page.
    DataPageEditor& edit(uint32_t page);
    // A page of the table with room for a new row of `size` bytes, other than `avoid`.
    // Throws Error(Corrupt) when a page the free-space map lists before one with room is not
    // a sound data page of the table.
    uint32_t pageWithRoom(size_t size, uint32_t avoid = 0);
    // A new page of the table (a free page of the database, else one added at the end),
    // for writes that fill pages one after the other.
    uint32_t addPage() { return newPage(); }
    // Writes every edited page and updates the free-space map for each.
    void flush();

    // The definition's row count and last autonumber, as the open save sees them.
    uint32_t rowCount();
    uint32_t lastAutoNumber();
    void setCounters(uint32_t rowCount, uint32_t lastAutoNumber);

private:
    uint32_t newPage();
    void release(uint32_t page);

    PageFile& pages_;
    const Format& format_;
    const TableDef& table_;
    size_t minRowSize_;
    std::map<uint32_t, DataPageEditor> edited_;
};

}  // namespace jet
