#include "jet/long_value.h"

#include <string>
#include <unordered_set>

#include "jet/data_page.h"

namespace jet {

ByteView LongValueReader::rowAt(uint32_t rawPointer, Page& holder) {
    RowPointer ptr = RowPointer::fromRaw(rawPointer);
    holder = pages_.read(ptr.page);
    ByteView page(holder->data(), holder->size());
    if (page.u8(0) != pagetype::kData)
        throwCorrupt("long value points to page " + std::to_string(ptr.page) +
                     ", which is not a data page");
    RowSlot slot = dataPageRowChecked(page, format_, ptr.row);
    return page.sub(slot.start, slot.end - slot.start);
}

void LongValueReader::read(ByteView field, Bytes& out) {
    out.clear();
    field.require(0, longvalue::kHeaderSize, "a long value reference");
    uint32_t raw = field.u32(0);
    uint32_t length = raw & longvalue::kLengthMask;
    uint32_t pointer = field.u32(4);

    if (raw & longvalue::kInline) {
        if (length > field.size() - longvalue::kHeaderSize)
            throwCorrupt("inline long value of " + std::to_string(length) +
                         " bytes is longer than its field");
        out.assign(field.data() + longvalue::kHeaderSize,
                   field.data() + longvalue::kHeaderSize + length);
        return;
    }
    if (length == 0) return;
    // A value can never be larger than the file holding it.
    uint64_t fileBytes = uint64_t{pages_.pageCount()} * pages_.pageSize();
    if (length > fileBytes)
        throwCorrupt("long value of " + std::to_string(length) + " bytes is larger than the file");

    Page holder;
    if (raw & longvalue::kSinglePage) {
        ByteView row = rowAt(pointer, holder);
        if (length > row.size())
            throwCorrupt("long value of " + std::to_string(length) +
                         " bytes is longer than its row (" + std::to_string(row.size()) + ")");
        out.assign(row.data(), row.data() + length);
        return;
    }

    out.reserve(length);
    std::unordered_set<uint32_t> visited;
    while (out.size() < length) {
        if (pointer == 0)
            throwCorrupt("long value chain ends after " + std::to_string(out.size()) + " of " +
                         std::to_string(length) + " bytes");
        if (!visited.insert(pointer).second)
            throwCorrupt("long value chain loops at page " + std::to_string(pointer >> 8));
        ByteView row = rowAt(pointer, holder);
        row.require(0, 4, "a long value chain link");
        pointer = row.u32(0);
        size_t take = std::min<size_t>(row.size() - 4, length - out.size());
        out.insert(out.end(), row.data() + 4, row.data() + 4 + take);
    }
}

}  // namespace jet
