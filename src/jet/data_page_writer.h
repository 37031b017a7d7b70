// Editing a data page: its row slots as a list, changed in memory, written back whole.
//
// Rows stay packed from the end of the page towards the slot table in slot order (row 0
// ends at the end of the page, row i ends where row i - 1 begins), which is how every
// reader finds a row's end. Changing a row's size moves the rows after it in the packing;
// their slot numbers (and so every RowId and index entry) never change. A deleted row keeps
// its slot with the flags Access gives it (deleted | lookup) and, as Access does, no bytes:
// its space goes back to the page's free space. The free-space field is always recomputed:
// page size - header - 2 bytes per slot - row bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/value.h"

namespace jet {

// The owner field of pages holding long value rows ("LVAL").
constexpr uint32_t kLongValuePageOwner = 0x4C41564C;

class DataPageEditor {
public:
    // Reads a data page; throws Error(Corrupt) when any slot (deleted ones included) has
    // bounds outside the row area or out of packing order, or the page is not a data page.
    static DataPageEditor load(ByteView page, const Format& format);
    // An empty data page owned by `owner` (a table definition page, or kLongValuePageOwner).
    static DataPageEditor fresh(const Format& format, uint32_t owner);

    uint32_t owner() const;
    uint16_t rowCount() const { return static_cast<uint16_t>(slots_.size()); }
    // Slots that hold a row: live rows and the bodies of overflow rows (which carry the
    // deleted flag alone, so that scans pass them by). Deleted rows hold nothing.
    size_t usedRows() const;
    uint32_t freeSpace() const;
    // Whether a new row of this size fits (its slot included, and the slot limit).
    bool fitsNew(size_t size) const;
    // Whether row `row` may be replaced by `size` bytes without leaving the page.
    bool fitsReplacing(uint16_t row, size_t size) const;

    const Bytes& row(uint16_t row) const { return slots_.at(row).bytes; }
    uint16_t flags(uint16_t row) const { return slots_.at(row).flags; }

    // Adds a row and returns its slot number.
    uint16_t add(Bytes bytes, uint16_t flags = 0);
    void replace(uint16_t row, Bytes bytes, uint16_t flags);
    // Marks the row deleted and gives its bytes back.
    void remove(uint16_t row);

    // The page's bytes.
    std::vector<uint8_t> build() const;

private:
    DataPageEditor(const Format& format) : format_(&format) {}
    struct Slot {
        uint16_t flags = 0;
        Bytes bytes;
    };
    const Format* format_;
    std::vector<uint8_t> header_;  // the bytes before the slot table
    std::vector<Slot> slots_;
};

}  // namespace jet
