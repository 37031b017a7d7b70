#include "jet/table_def_writer.h"

#include <algorithm>
#include <numeric>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/row_codec.h"
#include "jet/text_encoder.h"

namespace jet {
namespace {

// Constants Access writes in definition fields that no reader interprets.
constexpr uint32_t kTableMagic = 1625;  // tdef header, column entries, logical indexes
constexpr uint32_t kIndexMagic = 1923;  // physical index definitions
constexpr uint8_t kUserTableType = 0x4E;
constexpr uint8_t kSystemTableType = 0x53;
constexpr uint16_t kGeneralSortOrder = 0x0409;
constexpr uint8_t kColumnFixed = 0x01;
constexpr uint8_t kColumnNullable = 0x02;
constexpr uint8_t kCompressedUnicode = 0x01;
constexpr uint8_t kIndexAscending = 0x01;
constexpr uint8_t kIndexDescending = 0x00;
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;
constexpr uint8_t kIndexAlwaysSet = 0x80;
constexpr uint8_t kPrimaryKeyType = 0x01;
constexpr uint8_t kNoCascade = 0x04;  // what Access writes for indexes outside relationships
constexpr uint16_t kEndOfLongValueMaps = 0xFFFF;
constexpr uint32_t kTableDefSlack = 8;  // free-space count leaves these bytes out
constexpr uint32_t kDefaultTextChars = 50;
constexpr uint32_t kMaxTextChars = 255;
constexpr uint32_t kMaxBinaryBytes = 255;
constexpr uint8_t kMaxDecimalPrecision = 28;

[[noreturn]] void refuse(const std::string& what) {
    throw Error(ErrorKind::Type, errnum::kSyntaxGeneric, what);
}

class Writer {
public:
    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void zeros(size_t n) { out_.insert(out_.end(), n, 0); }
    void name(const std::string& utf8) {
        Bytes b = encodeJet4Text(utf8, false);
        u16(static_cast<uint16_t>(b.size()));
        out_.insert(out_.end(), b.begin(), b.end());
    }
    std::vector<uint8_t>& bytes() { return out_; }

private:
    std::vector<uint8_t> out_;
};

bool isVariable(ColumnType t) {
    return t == ColumnType::Text || t == ColumnType::Binary || t == ColumnType::Memo ||
           t == ColumnType::OLE;
}

uint16_t byteLength(const NewColumn& c, const std::string& where) {
    switch (c.type) {
        case ColumnType::Text: {
            uint32_t chars = c.size == 0 ? kDefaultTextChars : c.size;
            if (chars > kMaxTextChars)
                refuse(where + ": a Text column holds at most 255 characters (size " +
                       std::to_string(c.size) + ")");
            return static_cast<uint16_t>(chars * 2);
        }
        case ColumnType::Binary: {
            uint32_t bytes = c.size == 0 ? kMaxBinaryBytes : c.size;
            if (bytes > kMaxBinaryBytes)
                refuse(where + ": a Binary column holds at most 255 bytes (size " +
                       std::to_string(c.size) + ")");
            return static_cast<uint16_t>(bytes);
        }
        case ColumnType::Memo:
        case ColumnType::OLE:
            return 0;
        case ColumnType::Boolean:
            return 1;
        case ColumnType::Decimal:
            return 17;
        case ColumnType::Guid:
            return 16;
        default:
            return static_cast<uint16_t>(fixedSizeOf(c.type));
    }
}

uint16_t variableBefore(const TableDef& t, uint16_t number) {
    uint16_t n = 0;
    for (const ColumnDef& c : t.columns)
        if (!c.fixed && c.number < number) ++n;
    return n;
}

}  // namespace

void checkObjectName(const std::string& name, const std::string& what) {
    if (name.empty()) refuse(what + " has no name");
    size_t chars = utf16Length(name);
    if (chars > kMaxObjectNameLength)
        refuse(what + " '" + name + "': names are at most 64 characters long");
    if (name.front() == ' ') refuse(what + " '" + name + "': a name cannot start with a space");
    for (unsigned char ch : name) {
        if (ch < 0x20 || ch == '.' || ch == '!' || ch == '`' || ch == '[' || ch == ']')
            refuse(what + " '" + name + "': a name cannot contain . ! ` [ ] or control characters");
    }
}

TableDef layoutNewTable(const NewTable& desc, const Format& format) {
    if (format.version != JetVersion::Jet4)
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "New tables can only be created in Access 2000 (Jet 4) databases");
    checkObjectName(desc.name, "Table");
    const std::string tableWhere = "table '" + desc.name + "'";
    if (desc.columns.empty()) refuse(tableWhere + " has no columns");
    if (desc.columns.size() > kMaxTableColumns)
        refuse(tableWhere + " has " + std::to_string(desc.columns.size()) +
               " columns; a table holds at most 255");
    if (desc.indexes.size() > kMaxTableIndexes)
        refuse(tableWhere + " has " + std::to_string(desc.indexes.size()) +
               " indexes; a table holds at most 32");

    TableDef t;
    t.name = desc.name;
    uint16_t fixedOffset = 0;
    uint16_t varIndex = 0;
    for (size_t i = 0; i < desc.columns.size(); ++i) {
        const NewColumn& nc = desc.columns[i];
        checkObjectName(nc.name, "Column of " + tableWhere);
        const std::string where = tableWhere + ", column '" + nc.name + "'";
        if (!isKnownColumnType(nc.type))
            refuse(where + " has an unknown type (" + std::to_string(int(nc.type)) + ")");
        for (size_t k = 0; k < i; ++k)
            if (namesEqual(desc.columns[k].name, nc.name))
                refuse(tableWhere + " has two columns named '" + nc.name + "'");
        ColumnDef c;
        c.name = nc.name;
        c.type = nc.type;
        c.number = static_cast<uint16_t>(i);
        c.displayIndex = static_cast<uint16_t>(i);
        c.length = byteLength(nc, where);
        c.fixed = !isVariable(nc.type);
        c.sortOrder = kGeneralSortOrder;
        c.compressedUnicode = nc.type == ColumnType::Text;
        if (nc.type == ColumnType::Decimal) {
            if (nc.precision < 1 || nc.precision > kMaxDecimalPrecision)
                refuse(where + ": the precision of a Decimal column is 1 to 28 (" +
                       std::to_string(nc.precision) + ")");
            if (nc.scale > nc.precision)
                refuse(where + ": the scale of a Decimal column is at most its precision (" +
                       std::to_string(nc.scale) + " > " + std::to_string(nc.precision) + ")");
            c.precision = nc.precision;
            c.scale = nc.scale;
        }
        if (c.fixed) {
            // Booleans live in the null mask; Access gives them no room in the fixed area.
            c.fixedOffset = nc.type == ColumnType::Boolean ? 0 : fixedOffset;
            if (nc.type != ColumnType::Boolean)
                fixedOffset = static_cast<uint16_t>(fixedOffset + c.length);
        } else {
            c.varIndex = varIndex++;
        }
        t.columns.push_back(std::move(c));
    }
    t.maxColumnNumber = static_cast<uint16_t>(t.columns.size());
    t.variableColumnCount = varIndex;

    bool havePrimary = false;
    for (size_t i = 0; i < desc.indexes.size(); ++i) {
        const NewIndex& ni = desc.indexes[i];
        checkObjectName(ni.name, "Index of " + tableWhere);
        const std::string where = tableWhere + ", index '" + ni.name + "'";
        for (size_t k = 0; k < i; ++k)
            if (namesEqual(desc.indexes[k].name, ni.name))
                refuse(tableWhere + " has two indexes named '" + ni.name + "'");
        if (ni.columns.empty()) refuse(where + " has no columns");
        if (ni.columns.size() > kMaxIndexColumns)
            refuse(where + " has " + std::to_string(ni.columns.size()) +
                   " columns; an index holds at most 10");
        if (ni.primaryKey && havePrimary) refuse(tableWhere + " has two primary keys");
        havePrimary = havePrimary || ni.primaryKey;
        IndexDef ix;
        ix.name = ni.name;
        ix.number = static_cast<int>(i);
        ix.realNumber = static_cast<int>(i);
        for (const NewIndexColumn& col : ni.columns) {
            auto pos = t.findColumn(col.column);
            if (!pos) refuse(where + " names column '" + col.column + "', which does not exist");
            if (t.columns[*pos].isLongValue() || t.columns[*pos].type == ColumnType::Binary)
                refuse(where + ": column '" + col.column +
                       "' is a Memo, OLE or Binary column and cannot be indexed");
            for (const IndexColumn& have : ix.columns)
                if (have.column == *pos) refuse(where + " names column '" + col.column + "' twice");
            ix.columns.push_back({*pos, col.ascending});
        }
        ix.primaryKey = ni.primaryKey;
        ix.unique = ni.unique || ni.primaryKey;
        ix.ignoreNulls = ni.ignoreNulls && !ni.primaryKey;
        ix.required = ni.primaryKey;
        ix.flags = static_cast<uint8_t>(kIndexAlwaysSet | (ix.unique ? kIndexUnique : 0) |
                                        (ix.ignoreNulls ? kIndexIgnoreNulls : 0) |
                                        (ix.required ? kIndexRequired : 0));
        t.indexes.push_back(std::move(ix));
    }
    return t;
}

std::vector<uint8_t> encodeTableDef(const TableDef& t, const TableDefExtras& x, const Format& f) {
    if (f.version != JetVersion::Jet4)
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "Table definitions are written for Access 2000 (Jet 4) databases only");
    size_t realCount = 0;
    for (const IndexDef& ix : t.indexes)
        realCount = std::max(realCount, static_cast<size_t>(ix.realNumber) + 1);
    if (x.indexMapRows.size() < realCount)
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "table '" + t.name + "': an index has no usage map");

    // Entry order: by name for system tables, by column number otherwise.
    std::vector<size_t> colOrder(t.columns.size());
    std::iota(colOrder.begin(), colOrder.end(), 0);
    std::vector<size_t> ixOrder(t.indexes.size());
    std::iota(ixOrder.begin(), ixOrder.end(), 0);
    if (x.entriesByName) {
        std::stable_sort(colOrder.begin(), colOrder.end(),
                         [&](size_t a, size_t b) { return t.columns[a].name < t.columns[b].name; });
        std::stable_sort(ixOrder.begin(), ixOrder.end(),
                         [&](size_t a, size_t b) { return t.indexes[a].name < t.indexes[b].name; });
    }

    Writer w;
    w.u8(pagetype::kTableDef);
    w.u8(0x01);
    w.u16(0);  // free space, set by splitTableDefPages
    w.u32(0);  // next page, likewise
    w.u32(0);  // definition length, set below
    w.u32(kTableMagic);
    w.u32(t.rowCount);
    w.u32(t.nextAutoNumber);
    w.u32(1);  // Access writes 1 here (autonumber increment)
    w.zeros(12);
    w.u8(t.systemTable ? kSystemTableType : kUserTableType);
    w.u16(t.maxColumnNumber);
    w.u16(t.variableColumnCount);
    w.u16(static_cast<uint16_t>(t.columns.size()));
    w.u32(static_cast<uint32_t>(t.indexes.size()));
    w.u32(static_cast<uint32_t>(realCount));
    w.u32(t.usedPagesMapRow);
    w.u32(t.freeSpaceMapRow);

    for (size_t r = 0; r < realCount; ++r) {
        w.u32(0);
        w.u32(r < x.indexRowCounts.size() ? x.indexRowCounts[r] : 0);
        w.u32(0);
    }
    for (size_t i : colOrder) {
        const ColumnDef& c = t.columns[i];
        uint8_t flags = static_cast<uint8_t>((c.fixed ? kColumnFixed : 0) | kColumnNullable |
                                             (i < x.columnFlags.size() ? x.columnFlags[i] : 0));
        w.u8(static_cast<uint8_t>(c.type));
        w.u32(kTableMagic);
        w.u16(c.number);
        // A fixed column records how many variable columns come before it.
        w.u16(c.fixed ? variableBefore(t, c.number) : c.varIndex);
        w.u16(x.entriesByName ? 0 : c.number);
        if (c.type == ColumnType::Decimal) {
            w.u8(c.precision);
            w.u8(c.scale);
        } else {
            w.u16(kGeneralSortOrder);
        }
        w.u16(0);
        w.u8(flags);
        w.u8(c.compressedUnicode ? kCompressedUnicode : 0);
        w.u32(0);
        w.u16(c.fixed ? c.fixedOffset : 0);
        w.u16(c.length);
    }
    for (size_t i : colOrder) w.name(t.columns[i].name);

    for (size_t r = 0; r < realCount; ++r) {
        const IndexDef* ix = nullptr;
        for (const IndexDef& cand : t.indexes)
            if (static_cast<size_t>(cand.realNumber) == r) ix = &cand;
        w.u32(kIndexMagic);
        for (size_t k = 0; k < kMaxIndexColumns; ++k) {
            if (ix && k < ix->columns.size()) {
                w.u16(t.columns[ix->columns[k].column].number);
                w.u8(ix->columns[k].ascending ? kIndexAscending : kIndexDescending);
            } else {
                w.u16(0xFFFF);
                w.u8(0);
            }
        }
        w.u32(x.indexMapRows[r]);
        w.u32(ix ? ix->rootPage : 0);
        w.u32(0);
        w.u8(ix ? ix->flags : kIndexAlwaysSet);
        w.zeros(5);
    }
    for (size_t i : ixOrder) {
        const IndexDef& ix = t.indexes[i];
        w.u32(kTableMagic);
        w.u32(static_cast<uint32_t>(ix.number));
        w.u32(static_cast<uint32_t>(ix.realNumber));
        w.u8(0);            // relationship type
        w.u32(0xFFFFFFFF);  // related index: none
        w.u32(0);           // related table: none
        w.u8(kNoCascade);
        w.u8(kNoCascade);
        w.u8(ix.primaryKey ? kPrimaryKeyType : 0);
        w.u32(0);
    }
    for (size_t i : ixOrder) w.name(t.indexes[i].name);
    for (const LongValueMaps& m : x.longValueMaps) {
        w.u16(m.columnNumber);
        w.u32(m.usedPagesRow);
        w.u32(m.freePagesRow);
    }
    w.u16(kEndOfLongValueMaps);
    storeU32(w.bytes().data() + 8, static_cast<uint32_t>(w.bytes().size()));
    return std::move(w.bytes());
}

size_t tableDefPageCount(size_t definitionBytes, const Format& f) {
    if (definitionBytes + kTableDefSlack <= f.pageSize) return 1;
    size_t rest = definitionBytes + kTableDefSlack - f.pageSize;
    size_t perPage = f.pageSize - f.tdefContinuationStart;
    return 1 + (rest + perPage - 1) / perPage;
}

std::vector<std::vector<uint8_t>> splitTableDefPages(const std::vector<uint8_t>& bytes,
                                                     const std::vector<uint32_t>& pages,
                                                     const Format& f) {
    if (pages.size() != tableDefPageCount(bytes.size(), f))
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "table definition: wrong number of pages for its bytes");
    std::vector<std::vector<uint8_t>> out;
    size_t pos = 0;
    for (size_t i = 0; i < pages.size(); ++i) {
        std::vector<uint8_t> page(f.pageSize, 0);
        size_t start = i == 0 ? 0 : f.tdefContinuationStart;
        size_t room = f.pageSize - start - (i + 1 == pages.size() ? kTableDefSlack : 0);

        size_t take = std::min(room, bytes.size() - pos);
        std::copy(bytes.begin() + static_cast<long>(pos),
                  bytes.begin() + static_cast<long>(pos + take),
                  page.begin() + static_cast<long>(start));
        pos += take;
        page[0] = pagetype::kTableDef;
        page[1] = 0x01;
        uint32_t used = static_cast<uint32_t>(start + take + kTableDefSlack);
        uint16_t free = static_cast<uint16_t>(used >= f.pageSize ? 0 : f.pageSize - used);
        page[2] = static_cast<uint8_t>(free);
        page[3] = static_cast<uint8_t>(free >> 8);
        uint32_t next = i + 1 < pages.size() ? pages[i + 1] : 0;
        for (int b = 0; b < 4; ++b)
            page[f.tdefNextPageOffset + b] = static_cast<uint8_t>(next >> (8 * b));
        out.push_back(std::move(page));
    }
    return out;
}

}  // namespace jet
