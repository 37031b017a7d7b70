// Table definitions as read from a database's table definition pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/value.h"

namespace jet {

struct ColumnDef {
    std::string name;
    ColumnType type = ColumnType::Text;
    uint16_t number = 0;        // column id, stable across deleted columns
    uint16_t displayIndex = 0;  // position among the table's columns (the order rows are shown in)
    uint16_t varIndex = 0;      // slot in the variable-length offset table (variable columns)
    uint16_t fixedOffset = 0;   // byte offset within the fixed area (fixed columns)
    uint16_t length = 0;        // declared size in bytes (Text: characters * 2 in Jet 4)
    bool fixed = true;          // fixed-length (stored in the fixed area) or variable
    bool autoNumber = false;
    bool compressedUnicode = false;  // Jet 4 text: may be stored compressed
    uint8_t precision = 0;           // Decimal
    uint8_t scale = 0;               // Decimal
    uint16_t sortOrder = 0;          // text sort order id (Jet 4: 0x409 General / General Legacy)
    uint16_t codePage = 0;           // Jet 3 text code page (0 = database default)

    bool isLongValue() const { return type == ColumnType::Memo || type == ColumnType::OLE; }
    bool isText() const { return type == ColumnType::Text || type == ColumnType::Memo; }
};

struct IndexColumn {
    size_t column = 0;  // position in TableDef::columns
    bool ascending = true;
};

// A logical index (what Access shows by name) with the attributes of the physical index
// ("real index") that holds its entries. Several logical indexes may share one real index.
struct IndexDef {
    std::string name;
    int number = 0;      // logical index number
    int realNumber = 0;  // physical index number
    std::vector<IndexColumn> columns;
    uint32_t rootPage = 0;  // first page of the index tree
    uint8_t flags = 0;      // raw real-index flags (0x01 unique, 0x02 ignore nulls, 0x08 required)
    bool unique = false;
    bool ignoreNulls = false;
    bool required = false;
    bool primaryKey = false;
    bool foreignKey = false;  // a relationship's index (no entries of its own beyond the real one)
};

struct TableDef {
    std::string name;
    uint32_t definitionPage = 0;  // first table definition page
    uint32_t rowCount = 0;        // as recorded in the definition
    uint32_t nextAutoNumber = 0;
    uint16_t variableColumnCount = 0;
    uint16_t maxColumnNumber = 0;    // highest column id + 1 (size of the null mask)
    std::vector<ColumnDef> columns;  // in display order
    std::vector<IndexDef> indexes;   // logical indexes, in index-number order
    uint32_t usedPagesMapRow = 0;    // row pointer (page << 8 | row) of the owned-pages usage map
    uint32_t freeSpaceMapRow = 0;    // row pointer of the pages-with-free-space usage map
    bool systemTable = false;

    // Position of a column by name, matched without regard to case.
    std::optional<size_t> findColumn(std::string_view name) const;
    const IndexDef* findIndex(std::string_view name) const;
};

// Compares names the way Access does for tables, columns and indexes: without regard to
// (ASCII) case.
bool namesEqual(std::string_view a, std::string_view b);

// Column types whose values are plain binary numbers: Boolean (stored as a flag, valued 0
// or -1), Byte, Integer, Long, Currency, Single and Double.
inline bool isPlainNumberType(ColumnType t) {
    switch (t) {
        case ColumnType::Boolean:
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long:
        case ColumnType::Currency:
        case ColumnType::Single:
        case ColumnType::Double:
            return true;
        default:
            return false;
    }
}

// Column types that compare as numbers: the plain number types, Decimal, and DateTime
// (a count of days).
inline bool isNumericType(ColumnType t) {
    return isPlainNumberType(t) || t == ColumnType::Decimal || t == ColumnType::DateTime;
}

// Address of one row: data page and row number within it.
struct RowId {
    uint32_t page = 0;
    uint16_t row = 0;
    bool operator==(const RowId&) const = default;
    auto operator<=>(const RowId&) const = default;
};

}  // namespace jet
