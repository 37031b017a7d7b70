#include "jet/db_image.h"

#include <algorithm>
#include <map>
#include <string>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_page_encode.h"
#include "jet/long_value_writer.h"
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

[[noreturn]] void internal(const std::string& what) {
    throw Error(ErrorKind::Internal, errnum::kInternal, "New database: " + what);
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
        storeU16(p.data() + 2, static_cast<uint16_t>(freeSpace()));
        std::copy(owner, owner + 4, p.begin() + f_.dataOwnerOffset);
        storeU16(p.data() + f_.dataRowCountOffset, static_cast<uint16_t>(rows_.size()));
        size_t end = f_.pageSize;
        for (size_t i = 0; i < rows_.size(); ++i) {
            size_t start = end - rows_[i].size();
            std::copy(rows_[i].begin(), rows_[i].end(), p.begin() + static_cast<long>(start));
            storeU16(p.data() + f_.dataRowTableOffset + 2 * i, static_cast<uint16_t>(start));
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
    storeU32(row.data() + 1, start);
    for (uint32_t p : pages)
        row[5 + (p - start) / 8] |= static_cast<uint8_t>(1u << ((p - start) % 8));
    return row;
}

namespace {
constexpr char kImageName[] = "new.mdb";
}  // namespace

DbImage::DbImage(const Format& format) : format_(format) {
    fs_.addFile(kImageName, {});
    PageFileOptions options;
    options.writable = true;
    options.sync = false;
    pages_ = std::make_unique<PageFile>(fs_, kImageName, options, format_.pageSize);
    pages_->beginWrite();
}

DbImage::~DbImage() = default;

uint32_t DbImage::reserve() {
    uint32_t n = pages_->append(std::vector<uint8_t>(format_.pageSize, 0));
    filled_.resize(n + 1, true);
    filled_[n] = false;
    return n;
}

void DbImage::setPage(uint32_t n, std::vector<uint8_t> contents) {
    if (n >= filled_.size() || contents.size() != format_.pageSize)
        internal("page " + std::to_string(n) + " was not reserved or has the wrong size");
    pages_->write(n, std::move(contents));
    filled_[n] = true;
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
                    storeU32(row.data() + 1 + 4 * slot, n);
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
    for (size_t i = 0; i < filled_.size(); ++i)
        if (!filled_[i]) internal("page " + std::to_string(i) + " was reserved but never written");
    pages_->commit();
    std::vector<uint8_t> out = fs_.bytes(kImageName);
    fs_.remove(kImageName);
    return out;
}

TableContent addTableContent(DbImage& image, const TableDef& table, const TablePlacement& where,
                             const std::vector<std::vector<Value>>& rows) {
    const Format& f = image.format();
    TextEncoder text(f.textEncoding, 1252);
    RowEncoder encoder(table, f, text);
    LongValueWriter longValues(image.pages(), f);
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
                    try {
                        return longValues.write(v, free);
                    } catch (const Error& e) {
                        throw Error(e.kind(), e.number(), "column '" + c.name + "': " + e.what());
                    }
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
    // The Memo/OLE columns' own maps stay empty, as after any insert through TableWriter:
    // long value pages are shared by the columns and found through the rows.
    longValues.flush();
    return out;
}

}  // namespace jet
