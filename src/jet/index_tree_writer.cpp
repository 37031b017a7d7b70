#include "jet/index_tree_writer.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "jet/error.h"
#include "jet/format.h"
#include "jet/global_usage_map.h"
#include "jet/index_page_encode.h"
#include "jet/index_reader.h"
#include "jet/index_tree.h"

namespace jet {
namespace {

// Access trees are a few levels deep; a deeper path is damage (and bounds the work).
constexpr size_t kMaxDepth = 32;

struct EntryRef {
    Bytes key;
    RowId row;
};

// One child of an intermediate page: its page and its greatest leaf entry. The greatest
// entry of the tail child is not stored on the page; it is known only when it changes.
struct Child {
    std::optional<EntryRef> max;
    uint32_t page = 0;
};

// One page of the path from the root to a leaf, as it is being changed.
struct PathPage {
    IndexPage page;               // header fields; the entries of a leaf
    std::vector<Child> children;  // intermediate pages: the children in order
    size_t next = 0;              // leaf: entry changed; intermediate: child on the path
    bool dirty = false;
};

// What a changed page tells its parent.
struct Up {
    bool removed = false;                // the page left the tree
    std::optional<EntryRef> newMax;      // the page's greatest entry is now this
    std::optional<Child> siblingBefore;  // a new page was put just before it
};

uint32_t le32(const std::vector<uint8_t>& b, uint32_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
           (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

[[noreturn]] void internal(const std::string& what) {
    throw Error(ErrorKind::Internal, errnum::kInternal, what);
}

}  // namespace

struct IndexTreeWriter::Impl {
    PageFile& pages;
    const IndexPageLayout& layout;
    uint32_t root;
    uint32_t owner;
    const IndexLocation& where;
    const std::function<void(uint32_t)>& pageAdded;
    const std::function<void(uint32_t)>& pageDropped;
    std::vector<PathPage> path;
    const Format& format;

    // --- reading --------------------------------------------------------------------

    IndexTreeWalk walk() const { return IndexTreeWalk(pages, layout, owner, where); }

    static std::vector<Child> childrenOf(const IndexPage& page) {
        std::vector<Child> children;
        children.reserve(page.entries.size() + 1);
        for (const IndexPageEntry& e : page.entries)
            children.push_back({EntryRef{e.key, e.row}, e.child});
        if (page.tail != 0) children.push_back({std::nullopt, page.tail});
        return children;
    }

    // Reads the path from the root to the leaf where (key, row) is or belongs. With
    // forInsert false, returns false when no leaf can hold it.
    bool descend(const Bytes& key, RowId row, bool forInsert) {
        path.clear();
        IndexTreeWalk w = walk();
        uint32_t n = root;
        while (true) {
            if (path.size() >= kMaxDepth)
                throwIndexDamage(where, n,
                                 "tree deeper than " + std::to_string(kMaxDepth) + " levels");
            PathPage p;
            p.page = w.visit(n);
            if (p.page.leaf) {
                path.push_back(std::move(p));
                return true;
            }
            p.children = childrenOf(p.page);
            if (p.children.empty())
                throwIndexDamage(where, n, "intermediate page has no entries and no tail");
            size_t i = 0;
            while (i < p.children.size() && p.children[i].max &&
                   compareEntries(key, row, p.children[i].max->key, p.children[i].max->row) > 0)
                ++i;
            if (i == p.children.size()) {
                if (!forInsert) return false;
                i = p.children.size() - 1;  // beyond every entry: the last child grows
            }
            p.next = i;
            n = p.children[i].page;
            path.push_back(std::move(p));
        }
    }

    // The greatest leaf entry below page n (last child down to a leaf, its last entry).
    EntryRef subtreeMax(uint32_t n) {
        IndexTreeWalk w = walk();
        for (size_t depth = 0; depth < kMaxDepth; ++depth) {
            IndexPage page = w.visit(n);
            if (page.leaf) {
                if (page.entries.empty())
                    throwIndexDamage(where, n, "empty leaf page below an intermediate page");
                return {page.entries.back().key, page.entries.back().row};
            }
            if (page.tail != 0) {
                n = page.tail;
            } else if (!page.entries.empty()) {
                n = page.entries.back().child;
            } else {
                throwIndexDamage(where, n, "intermediate page has no entries and no tail");
            }
        }
        throwIndexDamage(where, n, "tree deeper than " + std::to_string(kMaxDepth) + " levels");
    }

    const EntryRef& knownMax(Child& c) {
        if (!c.max) c.max = subtreeMax(c.page);
        return *c.max;
    }

    // --- reading in place, for the common cases -------------------------------------

    // Page n read without decoding it; nullopt when it is not a sound page of this tree
    // (the decoding path then names the damage).
    std::optional<std::pair<Page, IndexPageView>> view(uint32_t n,
                                                       std::vector<uint32_t>& seen) const {
        if (n == 0 || n >= pages.pageCount()) return std::nullopt;
        if (std::find(seen.begin(), seen.end(), n) != seen.end()) return std::nullopt;
        seen.push_back(n);
        Page raw = pages.read(n);
        IndexPageView v(*raw, layout);
        if (!v.valid() || (owner != 0 && v.owner() != owner)) return std::nullopt;
        return std::make_pair(std::move(raw), std::move(v));
    }

    // Goes down to the leaf where (key, row) belongs. lastOfEveryLevel: every page on the
    // way took its tail, so the leaf is the last of its level.
    std::optional<std::pair<Page, IndexPageView>> leafFor(const Bytes& key, RowId row,
                                                          std::vector<uint32_t>& seen,
                                                          bool& lastOfEveryLevel) const {
        lastOfEveryLevel = true;
        uint32_t n = root;
        for (size_t depth = 0; depth < kMaxDepth; ++depth) {
            auto page = view(n, seen);
            if (!page || page->second.leaf()) return page;
            const IndexPageView& v = page->second;
            const IndexPageView::Slot s = v.lowerBound(key, row);
            if (!v.isEnd(s)) {
                n = v.childOf(s);
                lastOfEveryLevel = false;
            } else if (v.tail() != 0 && !v.empty()) {
                n = v.tail();
            } else {
                return std::nullopt;
            }
            if (!v.valid()) return std::nullopt;
        }
        return std::nullopt;
    }

    // The common insert: the entry goes into a leaf with room for it, not first on the
    // page, and no parent entry changes (it is not the leaf's new greatest entry, or the
    // leaf is the last of every level). The leaf is edited in place, nothing else is
    // decoded. Returns false, nothing written, when the general path must do it.
    // rightmostLeaf is set to the leaf when it is the last of every level.
    bool insertInPlace(const Bytes& key, RowId row, uint32_t& rightmostLeaf) {
        std::vector<uint32_t> seen;
        bool lastOfEveryLevel = true;
        auto leaf = leafFor(key, row, seen, lastOfEveryLevel);
        if (!leaf) return false;
        if (lastOfEveryLevel) rightmostLeaf = seen.back();
        const IndexPageView& v = leaf->second;
        bool equal = false;
        const IndexPageView::Slot at = v.lowerBound(key, row, &equal);
        if (!v.valid() || equal || (v.isEnd(at) && !lastOfEveryLevel)) return false;
        std::vector<uint8_t> bytes = *leaf->first;
        if (!insertLeafEntryInPlace(bytes, v, layout, at, key, row)) return false;
        pages.write(seen.back(), std::move(bytes));
        return true;
    }

    // Adds an entry greater than every other at the end of the tree's last leaf, known from
    // the previous insert, without going down the tree. False, nothing written, when the
    // entry does not go there or does not fit.
    bool appendInPlace(uint32_t leafPage, const Bytes& key, RowId row) {
        std::vector<uint32_t> seen;
        auto leaf = view(leafPage, seen);
        if (!leaf) return false;
        const IndexPageView& v = leaf->second;
        if (!v.leaf() || v.next() != 0 || v.empty() || v.compare(v.last(), key, row) >= 0 ||
            !v.valid())
            return false;
        std::vector<uint8_t> bytes = *leaf->first;
        if (!insertLeafEntryInPlace(bytes, v, layout, v.end(), key, row)) return false;
        pages.write(leafPage, std::move(bytes));
        return true;
    }

    // Whether an entry other than (key, row) has this key, reading the leaves in place;
    // nullopt when the tree is not plainly sound (the cursor then decides).
    std::optional<bool> otherEntryWithKey(const Bytes& key, RowId row) const {
        constexpr size_t kMaxLeaves = 64;  // equal keys over more leaves: the cursor reads on
        std::vector<uint32_t> seen;
        bool lastOfEveryLevel = true;
        auto leaf = leafFor(key, RowId{}, seen, lastOfEveryLevel);
        if (!leaf) return std::nullopt;
        IndexPageView::Slot s = leaf->second.lowerBound(key, RowId{});
        Bytes k;
        for (size_t pagesRead = 1; pagesRead <= kMaxLeaves; ++pagesRead) {
            const IndexPageView& v = leaf->second;
            for (; !v.isEnd(s); s = v.following(s)) {
                v.keyOf(s, k);
                if (!v.valid()) return std::nullopt;
                if (k != key) return false;
                if (v.rowOf(s) != row) return true;
            }
            if (!v.valid()) return std::nullopt;
            if (v.next() == 0) return false;
            leaf = view(v.next(), seen);
            if (!leaf || !leaf->second.leaf()) return std::nullopt;
            s = leaf->second.first();
        }
        return std::nullopt;
    }

    // --- writing --------------------------------------------------------------------

    // A page the tree takes must enter the index's page map, or Access would count it free.
    uint32_t allocate() {
        if (!pageAdded)
            internal("a page cannot be added to the tree without recording it in " +
                     where.describe(root));
        uint32_t n = allocatePage(pages, format, std::vector<uint8_t>(layout.pageSize, 0));
        pageAdded(n);
        return n;
    }

    // The page as stored: an intermediate page's children become entries and the tail.
    IndexPage pack(PathPage& p) {
        IndexPage out = p.page;
        if (out.leaf) {
            out.tail = 0;
            return out;
        }
        out.entries.clear();
        out.tail = 0;
        const size_t n = p.children.size();
        for (size_t i = 0; i < n; ++i) {
            if (n >= 2 && i == n - 1) {
                out.tail = p.children[i].page;
                break;
            }
            const EntryRef& max = knownMax(p.children[i]);
            out.entries.push_back({max.key, max.row, p.children[i].page});
        }
        return out;
    }

    // A leaf is stored as it is (its tail link is always 0); only intermediate pages are
    // packed.
    bool fits(PathPage& p) {
        if (p.page.leaf && p.page.tail == 0) return indexPageFits(p.page, layout);
        return indexPageFits(pack(p), layout);
    }

    void store(PathPage& p) {
        if (p.page.leaf && p.page.tail == 0)
            pages.write(p.page.number, encodeIndexPage(p.page, layout));
        else
            pages.write(p.page.number, encodeIndexPage(pack(p), layout));
    }

    // Changes one 4-byte link of an index page of this tree that is not on the path.
    void patchLink(uint32_t n, uint32_t offset, uint32_t value) {
        IndexTreeWalk w = walk();
        w.visit(n);  // checks range, page type and owner
        Page raw = pages.read(n);
        std::vector<uint8_t> bytes = *raw;
        if (le32(bytes, offset) == value) return;
        bytes[offset] = static_cast<uint8_t>(value);
        bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
        bytes[offset + 2] = static_cast<uint8_t>(value >> 16);
        bytes[offset + 3] = static_cast<uint8_t>(value >> 24);
        pages.write(n, std::move(bytes));
    }

    static size_t itemCount(const PathPage& p) {
        return p.page.leaf ? p.page.entries.size() : p.children.size();
    }

    // The lower `count` items of p as a page of their own (links not set).
    static PathPage lowerPart(const PathPage& p, size_t count) {
        PathPage lower;
        lower.page.leaf = p.page.leaf;
        lower.page.owner = p.page.owner;
        if (p.page.leaf)
            lower.page.entries.assign(p.page.entries.begin(), p.page.entries.begin() + count);
        else
            lower.children.assign(p.children.begin(), p.children.begin() + count);
        return lower;
    }

    static PathPage upperPart(const PathPage& p, size_t count) {
        PathPage upper;
        upper.page = p.page;
        if (p.page.leaf) {
            upper.page.entries.erase(upper.page.entries.begin(),
                                     upper.page.entries.begin() + count);
        } else {
            upper.page.entries.clear();
            upper.children.assign(p.children.begin() + count, p.children.end());
        }
        return upper;
    }

    uint32_t itemBytes(const PathPage& p, size_t i) const {
        if (p.page.leaf) return static_cast<uint32_t>(p.page.entries[i].key.size()) + 4;
        const auto& m = p.children[i].max;
        return (m ? static_cast<uint32_t>(m->key.size()) : 0) + kIntermediateEntryTrailer;
    }

    bool splitFits(const PathPage& p, size_t k) {
        PathPage lower = lowerPart(p, k);
        PathPage upper = upperPart(p, k);
        return fits(lower) && fits(upper);
    }

    // How many items go to the lower page: at the right edge of the tree, all but the one
    // just added; elsewhere about half the bytes.
    size_t chooseSplit(const PathPage& p) {
        const size_t n = itemCount(p);
        if (n < 2) internal("index entry too large for a page in " + where.describe(p.page.number));
        if (p.page.next == 0 && p.next + 2 >= n && splitFits(p, n - 1)) return n - 1;
        uint64_t total = 0;
        for (size_t i = 0; i < n; ++i) total += itemBytes(p, i);
        uint64_t sum = 0;
        size_t k = 0;
        while (k < n && sum * 2 < total) sum += itemBytes(p, k++);
        k = std::clamp<size_t>(k, 1, n - 1);
        if (splitFits(p, k)) return k;
        for (size_t j = 1; j < n; ++j)
            if (splitFits(p, j)) return j;
        internal("index page cannot be split in " + where.describe(p.page.number));
    }

    // Splits p (not the root): the lower items move to a new page linked in before p.
    // Writes both.
    Child split(PathPage& p) {
        const size_t k = chooseSplit(p);
        PathPage lower = lowerPart(p, k);
        PathPage upper = upperPart(p, k);
        lower.page.number = allocate();
        lower.page.owner = owner;
        lower.page.prev = p.page.prev;
        lower.page.next = p.page.number;
        upper.page.prev = lower.page.number;
        if (p.page.prev != 0) patchLink(p.page.prev, layout.nextOffset, lower.page.number);
        Child made{std::nullopt, lower.page.number};
        if (p.page.leaf) {
            const IndexPageEntry& last = lower.page.entries.back();
            made.max = EntryRef{last.key, last.row};
        } else {
            // The children keep their links: a level is one chain across parents.
            made.max = knownMax(lower.children.back());
        }
        store(lower);
        store(upper);
        p = std::move(upper);
        return made;
    }

    // The root overflows: its contents move to a new page below it, which is then split.
    void splitRoot(PathPage& rootPage) {
        PathPage moved;
        moved.page = rootPage.page;
        moved.page.number = allocate();
        moved.page.prev = 0;
        moved.page.next = 0;
        moved.children = std::move(rootPage.children);
        moved.next = rootPage.next;
        Child lower = split(moved);

        rootPage.page.leaf = false;
        rootPage.page.entries.clear();
        rootPage.page.prev = 0;
        rootPage.page.next = 0;
        rootPage.children = {lower, Child{std::nullopt, moved.page.number}};
        store(rootPage);
    }

    // Takes an emptied page out of its level; it stays behind as an empty leaf page that
    // nothing points to, and is given up.
    void unlink(PathPage& p) {
        if (p.page.prev != 0) patchLink(p.page.prev, layout.nextOffset, p.page.next);
        if (p.page.next != 0) patchLink(p.page.next, layout.prevOffset, p.page.prev);
        PathPage dead;
        dead.page.leaf = true;
        dead.page.number = p.page.number;
        dead.page.owner = owner;
        store(dead);
        if (pageDropped) pageDropped(p.page.number);
    }

    // Finishes level d after its items changed: drops, splits or rewrites the page and
    // says what the parent must change. maxChanged: the page's greatest entry changed.
    Up settle(size_t d, bool maxChanged) {
        PathPage& p = path[d];
        const bool isRoot = d == 0;
        if (itemCount(p) == 0) {
            if (isRoot) {
                p.page.leaf = true;
                p.page.entries.clear();
                p.children.clear();
                store(p);
                return {};
            }
            unlink(p);
            return Up{.removed = true};
        }
        Up up;
        if (!fits(p)) {
            if (isRoot) {
                splitRoot(p);
                return {};
            }
            up.siblingBefore = split(p);
        } else if (p.dirty) {
            store(p);
        }
        if (maxChanged && !isRoot) {
            if (p.page.leaf) {
                const IndexPageEntry& last = p.page.entries.back();
                up.newMax = EntryRef{last.key, last.row};
            } else {
                up.newMax = knownMax(p.children.back());
            }
        }
        return up;
    }

    // Applies a child's change to intermediate level d; returns whether d's greatest
    // entry changed.
    bool apply(size_t d, const Up& up) {
        PathPage& p = path[d];
        size_t i = p.next;
        const bool wasLast = i + 1 == p.children.size();
        if (up.removed) {
            p.children.erase(p.children.begin() + static_cast<std::ptrdiff_t>(i));
            p.dirty = true;
            return wasLast;
        }
        bool changed = false;
        if (up.newMax) {
            p.children[i].max = up.newMax;
            // The tail's greatest entry is not stored on the page.
            if (!wasLast || p.children.size() == 1) p.dirty = true;
            changed = wasLast;
        }
        if (up.siblingBefore) {
            p.children.insert(p.children.begin() + static_cast<std::ptrdiff_t>(i),
                              *up.siblingBefore);
            p.next = i + 1;
            p.dirty = true;
        }
        return changed;
    }

    void finish(bool leafMaxChanged) {
        bool maxChanged = leafMaxChanged;
        for (size_t d = path.size(); d-- > 0;) {
            Up up = settle(d, maxChanged);
            if (d == 0) break;
            if (!up.removed && !up.newMax && !up.siblingBefore) break;
            maxChanged = apply(d - 1, up);
            if (!maxChanged && !path[d - 1].dirty) break;
        }
    }
};

IndexTreeWriter::IndexTreeWriter(PageFile& pages, JetVersion version, uint32_t root, uint32_t owner,
                                 IndexLocation where, std::function<void(uint32_t)> pageAdded,
                                 std::function<void(uint32_t)> pageDropped)
    : pages_(pages),
      version_(version),
      root_(root),
      owner_(owner),
      where_(std::move(where)),
      pageAdded_(std::move(pageAdded)),
      pageDropped_(std::move(pageDropped)) {}

void IndexTreeWriter::insert(const Bytes& key, RowId row) {
    Impl op{pages_, indexPageLayout(version_), root_, owner_, where_, pageAdded_, pageDropped_,
            {},     formatFor(version_)};
    // Entries added in ascending order go to the end of the last leaf, found once.
    if (rightmostLeaf_ != 0 && op.appendInPlace(rightmostLeaf_, key, row)) return;
    rightmostLeaf_ = 0;
    if (op.insertInPlace(key, row, rightmostLeaf_)) return;
    rightmostLeaf_ = 0;  // the general path may change the tree's shape
    op.descend(key, row, true);
    PathPage& leaf = op.path.back();
    auto& entries = leaf.page.entries;
    auto it = std::lower_bound(
        entries.begin(), entries.end(), 0,
        [&](const IndexPageEntry& e, int) { return compareEntries(e.key, e.row, key, row) < 0; });
    if (it != entries.end() && it->key == key && it->row == row)
        internal("the entry is already in " + where_.describe(leaf.page.number));
    const bool atEnd = it == entries.end();
    leaf.next = static_cast<size_t>(it - entries.begin());
    entries.insert(it, IndexPageEntry{key, row, 0});
    leaf.dirty = true;
    op.finish(atEnd);
}

void IndexTreeWriter::remove(const Bytes& key, RowId row) {
    rightmostLeaf_ = 0;
    Impl op{pages_, indexPageLayout(version_), root_, owner_, where_, pageAdded_, pageDropped_,
            {},     formatFor(version_)};
    auto missing = [&] {
        throwCorrupt("the entry for page " + std::to_string(row.page) + " row " +
                     std::to_string(row.row) + " is missing from index '" + where_.index +
                     "' of table '" + where_.table + "'");
    };
    if (!op.descend(key, row, false)) missing();
    PathPage& leaf = op.path.back();
    auto& entries = leaf.page.entries;
    auto it = std::find_if(entries.begin(), entries.end(),
                           [&](const IndexPageEntry& e) { return e.key == key && e.row == row; });
    if (it == entries.end()) missing();
    const bool wasLast = it + 1 == entries.end();
    leaf.next = static_cast<size_t>(it - entries.begin());
    entries.erase(it);
    leaf.dirty = true;
    op.finish(wasLast);
}

bool IndexTreeWriter::hasOtherEntryWithKey(const Bytes& key, RowId row) {
    Impl op{pages_, indexPageLayout(version_), root_, owner_, where_, pageAdded_, pageDropped_,
            {},     formatFor(version_)};
    if (std::optional<bool> answer = op.otherEntryWithKey(key, row)) return *answer;
    IndexCursor cursor = openIndexCursor(pages_, version_, root_, &key, where_, owner_);
    while (cursor.next() && cursor.entry().key == key)
        if (cursor.entry().row != row) return true;
    return false;
}

}  // namespace jet
