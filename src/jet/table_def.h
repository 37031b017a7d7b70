// Parsing a table definition: the chain of table definition pages (type 0x02) of one table,
// its columns, column names, physical ("real") indexes and logical indexes.
//
// The definition starts on its first page and continues on the pages linked by the 4-byte
// next-page field (continuation pages contribute their bytes after the 8-byte page header).
// Layout after the fixed header, every count taken from the header and checked against the
// bytes actually present:
//   [per real index: row count entry][column entries][column names]
//   [real index definitions][logical index entries][logical index names]
// Columns come out in the order Access shows them (by column number); deleted columns leave
// gaps in the numbers. Index columns are given as positions in TableDef::columns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/page_file.h"
#include "jet/schema.h"
#include "jet/text_codec.h"

namespace jet {

// Reads the whole definition byte string of the table whose first definition page is
// `page`. Throws Error(Corrupt) on a wrong page type, a loop or a page beyond the file.
std::vector<uint8_t> readTableDefBytes(PageFile& pages, const Format& format, uint32_t page);

// Parses definition bytes. `name` becomes TableDef::name.
TableDef parseTableDef(const std::vector<uint8_t>& bytes, const Format& format,
                       const TextDecoder& text, std::string name, uint32_t page);

// Both steps; errors name the table.
TableDef readTableDef(PageFile& pages, const Format& format, const TextDecoder& text,
                      const std::string& name, uint32_t page);

}  // namespace jet
