// Adding and removing pages in a usage map (usage_map.h describes the two kinds).
//
// The map's row keeps its length: an inline map whose window no longer covers a new page
// first moves its window (when every listed page and the new one fit in it), else becomes
// a reference map in the same row, with one usage map page (type 0x05) per slot that has
// pages, as Access does when a table grows. Map pages are taken from the database's free
// pages before the file grows (global_usage_map.h).
// Every change goes through the open save of the PageFile.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/format.h"
#include "jet/page_file.h"

namespace jet {

class UsageMapWriter {
public:
    // The map held in the row at rowPointer (page << 8 | row). Throws Error(Corrupt) when
    // the row is missing or is not a usage map.
    UsageMapWriter(PageFile& pages, const Format& format, uint32_t rowPointer);

    bool contains(uint32_t page);
    // Sets / clears the page's bit; a no-op when it already is so.
    void add(uint32_t page);
    void remove(uint32_t page);

private:
    struct Location {
        uint32_t page = 0;
        size_t start = 0;  // row bytes within the page
        size_t size = 0;
    };
    std::vector<uint8_t> loadRow();
    void storeRow(const std::vector<uint8_t>& row);
    std::vector<uint32_t> inlinePages(const std::vector<uint8_t>& row) const;
    void toReference(std::vector<uint8_t>& row, const std::vector<uint32_t>& pages);
    void setReferenceBit(std::vector<uint8_t>& row, uint32_t page, bool value);
    uint32_t pagesPerMapPage() const { return (format_.pageSize - 4) * 8; }

    PageFile& pages_;
    const Format& format_;
    uint32_t rowPointer_;
};

}  // namespace jet
