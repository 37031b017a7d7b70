// The system catalog (MSysObjects, whose definition is always on page 2): the names, kinds
// and flags of every object in the database, and for tables the first page of their
// definition (the low 24 bits of the object id).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/page_file.h"
#include "jet/text_codec.h"

namespace jet {

constexpr uint32_t kCatalogDefinitionPage = 2;

struct CatalogEntry {
    std::string name;
    int32_t id = 0;
    int32_t parentId = 0;
    int16_t type = 0;    // 1 = local table
    uint32_t flags = 0;  // 0x80000000 / 0x00000002: system object
    uint32_t definitionPage() const { return static_cast<uint32_t>(id) & 0x00FFFFFF; }
    bool isTable() const { return type == 1; }
    bool isSystem() const { return (flags & 0x80000002u) != 0; }
};

// Every catalog row, in catalog order. Throws Error(Corrupt) when the catalog cannot be read.
std::vector<CatalogEntry> readCatalog(PageFile& pages, const Format& format,
                                      const TextDecoder& text);

}  // namespace jet
