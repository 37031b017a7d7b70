// Random writes (fixed seeds) checked value by value against a model, on new databases
// holding a column of every type and indexes of every kind: primary keys, unique and
// multi-column indexes, descending columns, ignore-nulls, text keys with accented and
// other non-ASCII Windows-1252 characters. After each sequence the engine reads the model
// and the whole-file checker finds nothing; the *Oracle* tests also require mdb-export and
// mdb-reader to read the model, value by value. A table of long, often equal text keys is
// also set wholesale to one value and back, with the checker after every operation.
#include <gtest/gtest.h>

#include <iostream>

#include "jet/create_db.h"
#include "jet/format.h"
#include "table_write_model_oracle.h"
#include "table_write_model_run.h"

namespace tablewrite_test {
namespace {

NewColumn column(const std::string& name, ColumnType type, uint32_t size = 0) {
    NewColumn c;
    c.name = name;
    c.type = type;
    c.size = size;
    return c;
}

NewTable everyTypeTable() {
    using CT = ColumnType;
    NewTable t;
    t.name = "Every Type";
    t.columns = {
        column("ID", CT::Long),        column("Flag", CT::Boolean),    column("B", CT::Byte),
        column("I", CT::Integer),      column("L", CT::Long),          column("Cur", CT::Currency),
        column("S", CT::Single),       column("D", CT::Double),        column("When", CT::DateTime),
        column("Name", CT::Text, 255), column("Short", CT::Text, 10),  column("Code", CT::Text, 50),
        column("Notes", CT::Memo),     column("Bin", CT::Binary, 255), column("Blob", CT::OLE),
        column("G", CT::Guid),         column("Dec", CT::Decimal),     column("Big", CT::Decimal)};
    t.columns[16].precision = 18;
    t.columns[16].scale = 4;
    t.columns[17].precision = 28;
    t.columns[17].scale = 0;
    t.indexes = {
        {"PrimaryKey", {{"ID", true}}, true, false, false},
        {"Code", {{"Code", true}}, false, true, false},
        {"NameWhen", {{"Name", true}, {"When", false}}, false, false, false},
        {"ShortDown", {{"Short", false}}, false, false, false},
        {"G", {{"G", true}}, false, true, true},
        {"DecDown", {{"Dec", false}}, false, false, false},
        {"CurSI", {{"Cur", true}, {"S", false}, {"I", true}}, false, true, false},
        {"FlagB", {{"Flag", true}, {"B", false}}, false, false, false},
        {"D", {{"D", true}}, false, false, false},
        {"L", {{"L", true}}, false, false, true},
        {"BigWhen", {{"Big", true}, {"When", true}}, false, false, false},
    };
    return t;
}

NewTable wordsTable() {
    using CT = ColumnType;
    NewTable t;
    t.name = "Wörter";
    t.columns = {column("Wort", CT::Text, 100), column("Bedeutung", CT::Memo),
                 column("Bild", CT::OLE), column("Zahl", CT::Integer),
                 column("Wann", CT::DateTime)};
    t.indexes = {
        {"PrimaryKey", {{"Wort", true}}, true, false, false},
        {"Zahl", {{"Zahl", true}}, false, false, false},
        {"WannZahl", {{"Wann", false}, {"Zahl", true}}, false, true, false},
    };
    return t;
}

// Long text keys, most of them shared by many rows, in ascending, descending and
// two-column indexes.
NewTable longKeysTable() {
    using CT = ColumnType;
    NewTable t;
    t.name = "Long Keys";
    t.columns = {column("ID", CT::Long), column("Title", CT::Text, 255),
                 column("Tag", CT::Text, 120), column("Kind", CT::Integer),
                 column("Note", CT::Memo)};
    t.indexes = {
        {"PrimaryKey", {{"ID", true}}, true, false, false},
        {"Title", {{"Title", true}}, false, false, false},
        {"TagDown", {{"Tag", false}}, false, false, false},
        {"KindTitle", {{"Kind", true}, {"Title", true}}, false, false, false},
    };
    return t;
}

// A new database with the given tables and `rows` rows in each, drawn by the model's
// generator (with long text values when longText).
fs::path createModelDatabase(const tdv::test::TempDir& dir, unsigned seed, size_t rows,
                             const std::vector<NewTable>& tables = {everyTypeTable(), wordsTable()},
                             bool longText = false) {
    std::mt19937 rng(seed * 7919u);
    NewDatabase desc;
    desc.created = 45000.25;
    for (const NewTable& t : tables) {
        NewTableWithRows tr;
        tr.table = t;
        const TableDef def = layoutNewTable(t, jet4Format());
        RowGenerator gen(def, jet4Format(), rng);
        gen.setLongText(longText);
        ModelRows model;
        for (size_t i = 0; i < rows; ++i) {
            auto row = gen.newRow(model);
            model[RowId{1, static_cast<uint16_t>(i)}] = row;
            tr.rows.push_back(row);
        }
        desc.tables.push_back(std::move(tr));
    }
    fs::path file = dir.path() / ("model" + std::to_string(seed) + ".mdb");
    createDatabase(file.string(), desc);
    return file;
}

std::vector<ModelTarget> targets() {
    return {{"Every Type", {}}, {"Wörter", {}}};
}

class CreatedModel : public ::testing::TestWithParam<unsigned> {
protected:
    // Creates the database, checks its first content, runs the sequence.
    void runSequence(int ops) {
        fs::path file = createModelDatabase(dir_, GetParam(), 12);
        {
            auto db = Database::open(file.string());
            for (const auto& p : checkDatabase(*db)) ADD_FAILURE() << "new file: " << p.describe();
            EXPECT_EQ(engineRows(*db, "Every Type").size(), 12u);
        }
        run_ = std::make_unique<ModelRun>(file, targets(), GetParam());
        run_->run(ops);
        for (const auto& [what, n] : run_->counts()) std::cout << what << " " << n << "; ";
        std::cout << "\n";
    }

    tdv::test::TempDir dir_;
    std::unique_ptr<ModelRun> run_;
};

TEST_P(CreatedModel, EngineReadsTheModelAndTheCheckerFindsNothing) {
    runSequence(600);
}

TEST_P(CreatedModel, OracleReadersReadTheModel) {
    if (!haveOracles()) GTEST_SKIP() << "mdbtools, python3, node or mdb-reader missing";
    runSequence(300);
    if (HasFatalFailure()) return;
    expectOraclesReadTheModel(run_->file(), run_->models());
}

INSTANTIATE_TEST_SUITE_P(Seeds, CreatedModel, ::testing::Values(11u, 12u, 13u));

// Long and often equal text keys on a table of a few hundred rows: the trees split and grow
// levels under random writes and under every row's indexed text set to one value and back,
// and the checker finds nothing after any operation.
class LongKeysModel : public ::testing::TestWithParam<unsigned> {};

TEST_P(LongKeysModel, CheckerFindsNothingAfterAnyOperation) {
    tdv::test::TempDir dir;
    fs::path file = createModelDatabase(dir, GetParam(), 250, {longKeysTable()}, true);
    ModelRun run(file, {{"Long Keys", {}, true}}, GetParam());
    run.run(40, 10, 1);
    for (const auto& [what, n] : run.counts()) std::cout << what << " " << n << "; ";
    std::cout << "\n";
    EXPECT_GT(run.counts().count("mass update"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, LongKeysModel, ::testing::Values(21u, 22u, 23u));

// The oracle limitations written files meet explain exactly their own difference.
TEST(OracleQuirksOfWrittenFiles, ExplainOnlyTheirOwnDifference) {
    using tdv::oracle::explainDifference;
    using CT = ColumnType;
    const Json hexEmpty = Json::parse(R"({"hex":""})"), hexOne = Json::parse(R"({"hex":"00"})");
    EXPECT_NE(explainDifference(Oracle::MdbExport, CT::Text, Json(""), Json()), nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, CT::Memo, Json(""), Json()), nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, CT::OLE, hexEmpty, Json()), nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbExport, CT::Text, Json(" "), Json()), nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbExport, CT::OLE, hexOne, Json()), nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbReader, CT::Text, Json(""), Json()), nullptr);

    // A Jet 4 Memo chain cut after two whole links (2 x 4072 bytes of UTF-16).
    const std::string memo(5000, 'q');
    EXPECT_NE(
        explainDifference(Oracle::MdbReader, CT::Memo, Json(memo), Json(memo.substr(0, 4072))),
        nullptr);
    EXPECT_NE(
        explainDifference(Oracle::MdbReader, CT::Memo, Json(memo), Json(memo.substr(0, 2028))),
        nullptr);
    EXPECT_EQ(
        explainDifference(Oracle::MdbReader, CT::Memo, Json(memo), Json(memo.substr(0, 4000))),
        nullptr);
    EXPECT_EQ(
        explainDifference(Oracle::MdbReader, CT::Memo, Json(memo), Json(std::string(4072, 'r'))),
        nullptr);
    EXPECT_EQ(
        explainDifference(Oracle::MdbExport, CT::Memo, Json(memo), Json(memo.substr(0, 4072))),
        nullptr);
    EXPECT_EQ(
        explainDifference(Oracle::MdbReader, CT::Text, Json(memo), Json(memo.substr(0, 4072))),
        nullptr);
}

}  // namespace
}  // namespace tablewrite_test
