// On-disk layout of the two Jet versions, as data.
//
// Jet 3 (Access 97, 2 KiB pages) and Jet 4 (Access 2000-2003, 4 KiB pages) store the same
// structures with different field widths and offsets. Each version has one constant Format
// object; code that reads or writes pages takes its offsets and sizes from it instead of
// branching on the version. Offsets are in bytes from the start of the structure named in
// the group comment.
#pragma once

#include <cstdint>

#include "jet/types.h"

namespace jet {

enum class TextEncoding {
    CodePage,  // Jet 3: single- or multi-byte text in the database's code page
    Ucs2,      // Jet 4: UTF-16LE, optionally "compressed" (0xFF 0xFE marker)
};

// Page type bytes (first byte of every page).
namespace pagetype {
constexpr uint8_t kDefinition = 0x00;
constexpr uint8_t kData = 0x01;
constexpr uint8_t kTableDef = 0x02;
constexpr uint8_t kIndexNode = 0x03;
constexpr uint8_t kIndexLeaf = 0x04;
constexpr uint8_t kUsageMap = 0x05;
}  // namespace pagetype

struct Format {
    JetVersion version;
    uint32_t pageSize;
    TextEncoding textEncoding;

    // Database definition page (page 0).
    uint32_t versionOffset;    // 4-byte version: 0 = Jet 3, 1 = Jet 4
    uint32_t maskedOffset;     // start of the RC4-masked region
    uint32_t maskedSize;       // its length
    uint32_t codePageOffset;   // 2 bytes
    uint32_t sortOrderOffset;  // 2 bytes id (+ 2 bytes version in Jet 4)
    bool sortOrderHasVersion;

    // Data page.
    uint32_t dataOwnerOffset;     // 4-byte table definition page owning the page
    uint32_t dataRowCountOffset;  // 2-byte number of row slots
    uint32_t dataRowTableOffset;  // first 2-byte row offset slot

    // Table definition page.
    uint32_t tdefNextPageOffset;     // 4-byte next definition page (0 = none)
    uint32_t tdefContinuationStart;  // where definition bytes resume on a continuation page
    uint32_t tdefRowCountOffset;
    uint32_t tdefAutoNumberOffset;
    uint32_t tdefTableTypeOffset;  // 0x4E user, 0x53 system
    uint32_t tdefMaxColumnsOffset;
    uint32_t tdefVarColumnsOffset;
    uint32_t tdefColumnCountOffset;
    uint32_t tdefIndexCountOffset;      // logical indexes
    uint32_t tdefRealIndexCountOffset;  // physical indexes
    uint32_t tdefUsedPagesOffset;       // 4-byte row pointer of the owned-pages map
    uint32_t tdefFreePagesOffset;       // 4-byte row pointer of the free-space map
    uint32_t tdefHeaderSize;            // first byte after the fixed header

    uint32_t realIndexCountEntrySize;  // per physical index, right after the header

    // Column entry.
    uint32_t columnEntrySize;
    uint32_t colTypeOffset;
    uint32_t colNumberOffset;
    uint32_t colVarIndexOffset;
    uint32_t colSortOrderOffset;
    uint32_t colCodePageOffset;  // 0 = not stored (Jet 4)
    uint32_t colPrecisionOffset;
    uint32_t colScaleOffset;
    uint32_t colFlagsOffset;
    uint32_t colExtFlagsOffset;  // 0 = not stored (Jet 3)
    uint32_t colFixedOffsetOffset;
    uint32_t colLengthOffset;

    uint32_t nameLengthSize;  // 1 (Jet 3) or 2 (Jet 4) bytes before each name

    // Physical index definition: [Jet 4: 4 unknown][10 x (2-byte column number, 1-byte order)]
    // [4 usage map][4 root page][Jet 4: 4 unknown][1 flags][Jet 4: 5 unknown]
    uint32_t realIndexDefSize;
    uint32_t realIndexColumnsOffset;
    uint32_t realIndexRootOffset;
    uint32_t realIndexFlagsOffset;
    // Logical index entry: [skip][4 number][4 real number][1 rel type][4 rel index]
    // [4 rel table][1 cascade upd][1 cascade del][1 index type]
    uint32_t logicalIndexSize;
    uint32_t logicalIndexSkip;

    // Row layout.
    uint32_t rowColumnCountSize;  // 1 or 2 bytes at the start of a row
    uint32_t rowVarCountSize;     // 1 or 2 bytes before the null mask
    uint32_t rowVarOffsetSize;    // 1 (with jump table) or 2 bytes per variable offset
};

// Column flag bits (colFlagsOffset).
namespace colflag {
constexpr uint8_t kFixed = 0x01;
constexpr uint8_t kNullable = 0x02;
constexpr uint8_t kAutoNumber = 0x04;
constexpr uint8_t kAutoGuid = 0x40;
}  // namespace colflag

// Row offset slot flags and mask.
namespace rowflag {
constexpr uint16_t kDeleted = 0x8000;
constexpr uint16_t kLookup = 0x4000;  // the row holds a pointer to the row's real location
constexpr uint16_t kOffsetMask = 0x1FFF;
}  // namespace rowflag

// Long value (Memo / OLE) reference stored in a row: [4 length+flags][4 row pointer][4 unused].
namespace longvalue {
constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kInline = 0x80000000;
constexpr uint32_t kSinglePage = 0x40000000;
constexpr uint32_t kLengthMask = 0x3FFFFFFF;
}  // namespace longvalue

const Format& jet3Format();
const Format& jet4Format();
const Format& formatFor(JetVersion v);

}  // namespace jet
