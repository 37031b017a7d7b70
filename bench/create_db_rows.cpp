// Time to build a large new database with jet::createDatabase.
//
// The shape of a big sample backup: one wide table (50 columns, 4 indexes) of 50,000 rows
// and a dozen narrower tables of 50,000 to 200,000 rows with one or two indexes each.
// Prints the time per table size and in total, and the file size.
//
// Usage: bench_create_db [SCALE [KEEP.mdb]]
//   SCALE multiplies every row count (default 1); KEEP.mdb keeps the file there.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "jet/create_db.h"
#include "jet/error.h"

namespace {

namespace fs = std::filesystem;
using jet::ColumnType;
using jet::Value;

jet::NewColumn column(std::string name, ColumnType type, uint32_t size = 0) {
    jet::NewColumn c;
    c.name = std::move(name);
    c.type = type;
    c.size = size;
    return c;
}

jet::NewTableWithRows wideTable(size_t rows) {
    jet::NewTableWithRows t;
    t.table.name = "Subscribers";
    t.table.columns.push_back(column("ObjectId", ColumnType::Long));
    for (int i = 0; i < 49; ++i) {
        std::string name = "F" + std::to_string(i);
        switch (i % 5) {
            case 0:
                t.table.columns.push_back(column(name, ColumnType::Text, 50));
                break;
            case 1:
                t.table.columns.push_back(column(name, ColumnType::Long));
                break;
            case 2:
                t.table.columns.push_back(column(name, ColumnType::Boolean));
                break;
            case 3:
                t.table.columns.push_back(column(name, ColumnType::DateTime));
                break;
            default:
                t.table.columns.push_back(column(name, ColumnType::Integer));
                break;
        }
    }
    t.table.columns.push_back(column("Notes", ColumnType::Memo));
    t.table.indexes = {{"PrimaryKey", {{"ObjectId", true}}, true, false, false},
                       {"Alias", {{"F0", true}}, false, false, false},
                       {"NameExt", {{"F5", true}, {"F1", true}}, false, false, false},
                       {"Created", {{"F3", false}}, false, false, false}};
    t.rows.reserve(rows);
    for (size_t r = 0; r < rows; ++r) {
        std::vector<Value> row;
        row.push_back(Value(Value::Storage(int32_t(r + 1))));
        for (int i = 0; i < 49; ++i) {
            switch (i % 5) {
                case 0:
                    row.push_back(Value::text("user " + std::to_string((r * 7919 + i) % rows)));
                    break;
                case 1:
                    row.push_back(Value(Value::Storage(int32_t(r * 31 + i))));
                    break;
                case 2:
                    row.push_back(Value(Value::Storage(bool(r % 2))));
                    break;
                case 3:
                    row.push_back(Value(Value::Storage(jet::DateTime{40000.0 + double(r % 5000)})));
                    break;
                default:
                    row.push_back(Value(Value::Storage(int16_t(r % 30000))));
                    break;
            }
        }
        row.push_back(r % 10 == 0 ? Value::text(std::string(300 + r % 2000, 'n')) : Value());
        t.rows.push_back(std::move(row));
    }
    return t;
}

jet::NewTableWithRows narrowTable(int number, size_t rows) {
    jet::NewTableWithRows t;
    t.table.name = "Table" + std::to_string(number);
    t.table.columns = {column("Id", ColumnType::Long),       column("Owner", ColumnType::Long),
                       column("Name", ColumnType::Text, 40), column("Value", ColumnType::Text, 100),
                       column("When", ColumnType::DateTime), column("Flag", ColumnType::Boolean),
                       column("Count", ColumnType::Integer), column("Amount", ColumnType::Double)};
    t.table.indexes = {{"PrimaryKey", {{"Id", true}}, true, false, false}};
    if (number % 2 == 0)
        t.table.indexes.push_back({"Owner", {{"Owner", true}}, false, false, false});
    t.rows.reserve(rows);
    for (size_t r = 0; r < rows; ++r)
        t.rows.push_back(
            {Value(Value::Storage(int32_t(r + 1))), Value(Value::Storage(int32_t(r % 977))),
             Value::text("name " + std::to_string(r)),
             Value::text("value of row " + std::to_string(r * 13)),
             Value(Value::Storage(jet::DateTime{41000.5 + double(r % 3000)})),
             Value(Value::Storage(bool(r % 3 == 0))), Value(Value::Storage(int16_t(r % 1000))),
             Value(Value::Storage(double(r) * 1.25))});
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    auto count = [&](size_t n) { return size_t(double(n) * scale); };
    jet::NewDatabase desc;
    size_t total = 0;
    desc.tables.push_back(wideTable(count(50000)));
    total += desc.tables.back().rows.size();
    for (int i = 0; i < 12; ++i) {
        desc.tables.push_back(narrowTable(i, count(50000 + 150000 * size_t(i) / 11)));
        total += desc.tables.back().rows.size();
    }
    std::string pattern = (fs::temp_directory_path() / "tdv-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    fs::path path = argc > 2 ? fs::path(argv[2]) : fs::path(pattern) / "big.mdb";
    auto start = std::chrono::steady_clock::now();
    try {
        jet::createDatabase(path.string(), desc);
    } catch (const jet::Error& e) {
        std::fprintf(stderr, "bench_create_db: %s\n", e.what());
        fs::remove_all(pattern);
        return 1;
    }
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("createDatabase: %zu tables, %zu rows, %.1f MB in %.2f s (%.0f rows/s)\n",
                desc.tables.size(), total, double(fs::file_size(path)) / 1e6, seconds,
                double(total) / seconds);
    fs::remove_all(pattern);
    return 0;
}
