// Describing a new table and writing its definition: the inverse of table_def.h.
//
// layoutNewTable checks a table description (names, types, sizes, indexes) and assigns what
// Access assigns when it creates a table: column numbers in the order given, variable
// indexes to variable-length columns, fixed offsets to fixed-length ones, byte lengths
// (Jet 4 text: two bytes per character), one physical index per logical index.
// A bad description is refused with Error(Type) naming the table and the column or index.
//
// encodeTableDef writes the definition bytes (Jet 4 layout):
//   [63-byte header][per physical index: row count entry][column entries][column names]
//   [physical index definitions][logical index entries][logical index names]
//   [per Memo/OLE column: column number, owned-pages map, free-space map][0xFFFF]
// with the constants Access writes in the fields readers ignore. splitTableDefPages cuts
// the bytes into definition pages (continuation pages repeat only the 8-byte page header).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/schema.h"

namespace jet {

struct NewColumn {
    std::string name;
    ColumnType type = ColumnType::Text;
    uint32_t size = 0;       // Text: characters (1..255, 0 = 50); Binary: bytes (1..255, 0 = 255)
    uint8_t precision = 18;  // Decimal: 1..28
    uint8_t scale = 0;       // Decimal: 0..precision
};

struct NewIndexColumn {
    std::string column;
    bool ascending = true;
};

struct NewIndex {
    std::string name;
    std::vector<NewIndexColumn> columns;
    bool primaryKey = false;  // implies unique and required
    bool unique = false;
    bool ignoreNulls = false;
};

struct NewTable {
    std::string name;
    std::vector<NewColumn> columns;
    std::vector<NewIndex> indexes;
};

// Limits Access applies to a table.
constexpr size_t kMaxTableColumns = 255;
constexpr size_t kMaxTableIndexes = 32;
constexpr size_t kMaxIndexColumns = 10;
constexpr size_t kMaxObjectNameLength = 64;

// Checks a name of a table, column or index the way Access does (1..64 characters, no
// leading space, none of . ! ` [ ] or control characters). Throws Error(Type) naming `what`.
void checkObjectName(const std::string& name, const std::string& what);

// Validates and lays out a new table (see above). Index flags hold what Access writes
// (0x80, plus 0x01 unique, 0x02 ignore nulls, 0x08 required for a primary key).
TableDef layoutNewTable(const NewTable& table, const Format& format);

// The usage maps of one Memo/OLE column (row pointers, page << 8 | row).
struct LongValueMaps {
    uint16_t columnNumber = 0;
    uint32_t usedPagesRow = 0;
    uint32_t freePagesRow = 0;
};

// Everything of a definition that is not in TableDef, or that a system table sets
// differently from a user table.
struct TableDefExtras {
    std::vector<uint32_t> indexMapRows;        // per physical index: owned-pages map row pointer
    std::vector<uint32_t> indexRowCounts;      // per physical index: distinct keys
    std::vector<LongValueMaps> longValueMaps;  // in column entry order
    std::vector<uint8_t> columnFlags;          // per TableDef::columns entry: extra flag bits
    bool entriesByName = false;                // system tables list columns and indexes by name
};

// Definition bytes of `table` (columns in TableDef order, numbered already). Throws
// Error(Unsupported) for a Jet 3 format.
std::vector<uint8_t> encodeTableDef(const TableDef& table, const TableDefExtras& extras,
                                    const Format& format);

// Pages holding `bytes`, the first numbered `pages[0]`, continuations `pages[1..]`; the
// caller chooses as many page numbers as tableDefPageCount says.
size_t tableDefPageCount(size_t definitionBytes, const Format& format);
std::vector<std::vector<uint8_t>> splitTableDefPages(const std::vector<uint8_t>& bytes,
                                                     const std::vector<uint32_t>& pages,
                                                     const Format& format);

}  // namespace jet
