#include "jet/table_create.h"

#include <chrono>
#include <cmath>
#include <set>

#include "base/ole_date.h"
#include "jet/db_image.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/index_page.h"
#include "jet/index_page_encode.h"
#include "jet/page_file.h"
#include "jet/system_tables.h"
#include "jet/table_writer.h"

namespace jet {
namespace {

void appendAt(PageFile& pages, uint32_t expected, std::vector<uint8_t> contents) {
    if (pages.append(std::move(contents)) != expected)
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "New table: a page was appended out of order");
}

}  // namespace

void createTable(Database& db, const NewTable& desc, double created) {
    const Format& f = db.format();
    TableDef def = layoutNewTable(desc, f);
    if (db.hasTable(def.name))
        throw Error(ErrorKind::Type, errnum::kSyntaxGeneric,
                    "Cannot create table '" + def.name + "': a table of that name exists");
    if (def.name.size() >= 4 && namesEqual(def.name.substr(0, 4), "MSys"))
        throw Error(ErrorKind::Type, errnum::kSyntaxGeneric,
                    "table '" + def.name + "': names starting with MSys are reserved");
    if (created < 0) created = tdv::base::nowOleDate();

    size_t realCount = def.indexes.size();  // layoutNewTable gives each index its own
    TableDefExtras extras;
    extras.indexMapRows.assign(realCount, 0);
    for (const ColumnDef& c : def.columns)
        if (c.isLongValue()) extras.longValueMaps.push_back({c.number, 0, 0});
    size_t defPages = tableDefPageCount(encodeTableDef(def, extras, f).size(), f);

    SaveScope save(db);
    PageFile& pages = db.pages();
    const uint32_t first = pages.pageCount();
    const uint32_t mapPage = first + static_cast<uint32_t>(defPages);
    const uint32_t firstRoot = mapPage + 1;
    std::vector<std::set<uint32_t>> mapRows;
    auto mapRow = [&](std::set<uint32_t> listed) {
        mapRows.push_back(std::move(listed));
        return (mapPage << 8) | static_cast<uint32_t>(mapRows.size() - 1);
    };
    def.definitionPage = first;
    def.usedPagesMapRow = mapRow({});
    def.freeSpaceMapRow = mapRow({});
    for (LongValueMaps& m : extras.longValueMaps) {
        m.usedPagesRow = mapRow({});
        m.freePagesRow = mapRow({});
    }
    for (size_t r = 0; r < realCount; ++r) {
        extras.indexMapRows[r] = mapRow({firstRoot + static_cast<uint32_t>(r)});
        def.indexes[r].rootPage = firstRoot + static_cast<uint32_t>(r);
    }
    extras.indexRowCounts.assign(realCount, 0);

    std::vector<uint32_t> numbers;
    for (size_t i = 0; i < defPages; ++i) numbers.push_back(first + static_cast<uint32_t>(i));
    auto definition = splitTableDefPages(encodeTableDef(def, extras, f), numbers, f);
    for (size_t i = 0; i < definition.size(); ++i)
        appendAt(pages, numbers[i], std::move(definition[i]));

    std::vector<Bytes> rows;
    for (const auto& listed : mapRows) rows.push_back(encodeInlineMapRow(listed));
    appendAt(pages, mapPage, encodeRowsPage(f, rows, 0));
    const IndexPageLayout& layout = indexPageLayout(f.version);
    for (size_t r = 0; r < realCount; ++r) {
        IndexPage root;
        root.number = firstRoot + static_cast<uint32_t>(r);
        root.leaf = true;
        root.owner = first;
        appendAt(pages, root.number, encodeIndexPage(root, layout));
    }

    TableWriter catalog(db, "MSysObjects", SystemTableWrites::Allowed);
    catalog.insert(catalogTableRow(catalog.table(), def.name, first, false, created));
    save.commit();
    db.refreshCatalog();
}

}  // namespace jet
