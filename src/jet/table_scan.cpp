#include "jet/table_scan.h"

#include <string>

#include "jet/data_page.h"

namespace jet {
namespace {

// Overflow rows point once to their body; more hops than this is a loop.
constexpr int kMaxLookupHops = 4;

std::string where(const TableDef& table, uint32_t page, std::optional<uint16_t> row = {}) {
    std::string s = "table '" + table.name + "', page " + std::to_string(page);
    if (row) s += ", row " + std::to_string(*row);
    return s;
}

bool isPageOfTable(ByteView page, const Format& format, const TableDef& table) {
    return isDataPageOf(page, format, table.definitionPage);
}

// A page of the table whose slot table disagrees with its header loses or invents rows.
void requireSoundSlots(ByteView page, const Format& format, uint32_t number) {
    if (auto fault = dataPageSpaceFault(page, format))
        throwCorrupt("page " + std::to_string(number) + ": " + *fault);
}

// Follows a lookup row's pointer (the row's first 4 bytes) to the row body.
ByteView followLookup(PageFile& pages, const Format& format, const TableDef& table, ByteView row,
                      Page& holder) {
    for (int hop = 0; hop < kMaxLookupHops; ++hop) {
        RowPointer ptr = RowPointer::fromRaw(row.u32(0));
        holder = pages.read(ptr.page);
        ByteView page(holder->data(), holder->size());
        if (!isPageOfTable(page, format, table))
            throwCorrupt("overflow row points to page " + std::to_string(ptr.page) +
                         ", which is not a data page of this table");
        requireSoundSlots(page, format, ptr.page);
        RowSlot slot = dataPageRowChecked(page, format, ptr.row);
        row = page.sub(slot.start, slot.end - slot.start);
        if (!slot.lookup()) return row;
    }
    throwCorrupt("overflow row pointers loop");
}

}  // namespace

std::optional<ByteView> locateLiveRow(PageFile& pages, const Format& format, const TableDef& table,
                                      RowId id, Page& holder) {
    try {
        holder = pages.read(id.page);
        ByteView page(holder->data(), holder->size());
        // A page of another table: the row was deleted and its page given up and reused.
        if (!isPageOfTable(page, format, table)) return std::nullopt;
        if (auto fault = dataPageSpaceFault(page, format)) throwCorrupt(*fault);
        if (id.row >= dataPageRowCount(page, format)) return std::nullopt;
        RowSlot slot = dataPageRow(page, format, id.row);
        if (slot.deleted()) return std::nullopt;
        ByteView row = page.sub(slot.start, slot.end - slot.start);
        if (!slot.lookup()) return row;
        Page body;
        ByteView target = followLookup(pages, format, table, row, body);
        holder = body;  // the body's page keeps target alive
        return target;
    } catch (const Error& e) {
        rethrowWithContext(e, where(table, id.page, id.row));
    }
}

RowIterator::RowIterator(PageFile& pages, const Format& format, const TextDecoder& text,
                         const TableDef& table, const ColumnMask& mask)
    : pages_(pages),
      format_(format),
      table_(table),
      codec_(table, format, text, mask),
      longValues_(pages, format) {}

bool RowIterator::advancePage() {
    std::optional<uint32_t> next;
    try {
        if (!map_) map_ = UsageMap::load(pages_, format_, table_.usedPagesMapRow);
        next = map_->next(pages_);
        if (next) page_ = pages_.read(*next);
    } catch (const Error& e) {
        rethrowWithContext(e, "table '" + table_.name + "'");
    }
    if (!next) {
        page_.reset();
        return false;
    }
    ByteView view(page_->data(), page_->size());
    requireDataPageOfTable(view, format_, table_.name, table_.definitionPage, *next);
    pageNumber_ = *next;
    rowCount_ = dataPageRowCount(view, format_);
    nextRow_ = 0;
    return true;
}

bool RowIterator::next() {
    while (!done_) {
        if (!page_ || nextRow_ >= rowCount_) {
            if (!advancePage()) {
                done_ = true;
                break;
            }
            continue;
        }
        uint16_t rowNumber = nextRow_++;
        try {
            ByteView page(page_->data(), page_->size());
            RowSlot slot = dataPageRow(page, format_, rowNumber);
            if (slot.deleted()) continue;
            ByteView row = page.sub(slot.start, slot.end - slot.start);
            if (slot.lookup()) row = followLookup(pages_, format_, table_, row, overflowHolder_);
            codec_.decode(row, longValues_, values_);
        } catch (const Error& e) {
            rethrowWithContext(e, where(table_, pageNumber_, rowNumber));
        }
        current_ = RowId{pageNumber_, rowNumber};
        return true;
    }
    return false;
}

}  // namespace jet
