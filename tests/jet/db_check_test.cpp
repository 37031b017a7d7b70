// checkDatabase: clean on every real file; each kind of damage made on a copy is reported
// with where it is, without a crash or a hang.
#include "jet/db_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/create_db.h"
#include "jet/data_page.h"
#include "jet/format.h"
#include "jet/index_owned_pages.h"
#include "jet/index_page.h"
#include "jet/index_page_encode.h"
#include "jet/page_file.h"
#include "jet/row_fields.h"

using namespace jet;
namespace fs = std::filesystem;

namespace {

// Whole pages of a copy, read and written behind the engine's back.
class Patcher {
public:
    Patcher(fs::path path, uint32_t pageSize) : path_(std::move(path)), pageSize_(pageSize) {}
    std::vector<uint8_t> read(uint32_t n) const {
        std::ifstream in(path_, std::ios::binary);
        std::vector<uint8_t> page(pageSize_);
        in.seekg(std::streamoff{n} * pageSize_);
        in.read(reinterpret_cast<char*>(page.data()), pageSize_);
        return page;
    }
    void write(uint32_t n, const std::vector<uint8_t>& page) const {
        std::fstream out(path_, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(std::streamoff{n} * pageSize_);
        out.write(reinterpret_cast<const char*>(page.data()), pageSize_);
    }

private:
    fs::path path_;
    uint32_t pageSize_;
};

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t get32(const std::vector<uint8_t>& b, size_t at) {
    return loadU32(b.data() + at);
}

std::vector<std::string> problemsOf(const fs::path& file) {
    auto db = Database::open(file.string());
    std::vector<std::string> out;
    for (const Problem& p : checkDatabase(*db)) out.push_back(p.describe());
    return out;
}

bool mentions(const std::vector<std::string>& lines, const std::string& a,
              const std::string& b = "") {
    for (const auto& l : lines)
        if (l.find(a) != std::string::npos && l.find(b) != std::string::npos) return true;
    return false;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\n";
    return s;
}

// A copy of a real file and the engine's view of its page size and a table.
struct Damaged {
    tdv::test::TempDir dir;
    fs::path file;
    std::shared_ptr<Database> db;
    std::unique_ptr<Patcher> patch;

    explicit Damaged(const std::string& relative) {
        file = dir.copy(tdv::test::testdataDir() / relative);
        db = Database::open(file.string());
        patch = std::make_unique<Patcher>(file, db->info().pageSize);
    }
    // Bytes of row `row` of page n and where they start.
    std::pair<std::vector<uint8_t>, RowSlot> row(uint32_t n, uint16_t r) const {
        std::vector<uint8_t> page = patch->read(n);
        RowSlot slot = dataPageRowChecked(ByteView(page.data(), page.size()), db->format(), r);
        return {page, slot};
    }
};

TEST(DbCheck, EveryRealFileIsClean) {
    for (const fs::path& file : tdv::test::allTestDatabases()) {
        SCOPED_TRACE(file.string());
        auto db = Database::open(file.string());
        CheckReport report = checkDatabaseReport(*db);
        EXPECT_TRUE(report.clean()) << joined(problemsOf(file));
        EXPECT_GT(report.tables, 0u);
        EXPECT_GT(report.indexes, 0u);
    }
}

TEST(DbCheck, CountsWhatItChecked) {
    auto db = Database::open((tdv::test::testdataDir() / "V2000/indexTestV2000.mdb").string());
    CheckReport report = checkDatabaseReport(*db);
    size_t rows = 0;
    for (const auto& name : db->allTableNames()) {
        TableScan scan = db->scan(db->table(name));
        while (scan.next()) ++rows;
    }
    EXPECT_EQ(report.rows, rows);
    EXPECT_EQ(report.tables, db->allTableNames().size());
}

TEST(DbCheck, WrongRowCountInDefinition) {
    Damaged d("V2000/indexTestV2000.mdb");
    const TableDef& t = d.db->table("Table1");
    std::vector<uint8_t> page = d.patch->read(t.definitionPage);
    put32(page, d.db->format().tdefRowCountOffset, t.rowCount + 1);
    d.patch->write(t.definitionPage, page);
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(problems, "table 'Table1'", "records " + std::to_string(t.rowCount + 1)))
        << joined(problems);
}

TEST(DbCheck, PageRemovedFromOwnedPagesMap) {
    for (const char* file : {"V2000/indexTestV2000.mdb", "V1997/indexTestV1997.mdb"}) {
        SCOPED_TRACE(file);
        Damaged d(file);
        const TableDef& t = d.db->table("Table1");
        RowPointer map = RowPointer::fromRaw(t.usedPagesMapRow);
        auto [page, slot] = d.row(map.page, map.row);
        ASSERT_EQ(page[slot.start], 0) << "expected an inline map";
        uint32_t first = get32(page, slot.start + 1);
        uint32_t removed = 0;
        for (size_t bit = 0; bit < (slot.end - slot.start - 5) * 8 && removed == 0; ++bit) {
            uint8_t& byte = page[slot.start + 5 + bit / 8];
            if (byte & (1u << (bit % 8))) {
                byte &= static_cast<uint8_t>(~(1u << (bit % 8)));
                removed = first + static_cast<uint32_t>(bit);
            }
        }
        ASSERT_NE(removed, 0u);
        d.patch->write(map.page, page);
        auto problems = problemsOf(d.file);
        EXPECT_TRUE(mentions(problems, "page " + std::to_string(removed), "owned-pages map"))
            << joined(problems);
        EXPECT_TRUE(mentions(problems, "table 'Table1'", "live rows")) << joined(problems);
    }
}

// The first leaf page of the table's primary key (single-level in these files).
IndexPage primaryKeyLeaf(Damaged& d, const TableDef& t, const IndexPageLayout& layout) {
    const IndexDef* pk = t.findIndex("PrimaryKey");
    EXPECT_NE(pk, nullptr);
    std::vector<uint8_t> bytes = d.patch->read(pk->rootPage);
    IndexPage page = decodeIndexPage(bytes, pk->rootPage, layout, {t.name, pk->name});
    EXPECT_TRUE(page.leaf);
    EXPECT_GE(page.entries.size(), 2u);
    return page;
}

TEST(DbCheck, CorruptIndexKey) {
    Damaged d("V2000/indexTestV2000.mdb");
    const TableDef& t = d.db->table("Table2");
    const IndexPageLayout& layout = indexPageLayout(d.db->info().version);
    IndexPage leaf = primaryKeyLeaf(d, t, layout);
    // A different value in the last key byte of the first entry: still in order, wrong key.
    leaf.entries[0].key.back() ^= 0x01;
    std::sort(leaf.entries.begin(), leaf.entries.end(), [](const auto& a, const auto& b) {
        return compareEntries(a.key, a.row, b.key, b.row) < 0;
    });
    d.patch->write(leaf.number, encodeIndexPage(leaf, layout));
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(problems, "index 'PrimaryKey' of table 'Table2'", "the row's values give"))
        << joined(problems);
}

// A tree three levels deep (long keys, few per page), one intermediate page's next-page
// link cut: every level, not only the leaves, must be one chain in tree order.
TEST(DbCheck, BrokenSiblingLinkOnAnIntermediateLevel) {
    tdv::test::TempDir dir;
    const fs::path file = dir.path() / "deep.mdb";
    {
        NewTableWithRows t;
        t.table.name = "Deep";
        t.table.columns = {{"ID", ColumnType::Long}, {"Name", ColumnType::Text, 255}};
        t.table.indexes = {{"Name", {{"Name"}}}};
        for (int i = 0; i < 1000; ++i)
            t.rows.push_back({Value(Value::Storage(int32_t{i})),
                              Value::text(std::to_string(10000 + i) + std::string(240, 'q'))});
        NewDatabase desc;
        desc.tables.push_back(std::move(t));
        createDatabase(file.string(), desc);
    }
    ASSERT_EQ(problemsOf(file), std::vector<std::string>{});
    Damaged d(file.string());
    const TableDef& t = d.db->table("Deep");
    const IndexDef* ix = t.findIndex("Name");
    ASSERT_NE(ix, nullptr);
    const IndexPageLayout& layout = indexPageLayout(d.db->info().version);
    auto decode = [&](uint32_t n) { return decodeIndexPage(d.patch->read(n), n, layout, {}); };
    IndexPage root = decode(ix->rootPage);
    ASSERT_FALSE(root.leaf);
    ASSERT_FALSE(root.entries.empty());
    IndexPage first = decode(root.entries.front().child);
    ASSERT_FALSE(first.leaf) << "expected three levels";
    ASSERT_NE(first.next, 0u);
    const uint32_t next = first.next;
    std::vector<uint8_t> bytes = d.patch->read(first.number);
    put32(bytes, layout.nextOffset, 0);
    d.patch->write(first.number, bytes);
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(problems, "page " + std::to_string(first.number),
                         "level 1: next-page link 0, expected " + std::to_string(next)))
        << joined(problems);
}

TEST(DbCheck, SwappedIndexEntries) {
    for (const char* file : {"V2000/indexTestV2000.mdb", "V1997/indexTestV1997.mdb"}) {
        SCOPED_TRACE(file);
        Damaged d(file);
        const TableDef& t = d.db->table("Table1");
        const IndexPageLayout& layout = indexPageLayout(d.db->info().version);
        IndexPage leaf = primaryKeyLeaf(d, t, layout);
        std::swap(leaf.entries[0], leaf.entries[1]);
        d.patch->write(leaf.number, encodeIndexPage(leaf, layout));
        auto problems = problemsOf(d.file);
        EXPECT_TRUE(mentions(problems, "index 'PrimaryKey' of table 'Table1'", "not after"))
            << joined(problems);
    }
}

// The first row holding a long value stored outside the row (on a page of its own or in a
// chain).
struct LongValueSpot {
    uint32_t page = 0;
    size_t fieldOffset = 0;  // of the 12-byte reference within the page
    bool singlePage = false;
    RowPointer target;  // the value's (first) row
};

std::vector<LongValueSpot> findLongValues(Damaged& d, size_t wanted) {
    std::vector<LongValueSpot> out;
    const Format& f = d.db->format();
    for (const auto& name : d.db->allTableNames()) {
        const TableDef& t = d.db->table(name);
        TableScan scan = d.db->scan(t, ColumnMask(t.columns.size(), false));
        while (scan.next()) {
            RowId id = scan.rowId();
            Page p = d.db->pages().read(id.page);
            ByteView page(p->data(), p->size());
            RowSlot slot = dataPageRow(page, f, id.row);
            if (slot.lookup()) continue;
            ByteView row = page.sub(slot.start, slot.end - slot.start);
            for (const ColumnDef& c : t.columns) {
                if (!c.isLongValue()) continue;
                auto field = rawVariableField(row, f, t, c);
                if (!field || field->size() < 12) continue;
                uint32_t raw = field->u32(0);
                if ((raw & longvalue::kInline) || (raw & longvalue::kLengthMask) == 0) continue;
                out.push_back(LongValueSpot{id.page, static_cast<size_t>(field->data() - p->data()),
                                            (raw & longvalue::kSinglePage) != 0,
                                            RowPointer::fromRaw(field->u32(4))});
                if (out.size() == wanted) return out;
            }
        }
    }
    return out;
}

std::optional<LongValueSpot> findLongValue(Damaged& d) {
    auto spots = findLongValues(d, 1);
    if (spots.empty()) return std::nullopt;
    return spots[0];
}

constexpr const char* kLongValueFile = "V2000/testPromotionV2000.mdb";

TEST(DbCheck, LongValueChainLoop) {
    Damaged d(kLongValueFile);
    auto spot = findLongValue(d);
    ASSERT_TRUE(spot.has_value());
    // The value's first link points back at itself (a single-page value becomes a chain
    // longer than its one row).
    auto [lvPage, lvSlot] = d.row(spot->target.page, spot->target.row);
    put32(lvPage, lvSlot.start, spot->target.raw());
    d.patch->write(spot->target.page, lvPage);
    if (spot->singlePage) {
        std::vector<uint8_t> page = d.patch->read(spot->page);
        put32(page, spot->fieldOffset, static_cast<uint32_t>(lvSlot.end - lvSlot.start));
        d.patch->write(spot->page, page);
    }
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(problems, "page " + std::to_string(spot->page), "loops"))
        << joined(problems);
}

TEST(DbCheck, LongValueOnDeletedRow) {
    Damaged d(kLongValueFile);
    auto spot = findLongValue(d);
    ASSERT_TRUE(spot.has_value());
    std::vector<uint8_t> lv = d.patch->read(spot->target.page);
    size_t slotAt = d.db->format().dataRowTableOffset + 2u * spot->target.row;
    lv[slotAt + 1] |= 0x80;  // deleted flag
    d.patch->write(spot->target.page, lv);
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(problems, "page " + std::to_string(spot->page), "deleted"))
        << joined(problems);
}

TEST(DbCheck, LongValueRowUsedTwice) {
    Damaged d(kLongValueFile);
    auto spots = findLongValues(d, 2);
    ASSERT_EQ(spots.size(), 2u);
    std::vector<uint8_t> from = d.patch->read(spots[0].page);
    std::vector<uint8_t> to = d.patch->read(spots[1].page);
    if (spots[0].page == spots[1].page) from = to;
    std::copy(from.begin() + spots[0].fieldOffset, from.begin() + spots[0].fieldOffset + 12,
              to.begin() + spots[1].fieldOffset);
    d.patch->write(spots[1].page, to);
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(
        problems,
        "row " + std::to_string(spots[0].target.page) + ":" + std::to_string(spots[0].target.row),
        "is used by"))
        << joined(problems);
}

TEST(DbCheck, OverflowRowPointsElsewhere) {
    // (The Jet 3 files hold no live overflow rows.)
    for (const char* file : {"V2000/overflowTestV2000.mdb"}) {
        SCOPED_TRACE(file);
        Damaged d(file);
        const Format& f = d.db->format();
        std::optional<std::pair<uint32_t, uint16_t>> lookup;
        uint32_t definition = 0;
        for (const auto& name : d.db->tableNames()) {
            const TableDef& t = d.db->table(name);
            TableScan scan = d.db->scan(t, ColumnMask(t.columns.size(), false));
            while (scan.next() && !lookup) {
                Page p = d.db->pages().read(scan.rowId().page);
                RowSlot slot = dataPageRow(ByteView(p->data(), p->size()), f, scan.rowId().row);
                if (slot.lookup()) lookup.emplace(scan.rowId().page, scan.rowId().row);
            }
            if (lookup) {
                definition = t.definitionPage;
                break;
            }
        }
        ASSERT_TRUE(lookup.has_value());
        auto [page, slot] = d.row(lookup->first, lookup->second);
        put32(page, slot.start, RowPointer{definition, 0}.raw());  // a definition page
        d.patch->write(lookup->first, page);
        auto problems = problemsOf(d.file);
        EXPECT_TRUE(mentions(
            problems,
            "page " + std::to_string(lookup->first) + ", row " + std::to_string(lookup->second),
            "not a data page of this table"))
            << joined(problems);
    }
}

TEST(DbCheck, MapListsAnotherTablesPages) {
    Damaged d("V2000/indexTestV2000.mdb");
    const TableDef& t1 = d.db->table("Table1");
    const TableDef& t2 = d.db->table("Table2");
    // Table2's map made to list the pages Table1's map lists.
    RowPointer from = RowPointer::fromRaw(t1.usedPagesMapRow);
    RowPointer to = RowPointer::fromRaw(t2.usedPagesMapRow);
    auto [src, srcSlot] = d.row(from.page, from.row);
    auto [dst, dstSlot] = d.row(to.page, to.row);
    ASSERT_EQ(srcSlot.end - srcSlot.start, dstSlot.end - dstSlot.start);
    std::vector<uint8_t> bytes(src.begin() + srcSlot.start, src.begin() + srcSlot.end);
    std::vector<uint8_t> mine(dst.begin() + dstSlot.start, dst.begin() + dstSlot.end);
    for (size_t i = 5; i < bytes.size(); ++i) mine[i] |= bytes[i];
    mine[1] = bytes[1], mine[2] = bytes[2], mine[3] = bytes[3], mine[4] = bytes[4];
    std::copy(mine.begin(), mine.end(), dst.begin() + dstSlot.start);
    d.patch->write(to.page, dst);
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(problems, "table 'Table2'", "not a data page of the table"))
        << joined(problems);
}

TEST(DbCheck, IndexPageClaimedByTwoIndexes) {
    Damaged d("V2000/indexTestV2000.mdb");
    const TableDef& t1 = d.db->table("Table1");
    const TableDef& t2 = d.db->table("Table2");
    const IndexDef* pk1 = t1.findIndex("PrimaryKey");
    const IndexDef* pk2 = t2.findIndex("PrimaryKey");
    ASSERT_TRUE(pk1 && pk2);
    // In the definition, a physical index's page-map row pointer is followed by its root.
    uint32_t mapRow =
        realIndexOwnedPagesRow(d.db->pages(), d.db->format(), t2.definitionPage, pk2->realNumber);
    std::vector<uint8_t> page = d.patch->read(t2.definitionPage);
    size_t at = 0;
    for (size_t i = 0; i + 8 <= page.size() && at == 0; ++i)
        if (get32(page, i) == mapRow && get32(page, i + 4) == pk2->rootPage) at = i + 4;
    ASSERT_NE(at, 0u);
    put32(page, at, pk1->rootPage);
    d.patch->write(t2.definitionPage, page);
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(problems, "page " + std::to_string(pk1->rootPage) + ": page is used by",
                         "of table 'Table2'"))
        << joined(problems);
}

TEST(DbCheck, RowWithoutParentRow) {
    Damaged d("V2000/indexTestV2000.mdb");
    const TableDef& t1 = d.db->table("Table1");
    const ColumnDef& fk = t1.columns[*t1.findColumn("otherfk2")];
    ASSERT_TRUE(fk.fixed);
    TableScan scan = d.db->scan(t1);
    ASSERT_TRUE(scan.next());
    RowId id = scan.rowId();
    auto [page, slot] = d.row(id.page, id.row);
    ASSERT_FALSE(slot.lookup());
    // No Table3 row has id 9999 (the Table1 index on otherfk2 is left stale on purpose:
    // the relationship check reads the rows).
    put32(page, slot.start + d.db->format().rowColumnCountSize + fk.fixedOffset, 9999);
    d.patch->write(id.page, page);
    auto problems = problemsOf(d.file);
    EXPECT_TRUE(mentions(
        problems,
        "table 'Table1', page " + std::to_string(id.page) + ", row " + std::to_string(id.row),
        "a related record is required in table 'Table3'"))
        << joined(problems);
}

TEST(DbCheck, GarbagePagesNeverCrash) {
    Damaged d("V2000/indexTestV2000.mdb");
    uint32_t pages = d.db->info().pageCount;
    // Every third page after the catalog overwritten with a pattern.
    for (uint32_t n = 3; n < pages; n += 3) {
        std::vector<uint8_t> page = d.patch->read(n);
        for (size_t i = 1; i < page.size(); i += 7) page[i] = static_cast<uint8_t>(i * 31 + n);
        d.patch->write(n, page);
    }
    try {
        auto problems = problemsOf(d.file);
        EXPECT_FALSE(problems.empty());
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();  // the catalog itself unreadable
    }
}

}  // namespace
