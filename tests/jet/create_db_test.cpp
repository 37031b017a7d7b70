// New Jet 4 databases: the system tables, tables of every column type and index kind, and
// rows, read back by our engine (with every index checked) and by mdbtools.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <ranges>

#include "helpers/testdata.h"
#include "jet/bytes.h"
#include "jet/create_db.h"
#include "jet/database.h"
#include "jet/db_check.h"
#include "jet/format.h"
#include "jet/global_usage_map.h"
#include "jet/index_page.h"
#include "jet/index_reader.h"
#include "jet/page_file.h"
#include "jet/table_create.h"
#include "jet/table_writer.h"

using namespace jet;
using tdv::test::runCommand;
using tdv::test::shellQuote;
using tdv::test::TempDir;

namespace {

Value v(Value::Storage s) {
    return Value(std::move(s));
}

NewColumn column(const std::string& name, ColumnType type, uint32_t size = 0) {
    NewColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

NewTableWithRows everyTypeTable() {
    NewTableWithRows t;
    t.table.name = "Every Type";
    using CT = ColumnType;
    t.table.columns = {
        column("ID", CT::Long),    column("Flag", CT::Boolean),   column("B", CT::Byte),
        column("I", CT::Integer),  column("Cur", CT::Currency),   column("S", CT::Single),
        column("D", CT::Double),   column("When", CT::DateTime),  column("Name", CT::Text, 40),
        column("Notes", CT::Memo), column("Bin", CT::Binary, 16), column("Blob", CT::OLE),
        column("G", CT::Guid),     column("Dec", CT::Decimal)};
    t.table.columns.back().precision = 12;
    t.table.columns.back().scale = 3;
    t.table.indexes = {
        {"PrimaryKey", {{"ID", true}}, true, false, false},
        {"NameWhen", {{"Name", true}, {"When", false}}, false, false, false},
        {"UniqueG", {{"G", true}}, false, true, true},
        {"DecDown", {{"Dec", false}}, false, false, false},
    };
    Guid g;
    for (size_t i = 0; i < 16; ++i) g.bytes[i] = static_cast<uint8_t>(i * 17);
    Decimal dec;
    dec.negative = true;
    dec.precision = 12;
    dec.scale = 3;
    dec.mantissa = {12340, 0, 0};
    t.rows.push_back({v(int32_t{1}), v(true), v(uint8_t{200}), v(int16_t{-1234}),
                      v(Currency{123456}), v(1.5f), v(3.25), v(DateTime{45351.5}),
                      Value::text("Alpha"), Value::text("short memo"), v(Bytes{0, 255, 16}),
                      v(Bytes{1, 2, 3}), v(g), v(dec)});
    // Long values of every storage kind: inline, one long value row, a chain of rows.
    t.rows.push_back({v(int32_t{2}), v(false), Value(), Value(), Value(), Value(), Value(), Value(),
                      Value::text("beta"), Value::text(std::string(3000, 'm')), Value(),
                      v(Bytes(9000, 0xAB)), Value(), Value()});
    t.rows.push_back({v(int32_t{3}), v(false), Value(), Value(), v(Currency{-30000}), Value(),
                      Value(), Value(), Value::text("Gamma \xC3\xA9"), Value(), Value(), Value(),
                      Value(), Value()});
    return t;
}

std::vector<std::vector<Value>> readAll(Database& db, const std::string& table) {
    std::vector<std::vector<Value>> rows;
    TableScan scan = db.scan(db.table(table));
    while (scan.next()) rows.push_back(scan.values());
    return rows;
}

void expectIndexesSound(Database& db) {
    for (const std::string& name : db.allTableNames()) {
        const TableDef& t = db.table(name);
        for (const IndexDef& ix : t.indexes)
            EXPECT_EQ(checkIndex(db, t, ix), std::vector<std::string>{}) << name << "." << ix.name;
    }
}

std::filesystem::path create(const TempDir& dir, const NewDatabase& desc,
                             const std::string& name = "new.mdb") {
    auto path = dir.path() / name;
    createDatabase(path.string(), desc);
    return path;
}

NewDatabase fixedDate(NewDatabase desc) {
    desc.created = 45000.25;
    return desc;
}

}  // namespace

TEST(CreateDatabase, EmptyDatabaseHoldsTheSystemTables) {
    TempDir dir;
    auto path = create(dir, fixedDate({}));
    auto db = Database::open(path.string());
    EXPECT_EQ(db->info().version, JetVersion::Jet4);
    EXPECT_EQ(db->info().codePage, 1252);
    EXPECT_EQ(db->info().sortOrder, 0x409);
    EXPECT_EQ(db->tableNames(), std::vector<std::string>{});
    EXPECT_EQ(db->allTableNames(), (std::vector<std::string>{"MSysObjects", "MSysACEs",
                                                             "MSysQueries", "MSysRelationships"}));
    auto objects = readAll(*db, "MSysObjects");
    ASSERT_EQ(objects.size(), 8u);
    const TableDef& catalog = db->table("MSysObjects");
    EXPECT_EQ(objects[0][*catalog.findColumn("Name")], Value::text("Tables"));
    EXPECT_EQ(objects[0][*catalog.findColumn("DateCreate")], v(DateTime{45000.25}));
    EXPECT_EQ(catalog.rowCount, 8u);
    EXPECT_EQ(readAll(*db, "MSysACEs").size(), 16u);
    EXPECT_EQ(db->table("MSysACEs").rowCount, 16u);
    EXPECT_TRUE(readAll(*db, "MSysQueries").empty());
    expectIndexesSound(*db);

    auto r = runCommand("mdb-tables -S -1 " + shellQuote(path.string()));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "MSysObjects\nMSysACEs\nMSysQueries\nMSysRelationships\n");
}

TEST(CreateDatabase, EveryColumnTypeAndIndexKindReadsBack) {
    TempDir dir;
    NewDatabase desc;
    desc.tables.push_back(everyTypeTable());
    NewTableWithRows empty;
    empty.table.name = "Empty";
    empty.table.columns = {column("A", ColumnType::Text)};
    empty.table.indexes = {{"A", {{"A", true}}, false, false, false}};
    desc.tables.push_back(empty);
    auto path = create(dir, desc);

    auto db = Database::open(path.string());
    EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"Every Type", "Empty"}));
    const TableDef& t = db->table("Every Type");
    ASSERT_EQ(t.columns.size(), 14u);
    EXPECT_EQ(t.columns[8].length, 80);  // 40 characters
    EXPECT_EQ(t.columns[13].precision, 12);
    EXPECT_EQ(t.columns[13].scale, 3);
    ASSERT_EQ(t.indexes.size(), 4u);
    EXPECT_TRUE(t.indexes[0].primaryKey);
    EXPECT_TRUE(t.indexes[0].required);
    EXPECT_FALSE(t.indexes[1].columns[1].ascending);
    EXPECT_TRUE(t.indexes[2].unique);
    EXPECT_TRUE(t.indexes[2].ignoreNulls);
    EXPECT_EQ(t.rowCount, 3u);

    auto rows = readAll(*db, "Every Type");
    auto expected = desc.tables[0].rows;
    ASSERT_EQ(rows.size(), expected.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (size_t c = 0; c < rows[r].size(); ++c) {
            Value want = expected[r][c];
            if (c == 1 && want.isNull()) want = v(false);
            EXPECT_EQ(rows[r][c], want) << "row " << r << " column " << t.columns[c].name;
        }
    EXPECT_TRUE(readAll(*db, "Empty").empty());
    expectIndexesSound(*db);

    auto r = runCommand("mdb-schema --indexes " + shellQuote(path.string()) + " postgres");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("PRIMARY KEY (\"id\")"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(\"name\", \"when\" DESC)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("CREATE UNIQUE INDEX \"every type_uniqueg_idx\""), std::string::npos)
        << r.out;
    r = runCommand("mdb-export " + shellQuote(path.string()) + " 'Every Type'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1,1,200,-1234,12.3456,1.5,3.25,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string(3000, 'm')), std::string::npos);
}

TEST(CreateDatabase, ManyRowsBuildMultiPageIndexesAndCatalog) {
    TempDir dir;
    NewDatabase desc;
    NewTableWithRows big;
    big.table.name = "Big";
    big.table.columns = {column("N", ColumnType::Long), column("T", ColumnType::Text, 255)};
    big.table.indexes = {{"PK", {{"N", true}}, true, false, false},
                         {"T", {{"T", false}}, false, false, false}};
    for (int32_t i = 0; i < 6000; ++i)
        big.rows.push_back(
            {v(i), Value::text("text of row " + std::to_string((i * 7919) % 4001) +
                               std::string(static_cast<size_t>(150 + i % 50), 'x'))});
    desc.tables.push_back(big);
    // Enough tables that the catalog needs more than one data page and index leaf.
    for (int i = 0; i < 120; ++i) {
        NewTableWithRows t;
        t.table.name = "Table number " + std::to_string(i);
        t.table.columns = {column("A", ColumnType::Long)};
        desc.tables.push_back(t);
    }
    auto path = create(dir, desc);
    auto db = Database::open(path.string());
    EXPECT_EQ(db->tableNames().size(), 121u);
    auto rows = readAll(*db, "Big");
    ASSERT_EQ(rows.size(), 6000u);
    EXPECT_EQ(rows[5999][0], v(int32_t{5999}));
    // The text index needs more than two levels: its root and the root's children are
    // intermediate pages.
    const IndexDef* text = db->table("Big").findIndex("T");
    ASSERT_NE(text, nullptr);
    Page root = db->pages().read(text->rootPage);
    EXPECT_EQ((*root)[0], pagetype::kIndexNode);
    size_t at = indexPageLayout(JetVersion::Jet4).tailOffset;
    uint32_t tail = loadU32(root->data() + at);
    EXPECT_EQ((*db->pages().read(tail))[0], pagetype::kIndexNode);
    expectIndexesSound(*db);
    auto r = runCommand("mdb-export " + shellQuote(path.string()) + " Big | wc -l");
    EXPECT_EQ(r.out, "6001\n");
}

TEST(CreateDatabase, RefusesBadDefinitionsWithClearErrors) {
    auto refused = [](NewTable table, const std::string& message) {
        NewDatabase desc;
        desc.tables.push_back({std::move(table), {}});
        try {
            buildDatabaseFile(desc);
            ADD_FAILURE() << "accepted, expected: " << message;
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    };
    NewTable base;
    base.name = "T";
    base.columns = {column("A", ColumnType::Long), column("S", ColumnType::Text)};

    NewTable t = base;
    t.columns.push_back(column("a", ColumnType::Long));
    refused(t, "two columns named 'a'");
    t = base;
    for (int i = 0; i < 260; ++i)
        t.columns.push_back(column("C" + std::to_string(i), ColumnType::Byte));
    refused(t, "at most 255");
    t = base;
    t.columns[1].size = 256;
    refused(t, "column 'S': a Text column holds at most 255 characters");
    t = base;
    t.columns.push_back(column("Bin", ColumnType::Binary, 300));
    refused(t, "column 'Bin': a Binary column holds at most 255 bytes");
    t = base;
    t.columns.push_back(column("Dec", ColumnType::Decimal));
    t.columns.back().precision = 29;
    refused(t, "precision of a Decimal column is 1 to 28");
    t = base;
    t.columns.push_back(column("X", static_cast<ColumnType>(0x11)));
    refused(t, "column 'X' has an unknown type");
    t = base;
    t.indexes = {{"I", {{"Nope", true}}, false, false, false}};
    refused(t, "index 'I' names column 'Nope', which does not exist");
    t = base;
    t.columns.push_back(column("M", ColumnType::Memo));
    t.indexes = {{"I", {{"M", true}}, false, false, false}};
    refused(t, "cannot be indexed");
    t = base;
    t.indexes = {{"P1", {{"A", true}}, true, false, false},
                 {"P2", {{"S", true}}, true, false, false}};
    refused(t, "two primary keys");
    t = base;
    t.name = "MSysMine";
    refused(t, "reserved");
    t = base;
    t.columns[0].name = "a.b";
    refused(t, "cannot contain");
}

TEST(CreateDatabase, RefusesRowsThatBreakAnIndexAndLeavesNoFile) {
    TempDir dir;
    NewDatabase desc;
    NewTableWithRows t;
    t.table.name = "T";
    t.table.columns = {column("A", ColumnType::Long), column("S", ColumnType::Text, 5)};
    t.table.indexes = {{"PK", {{"A", true}}, true, false, false}};
    t.rows = {{v(int32_t{1}), Value::text("x")}, {v(int32_t{1}), Value::text("y")}};
    desc.tables.push_back(t);
    auto path = dir.path() / "dup.mdb";
    try {
        createDatabase(path.string(), desc);
        ADD_FAILURE() << "duplicate key accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Constraint);
        EXPECT_NE(std::string(e.what()).find("index 'PK'"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    desc.tables[0].rows = {{Value(), Value::text("x")}};
    EXPECT_THROW(createDatabase(path.string(), desc), Error);
    desc.tables[0].rows = {{v(int32_t{1}), Value::text("too long")}};
    try {
        createDatabase(path.string(), desc);
        ADD_FAILURE() << "text longer than its column accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("table 'T', row 1, column 'S'"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(CreateDatabase, NeverOverwritesAnExistingFile) {
    TempDir dir;
    auto path = dir.path() / "there.mdb";
    std::ofstream(path) << "keep me";
    EXPECT_THROW(createDatabase(path.string(), {}), Error);
    std::ifstream in(path);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "keep me");
}

TEST(CreateTable, AddsATableToAnExistingDatabaseThroughTheCatalogInsertPath) {
    TempDir dir;
    std::vector<std::filesystem::path> files{
        create(dir, {}), dir.copy(tdv::test::testdataDir() / "V2000/testV2000.mdb")};
    for (const auto& path : files) {
        size_t before = Database::open(path.string())->tableNames().size();
        {
            auto db = Database::open(path.string(), OpenOptions{.writable = true});
            createTable(*db, everyTypeTable().table);
            EXPECT_THROW(createTable(*db, everyTypeTable().table), Error);  // name in use
            // The same Database sees the new table at once and can write to it.
            ASSERT_TRUE(db->hasTable("Every Type"));
            EXPECT_EQ(db->tableNames().size(), before + 1);
            const auto rows = everyTypeTable().rows;
            TableWriter writer(*db, "Every Type");
            writer.remove(writer.insert(rows[0]));
            writer.insert(rows[0]);
        }
        {
            auto db = Database::open(path.string(), OpenOptions{.writable = true});
            ASSERT_EQ(db->tableNames().size(), before + 1) << path;
            EXPECT_EQ(db->tableNames().back(), "Every Type");
            EXPECT_EQ(db->table("Every Type").indexes.size(), 4u);
            EXPECT_EQ(readAll(*db, "Every Type").size(), 1u);
            expectIndexesSound(*db);
            TableWriter writer(*db, "Every Type");
            const auto rows = everyTypeTable().rows;
            for (const auto& row : rows | std::views::drop(1)) writer.insert(row);
        }
        auto db = Database::open(path.string());
        EXPECT_EQ(readAll(*db, "Every Type").size(), 3u);
        expectIndexesSound(*db);
        auto r = runCommand("mdb-export " + shellQuote(path.string()) + " 'Every Type' | wc -l");
        EXPECT_EQ(r.out, "4\n") << path;
    }
}

TEST(CreateDatabase, LargeFileHasNoPageMarkedFreeAndLongValuesOfEveryForm) {
    // About one long value page per row: the file outgrows the reach of an inline
    // free-page map, so page 1 holds a reference map listing no free page.
    TempDir dir;
    NewDatabase desc;
    NewTableWithRows t;
    t.table.name = "Docs";
    t.table.columns = {column("ID", ColumnType::Long), column("Body", ColumnType::Memo),
                       column("Raw", ColumnType::OLE)};
    t.table.indexes = {{"PrimaryKey", {{"ID", true}}, true, false, false}};
    for (int32_t i = 0; i < 700; ++i) {
        std::string body(i % 3 == 0 ? 20 : i % 3 == 1 ? 3000 : 9000, char('a' + i % 26));
        t.rows.push_back({v(i), Value::text(body), i % 7 == 0 ? v(Bytes(5000, 0x5A)) : Value()});
    }
    desc.tables.push_back(t);
    auto path = create(dir, desc);
    auto db = Database::open(path.string());
    ASSERT_GT(db->pages().pageCount(), 512u);
    EXPECT_TRUE(readFreePages(db->pages(), db->format()).empty());
    Page map = db->pages().read(1);
    EXPECT_EQ((*map)[loadU16(map->data() + db->format().dataRowTableOffset) & 0x1FFF], 1);
    for (const Problem& p : checkDatabase(*db)) ADD_FAILURE() << p.describe();
    auto rows = readAll(*db, "Docs");
    ASSERT_EQ(rows.size(), 700u);
    EXPECT_EQ(rows[2][1], Value::text(std::string(9000, 'c')));
    EXPECT_EQ(rows[7][2], v(Bytes(5000, 0x5A)));
    auto r = runCommand("mdb-export " + shellQuote(path.string()) + " Docs | wc -l");
    EXPECT_EQ(r.out, "701\n");
}
