// checkIndex: structure of the tree, order of the entries, and agreement with the rows.
//
// The tree is walked from the root (not along the leaf chain), so the chain links can be
// compared with the order the tree gives. Damage that stops the walk is reported as one
// problem line; the output is capped so a badly damaged index gives a readable report.
#include <algorithm>
#include <optional>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/index_reader.h"
#include "jet/index_tree.h"
#include "jet/page_file.h"

namespace jet {
namespace {

constexpr size_t kMaxProblems = 50;
// Access trees are a few levels deep; anything deeper is damage (and bounds recursion).
constexpr int kMaxDepth = 32;

std::string rowName(RowId r) {
    return "page " + std::to_string(r.page) + " row " + std::to_string(r.row);
}

struct EntryRef {
    Bytes key;
    RowId row;
};

int compare(const EntryRef& a, const EntryRef& b) {
    return compareEntries(a.key, a.row, b.key, b.row);
}

struct LevelPage {
    uint32_t number, prev, next;
};

class IndexChecker {
public:
    IndexChecker(Database& db, const TableDef& table, const IndexDef& index)
        : db_(db),
          table_(table),
          index_(index),
          walk_(db.pages(), indexPageLayout(db.info().version), table.definitionPage,
                IndexLocation{table.name, index.name}, false) {}

    std::vector<std::string> run() {
        bool treeRead = false;
        try {
            walkSubtree(index_.rootPage, 0, nullptr, nullptr);
            treeRead = true;
        } catch (const Error& e) {
            report(e.what());
        }
        if (treeRead) {
            checkLinks();
            checkOrder();
            compareWithRows();
        }
        if (dropped_ > 0)
            problems_.push_back(prefix() + "and " + std::to_string(dropped_) + " more problems");
        return std::move(problems_);
    }

private:
    std::string prefix() const {
        return "index '" + index_.name + "' of table '" + table_.name + "': ";
    }

    void report(const std::string& line) {
        if (problems_.size() >= kMaxProblems) {
            ++dropped_;
            return;
        }
        problems_.push_back(line);
    }
    void problem(const std::string& what) { report(prefix() + what); }
    void pageProblem(uint32_t page, const std::string& what) {
        report(walk_.where().describe(page) + ": " + what);
    }

    // Walks one subtree. above/below: the separators the subtree must lie between
    // (entries > above and <= below). Returns the subtree's smallest and greatest entries.
    std::optional<std::pair<EntryRef, EntryRef>> walkSubtree(uint32_t number, int depth,
                                                             const EntryRef* above,
                                                             const EntryRef* below) {
        if (depth >= kMaxDepth)
            throwIndexDamage(walk_.where(), number,
                             "tree deeper than " + std::to_string(kMaxDepth) + " levels");
        IndexPage page = walk_.visit(number);
        if (levels_.size() <= static_cast<size_t>(depth)) levels_.resize(depth + 1);
        levels_[depth].push_back({page.number, page.prev, page.next});
        // The rules of the page on its own, as reads and writes apply them.
        if (auto fault = indexPageFault(page, walk_.layout())) pageProblem(page.number, *fault);
        return page.leaf ? walkLeaf(page, depth, above, below)
                         : walkIntermediate(page, depth, above, below);
    }

    std::optional<std::pair<EntryRef, EntryRef>> walkLeaf(IndexPage& page, int depth,
                                                          const EntryRef* above,
                                                          const EntryRef* below) {
        if (leafDepth_ && *leafDepth_ != depth)
            pageProblem(page.number, "leaf at depth " + std::to_string(depth) +
                                         ", other leaves at depth " + std::to_string(*leafDepth_));
        leafDepth_ = depth;
        if (page.entries.empty()) return std::nullopt;
        size_t first = entries_.size();
        leafStarts_.push_back(first);
        for (IndexPageEntry& e : page.entries) entries_.push_back({std::move(e.key), e.row});
        const EntryRef& lo = entries_[first];
        const EntryRef& hi = entries_.back();
        if (above && compare(lo, *above) <= 0)
            pageProblem(page.number, "first entry (key " + keyHex(lo.key) +
                                         ") is not above the parent's previous entry");
        if (below && compare(hi, *below) > 0)
            pageProblem(page.number, "last entry (key " + keyHex(hi.key) +
                                         ") is above the parent's entry (key " +
                                         keyHex(below->key) + ")");
        return std::make_pair(lo, hi);
    }

    std::optional<std::pair<EntryRef, EntryRef>> walkIntermediate(IndexPage& page, int depth,
                                                                  const EntryRef* above,
                                                                  const EntryRef* below) {
        if (page.entries.empty() && page.tail == 0) return std::nullopt;
        std::optional<EntryRef> lo, hi;
        std::optional<EntryRef> previous;
        if (above) previous = *above;
        for (size_t i = 0; i < page.entries.size(); ++i) {
            EntryRef separator{page.entries[i].key, page.entries[i].row};
            // The order within the page is a page rule; the first entry must follow the
            // parent's previous entry.
            if (i == 0 && previous && compare(separator, *previous) <= 0)
                pageProblem(page.number, "entry " + std::to_string(i) + " (key " +
                                             keyHex(separator.key) + ") is out of order");
            if (below && compare(separator, *below) > 0)
                pageProblem(page.number,
                            "entry " + std::to_string(i) + " is above the parent's entry");
            auto range = walkSubtree(page.entries[i].child, depth + 1,
                                     previous ? &*previous : nullptr, &separator);
            if (range) {
                if (!lo) lo = range->first;
                hi = range->second;
            }
            previous = std::move(separator);
        }
        if (page.tail != 0) {
            auto range = walkSubtree(page.tail, depth + 1, previous ? &*previous : nullptr, below);
            if (range) {
                if (!lo) lo = range->first;
                hi = range->second;
            }
        }
        if (!lo) return std::nullopt;
        return std::make_pair(*lo, *hi);
    }

    // Every level, leaves and intermediate pages alike, is one chain from its first page to
    // its last in the order the tree gives, across parents: each page's previous/next links
    // name its neighbours on the level, and the ends link to nothing.
    void checkLinks() {
        for (size_t depth = 0; depth < levels_.size(); ++depth) {
            const auto& level = levels_[depth];
            const std::string where = "level " + std::to_string(depth) + ": ";
            for (size_t i = 0; i < level.size(); ++i) {
                uint32_t wantPrev = i > 0 ? level[i - 1].number : 0;
                uint32_t wantNext = i + 1 < level.size() ? level[i + 1].number : 0;
                if (level[i].prev != wantPrev)
                    pageProblem(level[i].number, where + "previous-page link " +
                                                     std::to_string(level[i].prev) + ", expected " +
                                                     std::to_string(wantPrev));
                if (level[i].next != wantNext)
                    pageProblem(level[i].number, where + "next-page link " +
                                                     std::to_string(level[i].next) + ", expected " +
                                                     std::to_string(wantNext));
            }
        }
    }

    // Entries across the whole leaf level: strictly increasing (key, row). Within a leaf the
    // page rule checked it; here each leaf's first entry against the previous leaf's last.
    void checkOrder() {
        for (size_t i : leafStarts_) {
            if (i > 0 && compare(entries_[i - 1], entries_[i]) >= 0)
                problem("entry " + std::to_string(i) + " (key " + keyHex(entries_[i].key) + ", " +
                        rowName(entries_[i].row) + ") is not after the entry before it");
        }
    }

    bool allIndexedNull(const std::vector<Value>& values) const {
        for (const IndexColumn& c : index_.columns) {
            if (c.column < values.size() && !values[c.column].isNull()) return false;
        }
        return true;
    }

    // One entry per live row (none for all-Null rows of an ignore-nulls index), no entry
    // for a row that is not live, equal keys only where the index allows them, and each
    // entry's key equal to the key the row's values encode to.
    void compareWithRows() {
        // Entries by row, to find the entry of each scanned row.
        std::vector<std::pair<RowId, size_t>> byRow;
        byRow.reserve(entries_.size());
        for (size_t i = 0; i < entries_.size(); ++i) byRow.emplace_back(entries_[i].row, i);
        std::sort(byRow.begin(), byRow.end());

        std::vector<std::pair<RowId, bool>> rows;  // live rows, whether their key is all Null
        try {
            ColumnMask mask(table_.columns.size(), false);
            for (const IndexColumn& c : index_.columns) {
                if (c.column < mask.size()) mask[c.column] = true;
            }
            TableScan scan = db_.scan(table_, mask);
            while (scan.next()) {
                rows.emplace_back(scan.rowId(), allIndexedNull(scan.values()));
                compareKey(byRow, scan.rowId(), scan.values());
            }
        } catch (const Error& e) {
            problem(std::string("table rows cannot be read: ") + e.what());
            return;
        }
        std::sort(rows.begin(), rows.end());
        checkUnique(rows);

        size_t j = 0;
        for (size_t i = 0; i < byRow.size(); ++i) {
            RowId r = byRow[i].first;
            if (i > 0 && byRow[i - 1].first == r) {
                problem("more than one entry for " + rowName(r));
                continue;
            }
            while (j < rows.size() && rows[j].first < r) reportMissing(rows[j++]);
            if (j < rows.size() && rows[j].first == r) {
                if (index_.ignoreNulls && rows[j].second)
                    problem("entry for " + rowName(r) +
                            ", whose indexed columns are all Null, in an ignore-nulls index");
                ++j;
            } else {
                problem("entry points at " + rowName(r) + ", which is not a live row");
            }
        }
        for (; j < rows.size(); ++j) reportMissing(rows[j]);
    }

    // The entry's key must be what the row's values encode to. A value the encoder cannot
    // key (a character without a known code, an unsupported sort order) is not compared:
    // the entry may well be right, and only a difference is a problem.
    void compareKey(const std::vector<std::pair<RowId, size_t>>& byRow, RowId row,
                    const std::vector<Value>& values) {
        auto it = std::lower_bound(byRow.begin(), byRow.end(), std::make_pair(row, size_t{0}));
        if (it == byRow.end() || it->first != row) return;
        Bytes expected;
        try {
            expected = encodeIndexKey(table_, index_, values, db_.info().version);
        } catch (const Error&) {
            return;
        }
        const Bytes& stored = entries_[it->second].key;
        if (stored != expected)
            problem("entry for " + rowName(row) + " has key " + keyHex(stored) +
                    ", the row's values give " + keyHex(expected));
    }

    // Equal keys in a unique index, except several entries whose columns are all Null.
    void checkUnique(const std::vector<std::pair<RowId, bool>>& rows) {
        if (!index_.unique && !index_.primaryKey) return;
        auto allNull = [&](RowId r) {
            auto it = std::lower_bound(rows.begin(), rows.end(), std::make_pair(r, false));
            return it != rows.end() && it->first == r && it->second;
        };
        for (size_t i = 1; i < entries_.size(); ++i) {
            if (entries_[i].key != entries_[i - 1].key || allNull(entries_[i].row)) continue;
            problem("duplicate key " + keyHex(entries_[i].key) + " in a unique index (" +
                    rowName(entries_[i - 1].row) + " and " + rowName(entries_[i].row) + ")");
        }
    }

    void reportMissing(const std::pair<RowId, bool>& row) {
        if (index_.ignoreNulls && row.second) return;
        problem("no entry for " + rowName(row.first));
    }

    Database& db_;
    const TableDef& table_;
    const IndexDef& index_;
    IndexTreeWalk walk_;
    std::vector<EntryRef> entries_;   // leaf entries in tree order
    std::vector<size_t> leafStarts_;  // where each non-empty leaf's entries begin in entries_
    std::vector<std::vector<LevelPage>> levels_;
    std::optional<int> leafDepth_;
    std::vector<std::string> problems_;
    size_t dropped_ = 0;
};

}  // namespace

std::vector<std::string> checkIndex(Database& db, const TableDef& table, const IndexDef& index) {
    return IndexChecker(db, table, index).run();
}

}  // namespace jet
