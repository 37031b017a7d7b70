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
    requireDataPageOfTable(view, format_, table_.name, table_.definitionPage, page);
    try {
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
        auto known = edited_.find(*it);
        if (known != edited_.end()) {
            if (known->second.fitsNew(size)) return *it;
            continue;
        }
        Page p = pages_.read(*it);
        ByteView view(p->data(), p->size());
        // A page the table gives up leaves its free-space map in the same save; any other
        // page there, or one that breaks the page rule, is damage a new row must not join.
        requireDataPageOfTable(view, format_, table_.name, table_.definitionPage, *it);
        if (DataPageEditor::load(view, format_).fitsNew(size)) return *it;
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
