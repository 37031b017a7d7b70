// Index page decoding and tree walks over hand-built pages (Jet 3 and Jet 4 layouts):
// prefix compression, entry bitmap, intermediate entries and tails, seek across pages,
// and damaged pages (loops, bad lengths, bad page numbers) that must raise Error(Corrupt).
#include "jet/index_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "jet/error.h"
#include "jet/index_reader.h"
#include "jet/memory_file.h"
#include "jet/page_file.h"

using namespace jet;

namespace {

Bytes entryBytes(const IndexPageEntry& e, bool leaf) {
    Bytes b = e.key;
    b.push_back(static_cast<uint8_t>(e.row.page >> 16));
    b.push_back(static_cast<uint8_t>(e.row.page >> 8));
    b.push_back(static_cast<uint8_t>(e.row.page));
    b.push_back(static_cast<uint8_t>(e.row.row));
    if (!leaf) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(e.child >> s));
    }
    return b;
}

void put32(std::vector<uint8_t>& p, uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct PageSpec {
    bool leaf = true;
    uint32_t owner = 2;
    uint32_t prev = 0, next = 0, tail = 0;
    std::vector<IndexPageEntry> entries;
    int prefix = -1;  // -1: the longest prefix all entries share
};

// Writes a page the way Access lays it out: first entry whole, later entries without the
// shared prefix, one bitmap bit at the end of each entry.
std::vector<uint8_t> buildPage(const PageSpec& page, const IndexPageLayout& layout) {
    std::vector<uint8_t> p(layout.pageSize, 0);
    p[0] = page.leaf ? kIndexLeafPage : kIndexIntermediatePage;
    p[1] = 1;
    put32(p, layout.ownerOffset, page.owner);
    put32(p, layout.prevOffset, page.prev);
    put32(p, layout.nextOffset, page.next);
    put32(p, layout.tailOffset, page.tail);
    std::vector<Bytes> whole;
    for (const auto& e : page.entries) whole.push_back(entryBytes(e, page.leaf));
    size_t prefix = 0;
    if (page.prefix >= 0) {
        prefix = static_cast<size_t>(page.prefix);
    } else if (whole.size() > 1) {
        prefix = whole[0].size() - 1;
        for (const Bytes& w : whole) {
            size_t n = 0;
            while (n < prefix && n < w.size() && w[n] == whole[0][n]) ++n;
            prefix = n;
        }
    }
    p[layout.prefixOffset] = static_cast<uint8_t>(prefix);
    if (layout.prefixSize == 2) p[layout.prefixOffset + 1] = static_cast<uint8_t>(prefix >> 8);
    uint32_t at = 0;
    for (size_t i = 0; i < whole.size(); ++i) {
        size_t skip = i == 0 ? 0 : prefix;
        std::copy(whole[i].begin() + skip, whole[i].end(),
                  p.begin() + layout.firstEntryOffset() + at);
        at += static_cast<uint32_t>(whole[i].size() - skip);
        p[layout.bitmapOffset + at / 8] |= static_cast<uint8_t>(1u << (at % 8));
    }
    uint32_t free = layout.pageSize - layout.firstEntryOffset() - at;
    p[2] = static_cast<uint8_t>(free);
    p[3] = static_cast<uint8_t>(free >> 8);
    return p;
}

IndexPageEntry leafEntry(Bytes key, uint32_t page, uint8_t row) {
    return IndexPageEntry{std::move(key), RowId{page, row}, 0};
}

const IndexLocation kWhere{"T", "PK"};

// Key of entry i of the synthetic tree: a flag byte and a big-endian number; keys repeat in
// pairs so lookups find two rows, and equal keys straddle a page boundary.
Bytes keyOf(int i) {
    int v = i / 2;
    return Bytes{0x7f, static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}
RowId rowOf(int i) {
    return RowId{static_cast<uint32_t>(100 + i / 10), static_cast<uint8_t>(i % 10)};
}

// A three-level tree in memory: root 1 -> intermediate pages 2 and 3 (3 is the root's
// tail) -> leaves 4..9 (the last child of each intermediate page is its tail).
class SyntheticTree {
public:
    static constexpr int kPerLeaf = 7;
    static constexpr int kLeaves = 6;
    static constexpr int kEntries = kPerLeaf * kLeaves;

    explicit SyntheticTree(JetVersion version) : layout_(indexPageLayout(version)) {
        for (int leaf = 0; leaf < kLeaves; ++leaf) {
            PageSpec s;
            s.prev = leaf == 0 ? 0 : 4 + leaf - 1;
            s.next = leaf + 1 == kLeaves ? 0 : 4 + leaf + 1;
            for (int i = leaf * kPerLeaf; i < (leaf + 1) * kPerLeaf; ++i)
                s.entries.push_back(leafEntry(keyOf(i), rowOf(i).page, rowOf(i).row));
            leaves_.push_back(s);
        }
        // Intermediate 2 covers leaves 4,5 (+ tail 6); intermediate 3 covers 7,8 (+ tail 9).
        for (int node = 0; node < 2; ++node) {
            PageSpec s;
            s.leaf = false;
            s.prev = node == 0 ? 0 : 2;
            s.next = node == 0 ? 3 : 0;
            for (int c = 0; c < 2; ++c) {
                int leaf = node * 3 + c;
                int last = (leaf + 1) * kPerLeaf - 1;
                s.entries.push_back({keyOf(last), rowOf(last), static_cast<uint32_t>(4 + leaf)});
            }
            s.tail = 4 + node * 3 + 2;
            nodes_.push_back(s);
        }
        root_.leaf = false;
        int lastOfNode2 = 3 * kPerLeaf - 1;
        root_.entries.push_back({keyOf(lastOfNode2), rowOf(lastOfNode2), 2});
        root_.tail = 3;
    }

    std::vector<uint8_t> file() const {
        std::vector<uint8_t> bytes;
        auto append = [&](const std::vector<uint8_t>& p) {
            bytes.insert(bytes.end(), p.begin(), p.end());
        };
        append(std::vector<uint8_t>(layout_.pageSize, 0));
        append(buildPage(root_, layout_));
        for (const auto& n : nodes_) append(buildPage(n, layout_));
        for (const auto& l : leaves_) append(buildPage(l, layout_));
        return bytes;
    }

    PageSpec root_;
    std::vector<PageSpec> nodes_;   // pages 2, 3
    std::vector<PageSpec> leaves_;  // pages 4..9
    const IndexPageLayout& layout_;
};

PageFile openBytes(std::vector<uint8_t> bytes, uint32_t pageSize) {
    return PageFile(std::make_unique<MemoryFile>(std::move(bytes), false), pageSize);
}

std::vector<IndexEntry> collect(IndexCursor cursor) {
    std::vector<IndexEntry> out;
    while (cursor.next()) out.push_back(cursor.entry());
    return out;
}

void expectCorrupt(const std::function<void()>& f, const std::string& fragment) {
    try {
        f();
        FAIL() << "no error; expected one mentioning " << fragment;
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
        EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("index 'PK' of table 'T'"), std::string::npos)
            << e.what();
    }
}

class IndexTree : public ::testing::TestWithParam<JetVersion> {
protected:
    const IndexPageLayout& layout() const { return indexPageLayout(GetParam()); }
};

}  // namespace

TEST(IndexPageLayout, EntryAreaStartsAfterTheBitmap) {
    EXPECT_EQ(indexPageLayout(JetVersion::Jet3).firstEntryOffset(), 0xf8u);
    EXPECT_EQ(indexPageLayout(JetVersion::Jet4).firstEntryOffset(), 0x1e0u);
    // Jet 4's bitmap could address more bytes than the page holds.
    EXPECT_EQ(indexPageLayout(JetVersion::Jet4).entryAreaSize(), 4096u - 0x1e0u);
}

TEST(IndexKeys, CompareUnsignedBytesThenLengthThenRow) {
    EXPECT_LT(compareKeys({0x7f, 0x01}, {0x7f, 0x80}), 0);
    EXPECT_LT(compareKeys({0x7f}, {0x7f, 0x00}), 0);
    EXPECT_EQ(compareKeys({0xff}, {0xff}), 0);
    EXPECT_GT(compareEntries({0x01}, {5, 0}, {0x01}, {4, 9}), 0);
    EXPECT_LT(compareEntries({0x01}, {9, 9}, {0x02}, {1, 0}), 0);
}

TEST_P(IndexTree, DecodesPrefixCompressedEntriesIncludingRowPointerBytes) {
    // Same key and same data page: the shared prefix reaches into the row pointer.
    PageSpec s;
    s.entries = {leafEntry({0x7f, 0x41, 0x42}, 0x010203, 1),
                 leafEntry({0x7f, 0x41, 0x42}, 0x010203, 2),
                 leafEntry({0x7f, 0x41, 0x43}, 0x000001, 0)};
    auto bytes = buildPage(s, layout());
    IndexPage page = decodeIndexPage(bytes, 7, layout(), kWhere);
    EXPECT_TRUE(page.leaf);
    EXPECT_EQ(page.prefixLength, 2u);
    ASSERT_EQ(page.entries.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(page.entries[i].key, s.entries[i].key) << i;
        EXPECT_EQ(page.entries[i].row, s.entries[i].row) << i;
    }

    s.entries.pop_back();  // two entries sharing key and page: prefix of 6 bytes
    bytes = buildPage(s, layout());
    page = decodeIndexPage(bytes, 7, layout(), kWhere);
    EXPECT_EQ(page.prefixLength, 6u);
    ASSERT_EQ(page.entries.size(), 2u);
    EXPECT_EQ(page.entries[1].key, (Bytes{0x7f, 0x41, 0x42}));
    EXPECT_EQ(page.entries[1].row, (RowId{0x010203, 2}));
}

TEST_P(IndexTree, DecodesIntermediateEntriesAndHeaderLinks) {
    PageSpec s;
    s.leaf = false;
    s.prev = 11;
    s.next = 12;
    s.tail = 13;
    s.owner = 77;
    s.entries = {{{0x7f, 0x10}, {20, 3}, 0x00010203}, {{0x7f, 0x20}, {21, 0}, 9}};
    IndexPage page = decodeIndexPage(buildPage(s, layout()), 5, layout(), kWhere);
    EXPECT_FALSE(page.leaf);
    EXPECT_EQ(page.owner, 77u);
    EXPECT_EQ(page.prev, 11u);
    EXPECT_EQ(page.next, 12u);
    EXPECT_EQ(page.tail, 13u);
    ASSERT_EQ(page.entries.size(), 2u);
    EXPECT_EQ(page.entries[0].child, 0x00010203u);
    EXPECT_EQ(page.entries[1].key, (Bytes{0x7f, 0x20}));
    EXPECT_EQ(page.entries[1].row, (RowId{21, 0}));
    EXPECT_EQ(page.entries[1].child, 9u);
    EXPECT_EQ(page.usedBytes + layout().firstEntryOffset() + page.freeSpace, layout().pageSize);
}

TEST_P(IndexTree, RejectsPagesWhoseEntriesDoNotFit) {
    PageSpec s;
    s.entries = {leafEntry({0x7f, 0x01}, 3, 0), leafEntry({0x7f, 0x02}, 3, 1)};
    const auto good = buildPage(s, layout());

    auto notIndex = good;
    notIndex[0] = 0x01;
    expectCorrupt([&] { decodeIndexPage(notIndex, 4, layout(), kWhere); }, "not an index page");

    auto beyond = good;  // a bitmap bit past the end of the page
    beyond[layout().firstEntryOffset() - 1] = 0x80;
    if (layout().bitmapSize * 8 > layout().pageSize - layout().firstEntryOffset()) {
        expectCorrupt([&] { decodeIndexPage(beyond, 4, layout(), kWhere); }, "beyond");
    }

    auto shortEntry = good;  // an entry of 2 bytes cannot hold a row pointer
    std::fill(shortEntry.begin() + layout().bitmapOffset,
              shortEntry.begin() + layout().firstEntryOffset(), 0);
    shortEntry[layout().bitmapOffset] = 0x04;
    expectCorrupt([&] { decodeIndexPage(shortEntry, 4, layout(), kWhere); }, "has only 2 bytes");

    auto longPrefix = good;
    longPrefix[layout().prefixOffset] = 200;
    expectCorrupt([&] { decodeIndexPage(longPrefix, 4, layout(), kWhere); }, "prefix length");

    EXPECT_NO_THROW(decodeIndexPage(good, 4, layout(), kWhere));
}

TEST_P(IndexTree, WalksAllLevelsInOrderAndSeeksAcrossPages) {
    SyntheticTree tree(GetParam());
    PageFile pf = openBytes(tree.file(), layout().pageSize);

    auto all = collect(openIndexCursor(pf, GetParam(), 1, nullptr, kWhere));
    ASSERT_EQ(all.size(), static_cast<size_t>(SyntheticTree::kEntries));
    for (int i = 0; i < SyntheticTree::kEntries; ++i) {
        EXPECT_EQ(all[i].key, keyOf(i)) << i;
        EXPECT_EQ(all[i].row, rowOf(i)) << i;
    }

    // Every key, including keys whose two entries sit on different leaves (6/7 straddle
    // leaves 4 and 5), and keys that fall between the existing ones.
    for (int i = 0; i < SyntheticTree::kEntries; i += 2) {
        Bytes key = keyOf(i);
        auto from = collect(openIndexCursor(pf, GetParam(), 1, &key, kWhere));
        ASSERT_EQ(from.size(), static_cast<size_t>(SyntheticTree::kEntries - i)) << i;
        EXPECT_EQ(from.front().row, rowOf(i));
        Bytes between = key;
        between.push_back(0x00);  // just above key, below the next one
        auto after = collect(openIndexCursor(pf, GetParam(), 1, &between, kWhere));
        ASSERT_EQ(after.size(), static_cast<size_t>(SyntheticTree::kEntries - i - 2)) << i;
    }
    Bytes beyondAll{0x80};
    EXPECT_TRUE(collect(openIndexCursor(pf, GetParam(), 1, &beyondAll, kWhere)).empty());
    Bytes belowAll{0x00};
    EXPECT_EQ(collect(openIndexCursor(pf, GetParam(), 1, &belowAll, kWhere)).size(),
              static_cast<size_t>(SyntheticTree::kEntries));
}

TEST_P(IndexTree, LoopsAndBadPageNumbersAreDamageNotHangs) {
    const uint32_t ps = layout().pageSize;
    auto walkAll = [&](const std::vector<uint8_t>& file) {
        PageFile pf = openBytes(file, ps);
        auto c = openIndexCursor(pf, GetParam(), 1, nullptr, kWhere);
        size_t n = 0;
        while (c.next()) ASSERT_LT(++n, 1000u);
    };
    auto withPage = [&](SyntheticTree& t, auto edit) {
        edit(t);
        return t.file();
    };

    {  // the last leaf links back to the first
        SyntheticTree t(GetParam());
        auto f = withPage(t, [](SyntheticTree& x) { x.leaves_.back().next = 4; });
        expectCorrupt([&] { walkAll(f); }, "reached twice");
    }
    {  // an intermediate entry points back at the root
        SyntheticTree t(GetParam());
        auto f = withPage(t, [](SyntheticTree& x) { x.nodes_[0].entries[0].child = 1; });
        expectCorrupt([&] { walkAll(f); }, "reached twice");
    }
    {  // a child beyond the end of the file
        SyntheticTree t(GetParam());
        auto f = withPage(t, [](SyntheticTree& x) { x.root_.entries[0].child = 5000; });
        expectCorrupt([&] { walkAll(f); }, "out of range");
    }
    {  // the leaf chain leads into the header page
        SyntheticTree t(GetParam());
        auto f = withPage(t, [](SyntheticTree& x) { x.leaves_[2].next = 0xFFFFFFu; });
        expectCorrupt([&] { walkAll(f); }, "out of range");
    }
    {  // a chain link to a page of another kind
        SyntheticTree t(GetParam());
        auto f = withPage(t, [](SyntheticTree& x) { x.leaves_[1].next = 3; });
        expectCorrupt([&] { walkAll(f); }, "intermediate page");
    }
    {  // a page of another table
        SyntheticTree t(GetParam());
        auto f = t.file();
        PageFile pf = openBytes(f, ps);
        expectCorrupt(
            [&] {
                auto c = openIndexCursor(pf, GetParam(), 1, nullptr, kWhere, 99);
                c.next();
            },
            "belongs to table definition 2");
    }
}

INSTANTIATE_TEST_SUITE_P(Versions, IndexTree, ::testing::Values(JetVersion::Jet3, JetVersion::Jet4),
                         [](const auto& info) {
                             return info.param == JetVersion::Jet3 ? std::string("Jet3")
                                                                   : std::string("Jet4");
                         });
