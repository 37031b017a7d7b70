// The index part of checkDatabase: each physical index of a table against its rows
// (checkIndex), its tree pages against the index's own usage map and the other claims on
// pages, and the keys the engine cannot compute.
#include <set>
#include <string>
#include <vector>

#include "jet/data_page.h"
#include "jet/db_check_context.h"
#include "jet/index_key.h"
#include "jet/index_owned_pages.h"
#include "jet/index_page.h"
#include "jet/index_reader.h"
#include "jet/usage_map.h"

namespace jet::check {
namespace {

constexpr int kMaxDepth = 32;

class IndexPagesCheck {
public:
    IndexPagesCheck(CheckContext& ctx, const TableDef& table, const IndexDef& index)
        : ctx_(ctx),
          table_(table),
          index_(index),
          who_("index '" + index.name + "' of table '" + table.name + "'"),
          layout_(indexPageLayout(ctx.db.info().version)) {}

    void run() {
        // Damage in the tree itself is reported by checkIndex; here the walk just stops.
        try {
            walk(index_.rootPage, 0);
        } catch (const Error&) {
        }
        checkOwnedMap();
        for (const std::string& line : checkIndex(ctx_.db, table_, index_))
            ctx_.problem(table_.name, std::nullopt, std::nullopt, line);
        countUnencodableKeys();
    }

private:
    void walk(uint32_t n, int depth) {
        if (depth >= kMaxDepth || n == 0 || n >= ctx_.headers.size()) return;
        if (!tree_.insert(n).second) return;
        ctx_.claim(n, who_);
        Page p = ctx_.pages.read(n);
        IndexPage page = decodeIndexPage(*p, n, layout_, IndexLocation{table_.name, index_.name});
        if (page.leaf) return;
        for (const IndexPageEntry& e : page.entries) walk(e.child, depth + 1);
        if (page.tail != 0) walk(page.tail, depth + 1);
    }

    // Every page of the tree must be recorded in the index's owned-pages map and must not be
    // marked free, or a writer that allocates pages from the maps could hand a live index
    // page out again.
    void checkOwnedMap() {
        try {
            uint32_t mapRow = realIndexOwnedPagesRow(ctx_.pages, ctx_.format, table_.definitionPage,
                                                     index_.realNumber);
            RowPointer ptr = RowPointer::fromRaw(mapRow);
            ctx_.claimRow(ptr.page, ptr.row, table_.name, "the page map of " + who_);
            UsageMap map = UsageMap::load(ctx_.pages, ctx_.format, mapRow);
            std::set<uint32_t> listed;
            while (auto n = map.next(ctx_.pages)) listed.insert(*n);
            for (uint32_t n : tree_) {
                if (!listed.count(n))
                    ctx_.problem(table_.name, n, std::nullopt,
                                 "page of " + who_ + " is missing from the index's page map");
                ctx_.inUseMarkedFree(table_.name, n, "page of " + who_);
            }
            for (uint32_t n : listed)
                ctx_.inUseMarkedFree(table_.name, n, "page listed in the page map of " + who_);
        } catch (const Error& e) {
            ctx_.problem(table_.name, std::nullopt, std::nullopt,
                         "the page map of " + who_ + " cannot be read: " + e.what());
        }
    }

    // checkIndex compares only the keys the engine can compute; say how many it could not.
    void countUnencodableKeys() {
        ColumnMask mask(table_.columns.size(), false);
        bool text = false;
        for (const IndexColumn& c : index_.columns) {
            if (c.column >= mask.size()) return;
            mask[c.column] = true;
            text = text || table_.columns[c.column].isText();
        }
        if (!text) return;
        size_t unverified = 0;
        std::string first;
        try {
            TableScan scan = ctx_.db.scan(table_, mask);
            while (scan.next()) {
                try {
                    encodeIndexKey(table_, index_, scan.values(), ctx_.db.info().version);
                } catch (const Error& e) {
                    if (e.kind() != ErrorKind::Unsupported) throw;
                    if (unverified++ == 0) first = e.what();
                }
            }
        } catch (const Error&) {
            return;  // unreadable rows are reported by the storage check
        }
        if (unverified > 0)
            ctx_.warning(who_ + ": the keys of " + std::to_string(unverified) +
                         " rows cannot be computed by this engine and were not verified (" + first +
                         ")");
    }

    CheckContext& ctx_;
    const TableDef& table_;
    const IndexDef& index_;
    std::string who_;
    const IndexPageLayout& layout_;
    std::set<uint32_t> tree_;
};

}  // namespace

size_t checkTableIndexes(CheckContext& ctx, const TableDef& table) {
    std::set<int> done;
    for (const IndexDef& index : table.indexes) {
        if (!done.insert(index.realNumber).second) continue;
        IndexPagesCheck(ctx, table, index).run();
    }
    return done.size();
}

}  // namespace jet::check
