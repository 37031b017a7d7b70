// Size limits and constants of the write side, per Jet version (data, not branches).
//
// The numbers are those Access itself respects when it writes: the largest row it stores
// on a data page, the largest long value kept inline in a row and the largest long value
// row, the inline usage map's bitmap and the error numbers it reports for a refused value.
#pragma once

#include <cstdint>

#include "jet/format.h"

namespace jet {

struct WriteLimits {
    uint32_t maxRowSize;           // largest row of a table on a data page
    uint32_t maxInlineLongValue;   // longest Memo/OLE value stored inside its row
    uint32_t maxLongValueRowSize;  // longest long value row (single page, or a chain link)
    uint32_t inlineMapBytes;       // bitmap bytes of an inline usage map row
    uint32_t maxRowsPerPage;       // row slots a data page may hold
};

const WriteLimits& writeLimitsFor(const Format& format);

// Free space of an empty data page, and of a page after its rows (header and slots counted).
inline uint32_t emptyDataPageFreeSpace(const Format& f) {
    return f.pageSize - f.dataRowTableOffset;
}

// Jet's numbers for refused values.
namespace errnum {
constexpr long kFieldTooSmall = 3163;    // the field is too small for the data
constexpr long kNumericOverflow = 3349;  // numeric field overflow
constexpr long kRecordTooLarge = 3047;   // record is too large
constexpr long kNullInIndex = 3058;      // index or primary key cannot contain a Null value
constexpr long kNotUpdatable = 3164;     // the field cannot be updated (autonumber)
constexpr long kRecordDeleted = 3167;    // the record is deleted
}  // namespace errnum

}  // namespace jet
