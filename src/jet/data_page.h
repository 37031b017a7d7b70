// Row slots of a data page.
//
// A data page starts with a header (type 0x01, free space, owning table definition page,
// slot count) followed by one 2-byte slot per row: the row's offset in the page plus two
// flags (deleted 0x8000, lookup 0x4000 = the row holds a pointer to its real location).
// Rows are packed from the end of the page towards the slot table; a row ends where the
// previous slot's row begins (row 0 ends at the end of the page).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "jet/bytes.h"
#include "jet/format.h"

namespace jet {

struct RowSlot {
    size_t start = 0;  // first byte of the row in the page
    size_t end = 0;    // one past its last byte
    uint16_t flags = 0;
    bool deleted() const { return (flags & rowflag::kDeleted) != 0; }
    bool lookup() const { return (flags & rowflag::kLookup) != 0; }
};

// A "row pointer" as stored on disk: page number << 8 | row number.
struct RowPointer {
    uint32_t page = 0;
    uint16_t row = 0;
    static RowPointer fromRaw(uint32_t raw) {
        return {raw >> 8, static_cast<uint16_t>(raw & 0xFF)};
    }
    uint32_t raw() const { return (page << 8) | row; }
};

// Number of row slots; throws Error(Corrupt) when the slot table does not fit the page.
uint16_t dataPageRowCount(ByteView page, const Format& format);

// Bounds and flags of one row; throws Error(Corrupt) when the row number is out of range
// or a live row's bytes are not inside the page's row area. A deleted row's bounds are
// returned unchecked: callers skip it, or check before reading it.
RowSlot dataPageRow(ByteView page, const Format& format, uint16_t row);
// Same, but checks the bounds whatever the flags (for rows reached through a pointer:
// overflow targets carry the deleted flag so that scans skip them).
RowSlot dataPageRowChecked(ByteView page, const Format& format, uint16_t row);

// Owner (table definition page) recorded in a data page.
inline uint32_t dataPageOwner(ByteView page, const Format& format) {
    return page.u32(format.dataOwnerOffset);
}

// Whether the page is a data page of the table whose definition is page `owner`.
inline bool isDataPageOf(ByteView page, const Format& format, uint32_t owner) {
    return page.u8(0) == pagetype::kData && dataPageOwner(page, format) == owner;
}

// The rule the checker holds every data page of a table to, and that reads and writes of
// the page apply first: the header's free space is the gap between the slot table and the
// lowest row (deleted rows keep their bytes until the database is compacted), so a slot
// count that lost or gained slots shows. Returns what is wrong, or nullopt. Throws
// Error(Corrupt) when the slot table does not fit the page.
std::optional<std::string> dataPageSpaceFault(ByteView page, const Format& format);

// A page a table's owned-pages or free-space map names, or a row address of the table
// leads to: a data page of the table (definition page `owner`) that keeps the rule above.
// Otherwise throws Error(Corrupt) naming the table and page `number`.
void requireDataPageOfTable(ByteView page, const Format& format, const std::string& table,
                            uint32_t owner, uint32_t number);

}  // namespace jet
