// Index trees of the real Access files: every index of every table decodes and agrees with
// the table's rows; seek and lookup find the same entries as a full walk; damaged copies
// give errors or check problems, never a crash or a hang.
#include "jet/index_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "helpers/testdata.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_page.h"
#include "jet/memory_file.h"
#include "jet/page_file.h"

using namespace jet;
namespace fs = std::filesystem;

namespace {

std::vector<IndexEntry> allEntries(Database& db, const TableDef& t, const IndexDef& idx) {
    std::vector<IndexEntry> out;
    IndexReader reader(db, t, idx);
    IndexCursor c = reader.all();
    while (c.next()) out.push_back(c.entry());
    return out;
}

std::set<RowId> liveRows(Database& db, const TableDef& t) {
    std::set<RowId> rows;
    TableScan scan = db.scan(t, ColumnMask(t.columns.size(), false));
    while (scan.next()) rows.insert(scan.rowId());
    return rows;
}

struct Damaged {
    std::string table, index;
    uint32_t root = 0;
};

// The first user table index whose tree has at least two leaves (needs a chain to damage).
Damaged findMultiPageIndex(const fs::path& file) {
    auto db = Database::open(file.string());
    for (const auto& name : db->allTableNames()) {
        const TableDef& t = db->table(name);
        for (const IndexDef& idx : t.indexes) {
            Page root = db->pages().read(idx.rootPage);
            if ((*root)[0] == kIndexIntermediatePage) return {t.name, idx.name, idx.rootPage};
        }
    }
    return {};
}

void patch(const fs::path& file, uint64_t offset, const std::vector<uint8_t>& bytes) {
    std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Walks and checks the index of a damaged copy; true when the damage was noticed.
bool damageNoticed(const fs::path& copy, const Damaged& d) {
    auto db = Database::open(copy.string());
    const TableDef& t = db->table(d.table);
    const IndexDef* idx = t.findIndex(d.index);
    EXPECT_NE(idx, nullptr);
    bool thrown = false;
    try {
        size_t n = 0;
        IndexCursor c = IndexReader(*db, t, *idx).all();
        while (c.next()) EXPECT_LT(++n, 100000u);
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
        thrown = true;
    }
    auto problems = checkIndex(*db, t, *idx);
    for (const auto& p : problems)
        EXPECT_NE(p.find("index '" + d.index + "'"), std::string::npos) << p;
    return thrown || !problems.empty();
}

}  // namespace

TEST(IndexReader, EveryIndexOfEveryFileDecodesAndMatchesItsRows) {
    size_t indexes = 0, entries = 0, multiLevel = 0;
    for (const auto& file : tdv::test::allTestDatabases()) {
        SCOPED_TRACE(file.string());
        auto db = Database::open(file.string());
        for (const auto& name : db->allTableNames()) {
            const TableDef& t = db->table(name);
            for (const IndexDef& idx : t.indexes) {
                SCOPED_TRACE(name + "." + idx.name);
                auto all = allEntries(*db, t, idx);
                for (size_t i = 1; i < all.size(); ++i)
                    ASSERT_LT(
                        compareEntries(all[i - 1].key, all[i - 1].row, all[i].key, all[i].row), 0);
                auto problems = checkIndex(*db, t, idx);
                for (const auto& p : problems) ADD_FAILURE() << p;
                ++indexes;
                entries += all.size();
                if ((*db->pages().read(idx.rootPage))[0] == kIndexIntermediatePage) ++multiLevel;
            }
        }
    }
    EXPECT_GT(indexes, 100u);
    EXPECT_GT(entries, 1000u);
    EXPECT_GE(multiLevel, 3u);  // compIndexTest (both versions) and testIndexCodesV1997
}

TEST(IndexReader, EntriesPointAtEveryLiveRowOnce) {
    // The same agreement checkIndex reports on, asserted directly for a few known indexes.
    for (const char* rel : {"V2000/compIndexTestV2000.mdb", "V1997/compIndexTestV1997.mdb",
                            "V2000/indexTestV2000.mdb", "V1997/indexTestV1997.mdb"}) {
        SCOPED_TRACE(rel);
        auto db = Database::open((tdv::test::testdataDir() / rel).string());
        for (const auto& name : db->tableNames()) {
            const TableDef& t = db->table(name);
            std::set<RowId> rows = liveRows(*db, t);
            for (const IndexDef& idx : t.indexes) {
                if (idx.ignoreNulls) continue;
                std::multiset<RowId> pointed;
                for (const auto& e : allEntries(*db, t, idx)) pointed.insert(e.row);
                EXPECT_EQ(std::set<RowId>(pointed.begin(), pointed.end()), rows)
                    << name << "." << idx.name;
                EXPECT_EQ(pointed.size(), rows.size()) << name << "." << idx.name;
            }
        }
    }
}

TEST(IndexReader, SeekAndLookupAgreeWithAFullWalk) {
    size_t checkedKeys = 0;
    for (const auto& file : tdv::test::allTestDatabases()) {
        auto db = Database::open(file.string());
        for (const auto& name : db->tableNames()) {
            const TableDef& t = db->table(name);
            for (const IndexDef& idx : t.indexes) {
                SCOPED_TRACE(file.filename().string() + " " + name + "." + idx.name);
                auto all = allEntries(*db, t, idx);
                IndexReader reader(*db, t, idx);
                std::map<Bytes, std::vector<RowId>> byKey;
                for (const auto& e : all) byKey[e.key].push_back(e.row);
                size_t firstOfKey = 0;
                for (const auto& [key, rows] : byKey) {
                    EXPECT_EQ(reader.lookup(key), rows);
                    IndexCursor c = reader.seek(key);
                    ASSERT_TRUE(c.next());
                    EXPECT_EQ(c.entry().key, key);
                    EXPECT_EQ(c.entry().row, all[firstOfKey].row);
                    size_t rest = 1;
                    while (c.next()) ++rest;
                    EXPECT_EQ(rest, all.size() - firstOfKey);
                    // Just above the key: the next key's first entry.
                    Bytes above = key;
                    above.push_back(0xff);
                    above.push_back(0xff);
                    above.push_back(0xff);
                    IndexCursor after = reader.seek(above);
                    if (firstOfKey + rows.size() < all.size()) {
                        ASSERT_TRUE(after.next());
                        EXPECT_EQ(after.entry().row, all[firstOfKey + rows.size()].row);
                    }
                    EXPECT_TRUE(reader.lookup(above).empty());
                    firstOfKey += rows.size();
                    ++checkedKeys;
                }
                IndexCursor none = reader.seek(Bytes{0xff, 0xff, 0xff, 0xff, 0xff});
                if (!all.empty() && all.back().key < Bytes{0xff, 0xff, 0xff, 0xff, 0xff}) {
                    EXPECT_FALSE(none.next());
                }
            }
        }
    }
    EXPECT_GT(checkedKeys, 1000u);
}

TEST(IndexReader, LookupOfEachRowsKeyFindsThatRowInMultiLevelTrees) {
    // Keys from the rows' values (encoded independently of the pages) must lead the
    // descent through the intermediate pages to the row's own entry.
    size_t found = 0;
    for (const char* rel : {"V2000/compIndexTestV2000.mdb", "V1997/compIndexTestV1997.mdb",
                            "V1997/testIndexCodesV1997.mdb"}) {
        auto db = Database::open((tdv::test::testdataDir() / rel).string());
        for (const auto& name : db->tableNames()) {
            const TableDef& t = db->table(name);
            for (const IndexDef& idx : t.indexes) {
                if ((*db->pages().read(idx.rootPage))[0] != kIndexIntermediatePage) continue;
                SCOPED_TRACE(std::string(rel) + " " + name + "." + idx.name);
                IndexReader reader(*db, t, idx);
                TableScan scan = db->scan(t);
                while (scan.next()) {
                    Bytes key;
                    try {
                        key = encodeIndexKey(t, idx, scan.values(), db->info().version);
                    } catch (const Error& e) {
                        ASSERT_EQ(e.kind(), ErrorKind::Unsupported) << e.what();
                        continue;
                    }
                    auto rows = reader.lookup(key);
                    EXPECT_NE(std::find(rows.begin(), rows.end(), scan.rowId()), rows.end());
                    IndexCursor c = reader.seek(key);
                    ASSERT_TRUE(c.next());
                    EXPECT_EQ(c.entry().key, key);
                    ++found;
                }
            }
        }
    }
    EXPECT_GT(found, 1000u);
}

class DamagedIndex : public ::testing::TestWithParam<const char*> {};

TEST_P(DamagedIndex, IsReportedNeverCrashesOrHangs) {
    fs::path original = tdv::test::testdataDir() / GetParam();
    Damaged d = findMultiPageIndex(original);
    ASSERT_FALSE(d.table.empty());
    auto info = Database::open(original.string())->info();
    const IndexPageLayout& layout = indexPageLayout(info.version);
    const uint64_t ps = info.pageSize;

    // The root's first child and that leaf's successor.
    auto db = Database::open(original.string());
    IndexPage root = decodeIndexPage(*db->pages().read(d.root), d.root, layout, {});
    ASSERT_FALSE(root.entries.empty());
    uint32_t firstLeaf = root.entries[0].child;
    IndexPage leaf = decodeIndexPage(*db->pages().read(firstLeaf), firstLeaf, layout, {});
    ASSERT_NE(leaf.next, 0u);
    db.reset();

    tdv::test::TempDir dir;
    struct Case {
        const char* what;
        uint64_t offset;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> loopBack, farAway, header;
    put32(loopBack, firstLeaf);
    put32(farAway, 0x00FFFFFF);
    put32(header, 0);
    std::vector<Case> cases = {
        // the successor's next link points back at the first leaf: a loop
        {"chain loop", leaf.next * ps + layout.nextOffset, loopBack},
        // the first leaf's next link points outside the file
        {"chain out of range", firstLeaf * ps + layout.nextOffset, farAway},
        // the root loses its tail: the last leaves are cut off the tree
        {"tail removed", d.root * ps + layout.tailOffset, header},
        // a bitmap bit past the end of the page area / a 1-byte first entry
        {"entry beyond page", firstLeaf * ps + layout.firstEntryOffset() - 1, {0xff}},
        {"entry too short", firstLeaf * ps + layout.bitmapOffset, {0x02}},
        // the prefix length longer than the first entry
        {"prefix too long", firstLeaf * ps + layout.prefixOffset, {0xf0}},
        // a leaf page turned into a data page
        {"wrong page type", firstLeaf * ps, {0x01}},
        // an entry's row pointer changed: it no longer names a live row
        {"row pointer",
         firstLeaf * ps + layout.firstEntryOffset() + leaf.entries[0].key.size(),
         {0x7f, 0x7f, 0x7f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::path copy = dir.path() / (std::string(c.what) + ".mdb");
        fs::copy_file(original, copy);
        patch(copy, c.offset, c.bytes);
        EXPECT_TRUE(damageNoticed(copy, d));
    }
}

TEST_P(DamagedIndex, RandomByteDamageNeverCrashesOrHangs) {
    fs::path original = tdv::test::testdataDir() / GetParam();
    Damaged d = findMultiPageIndex(original);
    ASSERT_FALSE(d.table.empty());
    std::ifstream in(original, std::ios::binary);
    const std::vector<uint8_t> pristine((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
    auto info = Database::open(original.string())->info();
    const IndexPageLayout& layout = indexPageLayout(info.version);

    // The index's pages: the root and every page it references, read once from the original.
    std::vector<uint32_t> pages{d.root};
    {
        auto db = Database::open(original.string());
        IndexPage root = decodeIndexPage(*db->pages().read(d.root), d.root, layout, {});
        for (const auto& e : root.entries) pages.push_back(e.child);
        if (root.tail != 0) pages.push_back(root.tail);
    }

    std::mt19937 random(12345);
    size_t noticed = 0;
    for (int round = 0; round < 150; ++round) {
        std::vector<uint8_t> bytes = pristine;
        uint32_t page = pages[random() % pages.size()];
        // A few bytes of the header, bitmap or entries.
        for (int k = 0; k < 3; ++k) {
            uint64_t at =
                uint64_t{page} * info.pageSize + random() % (layout.firstEntryOffset() + 64);
            bytes[at] = static_cast<uint8_t>(random());
        }
        MemoryFileSystem mfs;
        mfs.addFile("/damaged.mdb", std::move(bytes));
        auto db = Database::open("/damaged.mdb", mfs);
        const TableDef& t = db->table(d.table);
        const IndexDef& idx = *t.findIndex(d.index);
        try {
            IndexReader reader(*db, t, idx);
            IndexCursor c = reader.all();
            size_t n = 0;
            while (c.next()) ASSERT_LT(++n, 100000u);
            reader.lookup(Bytes{0x7f, 0x80});
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
        }
        if (!checkIndex(*db, t, idx).empty()) ++noticed;
    }
    EXPECT_GT(noticed, 50u);
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedIndex,
                         ::testing::Values("V2000/compIndexTestV2000.mdb",
                                           "V1997/compIndexTestV1997.mdb",
                                           "V1997/testIndexCodesV1997.mdb"));
