// Relationships of the real files and the checks a writer makes before changing rows:
// Table1.otherfk1 -> Table2.id (cascade deletes) and Table1.otherfk2 -> Table3.id
// (cascade updates) in the indexTest files of both versions.
#include "jet/relationships.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "helpers/testdata.h"
#include "jet/db_check.h"
#include "jet/related_rows.h"
#include "jet/sql/sql.h"
#include "jet/table_create.h"
#include "jet/table_writer.h"
#include "table_write_support.h"

using namespace jet;

namespace {

Value lng(int32_t v) {
    return Value(Value::Storage(v));
}

RowId rowWithId(Database& db, const std::string& table, int32_t id) {
    for (auto scan = db.scan(db.table(table)); scan.next();)
        if (scan.values()[0] == lng(id)) return scan.rowId();
    ADD_FAILURE() << "no row " << id << " in " << table;
    return {};
}

// A one-column relationship written into the catalog, as Access records one.
void addRelationship(Database& db, const std::string& name, int32_t flags, const std::string& child,
                     const std::string& childColumn, const std::string& parent,
                     const std::string& parentColumn) {
    const TableDef& rels = db.table("MSysRelationships");
    std::vector<Value> row(rels.columns.size());
    auto set = [&](const char* column, Value v) { row[*rels.findColumn(column)] = std::move(v); };
    set("szRelationship", Value::text(name));
    set("grbit", lng(flags));
    set("ccolumn", lng(1));
    set("icolumn", lng(0));
    set("szObject", Value::text(child));
    set("szColumn", Value::text(childColumn));
    set("szReferencedObject", Value::text(parent));
    set("szReferencedColumn", Value::text(parentColumn));
    TableWriter(db, "MSysRelationships", SystemTableWrites::Allowed).insert(row);
}

const Relationship* find(const Relationships& r, const std::string& name) {
    for (const auto& rel : r.all())
        if (rel.name == name) return &rel;
    return nullptr;
}

// Runs `f` and returns the Jet number of the Constraint error it throws (0 when none).
template <class F>
long constraintNumber(F f, std::string* text = nullptr) {
    try {
        f();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Constraint) << e.what();
        if (text) *text = e.what();
        return e.number();
    }
    return 0;
}

class RelationshipsTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        db = Database::open((tdv::test::testdataDir() / GetParam()).string());
        rels = std::make_unique<Relationships>(Relationships::load(*db));
    }
    // Table1 columns: id, otherfk1, otherfk2, data, otherfk3.
    std::vector<Value> table1Row(int32_t id, Value fk1, Value fk2) {
        return {lng(id), std::move(fk1), std::move(fk2), Value::text("x"), lng(0)};
    }
    std::vector<Value> parentRow(int32_t id) { return {lng(id), Value::text("p")}; }

    std::shared_ptr<Database> db;
    std::unique_ptr<Relationships> rels;
};

TEST_P(RelationshipsTest, LoadsTheCatalog) {
    const Relationship* deletes = find(*rels, "Table2Table1");
    ASSERT_NE(deletes, nullptr);
    EXPECT_EQ(deletes->childTable, "Table1");
    EXPECT_EQ(deletes->childColumns, std::vector<std::string>{"otherfk1"});
    EXPECT_EQ(deletes->parentTable, "Table2");
    EXPECT_EQ(deletes->parentColumns, std::vector<std::string>{"id"});
    EXPECT_TRUE(deletes->enforced());
    EXPECT_TRUE(deletes->cascadesDeletes());
    EXPECT_FALSE(deletes->cascadesUpdates());
    const Relationship* updates = find(*rels, "Table3Table1");
    ASSERT_NE(updates, nullptr);
    EXPECT_TRUE(updates->cascadesUpdates());
    EXPECT_FALSE(updates->cascadesDeletes());
}

TEST_P(RelationshipsTest, InsertNeedsParentRows) {
    const TableDef& t1 = db->table("Table1");
    EXPECT_EQ(constraintNumber([&] { rels->checkInsert(t1, table1Row(100, lng(1), lng(11))); }), 0);
    std::string text;
    EXPECT_EQ(
        constraintNumber([&] { rels->checkInsert(t1, table1Row(100, lng(99), lng(11))); }, &text),
        errnum::kRelationship);
    EXPECT_NE(text.find("table 'Table2'"), std::string::npos) << text;
    EXPECT_EQ(
        constraintNumber([&] { rels->checkInsert(t1, table1Row(100, lng(1), lng(14))); }, &text),
        errnum::kRelationship);
    EXPECT_NE(text.find("table 'Table3'"), std::string::npos) << text;
    // A Null foreign key refers to nothing.
    EXPECT_EQ(constraintNumber(
                  [&] { rels->checkInsert(t1, table1Row(100, Value::null(), Value::null())); }),
              0);
    // Parent tables have no enforced parents themselves.
    EXPECT_EQ(constraintNumber([&] { rels->checkInsert(db->table("Table2"), parentRow(555)); }), 0);
}

TEST_P(RelationshipsTest, ChildUpdateNeedsParentRow) {
    const TableDef& t1 = db->table("Table1");
    auto before = table1Row(1, lng(1), lng(11));
    EXPECT_EQ(
        constraintNumber([&] { rels->checkUpdate(t1, before, table1Row(1, lng(2), lng(12))); }), 0);
    EXPECT_EQ(
        constraintNumber([&] { rels->checkUpdate(t1, before, table1Row(1, lng(1), lng(77))); }),
        errnum::kRelationship);
    EXPECT_EQ(constraintNumber(
                  [&] { rels->checkUpdate(t1, before, table1Row(1, Value::null(), lng(11))); }),
              0);
}

TEST_P(RelationshipsTest, ParentKeyWithChildrenCascadesOrCannotChange) {
    const TableDef& t2 = db->table("Table2");
    const TableDef& t3 = db->table("Table3");
    // Table1 rows refer to Table2 id 1: deleting it cascades to them, changing its key
    // (no cascading update) is refused.
    std::vector<Cascade> c = rels->checkDelete(t2, parentRow(1));
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].action, Cascade::Action::Delete);
    EXPECT_EQ(c[0].relationship->name, "Table2Table1");
    EXPECT_EQ(c[0].oldKey, std::vector<Value>{lng(1)});
    std::string text;
    EXPECT_EQ(constraintNumber([&] { rels->checkUpdate(t2, parentRow(1), parentRow(98)); }, &text),
              kRelatedRecordsExist);
    EXPECT_NE(text.find("table 'Table1' includes related records"), std::string::npos) << text;
    // Nothing refers to a key no row has.
    EXPECT_TRUE(rels->checkDelete(t2, parentRow(4242)).empty());
    // Table1 rows refer to Table3 id 11: changing its key cascades, deleting it is refused.
    c = rels->checkUpdate(t3, parentRow(11), parentRow(99));
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0].action, Cascade::Action::Update);
    EXPECT_EQ(c[0].newKey, std::vector<Value>{lng(99)});
    EXPECT_EQ(constraintNumber([&] { rels->checkDelete(t3, parentRow(11)); }),
              kRelatedRecordsExist);
    // Its other columns change without any cascade.
    EXPECT_TRUE(rels->checkUpdate(t3, parentRow(11), {lng(11), Value::text("changed")}).empty());
    // Deleting a child row is always allowed.
    EXPECT_TRUE(rels->checkDelete(db->table("Table1"), table1Row(1, lng(1), lng(11))).empty());
}

INSTANTIATE_TEST_SUITE_P(RealFiles, RelationshipsTest,
                         ::testing::Values("V2000/indexTestV2000.mdb", "V1997/indexTestV1997.mdb"));

TEST(Relationships, FilesWithoutRelationships) {
    for (const char* file : {"jet4-empty/adox_jet4.mdb", "V1997/testV1997.mdb"}) {
        auto db = Database::open((tdv::test::testdataDir() / file).string());
        Relationships rels = Relationships::load(*db);
        EXPECT_TRUE(rels.all().empty()) << file;
    }
}

TEST(Relationships, NotEnforcedIsIgnored) {
    Relationship rel;
    rel.flags = relflag::kNotEnforced | relflag::kCascadeDeletes;
    EXPECT_FALSE(rel.enforced());
    rel.flags = relflag::kInherited;
    EXPECT_FALSE(rel.enforced());
    rel.flags = relflag::kCascadeUpdates | relflag::kCascadeDeletes;  // 4352, the NavPane ones
    EXPECT_TRUE(rel.enforced());
}

TEST(Relationships, KeyValuesCompareLikeTheIndex) {
    EXPECT_TRUE(keyValuesEqual(Value::text("Abc"), Value::text("aBC"), JetVersion::Jet4));
    EXPECT_FALSE(keyValuesEqual(Value::text("Abc"), Value::text("Abd"), JetVersion::Jet4));
    EXPECT_TRUE(keyValuesEqual(lng(7), Value(Value::Storage(int16_t{7})), JetVersion::Jet3));
    EXPECT_FALSE(keyValuesEqual(lng(7), lng(8), JetVersion::Jet3));
}

TEST(Relationships, LookupByScanAndByIndexAgree) {
    auto db = Database::open((tdv::test::testdataDir() / "V2000/indexTestV2000.mdb").string());
    const TableDef& t1 = db->table("Table1");
    // otherfk3 has no index (scan); otherfk1 has one.
    const size_t fk1 = *t1.findColumn("otherfk1"), fk3 = *t1.findColumn("otherfk3"),
                 data = *t1.findColumn("data");
    EXPECT_TRUE(hasRowWithKey(*db, t1, {fk1}, {lng(2)}));
    EXPECT_FALSE(hasRowWithKey(*db, t1, {fk1}, {lng(98)}));
    EXPECT_TRUE(hasRowWithKey(*db, t1, {fk3}, {lng(0)}));
    EXPECT_FALSE(hasRowWithKey(*db, t1, {fk3}, {lng(98)}));
    EXPECT_TRUE(hasRowWithKey(*db, t1, {data}, {Value::text("BAZ13")}));
}

}  // namespace

// The writer makes the same checks before it touches the file: a refused write leaves the
// file byte for byte as it was, an allowed one goes through.
TEST_P(RelationshipsTest, TableWriterEnforcesRelationshipsOnACopy) {
    tdv::test::TempDir tmp;
    const auto path = tmp.copy(tdv::test::testdataDir() / GetParam());
    auto slurp = [&] {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    auto wdb = Database::open(path.string(), OpenOptions{.writable = true});
    const std::string before = slurp();

    TableWriter child(*wdb, "Table1");
    EXPECT_EQ(constraintNumber([&] { child.insert(table1Row(900, lng(555), lng(11))); }),
              errnum::kRelationship);
    // Table3Table1 cascades updates only: a referenced Table3 row cannot go.
    TableWriter table3(*wdb, "Table3");
    EXPECT_EQ(constraintNumber([&] { table3.remove(rowWithId(*wdb, "Table3", 11)); }),
              kRelatedRecordsExist);
    EXPECT_EQ(slurp(), before);
    TableWriter parent(*wdb, "Table2");

    // A child row whose parents exist, and a parent nobody refers to, are written.
    EXPECT_NO_THROW(child.insert(table1Row(901, lng(1), lng(11))));
    const RowId lonely = parent.insert(parentRow(556));
    EXPECT_NO_THROW(parent.remove(lonely));
    EXPECT_TRUE(checkDatabase(*wdb).empty());
}

// Cascades on the real files: a Table3 key change reaches the Table1 rows that hold it, a
// Table2 row deleted takes its Table1 rows along; each statement read back by our reader,
// the checker, mdb-export and mdb-reader.
TEST_P(RelationshipsTest, CascadesReachTheRelatedRows) {
    using tablewrite_test::rowText;
    tdv::test::TempDir tmp;
    const auto path = tmp.copy(tdv::test::testdataDir() / GetParam());
    std::vector<std::vector<Value>> table1;
    for (auto scan = db->scan(db->table("Table1")); scan.next();) table1.push_back(scan.values());
    auto expected = [&] {
        std::vector<std::string> out;
        for (const auto& r : table1) out.push_back(rowText(r));
        std::sort(out.begin(), out.end());
        return out;
    };
    auto wdb = Database::open(path.string(), OpenOptions{.writable = true});
    {
        TableWriter table3(*wdb, "Table3");
        table3.update(rowWithId(*wdb, "Table3", 11), parentRow(99));
    }
    for (auto& r : table1)
        if (r[2] == lng(11)) r[2] = lng(99);
    tablewrite_test::verifyFile(path, "Table1", expected());
    {
        TableWriter table2(*wdb, "Table2");
        table2.remove(rowWithId(*wdb, "Table2", 1));
    }
    std::erase_if(table1, [](const auto& r) { return r[1] == lng(1); });
    tablewrite_test::verifyFile(path, "Table1", expected());
    EXPECT_EQ(checkDatabase(*wdb).size(), 0u);
}

// A cascade that a relationship of the child table forbids refuses the whole statement:
// Table1 becomes the parent of a new table Notes (no cascades), and deleting the Table2 row
// whose Table1 row has a note changes nothing.
TEST(Relationships, ACascadeStoppedFurtherDownRefusesTheWholeChange) {
    tdv::test::TempDir tmp;
    const auto path = tmp.copy(tdv::test::testdataDir() / "V2000/indexTestV2000.mdb");
    {
        auto db = Database::open(path.string(), OpenOptions{.writable = true});
        NewTable notes;
        notes.name = "Notes";
        notes.columns = {NewColumn{"ID", ColumnType::Long}, NewColumn{"T1", ColumnType::Long}};
        createTable(*db, notes);
        addRelationship(*db, "Table1Notes", 0, "Notes", "T1", "Table1", "id");
        TableWriter(*db, "Notes").insert({lng(1), lng(2)});
    }
    const auto before = tablewrite_test::fileBytes(path);
    auto db = Database::open(path.string(), OpenOptions{.writable = true});
    TableWriter table2(*db, "Table2");
    // Table2 id 1 -> Table1 ids 1 and 2 (cascading delete) -> the note of Table1 id 2.
    EXPECT_EQ(constraintNumber([&] { table2.remove(rowWithId(*db, "Table2", 1)); }),
              kRelatedRecordsExist);
    EXPECT_EQ(tablewrite_test::fileBytes(path), before);
    // Table2 id 2 has no noted rows below it: its cascade goes through.
    table2.remove(rowWithId(*db, "Table2", 2));
    EXPECT_EQ(checkDatabase(*db).size(), 0u);
    EXPECT_EQ(tablewrite_test::oracleRowCount("node " + std::string(TDV_SOURCE_DIR) +
                                              "/tests/oracle/mdbreader_dump.mjs " +
                                              tdv::test::shellQuote(path.string()) + " Table1"),
              3u);
}

// A table related to itself: one DELETE statement takes a row, the rows below it (cascade)
// and matched rows the cascade already took; set-Null clears the references instead.
TEST(Relationships, ATableRelatedToItselfCascadesWithinOneStatement) {
    tdv::test::TempDir tmp;
    const auto path = tmp.copy(tdv::test::testdataDir() / "V2000/indexTestV2000.mdb");
    auto db = Database::open(path.string(), OpenOptions{.writable = true, .sync = false});
    for (const char* name : {"Tree", "Links"}) {
        NewTable t;
        t.name = name;
        t.columns = {NewColumn{"ID", ColumnType::Long}, NewColumn{"Up", ColumnType::Long}};
        t.indexes = {{"PrimaryKey", {{"ID", true}}, true, false, false}};
        createTable(*db, t);
        TableWriter w(*db, name);
        for (int32_t id : {1, 2, 3, 4})
            w.insert({lng(id), id == 1 || id == 4 ? Value() : lng(id - 1)});
    }
    addRelationship(*db, "TreeTree", int32_t(relflag::kCascadeDeletes), "Tree", "Up", "Tree", "ID");
    addRelationship(*db, "TreeLinks", int32_t(relflag::kCascadeDeletes | relflag::kCascadeNull),
                    "Links", "Up", "Tree", "ID");
    sql::execute(*db, "DELETE FROM Tree WHERE ID <= 3");
    EXPECT_EQ(tablewrite_test::tableRows(*db, "Tree"), std::vector<std::string>{"4|null|"});
    // Links 2 and 3 referred to the deleted Tree rows 1 and 2.
    EXPECT_EQ(tablewrite_test::tableRows(*db, "Links"),
              (std::vector<std::string>{"1|null|", "2|null|", "3|null|", "4|null|"}));
    EXPECT_EQ(checkDatabase(*db).size(), 0u);
    db.reset();
    tablewrite_test::verifyFile(path, "Tree", {"4|null|"});
}
