#include "jet/catalog.h"

#include "jet/table_def.h"
#include "jet/table_scan.h"

namespace jet {
namespace {

template <class T>
T integerOr(const Value& v, T fallback) {
    if (v.is<int32_t>()) return static_cast<T>(v.get<int32_t>());
    if (v.is<int16_t>()) return static_cast<T>(v.get<int16_t>());
    if (v.is<uint8_t>()) return static_cast<T>(v.get<uint8_t>());
    return fallback;
}

size_t requireColumn(const TableDef& t, std::string_view name) {
    auto pos = t.findColumn(name);
    if (!pos) throwCorrupt("the system catalog has no column " + std::string(name));
    return *pos;
}

}  // namespace

std::vector<CatalogEntry> readCatalog(PageFile& pages, const Format& format,
                                      const TextDecoder& text) {
    TableDef def = readTableDef(pages, format, text, "MSysObjects", kCatalogDefinitionPage);
    size_t idCol = requireColumn(def, "Id");
    size_t parentCol = requireColumn(def, "ParentId");
    size_t nameCol = requireColumn(def, "Name");
    size_t typeCol = requireColumn(def, "Type");
    size_t flagsCol = requireColumn(def, "Flags");
    ColumnMask mask(def.columns.size(), false);
    for (size_t c : {idCol, parentCol, nameCol, typeCol, flagsCol}) mask[c] = true;

    std::vector<CatalogEntry> out;
    RowIterator it(pages, format, text, def, mask);
    while (it.next()) {
        const auto& v = it.values();
        CatalogEntry e;
        if (v[nameCol].is<Text>()) e.name = v[nameCol].get<Text>().utf8;
        e.id = integerOr<int32_t>(v[idCol], 0);
        e.parentId = integerOr<int32_t>(v[parentCol], 0);
        e.type = integerOr<int16_t>(v[typeCol], 0);
        e.flags = integerOr<uint32_t>(v[flagsCol], 0);
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace jet
