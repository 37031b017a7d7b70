#include "jet/data_page.h"

#include <algorithm>
#include <string>

namespace jet {
namespace {

constexpr size_t kDataFreeSpaceOffset = 2;  // 2-byte free space in a data page header

}  // namespace

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

std::optional<std::string> dataPageSpaceFault(ByteView page, const Format& format) {
    const uint16_t rows = dataPageRowCount(page, format);
    size_t lowest = page.size();
    for (uint16_t r = 0; r < rows; ++r) {
        uint16_t slot = page.u16(format.dataRowTableOffset + 2u * r);
        lowest = std::min<size_t>(lowest, slot & rowflag::kOffsetMask);
    }
    const size_t slotsEnd = format.dataRowTableOffset + 2u * rows;
    const size_t recorded = page.u16(kDataFreeSpaceOffset);
    if (lowest >= slotsEnd && recorded == lowest - slotsEnd) return std::nullopt;
    return "header records " + std::to_string(recorded) + " bytes of free space, the rows leave " +
           (lowest < slotsEnd ? std::string("none (rows overlap the slot table)")
                              : std::to_string(lowest - slotsEnd));
}

void requireDataPageOfTable(ByteView page, const Format& format, const std::string& table,
                            uint32_t owner, uint32_t number) {
    auto where = [&] { return "table '" + table + "', page " + std::to_string(number); };
    if (page.u8(0) != pagetype::kData)
        throwCorrupt(where() + ": not a data page (page type " + std::to_string(page.u8(0)) + ")");
    if (dataPageOwner(page, format) != owner)
        throwCorrupt(where() + ": a data page of another table (its header names definition page " +
                     std::to_string(dataPageOwner(page, format)) + ")");
    std::optional<std::string> fault;
    try {
        fault = dataPageSpaceFault(page, format);
    } catch (const Error& e) {
        rethrowWithContext(e, where());
    }
    if (fault) throwCorrupt(where() + ": " + *fault);
}

RowSlot dataPageRow(ByteView page, const Format& format, uint16_t row) {
    return locateRow(page, format, row, false);
}

RowSlot dataPageRowChecked(ByteView page, const Format& format, uint16_t row) {
    return locateRow(page, format, row, true);
}

}  // namespace jet
