// Reading a table's rows from its pages: the streaming scan and the lookup of one row.
//
// A scan walks the table's owned-pages usage map in page order and visits each page's row
// slots in order: deleted rows (which include the relocated bodies of overflow rows) are
// skipped, a lookup row is followed to the row it points to. It holds one data page and one
// decoded row at a time. Every page the map lists must be a data page of this table that
// keeps the checker's page rule (data_page.h); any other page is damage and stops the scan,
// since passing it over would return fewer rows than the table has.
// Errors name the table, page and row.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/long_value.h"
#include "jet/page_file.h"
#include "jet/row_codec.h"
#include "jet/schema.h"
#include "jet/text_codec.h"
#include "jet/usage_map.h"

namespace jet {

// The bytes of the live row at `id`, following a lookup (overflow) pointer. `holder`
// keeps the page alive. Returns nullopt when the slot is deleted or does not exist, or the
// page now belongs to another table. Throws Error(Corrupt) on a malformed page or pointer,
// or a page of the table that breaks the checker's page rule (data_page.h).
std::optional<ByteView> locateLiveRow(PageFile& pages, const Format& format, const TableDef& table,
                                      RowId id, Page& holder);

class RowIterator {
public:
    // The table, format and decoder must outlive the iterator.
    RowIterator(PageFile& pages, const Format& format, const TextDecoder& text,
                const TableDef& table, const ColumnMask& mask = {});

    bool next();
    RowId rowId() const { return current_; }
    const std::vector<Value>& values() const { return values_; }

private:
    bool advancePage();

    PageFile& pages_;
    const Format& format_;
    const TableDef& table_;
    RowCodec codec_;
    LongValueReader longValues_;
    std::optional<UsageMap> map_;  // loaded on the first next()
    Page page_;
    uint32_t pageNumber_ = 0;
    uint16_t rowCount_ = 0;
    uint16_t nextRow_ = 0;
    bool done_ = false;
    RowId current_;
    std::vector<Value> values_;
    Page overflowHolder_;
};

}  // namespace jet
