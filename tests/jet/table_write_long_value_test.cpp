// Memo and OLE values of every storage kind (inline, one long value row, a chain of rows)
// written, rewritten and freed on copies of real files, read back by our engine and the
// oracle readers.
#include <gtest/gtest.h>

#include "jet/data_page.h"
#include "jet/row_fields.h"
#include "jet/table_scan.h"
#include "jet/table_writer.h"
#include "table_write_support.h"

namespace tablewrite_test {
namespace {

constexpr const char* kTable = "MSP_PROJECTS";

class LongValueWrite : public ::testing::TestWithParam<const char*> {
protected:
    fs::path copy() { return dir_.copy(tdv::test::testdataDir() / GetParam()); }
    tdv::test::TempDir dir_;
};

Bytes pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 31 + (i >> 8));
    return b;
}

std::string memo(size_t n, char seed) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + (seed + i) % 26);
    return s;
}

// A row of MSP_PROJECTS: Nulls except the key columns, one Memo and the OLE column.
std::vector<Value> projectRow(const TableDef& t, int id, const std::string& title,
                              const Bytes& blob) {
    std::vector<Value> row(t.columns.size());
    for (size_t i = 0; i < t.columns.size(); ++i)
        if (t.columns[i].type == ColumnType::Boolean) row[i] = val(false);
    row[*t.findColumn("PROJ_ID")] = val(static_cast<int32_t>(id));
    row[*t.findColumn("PROJ_NAME")] = text("project " + std::to_string(id));
    row[*t.findColumn("PROJ_PROP_TITLE")] = text(title);
    row[*t.findColumn("RESERVED_BINARY_DATA")] = val(blob);
    return row;
}

// The storage kind of a row's long value: 'i' inline, 's' single row, 'c' chain.
char storageKind(Database& db, const TableDef& t, RowId id, const std::string& column) {
    Page holder;
    auto row = locateLiveRow(db.pages(), db.format(), t, id, holder);
    auto field = rawVariableField(*row, db.format(), t, t.columns[*t.findColumn(column)]);
    uint32_t raw = field->u32(0);
    return (raw & 0x80000000u) ? 'i' : (raw & 0x40000000u) ? 's' : 'c';
}

TEST_P(LongValueWrite, EveryStorageKindWritesRewritesAndFrees) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        const TableDef& t = db->table(kTable);
        TableWriter w(*db, kTable);
        const size_t page = db->info().pageSize;
        struct Sizes {
            size_t memo, ole;
            char kind;
        };
        std::vector<Sizes> sizes = {
            {10, 20, 'i'}, {300, 1000, 's'}, {page * 3, page * 5 + 17, 'c'}};
        std::vector<RowId> ids;
        int id = 1000;
        for (const Sizes& s : sizes) {
            auto row = projectRow(t, id, memo(s.memo, 'x'), pattern(s.ole, 3));
            ids.push_back(w.insert(row));
            EXPECT_EQ(storageKind(*db, t, ids.back(), "RESERVED_BINARY_DATA"), s.kind);
            EXPECT_EQ(rowText(db->readRow(t, ids.back())), rowText(row));
            ++id;
        }
        // Rewrite each with the other kinds' sizes: the old rows are freed, the new read back.
        for (size_t i = 0; i < ids.size(); ++i) {
            const Sizes& s = sizes[(i + 1) % sizes.size()];
            auto row =
                projectRow(t, 1000 + static_cast<int>(i), memo(s.memo, 'k'), pattern(s.ole, 9));
            w.update(ids[i], row);
            EXPECT_EQ(storageKind(*db, t, ids[i], "RESERVED_BINARY_DATA"), s.kind);
            EXPECT_EQ(rowText(db->readRow(t, ids[i])), rowText(row));
        }
        w.remove(ids[1]);
        uint32_t pagesBefore = db->pages().pageCount();
        // Space given back by freed long values is used again.
        w.update(ids[0], projectRow(t, 1000, memo(300, 'r'), pattern(1000, 1)));
        EXPECT_LE(db->pages().pageCount(), pagesBefore + 1);
        expected = tableRows(*db, kTable);
    }
    verifyFile(file, kTable, expected);
}

TEST_P(LongValueWrite, UnchangedLongValuesKeepTheirRowsWhenOtherColumnsChange) {
    fs::path file = copy();
    std::vector<std::string> expected;
    {
        auto db = openWritable(file);
        const TableDef& t = db->table(kTable);
        TableWriter w(*db, kTable);
        const size_t page = db->info().pageSize;
        auto row = projectRow(t, 2000, memo(page * 2, 'm'), pattern(page * 4, 5));
        RowId id = w.insert(row);
        Page holder;
        auto field = [&](const std::string& column) {
            auto r = locateLiveRow(db->pages(), db->format(), t, id, holder);
            auto f = rawVariableField(*r, db->format(), t, t.columns[*t.findColumn(column)]);
            return Bytes(f->data(), f->data() + f->size());
        };
        const Bytes oleBefore = field("RESERVED_BINARY_DATA");
        const Bytes memoBefore = field("PROJ_PROP_TITLE");
        const uint32_t pagesBefore = db->pages().pageCount();
        for (int i = 0; i < 20; ++i) {
            row[*t.findColumn("PROJ_NAME")] = text("renamed " + std::to_string(i));
            w.update(id, row);
        }
        // The references still point at the same long value rows, and nothing was appended.
        EXPECT_EQ(field("RESERVED_BINARY_DATA"), oleBefore);
        EXPECT_EQ(field("PROJ_PROP_TITLE"), memoBefore);
        EXPECT_EQ(db->pages().pageCount(), pagesBefore);
        // A changed long value is still rewritten.
        row[*t.findColumn("RESERVED_BINARY_DATA")] = val(pattern(page * 4, 6));
        w.update(id, row);
        EXPECT_EQ(rowText(db->readRow(t, id)), rowText(row));
        expected = tableRows(*db, kTable);
    }
    verifyFile(file, kTable, expected);
}

INSTANTIATE_TEST_SUITE_P(Files, LongValueWrite,
                         ::testing::Values("V2000/test2V2000.mdb", "V1997/test2V1997.mdb"),
                         [](const auto& info) { return std::string(info.param).substr(0, 5); });

}  // namespace
}  // namespace tablewrite_test
