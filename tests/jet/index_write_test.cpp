// Index maintenance on copies of real files: entries removed and added again, thousands of
// entries forcing splits and new levels, the duplicate check, and pages encoded the way
// Access stores them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <set>

#include "helpers/testdata.h"
#include "jet/error.h"
#include "jet/format.h"
#include "jet/global_usage_map.h"
#include "jet/index_key.h"
#include "jet/index_owned_pages.h"
#include "jet/index_page_encode.h"
#include "jet/index_reader.h"
#include "jet/index_tree_writer.h"
#include "jet/index_writer.h"
#include "jet/page_file.h"
#include "jet/usage_map.h"

namespace {

using jet::Bytes;
using jet::RowId;
using tdv::test::TempDir;
using tdv::test::testdataDir;

struct Entry {
    Bytes key;
    RowId row;
    bool operator==(const Entry&) const = default;
    auto operator<=>(const Entry& o) const {
        if (int c = jet::compareEntries(key, row, o.key, o.row); c != 0) return c <=> 0;
        return 0 <=> 0;
    }
};

std::vector<Entry> readAll(jet::PageFile& pages, jet::JetVersion v, uint32_t root, uint32_t owner) {
    std::vector<Entry> out;
    jet::IndexCursor c = jet::openIndexCursor(pages, v, root, nullptr, {"t", "i"}, owner);
    while (c.next()) out.push_back({c.entry().key, c.entry().row});
    return out;
}

// Checks the exact shape Access gives a tree: separators equal to the greatest entry of
// their child, the tail rule, one leaf depth, a complete leaf chain, exact free space.
// Returns the number of levels.
class ShapeChecker {
public:
    ShapeChecker(jet::PageFile& pages, jet::JetVersion v, uint32_t owner)
        : pages_(pages), layout_(jet::indexPageLayout(v)), owner_(owner) {}

    int check(uint32_t root) {
        leaves_.clear();
        leafDepth_.reset();
        walk(root, 0);
        for (size_t i = 0; i < leaves_.size(); ++i) {
            EXPECT_EQ(leaves_[i].prev, i == 0 ? 0u : leaves_[i - 1].number)
                << "leaf " << leaves_[i].number;
            EXPECT_EQ(leaves_[i].next, i + 1 == leaves_.size() ? 0u : leaves_[i + 1].number)
                << "leaf " << leaves_[i].number;
        }
        return leafDepth_.value_or(0) + 1;
    }

private:
    jet::IndexPage read(uint32_t n) {
        jet::Page raw = pages_.read(n);
        jet::IndexPage p = jet::decodeIndexPage(*raw, n, layout_, {"t", "i"});
        visited_.push_back(n);
        EXPECT_EQ(p.owner, owner_) << "page " << n;
        EXPECT_EQ(p.freeSpace + p.usedBytes + layout_.firstEntryOffset(), layout_.pageSize);
        return p;
    }

    // Returns the subtree's greatest entry (nullopt for an empty root leaf).
    std::optional<Entry> walk(uint32_t n, int depth) {
        EXPECT_LT(depth, 16);
        if (depth >= 16) return std::nullopt;
        jet::IndexPage p = read(n);
        if (p.leaf) {
            if (leafDepth_) {
                EXPECT_EQ(*leafDepth_, depth);
            }
            leafDepth_ = depth;
            EXPECT_EQ(p.tail, 0u);
            leaves_.push_back({n, p.prev, p.next});
            if (depth > 0) {
                EXPECT_FALSE(p.entries.empty()) << "empty leaf " << n;
            }
            if (p.entries.empty()) return std::nullopt;
            return Entry{p.entries.back().key, p.entries.back().row};
        }
        // A single child is an entry, never a lone tail.
        EXPECT_FALSE(p.entries.empty()) << "node " << n;
        std::optional<Entry> max;
        for (const auto& e : p.entries) {
            max = walk(e.child, depth + 1);
            EXPECT_TRUE(max && max->key == e.key && max->row == e.row)
                << "separator of child " << e.child << " on page " << n;
        }
        if (p.tail != 0) max = walk(p.tail, depth + 1);
        return max;
    }

    struct Leaf {
        uint32_t number, prev, next;
    };
    jet::PageFile& pages_;
    const jet::IndexPageLayout& layout_;
    uint32_t owner_;
    std::vector<Leaf> leaves_;
    std::optional<int> leafDepth_;
    std::vector<uint32_t> visited_;

public:
    // Every page of the trees checked so far.
    const std::vector<uint32_t>& visited() const { return visited_; }
};

// Problems of checkIndex other than entries of rows that do not exist (the synthetic
// entries of the growth tests point at no row).
std::vector<std::string> structuralProblems(const std::vector<std::string>& all) {
    std::vector<std::string> out;
    for (const auto& p : all)
        if (p.find("which is not a live row") == std::string::npos &&
            p.find("more problems") == std::string::npos)
            out.push_back(p);
    return out;
}

jet::PageFile openWritable(const std::filesystem::path& path, jet::JetVersion v) {
    return jet::PageFile(jet::FileSystem::real(), path.string(),
                         jet::PageFileOptions{.writable = true},
                         v == jet::JetVersion::Jet3 ? 2048 : 4096);
}

// As a database opened for writing does, every save keeps the free-page map in step: the
// tree takes free pages, and pages a save appends must not stay listed as free.
void keepFreePageMap(jet::PageFile& pages, jet::JetVersion v) {
    const jet::Format* format = &jet::formatFor(v);
    pages.setCommitHook([format](jet::PageFile& p) { jet::updateFreePageMap(p, *format); });
}

// --- Encoding --------------------------------------------------------------------------

TEST(IndexPageEncode, ReproducesEveryPageAccessWroteWithTheSamePrefixRule) {
    size_t identical = 0, equivalent = 0;
    for (const auto& file : tdv::test::allTestDatabases()) {
        auto db = jet::Database::open(file.string());
        const auto& layout = jet::indexPageLayout(db->info().version);
        jet::PageFile& pages = db->pages();
        for (uint32_t n = 1; n < pages.pageCount(); ++n) {
            jet::Page raw = pages.read(n);
            uint8_t type = (*raw)[0];
            if (type != jet::kIndexLeafPage && type != jet::kIndexIntermediatePage) continue;
            jet::IndexPage page = jet::decodeIndexPage(*raw, n, layout, {"t", "i"});
            std::vector<uint8_t> again = jet::encodeIndexPage(page, layout);
            jet::IndexPage decoded = jet::decodeIndexPage(again, n, layout, {"t", "i"});
            ASSERT_EQ(decoded.entries.size(), page.entries.size()) << file << " page " << n;
            for (size_t i = 0; i < page.entries.size(); ++i) {
                EXPECT_EQ(decoded.entries[i].key, page.entries[i].key);
                EXPECT_EQ(decoded.entries[i].row, page.entries[i].row);
                EXPECT_EQ(decoded.entries[i].child, page.entries[i].child);
            }
            EXPECT_EQ(decoded.prev, page.prev);
            EXPECT_EQ(decoded.next, page.next);
            EXPECT_EQ(decoded.tail, page.tail);
            ++equivalent;
            if (page.prefixLength != jet::indexPagePrefixLength(page, layout)) continue;
            // Same prefix as Access chose: the header and entries must be byte-identical.
            size_t end = layout.firstEntryOffset() + page.usedBytes;
            EXPECT_TRUE(std::equal(again.begin(), again.begin() + end, raw->begin()))
                << file << " page " << n;
            ++identical;
        }
    }
    EXPECT_GT(identical, 20u);
    EXPECT_GT(equivalent, identical);
}

TEST(IndexPageEncode, RefusesEntriesThatDoNotFit) {
    const auto& layout = jet::indexPageLayout(jet::JetVersion::Jet3);
    jet::IndexPage page;
    for (uint32_t i = 0; i < 200; ++i) {
        Bytes key(12, 0x7F);
        key[11] = static_cast<uint8_t>(i);
        key[0] = static_cast<uint8_t>(i);  // no shared prefix
        page.entries.push_back({key, RowId{1, static_cast<uint16_t>(i % 256)}, 0});
    }
    std::sort(page.entries.begin(), page.entries.end(), [](const auto& a, const auto& b) {
        return jet::compareEntries(a.key, a.row, b.key, b.row) < 0;
    });
    EXPECT_FALSE(jet::indexPageFits(page, layout));
    EXPECT_THROW(jet::encodeIndexPage(page, layout), jet::Error);
}

// A leaf edited in place must be byte for byte the page encoded from scratch, whichever
// entry is added where; where the edit is refused the page is left as it was.
TEST(IndexPageEncode, ALeafEditedInPlaceEqualsThePageEncodedFromScratch) {
    for (jet::JetVersion v : {jet::JetVersion::Jet3, jet::JetVersion::Jet4}) {
        const auto& layout = jet::indexPageLayout(v);
        std::mt19937 rng(5);
        size_t inPlace = 0;
        for (int trial = 0; trial < 16; ++trial) {
            jet::IndexPage page;
            page.owner = 7;
            page.prev = 3;
            page.next = 9;
            std::vector<uint8_t> bytes = jet::encodeIndexPage(page, layout);
            for (int i = 0; i < 600; ++i) {
                // A long shared start, then a few bytes from a small alphabet: inserts
                // before, between and after the others, some changing the prefix.
                Bytes key{0x7F, 0x55, 0x56};
                const size_t tail = 1 + rng() % (trial % 2 == 0 ? 3 : 12);
                for (size_t k = 0; k < tail; ++k)
                    key.push_back(static_cast<uint8_t>(0x41 + rng() % (trial % 3 + 2)));
                const RowId row{1 + static_cast<uint32_t>(rng() % 3),
                                static_cast<uint16_t>(rng() % 4)};
                jet::IndexPageView view(bytes, layout);
                ASSERT_TRUE(view.valid());
                bool equal = false;
                const jet::IndexPageView::Slot at = view.lowerBound(key, row, &equal);
                ASSERT_TRUE(view.valid());
                if (equal) continue;
                const auto position = std::lower_bound(
                    page.entries.begin(), page.entries.end(), 0, [&](const auto& e, int) {
                        return jet::compareEntries(e.key, e.row, key, row) < 0;
                    });
                ASSERT_EQ(view.isEnd(at), position == page.entries.end());
                if (position != page.entries.end()) {
                    Bytes found;
                    view.keyOf(at, found);
                    ASSERT_EQ(found, position->key);
                    ASSERT_EQ(view.rowOf(at), position->row);
                }
                jet::IndexPage grown = page;
                grown.entries.insert(grown.entries.begin() + (position - page.entries.begin()),
                                     jet::IndexPageEntry{key, row, 0});
                ASSERT_TRUE(std::is_sorted(
                    grown.entries.begin(), grown.entries.end(), [](const auto& a, const auto& b) {
                        return jet::compareEntries(a.key, a.row, b.key, b.row) < 0;
                    }));
                const bool fits = jet::indexPageFits(grown, layout);
                std::vector<uint8_t> edited = bytes;
                if (jet::insertLeafEntryInPlace(edited, view, layout, at, key, row)) {
                    ASSERT_TRUE(fits);
                    ASSERT_EQ(edited, jet::encodeIndexPage(grown, layout)) << "insert " << i;
                    ++inPlace;
                } else {
                    ASSERT_EQ(edited, bytes);
                }
                if (!fits) break;
                page = std::move(grown);
                bytes = jet::encodeIndexPage(page, layout);
            }
        }
        EXPECT_GT(inPlace, 1000u);
    }
}

// --- Removing and re-adding the entries of every index of real files --------------------

struct IndexCase {
    std::string file;
};

class IndexRoundTrip : public ::testing::TestWithParam<std::string> {};

TEST_P(IndexRoundTrip, RemovedAndReAddedEntriesGiveTheSameIndex) {
    TempDir dir;
    auto copy = dir.copy(testdataDir() / GetParam());
    auto db = jet::Database::open(copy.string());
    const jet::JetVersion v = db->info().version;

    struct Work {
        std::string table, index;
        uint32_t root = 0, owner = 0;
        int real = 0;
        std::vector<Entry> entries;  // from the rows' values
    };
    std::vector<Work> work;
    std::set<uint32_t> roots;
    for (const auto& name : db->allTableNames()) {
        const jet::TableDef& t = db->table(name);
        for (const auto& ix : t.indexes) {
            if (ix.rootPage == 0 || !roots.insert(ix.rootPage).second) continue;
            Work w{t.name, ix.name, ix.rootPage, t.definitionPage, ix.realNumber, {}};
            bool encodable = true;
            jet::TableScan scan = db->scan(t);
            while (scan.next()) {
                bool allNull = true;
                for (const auto& c : ix.columns)
                    if (!scan.values()[c.column].isNull()) allNull = false;
                if (ix.ignoreNulls && allNull) continue;
                try {
                    w.entries.push_back(
                        {jet::encodeIndexKey(t, ix, scan.values(), v), scan.rowId()});
                } catch (const jet::Error&) {
                    encodable = false;
                    break;
                }
            }
            if (!encodable) continue;
            std::sort(w.entries.begin(), w.entries.end());
            ASSERT_EQ(w.entries, readAll(db->pages(), v, ix.rootPage, t.definitionPage))
                << t.name << "." << ix.name;
            work.push_back(std::move(w));
        }
    }
    ASSERT_FALSE(work.empty());
    db.reset();

    {
        jet::PageFile pages = openWritable(copy, v);
        keepFreePageMap(pages, v);
        pages.beginWrite();
        std::mt19937 rng(7);
        const jet::Format& format = jet::formatFor(v);
        for (const Work& w : work) {
            jet::IndexTreeWriter tree(
                pages, v, w.root, w.owner, {w.table, w.index},
                [&](uint32_t n) { jet::recordIndexPage(pages, format, w.owner, w.real, n); });
            std::vector<Entry> order = w.entries;
            std::shuffle(order.begin(), order.end(), rng);
            // Remove everything, checking the remainder halfway.
            std::vector<Entry> left = w.entries;
            for (size_t i = 0; i < order.size(); ++i) {
                tree.remove(order[i].key, order[i].row);
                left.erase(std::find(left.begin(), left.end(), order[i]));
                if (i == order.size() / 2) {
                    ASSERT_EQ(left, readAll(pages, v, w.root, w.owner));
                }
            }
            ASSERT_TRUE(readAll(pages, v, w.root, w.owner).empty());
            EXPECT_THROW(tree.remove(Bytes{0x7F, 1}, RowId{1, 1}), jet::Error);
            std::shuffle(order.begin(), order.end(), rng);
            for (const Entry& e : order) tree.insert(e.key, e.row);
            if (!order.empty()) {
                EXPECT_THROW(tree.insert(order.front().key, order.front().row), jet::Error);
            }
            ShapeChecker(pages, v, w.owner).check(w.root);
        }
        pages.commit();
    }

    db = jet::Database::open(copy.string());
    for (const Work& w : work) {
        const jet::TableDef& t = db->table(w.table);
        const jet::IndexDef* ix = t.findIndex(w.index);
        ASSERT_NE(ix, nullptr);
        EXPECT_EQ(w.entries, readAll(db->pages(), v, ix->rootPage, t.definitionPage));
        EXPECT_EQ(jet::checkIndex(*db, t, *ix), std::vector<std::string>{})
            << t.name << "." << ix->name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    RealFiles, IndexRoundTrip,
    ::testing::Values("V2000/indexTestV2000.mdb", "V2000/compIndexTestV2000.mdb",
                      "V2000/bigIndexTestV2000.mdb", "V2000/testIndexPropertiesV2000.mdb",
                      "V1997/indexTestV1997.mdb", "V1997/compIndexTestV1997.mdb",
                      "V1997/testIndexCodesV1997.mdb"));

// --- Growth: thousands of entries -----------------------------------------------------

struct GrowthCase {
    std::string file;
    std::string table;
};

class IndexGrowth : public ::testing::TestWithParam<GrowthCase> {};

Bytes syntheticKey(std::mt19937& rng, size_t length) {
    Bytes key{0x7F};
    std::uniform_int_distribution<int> byte(0x40, 0x70);
    for (size_t i = 0; i < length; ++i) key.push_back(static_cast<uint8_t>(byte(rng)));
    return key;
}

TEST_P(IndexGrowth, ThousandsOfEntriesSplitPagesAndAddLevels) {
    TempDir dir;
    auto copy = dir.copy(testdataDir() / GetParam().file);
    auto db = jet::Database::open(copy.string());
    const jet::JetVersion v = db->info().version;
    const jet::TableDef& t = db->table(GetParam().table);
    ASSERT_FALSE(t.indexes.empty());
    const jet::IndexDef ix = t.indexes.front();
    const uint32_t owner = t.definitionPage;
    const std::string tableName = t.name;
    const std::vector<Entry> original = readAll(db->pages(), v, ix.rootPage, owner);
    const jet::Format& format = jet::formatFor(v);
    db.reset();

    std::mt19937 rng(11);
    std::vector<Entry> added;
    std::set<uint32_t> newPages;
    for (int round = 0; round < 2; ++round) {
        jet::PageFile pages = openWritable(copy, v);
        keepFreePageMap(pages, v);
        pages.beginWrite();
        jet::IndexTreeWriter tree(pages, v, ix.rootPage, owner, {tableName, ix.name},
                                  [&](uint32_t n) {
                                      newPages.insert(n);
                                      jet::recordIndexPage(pages, format, owner, ix.realNumber, n);
                                  });
        // Round 0: random keys (splits in the middle); round 1: ascending keys appended at
        // the right edge, with runs of equal keys ordered by row.
        for (int i = 0; i < 3000; ++i) {
            Entry e;
            if (round == 0) {
                e.key = syntheticKey(rng, 30 + rng() % 80);  // long keys: few per page
            } else {
                e.key = Bytes{0x7F, 0xFE, static_cast<uint8_t>(i / 256),
                              static_cast<uint8_t>(i % 256 / 4)};
            }
            e.row =
                RowId{0x100000u + static_cast<uint32_t>(i / 200), static_cast<uint16_t>(i % 200)};
            if (round == 0) e.row.page += 100;
            tree.insert(e.key, e.row);
            added.push_back(e);
        }
        pages.commit();
    }

    std::vector<Entry> expected = original;
    expected.insert(expected.end(), added.begin(), added.end());
    std::sort(expected.begin(), expected.end());
    {
        auto db2 = jet::Database::open(copy.string());
        const jet::TableDef& t2 = db2->table(tableName);
        const jet::IndexDef* ix2 = t2.findIndex(ix.name);
        ASSERT_NE(ix2, nullptr);
        EXPECT_EQ(expected, readAll(db2->pages(), v, ix.rootPage, owner));
        EXPECT_GE(ShapeChecker(db2->pages(), v, owner).check(ix.rootPage), 3);
        EXPECT_EQ(structuralProblems(jet::checkIndex(*db2, t2, *ix2)), std::vector<std::string>{});
        jet::IndexReader reader(*db2, t2, *ix2);
        for (size_t i = 0; i < added.size(); i += 37) {
            auto rows = reader.lookup(added[i].key);
            EXPECT_NE(std::find(rows.begin(), rows.end(), added[i].row), rows.end());
            jet::IndexCursor c = reader.seek(added[i].key);
            ASSERT_TRUE(c.next());
            EXPECT_EQ(c.entry().key, added[i].key);
        }
        // Every page of the tree is recorded in the index's owned-pages map.
        jet::UsageMap map = jet::UsageMap::load(
            db2->pages(), format,
            jet::realIndexOwnedPagesRow(db2->pages(), format, owner, ix.realNumber));
        std::set<uint32_t> owned;
        while (auto p = map.next(db2->pages())) owned.insert(*p);
        EXPECT_TRUE(owned.count(ix.rootPage));
        for (uint32_t p : newPages) EXPECT_TRUE(owned.count(p)) << "page " << p;
    }

    // Removing every synthetic entry leaves the original index, sound against the rows; the
    // pages emptied levels give up leave the index's map.
    std::set<uint32_t> dropped;
    {
        jet::PageFile pages = openWritable(copy, v);
        keepFreePageMap(pages, v);
        pages.beginWrite();
        jet::IndexTreeWriter tree(
            pages, v, ix.rootPage, owner, {tableName, ix.name},
            [&](uint32_t n) { jet::recordIndexPage(pages, format, owner, ix.realNumber, n); },
            [&](uint32_t n) {
                EXPECT_TRUE(dropped.insert(n).second) << "page " << n << " given up twice";
                jet::forgetIndexPage(pages, format, owner, ix.realNumber, n);
            });
        std::shuffle(added.begin(), added.end(), rng);
        for (const Entry& e : added) tree.remove(e.key, e.row);
        pages.commit();
    }
    auto db3 = jet::Database::open(copy.string());
    const jet::TableDef& t3 = db3->table(tableName);
    EXPECT_FALSE(dropped.empty());
    jet::UsageMap map = jet::UsageMap::load(
        db3->pages(), format,
        jet::realIndexOwnedPagesRow(db3->pages(), format, owner, ix.realNumber));
    while (auto p = map.next(db3->pages())) EXPECT_FALSE(dropped.count(*p)) << "page " << *p;
    EXPECT_EQ(original, readAll(db3->pages(), v, ix.rootPage, owner));
    ShapeChecker(db3->pages(), v, owner).check(ix.rootPage);
    EXPECT_EQ(jet::checkIndex(*db3, t3, *t3.findIndex(ix.name)), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(RealFiles, IndexGrowth,
                         ::testing::Values(GrowthCase{"V2000/indexTestV2000.mdb", "Table1"},
                                           GrowthCase{"V1997/indexTestV1997.mdb", "Table1"},
                                           GrowthCase{"V2000/bigIndexTestV2000.mdb", "Table1"},
                                           // Trees Access made two levels deep.
                                           GrowthCase{"V2000/compIndexTestV2000.mdb", "Table1"},
                                           GrowthCase{"V1997/testIndexCodesV1997.mdb", "Table1"}),
                         [](const ::testing::TestParamInfo<GrowthCase>& info) {
                             std::string name = std::filesystem::path(info.param.file).stem();
                             return name;
                         });

// --- Unique indexes ---------------------------------------------------------------------

TEST(IndexWriterCheck, RefusesADuplicateKeyInAUniqueIndexOnly) {
    for (const char* file : {"V2000/testIndexPropertiesV2000.mdb", "V1997/compIndexTestV1997.mdb",
                             "V2000/indexTestV2000.mdb"}) {
        auto db = jet::Database::open((testdataDir() / file).string());
        int uniqueChecked = 0, otherChecked = 0;
        for (const auto& name : db->tableNames()) {
            const jet::TableDef& t = db->table(name);
            for (const auto& ix : t.indexes) {
                std::vector<Entry> entries =
                    readAll(db->pages(), db->info().version, ix.rootPage, t.definitionPage);
                if (entries.empty()) continue;
                jet::IndexWriter writer(*db, t, ix);
                const Entry& e = entries.back();  // the greatest key: never all Null
                RowId other{e.row.page, static_cast<uint16_t>(e.row.row + 1)};
                EXPECT_NO_THROW(writer.checkInsert(e.key, e.row));  // its own entry
                Bytes fresh = entries.back().key;
                fresh.push_back(0xFF);
                EXPECT_NO_THROW(writer.checkInsert(fresh, other));
                if (ix.unique || ix.primaryKey) {
                    try {
                        writer.checkInsert(e.key, other);
                        ADD_FAILURE() << "duplicate accepted in " << t.name << "." << ix.name;
                    } catch (const jet::Error& err) {
                        EXPECT_EQ(err.kind(), jet::ErrorKind::Constraint);
                        EXPECT_EQ(err.number(), jet::errnum::kDuplicate);
                        EXPECT_NE(std::string(err.what()).find(ix.name), std::string::npos);
                    }
                    ++uniqueChecked;
                } else {
                    EXPECT_NO_THROW(writer.checkInsert(e.key, other));
                    ++otherChecked;
                }
            }
        }
        EXPECT_GT(uniqueChecked + otherChecked, 0) << file;
    }
}

TEST(IndexWriterCheck, WritesNeedAnOpenSave) {
    auto db = jet::Database::open((testdataDir() / "V2000/indexTestV2000.mdb").string());
    const jet::TableDef& t = db->table("Table1");
    jet::IndexWriter writer(*db, t, t.indexes.front());
    EXPECT_THROW(writer.insert(Bytes{0x7F, 1}, RowId{1, 1}), jet::Error);
    EXPECT_THROW(writer.remove(Bytes{0x7F, 1}, RowId{1, 1}), jet::Error);
}

}  // namespace

namespace {

// --- Damage and limits ------------------------------------------------------------------

void patchLe32(const std::filesystem::path& file, uint64_t offset, uint32_t value) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    for (int i = 0; i < 4; ++i) f.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string fileBytes(const std::filesystem::path& file) {
    std::ifstream f(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

// compIndexTestV2000.mdb, table Table1: its index tree is an intermediate root (page 29)
// with one entry and a tail, over two leaves.
constexpr uint32_t kCompRoot = 29;
constexpr uint32_t kCompOwner = 15;

TEST(IndexWriterDamage, BadChildPointersAreReportedNotFollowed) {
    const auto& layout = jet::indexPageLayout(jet::JetVersion::Jet4);
    for (uint32_t badTail : {9999u, kCompRoot}) {  // beyond the file; a loop to the root
        TempDir dir;
        auto copy = dir.copy(testdataDir() / "V2000/compIndexTestV2000.mdb");
        patchLe32(copy, uint64_t{kCompRoot} * 4096 + layout.tailOffset, badTail);
        jet::PageFile pages = openWritable(copy, jet::JetVersion::Jet4);
        pages.beginWrite();
        jet::IndexTreeWriter tree(pages, jet::JetVersion::Jet4, kCompRoot, kCompOwner,
                                  {"Table1", "idx"});
        try {
            tree.insert(Bytes{0xFF, 0xFF, 0xFF}, RowId{1, 1});  // beyond every entry: the tail
            ADD_FAILURE() << "damage not noticed";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.kind(), jet::ErrorKind::Corrupt);
            EXPECT_NE(std::string(e.what()).find("Table1"), std::string::npos);
        }
        pages.rollback();
    }
}

TEST(IndexWriterDamage, WrongOwnerIsReported) {
    TempDir dir;
    auto copy = dir.copy(testdataDir() / "V2000/compIndexTestV2000.mdb");
    jet::PageFile pages = openWritable(copy, jet::JetVersion::Jet4);
    pages.beginWrite();
    jet::IndexTreeWriter tree(pages, jet::JetVersion::Jet4, kCompRoot, kCompOwner + 1,
                              {"Table1", "idx"});
    EXPECT_THROW(tree.insert(Bytes{0x7F, 1}, RowId{1, 1}), jet::Error);
    EXPECT_THROW(tree.remove(Bytes{0x7F, 1}, RowId{1, 1}), jet::Error);
    pages.rollback();
}

TEST(IndexOwnedPages, FindsEachIndexMapAndRecordsNewPages) {
    TempDir dir;
    auto copy = dir.copy(testdataDir() / "V2000/compIndexTestV2000.mdb");
    const std::string before = fileBytes(copy);
    const jet::Format& format = jet::formatFor(jet::JetVersion::Jet4);
    jet::PageFile pages = openWritable(copy, jet::JetVersion::Jet4);
    const uint32_t row = jet::realIndexOwnedPagesRow(pages, format, kCompOwner, 0);
    // The map lists exactly the tree's pages.
    jet::UsageMap map = jet::UsageMap::load(pages, format, row);
    std::vector<uint32_t> owned;
    while (auto p = map.next(pages)) owned.push_back(*p);
    EXPECT_EQ(owned, (std::vector<uint32_t>{29, 32, 33}));
    EXPECT_THROW(jet::realIndexOwnedPagesRow(pages, format, kCompOwner, 1), jet::Error);

    // Recording pages inside and far beyond the map's inline window keeps every page.
    pages.beginWrite();
    const uint32_t far = pages.pageCount() + 2000;
    while (pages.pageCount() <= far) pages.append(std::vector<uint8_t>(4096, 0));
    jet::recordIndexPage(pages, format, kCompOwner, 0, 40);
    jet::recordIndexPage(pages, format, kCompOwner, 0, far);
    jet::UsageMap grown = jet::UsageMap::load(pages, format, row);
    owned.clear();
    while (auto p = grown.next(pages)) owned.push_back(*p);
    EXPECT_EQ(owned, (std::vector<uint32_t>{29, 32, 33, 40, far}));
    pages.rollback();
    EXPECT_EQ(before, fileBytes(copy));
}

TEST(IndexWriterSave, EntriesAddedThroughAWritableDatabaseAreOwnedAndReadable) {
    for (const char* file : {"V2000/indexTestV2000.mdb", "V1997/indexTestV1997.mdb"}) {
        TempDir dir;
        auto copy = dir.copy(testdataDir() / file);
        std::vector<Entry> expected;
        {
            auto db = jet::Database::open(copy.string(), jet::OpenOptions{.writable = true});
            const jet::TableDef& t = db->table("Table1");
            const jet::IndexDef& ix = t.indexes.front();
            expected = readAll(db->pages(), db->info().version, ix.rootPage, t.definitionPage);
            jet::IndexWriter writer(*db, t, ix);
            db->pages().beginWrite();
            for (uint32_t i = 0; i < 1500; ++i) {
                Bytes key{0x7F, 0x90, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
                RowId row{0x200000u + i / 100, static_cast<uint16_t>(i % 100)};
                writer.checkInsert(key, row);
                writer.insert(key, row);
                expected.push_back({key, row});
            }
            db->pages().commit();
        }
        std::sort(expected.begin(), expected.end());
        auto db = jet::Database::open(copy.string());
        const jet::TableDef& t = db->table("Table1");
        const jet::IndexDef& ix = t.indexes.front();
        const jet::JetVersion v = db->info().version;
        EXPECT_EQ(expected, readAll(db->pages(), v, ix.rootPage, t.definitionPage)) << file;
        ShapeChecker shape(db->pages(), v, t.definitionPage);
        EXPECT_GE(shape.check(ix.rootPage), 2) << file;
        const jet::Format& format = jet::formatFor(v);
        jet::UsageMap map = jet::UsageMap::load(
            db->pages(), format,
            jet::realIndexOwnedPagesRow(db->pages(), format, t.definitionPage, ix.realNumber));
        std::set<uint32_t> owned;
        while (auto p = map.next(db->pages())) owned.insert(*p);
        for (uint32_t p : shape.visited()) EXPECT_TRUE(owned.count(p)) << file << " page " << p;
    }
}

}  // namespace
