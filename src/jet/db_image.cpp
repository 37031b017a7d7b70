#include "jet/db_image.h"

#include <algorithm>
#include <map>
#include <string>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_page_encode.h"
#include "jet/row_encoder.h"
#include "jet/text_encoder.h"
#include "jet/write_limits.h"

namespace jet {
namespace {

constexpr uint32_t kMapRowBitmapBytes = 64;
constexpr uint32_t kMapRowSize = 5 + kMapRowBitmapBytes;  // kind, start page, bitmap
constexpr uint32_t kMapPageBits = kMapRowBitmapBytes * 8;
constexpr uint32_t kMapPageHeader = 4;  // type, 0x01, two unused bytes
constexpr uint8_t kReferenceMap = 1;
constexpr uint8_t kLongValueOwner[4] = {'L', 'V', 'A', 'L'};

[[noreturn]] void internal(const std::string& what) {
    throw Error(ErrorKind::Internal, errnum::kInternal, "New database: " + what);
}

void put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A data page being filled: rows are packed from the end of the page towards the slots.
class DataPage {
public:
    DataPage(const Format& f, uint32_t number) : f_(f), number_(number) {}
    uint32_t number() const { return number_; }
    size_t rowCount() const { return rows_.size(); }
    size_t freeSpace() const { return f_.pageSize - f_.dataRowTableOffset - used_; }
    bool fits(size_t rowBytes) const {
        return rows_.size() < writeLimitsFor(f_).maxRowsPerPage && rowBytes + 2 <= freeSpace();
    }
    uint16_t add(Bytes row) {
        used_ += row.size() + 2;
        rows_.push_back(std::move(row));
        return static_cast<uint16_t>(rows_.size() - 1);
    }
    std::vector<uint8_t> encode(const uint8_t owner[4]) const {
        std::vector<uint8_t> p(f_.pageSize, 0);
        p[0] = pagetype::kData;
        p[1] = 0x01;
        put16(p, 2, static_cast<uint32_t>(freeSpace()));
        std::copy(owner, owner + 4, p.begin() + f_.dataOwnerOffset);
        put16(p, f_.dataRowCountOffset, static_cast<uint32_t>(rows_.size()));
        size_t end = f_.pageSize;
        for (size_t i = 0; i < rows_.size(); ++i) {
            size_t start = end - rows_[i].size();
            std::copy(rows_[i].begin(), rows_[i].end(), p.begin() + static_cast<long>(start));
            put16(p, f_.dataRowTableOffset + 2 * i, static_cast<uint32_t>(start));
            end = start;
        }
        return p;
    }

private:
    const Format& f_;
    uint32_t number_;
    size_t used_ = 0;
    std::vector<Bytes> rows_;
};

// Fills data pages one after the other: the reserved ones first, then new pages.
class PagePacker {
public:
    PagePacker(DbImage& image, const uint8_t owner[4], std::vector<uint32_t> reserved)
        : image_(image), reserved_(std::move(reserved)) {
        std::copy(owner, owner + 4, owner_);
    }
    // Places a row; returns its page and slot.
    RowId add(Bytes row) {
        if (pages_.empty() || !pages_.back().fits(row.size())) {
            uint32_t n = next_ < reserved_.size() ? reserved_[next_++] : image_.reserve();
            pages_.emplace_back(image_.format(), n);
            if (!pages_.back().fits(row.size())) internal("a row does not fit an empty page");
        }
        uint16_t slot = pages_.back().add(std::move(row));
        return {pages_.back().number(), slot};
    }
    // Writes the pages (and empty ones for reserved pages left over); returns their numbers.
    std::set<uint32_t> finish() {
        while (next_ < reserved_.size()) pages_.emplace_back(image_.format(), reserved_[next_++]);
        std::set<uint32_t> numbers;
        for (const DataPage& p : pages_) {
            image_.setPage(p.number(), p.encode(owner_));
            numbers.insert(p.number());
        }
        return numbers;
    }

private:
    DbImage& image_;
    uint8_t owner_[4];
    std::vector<uint32_t> reserved_;
    size_t next_ = 0;
    std::vector<DataPage> pages_;
};

Bytes longValueField(uint32_t lengthAndFlags, uint32_t pointer) {
    Bytes f(longvalue::kHeaderSize, 0);
    put32(f, 0, lengthAndFlags);
    put32(f, 4, pointer);
    return f;
}

// Stores Memo/OLE values: inline when small, else in rows on the column's LVAL pages.
class LongValueStore {
public:
    LongValueStore(DbImage& image, const TableDef& table) : image_(image) {
        for (size_t i = 0; i < table.columns.size(); ++i)
            if (table.columns[i].isLongValue())
                packers_.emplace(table.columns[i].number, PagePacker(image, kLongValueOwner, {}));
    }

    Bytes store(const ColumnDef& column, const Bytes& data, size_t freeRowSpace) {
        const WriteLimits& limits = writeLimitsFor(image_.format());
        if (data.size() <= limits.maxInlineLongValue &&
            data.size() + longvalue::kHeaderSize <= freeRowSpace) {
            Bytes f = longValueField(longvalue::kInline | static_cast<uint32_t>(data.size()), 0);
            f.insert(f.end(), data.begin(), data.end());
            return f;
        }
        if (data.size() > longvalue::kLengthMask)
            throw Error(ErrorKind::Type, errnum::kRecordTooLarge,
                        "column '" + column.name + "': the value is too long");
        PagePacker& packer = packers_.at(column.number);
        if (data.size() <= limits.maxLongValueRowSize) {
            RowId at = packer.add(data);
            return longValueField(longvalue::kSinglePage | static_cast<uint32_t>(data.size()),
                                  (at.page << 8) | at.row);
        }
        // A chain: each link is [next link's row pointer][data].
        size_t chunk = limits.maxLongValueRowSize - 4;
        std::vector<std::pair<size_t, size_t>> pieces;
        for (size_t pos = 0; pos < data.size(); pos += chunk)
            pieces.emplace_back(pos, std::min(chunk, data.size() - pos));
        // Links are placed front to back so that the chain runs forward through the pages;
        // their successors are patched in once every link has its address.
        std::vector<RowId> at;
        for (auto [pos, n] : pieces) {
            Bytes link(4, 0);
            link.insert(link.end(), data.begin() + static_cast<long>(pos),
                        data.begin() + static_cast<long>(pos + n));
            at.push_back(packer.add(std::move(link)));
        }
        for (size_t i = 0; i + 1 < at.size(); ++i)
            links_[{at[i].page, at[i].row}] = (at[i + 1].page << 8) | at[i + 1].row;
        return longValueField(static_cast<uint32_t>(data.size()), (at[0].page << 8) | at[0].row);
    }

    // Writes the LVAL pages (patching chain links); returns each column's pages.
    std::map<uint16_t, std::set<uint32_t>> finish() {
        std::map<uint16_t, std::set<uint32_t>> out;
        for (auto& [number, packer] : packers_) out[number] = packer.finish();
        for (auto& [row, next] : links_) {
            const std::vector<uint8_t>* page = image_.page(row.first);
            if (!page) internal("a long value page is missing");
            std::vector<uint8_t> copy = *page;
            size_t start =
                static_cast<size_t>(copy[image_.format().dataRowTableOffset + 2 * row.second]) |
                (static_cast<size_t>(copy[image_.format().dataRowTableOffset + 2 * row.second + 1])
                 << 8);
            put32(copy, start, next);
            image_.setPage(row.first, std::move(copy));
        }
        return out;
    }

private:
    DbImage& image_;
    std::map<uint16_t, PagePacker> packers_;
    std::map<std::pair<uint32_t, uint16_t>, uint32_t> links_;
};

// Splits entries into pages that each fit. On intermediate levels every child is counted as
// an entry although the last of each page becomes its tail: a little room is left unused.
std::vector<std::vector<IndexPageEntry>> packLevel(const std::vector<IndexPageEntry>& entries,
                                                   bool leaf, const IndexPageLayout& layout,
                                                   uint32_t owner) {
    std::vector<std::vector<IndexPageEntry>> groups;
    IndexPage probe;
    probe.leaf = leaf;
    probe.owner = owner;
    for (const IndexPageEntry& e : entries) {
        probe.entries.push_back(e);
        if (!indexPageFits(probe, layout)) {
            probe.entries.pop_back();
            if (probe.entries.empty()) internal("an index entry does not fit an empty page");
            groups.push_back(std::move(probe.entries));
            probe.entries = {e};
        }
    }
    if (!probe.entries.empty()) groups.push_back(std::move(probe.entries));
    return groups;
}

// Builds the index tree of sorted entries with its root at `root`; returns every page.
std::set<uint32_t> buildIndexTree(DbImage& image, const std::vector<IndexPageEntry>& entries,
                                  uint32_t root, uint32_t owner) {
    const IndexPageLayout& layout = indexPageLayout(image.format().version);
    std::set<uint32_t> pages{root};
    std::vector<IndexPageEntry> level = entries;
    bool leaf = true;
    while (true) {
        auto groups = packLevel(level, leaf, layout, owner);
        if (groups.size() <= 1) {
            IndexPage p;
            p.number = root;
            p.leaf = leaf;
            p.owner = owner;
            if (!groups.empty()) p.entries = std::move(groups[0]);
            if (!leaf && p.entries.size() > 1) {
                // The last child is the tail, not an entry.
                p.tail = p.entries.back().child;
                p.entries.pop_back();
            }
            image.setPage(root, encodeIndexPage(p, layout));
            return pages;
        }
        std::vector<IndexPage> built;
        for (auto& g : groups) {
            IndexPage p;
            p.number = image.reserve();
            pages.insert(p.number);
            p.leaf = leaf;
            p.owner = owner;
            p.entries = std::move(g);
            built.push_back(std::move(p));
        }
        for (size_t i = 0; i < built.size(); ++i) {
            if (i > 0) built[i].prev = built[i - 1].number;
            if (i + 1 < built.size()) built[i].next = built[i + 1].number;
        }
        std::vector<IndexPageEntry> parents;
        for (IndexPage& p : built) {
            IndexPageEntry up;
            if (!leaf && p.entries.size() > 1) {
                // Every child but the last is an entry; the last is the tail. The parent's
                // entry names the greatest leaf entry below this page: the tail's.
                up = p.entries.back();
                p.tail = up.child;
                p.entries.pop_back();
            } else {
                up = p.entries.back();
            }
            up.child = p.number;
            parents.push_back(std::move(up));
            image.setPage(p.number, encodeIndexPage(p, layout));
        }
        level = std::move(parents);
        leaf = false;
    }
}

}  // namespace

std::vector<uint8_t> encodeRowsPage(const Format& format, const std::vector<Bytes>& rows,
                                    uint32_t owner) {
    DataPage page(format, 0);
    for (const Bytes& row : rows) {
        if (!page.fits(row.size())) internal("the rows do not fit one page");
        page.add(row);
    }
    uint8_t ownerBytes[4];
    for (int b = 0; b < 4; ++b) ownerBytes[b] = static_cast<uint8_t>(owner >> (8 * b));
    return page.encode(ownerBytes);
}

Bytes encodeInlineMapRow(const std::set<uint32_t>& pages) {
    Bytes row(kMapRowSize, 0);
    uint32_t start = 0;
    if (!pages.empty() && *pages.rbegin() >= kMapPageBits) start = *pages.begin() & ~7u;
    if (!pages.empty() && *pages.rbegin() - start >= kMapPageBits)
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "a usage map's pages are spread too widely for an inline map");
    put32(row, 1, start);
    for (uint32_t p : pages)
        row[5 + (p - start) / 8] |= static_cast<uint8_t>(1u << ((p - start) % 8));
    return row;
}

DbImage::DbImage(const Format& format) : format_(format) {}

uint32_t DbImage::reserve() {
    pages_.emplace_back();
    filled_.push_back(false);
    return static_cast<uint32_t>(pages_.size() - 1);
}

void DbImage::setPage(uint32_t n, std::vector<uint8_t> contents) {
    if (n >= pages_.size() || contents.size() != format_.pageSize)
        internal("page " + std::to_string(n) + " was not reserved or has the wrong size");
    pages_[n] = std::move(contents);
    filled_[n] = true;
}

const std::vector<uint8_t>* DbImage::page(uint32_t n) const {
    return n < pages_.size() && filled_[n] ? &pages_[n] : nullptr;
}

uint32_t DbImage::reserveMapRow(bool freshPage) {
    size_t perPage = (format_.pageSize - format_.dataRowTableOffset) / (kMapRowSize + 2);
    perPage = std::min<size_t>(perPage, writeLimitsFor(format_).maxRowsPerPage);
    if (freshPage || mapPages_.empty() || mapPages_.back().rows.size() >= perPage)
        mapPages_.push_back({reserve(), {}});
    mapPages_.back().rows.emplace_back();
    return (mapPages_.back().number << 8) | static_cast<uint32_t>(mapPages_.back().rows.size() - 1);
}

void DbImage::setMapPages(uint32_t rowPointer, const std::set<uint32_t>& pages) {
    uint32_t page = rowPointer >> 8;
    size_t row = rowPointer & 0xFF;
    for (MapPage& m : mapPages_)
        if (m.number == page && row < m.rows.size()) {
            m.rows[row] = pages;
            return;
        }
    internal("usage map row " + std::to_string(rowPointer) + " was not reserved");
}

void DbImage::writeMapPages() {
    static constexpr uint8_t kNoOwner[4] = {0, 0, 0, 0};
    const uint32_t bitsPerMapPage = (format_.pageSize - kMapPageHeader) * 8;
    for (const MapPage& m : mapPages_) {
        DataPage page(format_, m.number);
        for (const std::set<uint32_t>& pages : m.rows) {
            Bytes row(kMapRowSize, 0);
            uint32_t start = 0;
            if (!pages.empty() && *pages.rbegin() >= kMapPageBits) start = *pages.begin() & ~7u;
            if (pages.empty() || *pages.rbegin() - start < kMapPageBits) {
                row = encodeInlineMapRow(pages);
            } else {
                // Too wide for one inline bitmap: the row lists map pages, each a bitmap of
                // its own stretch of the file.
                row[0] = kReferenceMap;
                std::map<uint32_t, std::vector<uint8_t>> bitmaps;
                for (uint32_t p : pages) {
                    uint32_t slot = p / bitsPerMapPage, bit = p % bitsPerMapPage;
                    if (1 + 4 * (slot + 1) > kMapRowSize)
                        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                                    "New database: the file is too large for a usage map");
                    auto& bits = bitmaps[slot];
                    if (bits.empty()) {
                        bits.assign(format_.pageSize, 0);
                        bits[0] = pagetype::kUsageMap;
                        bits[1] = 0x01;
                    }
                    bits[kMapPageHeader + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
                }
                for (auto& [slot, bits] : bitmaps) {
                    uint32_t n = reserve();
                    put32(row, 1 + 4 * slot, n);
                    setPage(n, std::move(bits));
                }
            }
            page.add(std::move(row));
        }
        setPage(m.number, page.encode(kNoOwner));
    }
    mapPages_.clear();
}

std::vector<uint8_t> DbImage::finish() {
    std::vector<uint8_t> out;
    out.reserve(pages_.size() * format_.pageSize);
    for (size_t i = 0; i < pages_.size(); ++i) {
        if (!filled_[i]) internal("page " + std::to_string(i) + " was reserved but never written");
        out.insert(out.end(), pages_[i].begin(), pages_[i].end());
    }
    return out;
}

TableContent addTableContent(DbImage& image, const TableDef& table, const TablePlacement& where,
                             const std::vector<std::vector<Value>>& rows) {
    const Format& f = image.format();
    TextEncoder text(f.textEncoding, 1252);
    RowEncoder encoder(table, f, text);
    LongValueStore longValues(image, table);
    uint8_t owner[4];
    for (int b = 0; b < 4; ++b) owner[b] = static_cast<uint8_t>(where.definitionPage >> (8 * b));
    PagePacker data(image, owner, where.dataPages);

    std::vector<RowId> placed;
    placed.reserve(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        try {
            if (rows[r].size() != table.columns.size())
                internal("a row has the wrong number of values");
            Bytes bytes =
                encoder.encode(rows[r], [&](const ColumnDef& c, const Bytes& v, size_t free) {
                    return longValues.store(c, v, free);
                });
            placed.push_back(data.add(std::move(bytes)));
        } catch (const Error& e) {
            throw Error(
                e.kind(), e.number(),
                "table '" + table.name + "', row " + std::to_string(r + 1) + ": " + e.what());
        }
    }

    TableContent out;
    out.rowCount = static_cast<uint32_t>(rows.size());
    for (const IndexDef& ix : table.indexes) {
        std::vector<IndexPageEntry> entries;
        for (size_t r = 0; r < rows.size(); ++r) {
            bool allNull = true, anyNull = false;
            for (const IndexColumn& ic : ix.columns) {
                bool null = rows[r][ic.column].isNull() &&
                            table.columns[ic.column].type != ColumnType::Boolean;
                allNull = allNull && null;
                anyNull = anyNull || null;
            }
            if (ix.required && anyNull)
                throw Error(ErrorKind::Constraint, errnum::kNullInIndex,
                            "table '" + table.name + "', row " + std::to_string(r + 1) +
                                ": index '" + ix.name + "' cannot contain a Null value");
            if (ix.ignoreNulls && allNull) continue;
            entries.push_back({encodeIndexKey(table, ix, rows[r], f.version), placed[r], 0});
        }
        std::sort(entries.begin(), entries.end(),
                  [](const IndexPageEntry& a, const IndexPageEntry& b) {
                      return compareEntries(a.key, a.row, b.key, b.row) < 0;
                  });
        if (ix.unique) {
            for (size_t i = 1; i < entries.size(); ++i) {
                if (entries[i].key != entries[i - 1].key) continue;
                auto number = [&](RowId id) {
                    auto it = std::find(placed.begin(), placed.end(), id);
                    return std::to_string(it - placed.begin() + 1);
                };
                throw Error(ErrorKind::Constraint, errnum::kDuplicate,
                            "table '" + table.name + "': rows " + number(entries[i - 1].row) +
                                " and " + number(entries[i].row) +
                                " have the same value in the unique index '" + ix.name + "'");
            }
        }
        size_t real = static_cast<size_t>(ix.realNumber);
        if (real >= where.indexRoots.size() || real >= where.indexMapRows.size())
            internal("index '" + ix.name + "' has no reserved root page");
        std::set<uint32_t> pages =
            buildIndexTree(image, entries, where.indexRoots[real], where.definitionPage);
        image.setMapPages(where.indexMapRows[real], pages);
        if (out.indexEntryCounts.size() <= real) out.indexEntryCounts.resize(real + 1, 0);
        uint32_t distinct = 0;
        for (size_t i = 0; i < entries.size(); ++i)
            if (i == 0 || entries[i].key != entries[i - 1].key) ++distinct;
        out.indexEntryCounts[real] = distinct;
    }

    std::set<uint32_t> dataPages = data.finish();
    image.setMapPages(where.usedPagesRow, dataPages);
    image.setMapPages(where.freePagesRow, dataPages);
    auto lvPages = longValues.finish();
    size_t lv = 0;
    for (const ColumnDef& c : table.columns) {
        if (!c.isLongValue()) continue;
        if (lv >= where.longValueUsedRows.size()) internal("a Memo/OLE column has no usage map");
        image.setMapPages(where.longValueUsedRows[lv], lvPages[c.number]);
        image.setMapPages(where.longValueFreeRows[lv], lvPages[c.number]);
        ++lv;
    }
    return out;
}

}  // namespace jet
