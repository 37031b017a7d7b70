#include "jet/data_page.h"

#include <string>

namespace jet {

uint16_t dataPageRowCount(ByteView page, const Format& format) {
    uint16_t count = page.u16(format.dataRowCountOffset);
    if (!page.has(format.dataRowTableOffset, size_t{count} * 2))
        throwCorrupt("data page row count " + std::to_string(count) + " does not fit the page");
    return count;
}

namespace {

RowSlot locateRow(ByteView page, const Format& format, uint16_t row, bool checkDeleted) {
    uint16_t count = dataPageRowCount(page, format);
    if (row >= count)
        throwCorrupt("row " + std::to_string(row) + " does not exist (the page has " +
                     std::to_string(count) + " rows)");
    size_t slotPos = format.dataRowTableOffset + size_t{row} * 2;
    uint16_t raw = page.u16(slotPos);
    RowSlot slot;
    slot.flags = raw & (rowflag::kDeleted | rowflag::kLookup);
    slot.start = raw & rowflag::kOffsetMask;
    slot.end = row == 0 ? page.size() : (page.u16(slotPos - 2) & rowflag::kOffsetMask);
    if (slot.deleted() && !checkDeleted) return slot;
    size_t tableEnd = format.dataRowTableOffset + size_t{count} * 2;
    if (slot.start < tableEnd || slot.start > slot.end || slot.end > page.size())
        throwCorrupt("row " + std::to_string(row) + " has bounds " + std::to_string(slot.start) +
                     ".." + std::to_string(slot.end) + " outside the page's row area");
    return slot;
}

}  // namespace

RowSlot dataPageRow(ByteView page, const Format& format, uint16_t row) {
    return locateRow(page, format, row, false);
}

RowSlot dataPageRowChecked(ByteView page, const Format& format, uint16_t row) {
    return locateRow(page, format, row, true);
}

}  // namespace jet
