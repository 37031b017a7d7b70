#include "jet/table_def.h"

#include <algorithm>
#include <unordered_set>

#include "jet/bytes.h"

namespace jet {
namespace {

constexpr uint8_t kSystemTableType = 0x53;
constexpr size_t kMaxIndexColumns = 10;
constexpr uint16_t kUnusedIndexColumn = 0xFFFF;
constexpr uint8_t kAscendingFlag = 0x01;
constexpr uint8_t kUniqueFlag = 0x01;
constexpr uint8_t kIgnoreNullsFlag = 0x02;
constexpr uint8_t kRequiredFlag = 0x08;
constexpr uint8_t kPrimaryKeyType = 0x01;
constexpr uint8_t kForeignKeyType = 0x02;
constexpr uint8_t kCompressedUnicodeFlag = 0x01;
// Jet allows 255 columns and 32 indexes per table; anything far beyond is damage, refused
// before any memory is reserved for it.
constexpr uint32_t kMaxColumns = 4096;
constexpr uint32_t kMaxIndexes = 1024;

struct RealIndex {
    std::vector<std::pair<uint16_t, bool>> columns;  // column number, ascending
    uint32_t rootPage = 0;
    uint8_t flags = 0;
};

class Cursor {
public:
    Cursor(ByteView v, size_t pos) : v_(v), pos_(pos) {}
    size_t pos() const { return pos_; }
    ByteView take(size_t n, const char* what) {
        v_.require(pos_, n, what);
        ByteView out = v_.sub(pos_, n);
        pos_ += n;
        return out;
    }

private:
    ByteView v_;
    size_t pos_;
};

std::string readName(Cursor& c, const Format& f, const TextDecoder& text) {
    ByteView len = c.take(f.nameLengthSize, "a name length");
    size_t n = f.nameLengthSize == 1 ? len.u8(0) : len.u16(0);
    ByteView bytes = c.take(n, "a name");
    std::string out;
    text.append(out, bytes.data(), bytes.size());
    return out;
}

ColumnDef parseColumn(ByteView e, const Format& f) {
    ColumnDef c;
    c.type = static_cast<ColumnType>(e.u8(f.colTypeOffset));
    c.number = e.u16(f.colNumberOffset);
    c.varIndex = e.u16(f.colVarIndexOffset);
    uint8_t flags = e.u8(f.colFlagsOffset);
    c.fixed = (flags & colflag::kFixed) != 0;
    c.autoNumber = (flags & (colflag::kAutoNumber | colflag::kAutoGuid)) != 0;
    c.fixedOffset = e.u16(f.colFixedOffsetOffset);
    c.length = e.u16(f.colLengthOffset);
    if (c.type == ColumnType::Decimal) {
        c.precision = e.u8(f.colPrecisionOffset);
        c.scale = e.u8(f.colScaleOffset);
    }
    if (c.isText()) {
        c.sortOrder = e.u16(f.colSortOrderOffset);
        if (f.colCodePageOffset) c.codePage = e.u16(f.colCodePageOffset);
        if (f.colExtFlagsOffset)
            c.compressedUnicode = (e.u8(f.colExtFlagsOffset) & kCompressedUnicodeFlag) != 0;
    }
    return c;
}

}  // namespace

std::vector<uint8_t> readTableDefBytes(PageFile& pages, const Format& format, uint32_t page) {
    std::vector<uint8_t> out;
    std::unordered_set<uint32_t> visited;
    uint32_t current = page;
    bool first = true;
    while (current != 0) {
        if (!visited.insert(current).second)
            throwCorrupt("table definition pages loop at page " + std::to_string(current));
        Page p = pages.read(current);
        ByteView v(p->data(), p->size());
        if (v.u8(0) != pagetype::kTableDef)
            throwCorrupt("page " + std::to_string(current) + " is not a table definition page");
        size_t from = first ? 0 : format.tdefContinuationStart;
        out.insert(out.end(), p->begin() + static_cast<long>(from), p->end());
        current = v.u32(format.tdefNextPageOffset);
        first = false;
    }
    return out;
}

TableDef parseTableDef(const std::vector<uint8_t>& bytes, const Format& f, const TextDecoder& text,
                       std::string name, uint32_t page) {
    ByteView v(bytes.data(), bytes.size());
    TableDef t;
    t.name = std::move(name);
    t.definitionPage = page;
    t.rowCount = v.u32(f.tdefRowCountOffset);
    t.nextAutoNumber = v.u32(f.tdefAutoNumberOffset);
    t.systemTable = v.u8(f.tdefTableTypeOffset) == kSystemTableType;
    t.maxColumnNumber = v.u16(f.tdefMaxColumnsOffset);
    t.variableColumnCount = v.u16(f.tdefVarColumnsOffset);
    uint32_t columnCount = v.u16(f.tdefColumnCountOffset);
    uint32_t indexCount = v.u32(f.tdefIndexCountOffset);
    uint32_t realIndexCount = v.u32(f.tdefRealIndexCountOffset);
    t.usedPagesMapRow = v.u32(f.tdefUsedPagesOffset);
    t.freeSpaceMapRow = v.u32(f.tdefFreePagesOffset);
    if (columnCount > kMaxColumns || indexCount > kMaxIndexes || realIndexCount > kMaxIndexes)
        throwCorrupt("table definition counts are out of range (" + std::to_string(columnCount) +
                     " columns, " + std::to_string(indexCount) + " indexes)");

    Cursor c(v, f.tdefHeaderSize);
    c.take(size_t{realIndexCount} * f.realIndexCountEntrySize, "the index row counts");

    ByteView colBlock = c.take(size_t{columnCount} * f.columnEntrySize, "the column entries");
    std::vector<ColumnDef> cols;
    cols.reserve(columnCount);
    for (uint32_t i = 0; i < columnCount; ++i)
        cols.push_back(
            parseColumn(colBlock.sub(size_t{i} * f.columnEntrySize, f.columnEntrySize), f));
    for (auto& col : cols) col.name = readName(c, f, text);

    std::vector<RealIndex> reals(realIndexCount);
    for (auto& r : reals) {
        ByteView e = c.take(f.realIndexDefSize, "an index definition");
        size_t pos = f.realIndexColumnsOffset;
        for (size_t k = 0; k < kMaxIndexColumns; ++k, pos += 3) {
            uint16_t num = e.u16(pos);
            if (num == kUnusedIndexColumn) continue;
            r.columns.emplace_back(num, (e.u8(pos + 2) & kAscendingFlag) != 0);
        }
        r.rootPage = e.u32(f.realIndexRootOffset);
        r.flags = e.u8(f.realIndexFlagsOffset);
    }

    std::vector<IndexDef> indexes(indexCount);
    for (auto& ix : indexes) {
        ByteView e = c.take(f.logicalIndexSize, "a logical index entry");
        size_t pos = f.logicalIndexSkip;
        ix.number = static_cast<int>(e.u32(pos));
        ix.realNumber = static_cast<int>(e.u32(pos + 4));
        uint8_t type = e.u8(pos + 19);  // after relationship type, index, table, cascades
        ix.primaryKey = type == kPrimaryKeyType;
        ix.foreignKey = type == kForeignKeyType;
    }
    for (auto& ix : indexes) ix.name = readName(c, f, text);

    // Access shows columns in column-number order; the entries are not always stored so.
    std::stable_sort(cols.begin(), cols.end(),
                     [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
    for (size_t i = 0; i < cols.size(); ++i) cols[i].displayIndex = static_cast<uint16_t>(i);
    t.columns = std::move(cols);

    for (auto& ix : indexes) {
        if (ix.realNumber < 0 || static_cast<size_t>(ix.realNumber) >= reals.size())
            throwCorrupt("index '" + ix.name + "' uses physical index " +
                         std::to_string(ix.realNumber) + ", which does not exist");
        const RealIndex& r = reals[static_cast<size_t>(ix.realNumber)];
        for (auto [num, asc] : r.columns) {
            auto it = std::find_if(t.columns.begin(), t.columns.end(),
                                   [num = num](const ColumnDef& col) { return col.number == num; });
            if (it == t.columns.end())
                throwCorrupt("index '" + ix.name + "' names column number " + std::to_string(num) +
                             ", which does not exist");
            ix.columns.push_back({static_cast<size_t>(it - t.columns.begin()), asc});
        }
        ix.rootPage = r.rootPage;
        ix.flags = r.flags;
        ix.unique = (r.flags & kUniqueFlag) != 0;
        ix.ignoreNulls = (r.flags & kIgnoreNullsFlag) != 0;
        ix.required = (r.flags & kRequiredFlag) != 0;
    }
    std::stable_sort(indexes.begin(), indexes.end(),
                     [](const IndexDef& a, const IndexDef& b) { return a.number < b.number; });
    t.indexes = std::move(indexes);
    return t;
}

TableDef readTableDef(PageFile& pages, const Format& format, const TextDecoder& text,
                      const std::string& name, uint32_t page) {
    try {
        return parseTableDef(readTableDefBytes(pages, format, page), format, text, name, page);
    } catch (const Error& e) {
        rethrowWithContext(e,
                           "table '" + name + "' (definition page " + std::to_string(page) + ")");
    }
}

}  // namespace jet
