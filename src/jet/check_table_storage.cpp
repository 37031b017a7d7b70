// The storage part of checkDatabase: a table's usage maps, its data pages and its rows,
// and that none of the table's data or long-value pages is marked free in the database's
// free-page map (global_usage_map.h).
//
// Rows are read here slot by slot rather than through TableScan, so that one bad row is
// reported with its address and the check goes on with the next one.
#include <set>
#include <string>
#include <unordered_set>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/db_check_context.h"
#include "jet/global_usage_map.h"
#include "jet/long_value.h"
#include "jet/row_codec.h"
#include "jet/row_fields.h"
#include "jet/usage_map.h"

namespace jet::check {
namespace {

constexpr uint8_t kReferenceMap = 1;
constexpr uint32_t kCatalogDefinitionPage = 2;  // MSysObjects, checked first

std::string quoted(const std::string& name) {
    return "'" + name + "'";
}

class TableStorageCheck {
public:
    TableStorageCheck(CheckContext& ctx, const TableDef& table)
        : ctx_(ctx),
          table_(table),
          codec_(table, ctx.format, ctx.text),
          lv_(ctx.pages, ctx.format) {}

    void run() {
        readDatabaseFreePages();
        bool mapRead = readOwnedPages();
        if (mapRead) checkUnlistedPages();
        checkFreeSpaceMap();
        for (uint32_t n : dataPages_) checkDataPage(n);
        if (mapRead && liveRows_ != table_.rowCount) {
            std::string what = "the definition records " + std::to_string(table_.rowCount) +
                               " rows, the table has " + std::to_string(liveRows_) + " live rows";
            // Access itself lets the counts of its system tables drift (MSysQueries of real
            // files); only user tables, whose counts it keeps exact, are held to them.
            if (table_.systemTable)
                ctx_.warning("table " + quoted(table_.name) + ": " + what);
            else
                problem(std::nullopt, std::nullopt, what);
        }
        ctx_.report.rows += liveRows_;
    }

private:
    void problem(std::optional<uint32_t> page, std::optional<uint16_t> row,
                 const std::string& what) {
        ctx_.problem(table_.name, page, row, what);
    }

    // A page in use must not be in the database's free-page map, where Access would take it
    // for another table. A map that cannot be read is reported once, by the first table.
    void readDatabaseFreePages() {
        if (table_.definitionPage != kCatalogDefinitionPage) return;
        try {
            readFreePages(ctx_.pages, ctx_.format);
        } catch (const Error& e) {
            problem(std::nullopt, std::nullopt,
                    std::string("the database's free-page map cannot be read: ") + e.what());
        }
    }

    void checkNotFree(uint32_t n, const std::string& what) {
        ctx_.inUseMarkedFree(table_.name, n, what);
    }

    bool isDataPageOfTable(uint32_t n) const {
        return n < ctx_.headers.size() && ctx_.headers[n].type == pagetype::kData &&
               ctx_.headers[n].owner == table_.definitionPage;
    }

    // The bytes of the row holding a usage map; claims the row and, for a reference map,
    // its map pages.
    void claimMap(uint32_t rowPointer, const std::string& who) {
        RowPointer ptr = RowPointer::fromRaw(rowPointer);
        ctx_.claimRow(ptr.page, ptr.row, table_.name, who);
        Page p = ctx_.pages.read(ptr.page);
        ByteView page(p->data(), p->size());
        if (page.u8(0) != pagetype::kData) return;  // UsageMap::load reports it
        RowSlot slot = dataPageRowChecked(page, ctx_.format, ptr.row);
        ByteView row = page.sub(slot.start, slot.end - slot.start);
        if (row.size() == 0 || row.u8(0) != kReferenceMap) return;
        for (size_t at = 1; at + 4 <= row.size(); at += 4) {
            uint32_t mapPage = row.u32(at);
            if (mapPage != 0) ctx_.claim(mapPage, who);
        }
    }

    bool readOwnedPages() {
        const std::string who = "the owned-pages map of table " + quoted(table_.name);
        try {
            claimMap(table_.usedPagesMapRow, who);
            UsageMap map = UsageMap::load(ctx_.pages, ctx_.format, table_.usedPagesMapRow);
            while (auto n = map.next(ctx_.pages)) {
                owned_.insert(*n);
                checkNotFree(*n, "page listed in the owned-pages map");
                if (!isDataPageOfTable(*n)) {
                    problem(*n, std::nullopt,
                            "the owned-pages map lists a page that is not a data page of the "
                            "table");
                    continue;
                }
                dataPages_.push_back(*n);
                ctx_.claim(*n, "table " + quoted(table_.name));
            }
            return true;
        } catch (const Error& e) {
            problem(std::nullopt, std::nullopt,
                    std::string("the owned-pages map cannot be read: ") + e.what());
            return false;
        }
    }

    void checkUnlistedPages() {
        for (uint32_t n = 0; n < ctx_.headers.size(); ++n) {
            if (!isDataPageOfTable(n) || owned_.count(n)) continue;
            const std::string what = "data page of the table is missing from its owned-pages map";
            // Seen in system tables of real files (MSysNavPaneObjectIDs); Access keeps the
            // maps of user tables exact.
            if (table_.systemTable)
                ctx_.warning("table " + quoted(table_.name) + ", page " + std::to_string(n) + ": " +
                             what);
            else
                problem(n, std::nullopt, what);
        }
    }

    void checkFreeSpaceMap() {
        const std::string who = "the free-space map of table " + quoted(table_.name);
        try {
            claimMap(table_.freeSpaceMapRow, who);
            UsageMap map = UsageMap::load(ctx_.pages, ctx_.format, table_.freeSpaceMapRow);
            while (auto n = map.next(ctx_.pages)) {
                if (!isDataPageOfTable(*n))
                    problem(*n, std::nullopt,
                            "the free-space map lists a page that is not a data page of the "
                            "table");
            }
        } catch (const Error& e) {
            problem(std::nullopt, std::nullopt,
                    std::string("the free-space map cannot be read: ") + e.what());
        }
    }

    void checkDataPage(uint32_t n) {
        Page p;
        uint16_t rows = 0;
        try {
            p = ctx_.pages.read(n);
            ByteView page(p->data(), p->size());
            rows = dataPageRowCount(page, ctx_.format);
            if (auto fault = dataPageSpaceFault(page, ctx_.format))
                problem(n, std::nullopt, *fault);
        } catch (const Error& e) {
            problem(n, std::nullopt, e.what());
            return;
        }
        ByteView page(p->data(), p->size());
        for (uint16_t r = 0; r < rows; ++r) {
            try {
                checkRow(n, page, r);
            } catch (const Error& e) {
                problem(n, r, e.what());
            }
        }
    }

    void checkRow(uint32_t n, ByteView page, uint16_t r) {
        RowSlot slot = dataPageRow(page, ctx_.format, r);
        if (slot.deleted()) return;
        ++liveRows_;
        ByteView row = page.sub(slot.start, slot.end - slot.start);
        Page holder;
        if (slot.lookup()) row = followOverflow(n, r, row, holder);
        codec_.decode(row, lv_, values_);
        for (const ColumnDef& c : table_.columns) {
            if (!c.isLongValue()) continue;
            if (auto field = rawVariableField(row, ctx_.format, table_, c))
                checkLongValue(c, *field);
        }
    }

    // An overflow row holds the address of its body: a row of a data page of this table,
    // itself neither a pointer nor the body of another row.
    ByteView followOverflow(uint32_t n, uint16_t r, ByteView row, Page& holder) {
        RowPointer target = RowPointer::fromRaw(row.u32(0));
        if (!isDataPageOfTable(target.page))
            throwCorrupt("overflow row points to page " + std::to_string(target.page) +
                         ", which is not a data page of this table");
        ctx_.claimRow(target.page, target.row, table_.name,
                      "overflow row " + std::to_string(n) + ":" + std::to_string(r) + " of table " +
                          quoted(table_.name));
        holder = ctx_.pages.read(target.page);
        ByteView targetPage(holder->data(), holder->size());
        RowSlot slot = dataPageRowChecked(targetPage, ctx_.format, target.row);
        if (slot.lookup())
            throwCorrupt("overflow row points to row " + std::to_string(target.row) + " of page " +
                         std::to_string(target.page) + ", which is itself an overflow pointer");
        return targetPage.sub(slot.start, slot.end - slot.start);
    }

    // The chain of a long value: rows on long-value pages, live, each used by one value only,
    // as many bytes as declared and no more links after them.
    void checkLongValue(const ColumnDef& column, ByteView field) {
        const std::string what = "long value of column '" + column.name + "'";
        if (field.size() < longvalue::kHeaderSize)
            throwCorrupt(what + ": reference of " + std::to_string(field.size()) + " bytes");
        uint32_t raw = field.u32(0);
        uint32_t length = raw & longvalue::kLengthMask;
        if (raw & longvalue::kInline) return;  // the decoder checked its length
        if (length == 0) return;
        uint32_t pointer = field.u32(4);
        if (raw & longvalue::kSinglePage) {
            ByteView row = longValueRow(what, pointer, 0);
            if (row.size() < length)
                throwCorrupt(what + ": row holds " + std::to_string(row.size()) + " of " +
                             std::to_string(length) + " bytes");
            return;
        }
        uint64_t read = 0;
        std::unordered_set<uint32_t> visited;
        for (size_t link = 0; pointer != 0; ++link) {
            if (!visited.insert(pointer).second)
                throwCorrupt(what + ": chain loops back to row " + std::to_string(pointer >> 8) +
                             ":" + std::to_string(pointer & 0xFF));
            ByteView row = longValueRow(what, pointer, link);
            row.require(0, 4, "a long value chain link");
            if (read >= length)
                throwCorrupt(what + ": chain goes on after its " + std::to_string(length) +
                             " bytes");
            read += row.size() - 4;
            pointer = row.u32(0);
        }
        if (read < length)
            throwCorrupt(what + ": chain ends after " + std::to_string(read) + " of " +
                         std::to_string(length) + " bytes");
    }

    ByteView longValueRow(const std::string& what, uint32_t raw, size_t link) {
        RowPointer ptr = RowPointer::fromRaw(raw);
        std::string name = std::to_string(ptr.page) + ":" + std::to_string(ptr.row);
        if (ptr.page >= ctx_.headers.size() || ctx_.headers[ptr.page].type != pagetype::kData ||
            ctx_.headers[ptr.page].owner != kLongValueOwner)
            throwCorrupt(what + ": row " + name + " is not on a long-value page");
        ctx_.claimRow(ptr.page, ptr.row, table_.name,
                      "a long value of table " + quoted(table_.name) + " (link " +
                          std::to_string(link) + ")");
        checkNotFree(ptr.page, "long-value page " + std::to_string(ptr.page));
        lvHolder_ = ctx_.pages.read(ptr.page);
        ByteView page(lvHolder_->data(), lvHolder_->size());
        RowSlot slot = dataPageRowChecked(page, ctx_.format, ptr.row);
        if (slot.deleted()) throwCorrupt(what + ": row " + name + " is deleted");
        return page.sub(slot.start, slot.end - slot.start);
    }

    CheckContext& ctx_;
    const TableDef& table_;
    RowCodec codec_;
    LongValueReader lv_;
    std::set<uint32_t> owned_;
    std::vector<uint32_t> dataPages_;
    std::vector<Value> values_;
    Page lvHolder_;
    uint32_t liveRows_ = 0;
};

}  // namespace

void checkTableStorage(CheckContext& ctx, const TableDef& table) {
    TableStorageCheck(ctx, table).run();
}

}  // namespace jet::check
