#include "jet/create_db.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "base/ole_date.h"
#include "jet/bytes.h"
#include "jet/db_image.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/format.h"
#include "jet/header.h"
#include "jet/memory_file.h"
#include "jet/system_tables.h"
#include "jet/table_writer.h"
#include "jet/value_coerce.h"

namespace jet {
namespace {

constexpr char kSignature[] = "Standard Jet DB";  // at offset 4, with its NUL
constexpr uint16_t kCodePage1252 = 1252;
constexpr uint16_t kGeneralLegacySortOrder = 0x0409;
constexpr uint32_t kPasswordOffset = 0x42;
constexpr uint32_t kPasswordWords = 10;  // 40 bytes, Jet 4
constexpr uint32_t kCreationDateOffset = 0x72;
constexpr uint32_t kEngineFieldOffset = 0x98;  // a constant, then the "4.0" engine version
constexpr uint32_t kEngineFieldValue = 0x0654;
constexpr uint32_t kPageTailOffset = 0xE00;  // constant pattern Access leaves at the end

// Page 0: signature, version, and the masked region with code page, sort order, creation
// date and the (empty) password, which Access stores combined with the creation date.
std::vector<uint8_t> definitionPage(const Format& f, double created) {
    std::vector<uint8_t> p(f.pageSize, 0);
    p[0] = pagetype::kDefinition;
    p[1] = 0x01;
    std::memcpy(p.data() + 4, kSignature, sizeof kSignature);
    storeU32(p.data() + f.versionOffset, 1);
    // The first words of the masked region hold the constants 0x100, 0x101, 2, 3, 4, 5.
    const uint32_t leading[] = {0x100, 0x101, 2, 3, 4, 5};
    for (size_t i = 0; i < std::size(leading); ++i)
        storeU32(p.data() + f.maskedOffset + 4 * i, leading[i]);
    storeU16(p.data() + f.codePageOffset, kCodePage1252);
    auto dateWord = static_cast<uint32_t>(static_cast<int32_t>(std::floor(created)));
    for (uint32_t i = 0; i < kPasswordWords; ++i)
        storeU32(p.data() + kPasswordOffset + 4 * i, dateWord);
    storeU16(p.data() + f.sortOrderOffset, kGeneralLegacySortOrder);
    uint64_t bits;
    std::memcpy(&bits, &created, sizeof bits);
    storeU32(p.data() + kCreationDateOffset, static_cast<uint32_t>(bits));
    storeU32(p.data() + kCreationDateOffset + 4, static_cast<uint32_t>(bits >> 32));
    applyHeaderMask(p.data(), f);
    storeU32(p.data() + kEngineFieldOffset, kEngineFieldValue);
    std::memcpy(p.data() + kEngineFieldOffset + 4, "4.0", 4);
    p[kPageTailOffset] = 0x01;
    for (size_t i = kPageTailOffset + 1; i < f.pageSize; i += 2) p[i] = 0x01;
    return p;
}

// Page 1: the database-wide map of unused pages (every page past the end of the file
// within the map's reach), then an empty second map. A file larger than the inline map's
// reach gets a reference map without map pages: no page free (global_usage_map.h).
std::vector<uint8_t> globalUsageMapPage(const Format& f, uint32_t pageCount) {
    constexpr uint32_t kRowSize = 69;
    constexpr uint32_t kBits = 64 * 8;
    std::vector<uint8_t> p(f.pageSize, 0);
    p[0] = pagetype::kData;
    p[1] = 0x01;
    storeU32(p.data() + f.dataOwnerOffset, 1);
    storeU16(p.data() + f.dataRowCountOffset, 2);
    uint32_t row0 = f.pageSize - kRowSize;
    uint32_t row1 = row0 - kRowSize;
    storeU16(p.data() + f.dataRowTableOffset, row0);
    storeU16(p.data() + f.dataRowTableOffset + 2, row1);
    storeU16(p.data() + 2, static_cast<uint16_t>(row1 - f.dataRowTableOffset - 4));
    if (pageCount > kBits) {
        p[row0] = 1;  // a reference map
        return p;
    }
    for (uint32_t page = pageCount; page < kBits; ++page)
        p[row0 + 5 + page / 8] |= static_cast<uint8_t>(1u << (page % 8));
    return p;
}

struct PlannedTable {
    TableDef def;
    TableDefExtras extras;
    TablePlacement place;
    std::vector<uint32_t> defPages;
    const std::vector<std::vector<Value>>* rows = nullptr;
    std::vector<std::vector<Value>> ownRows;  // system tables
};

// Reserves the pages and map rows of one table: definition page(s), map rows (owned and
// free pages, Memo/OLE maps, index maps), index roots.
void reservePages(DbImage& image, PlannedTable& t, bool mapsOnFreshPage,
                  const std::vector<uint32_t>& definitionPages) {
    size_t realCount = 0;
    for (const IndexDef& ix : t.def.indexes)
        realCount = std::max(realCount, static_cast<size_t>(ix.realNumber) + 1);
    if (definitionPages.empty()) {
        // The definition's size does not depend on the page numbers it holds.
        t.extras.indexMapRows.assign(realCount, 0);
        t.extras.longValueMaps.clear();
        for (const ColumnDef& c : t.def.columns)
            if (c.isLongValue()) t.extras.longValueMaps.push_back({c.number, 0, 0});
        size_t n = tableDefPageCount(encodeTableDef(t.def, t.extras, image.format()).size(),
                                     image.format());
        for (size_t i = 0; i < n; ++i) t.defPages.push_back(image.reserve());
    } else {
        t.defPages = definitionPages;
    }
    t.def.definitionPage = t.defPages[0];
    t.place.definitionPage = t.defPages[0];
    t.place.usedPagesRow = image.reserveMapRow(mapsOnFreshPage);
    t.place.freePagesRow = image.reserveMapRow();
    t.extras.longValueMaps.clear();
    for (const ColumnDef& c : t.def.columns) {
        if (!c.isLongValue()) continue;
        t.place.longValueUsedRows.push_back(image.reserveMapRow());
        t.place.longValueFreeRows.push_back(image.reserveMapRow());
        t.extras.longValueMaps.push_back(
            {c.number, t.place.longValueUsedRows.back(), t.place.longValueFreeRows.back()});
    }
    // Long value maps are listed in the order of the column entries.
    if (t.extras.entriesByName)
        std::stable_sort(t.extras.longValueMaps.begin(), t.extras.longValueMaps.end(),
                         [&](const LongValueMaps& a, const LongValueMaps& b) {
                             auto name = [&](uint16_t n) -> const std::string& {
                                 for (const ColumnDef& c : t.def.columns)
                                     if (c.number == n) return c.name;
                                 return t.def.name;
                             };
                             return name(a.columnNumber) < name(b.columnNumber);
                         });
    for (size_t r = 0; r < realCount; ++r) t.place.indexMapRows.push_back(image.reserveMapRow());
    t.extras.indexMapRows = t.place.indexMapRows;
    t.def.usedPagesMapRow = t.place.usedPagesRow;
    t.def.freeSpaceMapRow = t.place.freePagesRow;
}

void reserveRoots(DbImage& image, PlannedTable& t) {
    for (size_t r = 0; r < t.place.indexMapRows.size(); ++r)
        t.place.indexRoots.push_back(image.reserve());
    for (IndexDef& ix : t.def.indexes)
        ix.rootPage = t.place.indexRoots[static_cast<size_t>(ix.realNumber)];
}

void writeContentAndDefinition(DbImage& image, PlannedTable& t) {
    TableContent content = addTableContent(image, t.def, t.place, t.rows ? *t.rows : t.ownRows);
    t.def.rowCount = content.rowCount;
    t.extras.indexRowCounts = content.indexEntryCounts;
    auto pages = splitTableDefPages(encodeTableDef(t.def, t.extras, image.format()), t.defPages,
                                    image.format());
    for (size_t i = 0; i < pages.size(); ++i) image.setPage(t.defPages[i], std::move(pages[i]));
}

std::vector<std::vector<Value>> coerceRows(const TableDef& def,
                                           const std::vector<std::vector<Value>>& rows) {
    std::vector<std::vector<Value>> out;
    out.reserve(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        const std::string where = "table '" + def.name + "', row " + std::to_string(r + 1);
        if (rows[r].size() != def.columns.size())
            throw Error(ErrorKind::Type, errnum::kType,
                        where + ": " + std::to_string(rows[r].size()) + " values for " +
                            std::to_string(def.columns.size()) + " columns");
        std::vector<Value> row;
        for (size_t c = 0; c < def.columns.size(); ++c) {
            try {
                row.push_back(coerceValue(def.columns[c], rows[r][c], JetVersion::Jet4));
            } catch (const Error& e) {
                throw Error(e.kind(), e.number(),
                            where + ", column '" + def.columns[c].name + "': " + e.what());
            }
        }
        out.push_back(std::move(row));
    }
    return out;
}

// Stores the new tables' rows through TableWriter, as every other write stores rows: one
// save over the file built so far, in memory.
std::vector<uint8_t> insertRows(std::vector<uint8_t> file, const std::vector<PlannedTable>& user) {
    constexpr char kName[] = "new.mdb";
    MemoryFileSystem fs;
    fs.addFile(kName, std::move(file));
    {
        OpenOptions options;
        options.writable = true;
        options.sync = false;
        std::shared_ptr<Database> db = Database::open(kName, fs, options);
        SaveScope save(*db);
        for (const PlannedTable& t : user) {
            if (!t.rows || t.rows->empty()) continue;
            TableWriter writer(*db, t.def.name);
            try {
                writer.insertAll(*t.rows);
            } catch (const Error& e) {
                throw Error(e.kind(), e.number(), "table '" + t.def.name + "', " + e.what());
            }
        }
        save.commit();
    }
    return fs.bytes(kName);
}

}  // namespace

std::vector<uint8_t> buildDatabaseFile(const NewDatabase& desc) {
    const Format& f = jet4Format();
    double created = desc.created.value_or(tdv::base::nowOleDate());

    // User tables are checked before anything is laid out.
    std::vector<PlannedTable> user;
    std::vector<std::vector<std::vector<Value>>> userRows;
    for (size_t i = 0; i < desc.tables.size(); ++i) {
        PlannedTable t;
        t.def = layoutNewTable(desc.tables[i].table, f);
        for (size_t k = 0; k < i; ++k)
            if (namesEqual(desc.tables[k].table.name, t.def.name))
                throw Error(ErrorKind::Type, errnum::kSyntaxGeneric,
                            "two tables are named '" + t.def.name + "'");
        if (t.def.name.size() >= 4 && namesEqual(t.def.name.substr(0, 4), "MSys"))
            throw Error(ErrorKind::Type, errnum::kSyntaxGeneric,
                        "table '" + t.def.name + "': names starting with MSys are reserved");
        userRows.push_back(coerceRows(t.def, desc.tables[i].rows));
        user.push_back(std::move(t));
    }

    DbImage image(f);
    uint32_t header = image.reserve();
    uint32_t globalMap = image.reserve();
    std::vector<PlannedTable> system;
    for (SystemTable& s : systemTables(f)) {
        PlannedTable t;
        t.def = std::move(s.def);
        t.extras = std::move(s.extras);
        system.push_back(std::move(t));
    }
    std::vector<uint32_t> systemDefPages;
    for (size_t i = 0; i < system.size(); ++i) systemDefPages.push_back(image.reserve());
    for (size_t i = 0; i < system.size(); ++i)
        reservePages(image, system[i], i == 0, {systemDefPages[i]});
    for (PlannedTable& t : system) reserveRoots(image, t);
    // MSysObjects and MSysACEs start with one data page each, right after the roots.
    system[0].place.dataPages.push_back(image.reserve());
    system[1].place.dataPages.push_back(image.reserve());

    // The new tables start empty; their rows are inserted once the file is complete.
    for (PlannedTable& t : user) {
        reservePages(image, t, true, {});
        reserveRoots(image, t);
        writeContentAndDefinition(image, t);
    }

    system[0].ownRows = catalogStandardRows(system[0].def, created);
    for (const PlannedTable& t : system)
        system[0].ownRows.push_back(
            catalogTableRow(system[0].def, t.def.name, t.def.definitionPage, true, created));
    for (const PlannedTable& t : user)
        system[0].ownRows.push_back(
            catalogTableRow(system[0].def, t.def.name, t.def.definitionPage, false, created));
    system[1].ownRows = defaultPermissionRows(system[1].def);
    for (PlannedTable& t : system) writeContentAndDefinition(image, t);

    image.writeMapPages();
    image.setPage(header, definitionPage(f, created));
    image.setPage(globalMap, globalUsageMapPage(f, image.pageCount()));
    std::vector<uint8_t> file = image.finish();
    for (size_t i = 0; i < user.size(); ++i) user[i].rows = &userRows[i];
    return insertRows(std::move(file), user);
}

void createDatabase(const std::string& path, const NewDatabase& desc) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec))
        throw Error(ErrorKind::Io, errnum::kIo, "Cannot create '" + path + "': the file exists");
    std::vector<uint8_t> bytes = buildDatabaseFile(desc);

    // Written whole under a temporary name beside it, synced, then named without replacing
    // anything that appeared meanwhile: a failure never leaves a partial file at the path.
    FileSystem& fs = FileSystem::real();
    const std::string temp = path + ".creating";
    try {
        {
            std::unique_ptr<File> out = fs.open(temp, FileSystem::Mode::CreateNew);
            try {
                out->writeAt(0, bytes.data(), bytes.size());
                out->sync();
            } catch (...) {
                out.reset();
                fs.remove(temp);
                throw;
            }
        }
        try {
            fs.renameNoReplace(temp, path);
        } catch (...) {
            fs.remove(temp);
            throw;
        }
        try {
            fs.syncDirectoryOf(path);
        } catch (...) {
            // The command fails, so its file does not stay as if it had been made.
            fs.remove(path);
            throw;
        }
    } catch (const Error& e) {
        throw Error(ErrorKind::Io, errnum::kIo, "Cannot create '" + path + "': " + e.what());
    }
}

}  // namespace jet
