#include "jet/table_pages.h"

#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/global_usage_map.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {

TablePages::TablePages(PageFile& pages, const Format& format, const TableDef& table,
                       size_t minRowSize)
    : pages_(pages), format_(format), table_(table), minRowSize_(minRowSize) {}

DataPageEditor& TablePages::edit(uint32_t page) {
    auto it = edited_.find(page);
    if (it != edited_.end()) return it->second;
    Page p = pages_.read(page);
    ByteView view(p->data(), p->size());
    try {
        if (view.u8(0) != pagetype::kData || dataPageOwner(view, format_) != table_.definitionPage)
            throwCorrupt("page is not a data page of the table");
        return edited_.emplace(page, DataPageEditor::load(view, format_)).first->second;
    } catch (const Error& e) {
        rethrowWithContext(e, "table '" + table_.name + "', page " + std::to_string(page));
    }
}

uint32_t TablePages::newPage() {
    DataPageEditor fresh = DataPageEditor::fresh(format_, table_.definitionPage);
    uint32_t page = allocatePage(pages_, format_, fresh.build());
    edited_.insert_or_assign(page, std::move(fresh));
    UsageMapWriter(pages_, format_, table_.usedPagesMapRow).add(page);
    return page;
}

uint32_t TablePages::pageWithRoom(size_t size, uint32_t avoid) {
    std::vector<uint32_t> candidates;
    UsageMap map = UsageMap::load(pages_, format_, table_.freeSpaceMapRow);
    while (auto p = map.next(pages_)) candidates.push_back(*p);
    for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
        if (*it == avoid) continue;
        Page p = pages_.read(*it);
        ByteView view(p->data(), p->size());
        // The map may still name pages the table gave up; only its own data pages count.
        if (view.u8(0) != pagetype::kData || dataPageOwner(view, format_) != table_.definitionPage)
            continue;
        auto known = edited_.find(*it);
        bool fits = known != edited_.end() ? known->second.fitsNew(size)
                                           : DataPageEditor::load(view, format_).fitsNew(size);
        if (fits) return *it;
    }
    for (auto& [page, editor] : edited_)  // a page this write added has room first
        if (page != avoid && editor.fitsNew(size)) return page;
    return newPage();
}

void TablePages::flush() {
    UsageMapWriter freeMap(pages_, format_, table_.freeSpaceMapRow);
    for (auto& [page, editor] : edited_) {
        if (editor.usedRows() == 0) {
            release(page);
            continue;
        }
        pages_.write(page, editor.build());
        bool room = editor.fitsNew(minRowSize_);
        if (room != freeMap.contains(page)) {
            if (room)
                freeMap.add(page);
            else
                freeMap.remove(page);
        }
    }
    edited_.clear();
}

// An emptied page leaves both maps of the table and goes back to the database's free-page
// map: no index entry or overflow pointer can name a row of it, since it has none.
void TablePages::release(uint32_t page) {
    UsageMapWriter(pages_, format_, table_.usedPagesMapRow).remove(page);
    UsageMapWriter(pages_, format_, table_.freeSpaceMapRow).remove(page);
    pages_.release(page);
}

uint32_t TablePages::rowCount() {
    Page p = pages_.read(table_.definitionPage);
    return ByteView(p->data(), p->size()).u32(format_.tdefRowCountOffset);
}

uint32_t TablePages::lastAutoNumber() {
    Page p = pages_.read(table_.definitionPage);
    return ByteView(p->data(), p->size()).u32(format_.tdefAutoNumberOffset);
}

void TablePages::setCounters(uint32_t rowCount, uint32_t lastAutoNumber) {
    Page p = pages_.read(table_.definitionPage);
    if ((*p)[0] != pagetype::kTableDef)
        throwCorrupt("page " + std::to_string(table_.definitionPage) +
                     " is not a table definition page");
    std::vector<uint8_t> page(*p);
    storeU32(page.data() + format_.tdefRowCountOffset, rowCount);
    storeU32(page.data() + format_.tdefAutoNumberOffset, lastAutoNumber);
    pages_.write(table_.definitionPage, std::move(page));
}

}  // namespace jet
