#include "jet/index_reader.h"

#include <optional>

#include "jet/error.h"
#include "jet/index_page.h"
#include "jet/index_tree.h"
#include "jet/page_file.h"

namespace jet {

// A forward walk along the leaf chain. The walk remembers every page it has read, so a
// chain that loops back is reported instead of followed forever; an optional lower bound
// skips entries below a key (used by seek, which may land on a page whose first entries
// are smaller than the key).
struct IndexCursor::Impl {
    IndexTreeWalk walk;
    IndexPage page;
    size_t position = 0;  // next entry of page to hand out
    bool havePage = false;
    std::optional<Bytes> lowerBound;
    IndexEntry current;

    explicit Impl(IndexTreeWalk w) : walk(std::move(w)) {}

    bool next() {
        while (true) {
            if (!havePage) return false;
            if (position < page.entries.size()) {
                IndexPageEntry& e = page.entries[position++];
                if (lowerBound && compareKeys(e.key, *lowerBound) < 0) continue;
                lowerBound.reset();  // entries come in order: everything after matches too
                current.key = std::move(e.key);
                current.row = e.row;
                return true;
            }
            if (page.next == 0) {
                havePage = false;
                return false;
            }
            uint32_t prev = page.number;
            page = walk.visit(page.next);
            position = 0;
            if (!page.leaf)
                throwIndexDamage(walk.where(), page.number,
                                 "leaf chain leads to an intermediate page");
            if (page.prev != 0 && page.prev != prev)
                throwIndexDamage(walk.where(), page.number,
                                 "previous-page link " + std::to_string(page.prev) +
                                     " does not match " + std::to_string(prev));
        }
    }
};

IndexCursor::IndexCursor(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
IndexCursor::IndexCursor(IndexCursor&&) noexcept = default;
IndexCursor& IndexCursor::operator=(IndexCursor&&) noexcept = default;
IndexCursor::~IndexCursor() = default;

bool IndexCursor::next() {
    return impl_ && impl_->next();
}

const IndexEntry& IndexCursor::entry() const {
    if (!impl_) throw Error(ErrorKind::Internal, errnum::kInternal, "index cursor has no entry");
    return impl_->current;
}

IndexReader::IndexReader(Database& db, const TableDef& table, const IndexDef& index)
    : db_(db), table_(table), index_(index) {}

namespace {

IndexTreeWalk makeWalk(Database& db, const TableDef& table, const IndexDef& index) {
    return IndexTreeWalk(db.pages(), indexPageLayout(db.info().version), table.definitionPage,
                         IndexLocation{table.name, index.name});
}

// The child of an intermediate page to descend into for the first entry with key >= key
// (or for the very first entry when key is empty): the first entry whose key is >= key,
// else the tail page. 0 when the subtree holds no such entry.
uint32_t childFor(const IndexPage& page, const Bytes* key) {
    for (const IndexPageEntry& e : page.entries) {
        if (key == nullptr || compareKeys(e.key, *key) >= 0) return e.child;
    }
    return page.tail;
}

// Descends from the root to the leaf holding the first entry >= key (any entry when key is
// null) and returns a cursor positioned before it.
IndexCursor descend(IndexTreeWalk walk, uint32_t root, const Bytes* key) {
    auto impl = std::make_unique<IndexCursor::Impl>(std::move(walk));
    IndexPage page = impl->walk.visit(root);
    while (!page.leaf) {
        uint32_t child = childFor(page, key);
        if (child == 0) {
            if (page.entries.empty() && key == nullptr)
                throwIndexDamage(impl->walk.where(), page.number,
                                 "intermediate page has no entries and no tail");
            return IndexCursor(std::move(impl));  // nothing >= key: an empty cursor
        }
        page = impl->walk.visit(child);
    }
    impl->page = std::move(page);
    impl->havePage = true;
    if (key != nullptr) impl->lowerBound = *key;
    return IndexCursor(std::move(impl));
}

}  // namespace

IndexCursor openIndexCursor(PageFile& pages, JetVersion version, uint32_t root,
                            const Bytes* lowerBound, IndexLocation where, uint32_t owner) {
    return descend(IndexTreeWalk(pages, indexPageLayout(version), owner, std::move(where)), root,
                   lowerBound);
}

IndexCursor IndexReader::all() {
    return descend(makeWalk(db_, table_, index_), index_.rootPage, nullptr);
}

IndexCursor IndexReader::seek(const Bytes& key) {
    return descend(makeWalk(db_, table_, index_), index_.rootPage, &key);
}

std::vector<RowId> IndexReader::lookup(const Bytes& key) {
    std::vector<RowId> rows;
    IndexCursor cursor = seek(key);
    while (cursor.next() && cursor.entry().key == key) rows.push_back(cursor.entry().row);
    return rows;
}

}  // namespace jet
