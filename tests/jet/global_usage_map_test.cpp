// The database's free-page map (page 1): read from real files, kept in step by every save
// (pages a save appends are in use, released pages free, an outgrown inline window becomes
// a reference map) and verified by the checker.
#include "jet/global_usage_map.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/db_check.h"
#include "jet/page_file.h"
#include "jet/table_create.h"
#include "jet/table_writer.h"

using namespace jet;
using tdv::test::runCommand;
using tdv::test::shellQuote;
using tdv::test::TempDir;

namespace {

std::set<uint32_t> freePagesOf(const std::string& path) {
    auto db = Database::open(path);
    return readFreePages(db->pages(), db->format());
}

// Bytes of row 0 of page 1.
std::vector<uint8_t> mapRow(Database& db) {
    Page p = db.pages().read(1);
    ByteView view(p->data(), p->size());
    RowSlot slot = dataPageRowChecked(view, db.format(), 0);
    return {p->begin() + long(slot.start), p->begin() + long(slot.end)};
}

std::vector<std::string> problems(const std::string& path) {
    auto db = Database::open(path);
    std::vector<std::string> out;
    for (const Problem& p : checkDatabase(*db)) out.push_back(p.describe());
    return out;
}

NewTable notesTable() {
    NewTable t;
    t.name = "Notes";
    NewColumn id{"ID", ColumnType::Long};
    NewColumn text{"Text", ColumnType::Memo};
    t.columns = {id, text};
    t.indexes = {{"PrimaryKey", {{"ID", true}}, true, false, false}};
    return t;
}

// Adds `rows` rows of about `memoBytes` bytes each to a new table Notes, in one save.
void addNotes(const std::string& path, int rows, size_t memoBytes) {
    auto db = Database::open(path, OpenOptions{.writable = true, .sync = false});
    if (!db->hasTable("Notes")) createTable(*db, notesTable());
    TableWriter writer(*db, "Notes");
    SaveScope save(*db);
    for (int i = 0; i < rows; ++i)
        writer.insert({Value(Value::Storage(int32_t{i})),
                       Value::text(std::string(memoBytes, char('a' + i % 26)))});
    save.commit();
}

size_t exportedRows(const std::string& path, const std::string& table) {
    auto r = runCommand("mdb-export " + shellQuote(path) + " " + shellQuote(table) + " | wc -l");
    EXPECT_EQ(r.status, 0) << r.err;
    return std::stoul(r.out) - 1;
}

}  // namespace

TEST(FreePageMap, ReadsTheFreePagesOfRealFiles) {
    auto dir = tdv::test::testdataDir();
    EXPECT_EQ(freePagesOf((dir / "V2000/indexTestV2000.mdb").string()),
              (std::set<uint32_t>{38, 39, 59}));
    EXPECT_EQ(freePagesOf((dir / "V2000/testV2000.mdb").string()), std::set<uint32_t>{});
    // A reference map without map pages, and stray bytes in its last slot.
    EXPECT_EQ(freePagesOf((dir / "V2000/testRefGlobalV2000.mdb").string()), std::set<uint32_t>{});
    EXPECT_EQ(freePagesOf((dir / "V1997/testV1997.mdb").string()),
              (std::set<uint32_t>{36, 37, 43}));
    for (const auto& file : tdv::test::allTestDatabases())
        EXPECT_NO_THROW(freePagesOf(file.string())) << file;
}

TEST(FreePageMap, NewPagesComeFromFreePagesFirstAndAppendedOnesAreNotFree) {
    for (const char* name : {"V2000/indexTestV2000.mdb", "jet4-empty/empty.mdb"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        std::string path = dir.copy(tdv::test::testdataDir() / name).string();
        const std::set<uint32_t> before = freePagesOf(path);
        const uint32_t pagesBefore = Database::open(path)->info().pageCount;
        addNotes(path, 40, 3000);

        auto db = Database::open(path);
        ASSERT_GT(db->pages().pageCount(), pagesBefore + 20);
        // The free pages were used before the file grew.
        EXPECT_EQ(readFreePages(db->pages(), db->format()), std::set<uint32_t>{});
        // Within the inline window, pages past the new end stay marked free, as Access
        // leaves them.
        std::vector<uint8_t> row = mapRow(*db);
        ASSERT_EQ(row[0], 0);
        const uint32_t first = loadU32(row.data() + 1);
        ASSERT_EQ(first, 0u);
        for (uint32_t p = db->pages().pageCount(); p < (row.size() - 5) * 8; ++p)
            EXPECT_TRUE((row[5 + p / 8] >> (p % 8)) & 1) << p;
        EXPECT_EQ(problems(path), std::vector<std::string>{});
        EXPECT_EQ(exportedRows(path, "Notes"), 40u);
    }
}

// Rows deleted with their long values give their data and long-value pages back; the rows
// added again and long values rewritten take them instead of growing the file.
TEST(FreePageMap, DeletedRowsAndRewrittenLongValuesGiveTheirPagesBack) {
    TempDir dir;
    std::string path = dir.copy(tdv::test::testdataDir() / "V2000/indexTestV2000.mdb").string();
    addNotes(path, 60, 3000);
    const auto size = [&] { return std::filesystem::file_size(path); };
    const auto grown = size();
    {
        auto db = Database::open(path, OpenOptions{.writable = true, .sync = false});
        std::vector<RowId> ids;
        TableScan scan = db->scan(db->table("Notes"));
        while (scan.next()) ids.push_back(scan.rowId());
        TableWriter writer(*db, "Notes");
        SaveScope save(*db);
        for (RowId id : ids) writer.remove(id);
        save.commit();
        EXPECT_GT(readFreePages(db->pages(), db->format()).size(), 50u);
    }
    EXPECT_EQ(problems(path), std::vector<std::string>{});
    EXPECT_EQ(exportedRows(path, "Notes"), 0u);
    addNotes(path, 60, 3000);
    EXPECT_EQ(size(), grown);
    // Long values grown and shrunk again, one save per row.
    for (int round = 0; round < 4; ++round) {
        auto db = Database::open(path, OpenOptions{.writable = true, .sync = false});
        std::vector<std::pair<RowId, Value>> rows;
        TableScan scan = db->scan(db->table("Notes"));
        while (scan.next()) rows.emplace_back(scan.rowId(), scan.values()[0]);
        TableWriter writer(*db, "Notes");
        for (auto& [id, key] : rows)
            writer.update(id, {key, Value::text(std::string(round % 2 ? 3000 : 6000, 'x'))});
    }
    EXPECT_LE(size(), grown + grown / 2);
    EXPECT_EQ(problems(path), std::vector<std::string>{});
    EXPECT_EQ(exportedRows(path, "Notes"), 60u);
}

TEST(FreePageMap, ReleasedPagesBecomeFreeAndTheCheckerCatchesAPageInUseMarkedFree) {
    TempDir dir;
    std::string path = dir.copy(tdv::test::testdataDir() / "V2000/indexTestV2000.mdb").string();
    addNotes(path, 3, 100);
    uint32_t dataPage = 0;
    {
        auto db = Database::open(path, OpenOptions{.writable = true});
        TableScan scan = db->scan(db->table("Notes"));
        ASSERT_TRUE(scan.next());
        dataPage = scan.rowId().page;
        // A save that releases a page nothing uses: only the map changes.
        std::set<uint32_t> expected = readFreePages(db->pages(), db->format());
        db->pages().beginWrite();
        uint32_t spare = db->pages().append(std::vector<uint8_t>(db->pages().pageSize(), 0));
        db->pages().commit();
        db->pages().beginWrite();
        db->pages().release(spare);
        db->pages().commit();
        expected.insert(spare);
        EXPECT_EQ(readFreePages(db->pages(), db->format()), expected);
    }
    EXPECT_EQ(problems(path), std::vector<std::string>{});

    // Releasing a page the table still owns is damage the checker names.
    {
        auto db = Database::open(path, OpenOptions{.writable = true});
        db->pages().beginWrite();
        db->pages().release(dataPage);
        db->pages().commit();
    }
    auto found = problems(path);
    ASSERT_FALSE(found.empty());
    EXPECT_NE(found.front().find("page " + std::to_string(dataPage)), std::string::npos)
        << found.front();
    EXPECT_NE(found.front().find("marked free"), std::string::npos) << found.front();
}

// Whatever uses a page (here a table definition, which no map lists), the checker names it
// when the map marks the page free.
TEST(FreePageMap, TheCheckerNamesAnyPageInUseMarkedFree) {
    TempDir dir;
    std::string path = dir.copy(tdv::test::testdataDir() / "V2000/indexTestV2000.mdb").string();
    addNotes(path, 3, 100);
    uint32_t definition = 0;
    {
        auto db = Database::open(path, OpenOptions{.writable = true});
        definition = db->table("Notes").definitionPage;
        Page p = db->pages().read(1);
        std::vector<uint8_t> bytes(*p);
        RowSlot slot = dataPageRowChecked(ByteView(p->data(), p->size()), db->format(), 0);
        uint8_t* row = bytes.data() + slot.start;
        ASSERT_EQ(row[0], 0);
        const uint32_t bit = definition - loadU32(row + 1);
        ASSERT_LT(bit, (slot.end - slot.start - 5) * 8);
        row[5 + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        db->pages().beginWrite();
        db->pages().write(1, bytes);
        db->pages().commit();
    }
    auto found = problems(path);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NE(found[0].find("page " + std::to_string(definition)), std::string::npos) << found[0];
    EXPECT_NE(found[0].find("the definition of table 'Notes' is marked free"), std::string::npos)
        << found[0];
}

TEST(FreePageMap, RolledBackSaveLeavesTheMapAsItWas) {
    TempDir dir;
    std::string path = dir.copy(tdv::test::testdataDir() / "V2000/indexTestV2000.mdb").string();
    auto db = Database::open(path, OpenOptions{.writable = true});
    std::vector<uint8_t> before = mapRow(*db);
    db->pages().beginWrite();
    db->pages().append(std::vector<uint8_t>(db->pages().pageSize(), 0));
    db->pages().release(40);
    db->pages().rollback();
    EXPECT_EQ(mapRow(*db), before);
    EXPECT_EQ(freePagesOf(path), (std::set<uint32_t>{38, 39, 59}));
}

TEST(FreePageMap, AFileOutgrowingTheInlineWindowGetsAReferenceMap) {
    for (const char* name : {"jet4-empty/empty.mdb", "V1997/testV1997.mdb"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        std::string path = dir.copy(tdv::test::testdataDir() / name).string();
        const std::set<uint32_t> before = freePagesOf(path);
        auto db0 = Database::open(path);
        const size_t window = (mapRow(*db0).size() - 5) * 8;
        const bool jet3 = db0->info().version == JetVersion::Jet3;
        db0.reset();
        if (jet3) {
            // No new tables in Jet 3 files: grow the file with a save of raw pages and
            // release one past the old window.
            auto db = Database::open(path, OpenOptions{.writable = true, .sync = false});
            db->pages().beginWrite();
            uint32_t last = 0;
            while (db->pages().pageCount() < window + 20)
                last = db->pages().append(std::vector<uint8_t>(db->pages().pageSize(), 0));
            db->pages().release(last);
            db->pages().commit();
            std::set<uint32_t> expected = before;
            expected.insert(last);
            EXPECT_EQ(readFreePages(db->pages(), db->format()), expected);
            EXPECT_EQ(mapRow(*db)[0], 1);
        } else {
            // About one page per row: the file passes the window's last page.
            addNotes(path, int(window) + 40, 3900);
            auto db = Database::open(path);
            ASSERT_GT(db->pages().pageCount(), window);
            EXPECT_EQ(mapRow(*db)[0], 1);
            EXPECT_EQ(readFreePages(db->pages(), db->format()), before);
            EXPECT_EQ(problems(path), std::vector<std::string>{});
            EXPECT_EQ(exportedRows(path, "Notes"), window + 40);
        }
        auto r = runCommand("mdb-tables -S -1 " + shellQuote(path));
        EXPECT_EQ(r.status, 0) << r.err;
    }
}
