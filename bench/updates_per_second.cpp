// Single-row saves per second, with and without syncing each save to disk.
//
// Copies a real Access 2000 file to a temporary folder and, for a few seconds in each
// mode, updates one row per save (an indexed column, so every save rewrites a data page,
// index pages and the journal) through TableWriter. Prints saves per second with
// sync on (the default of the program) and off, and their ratio.
//
// Usage: bench_updates [FILE.mdb [TABLE [COLUMN [SECONDS]]]]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/table_writer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Settings {
    std::string file = TDV_BENCH_FILE;
    std::string table = "Table1";
    std::string column = "CD_AGENTE";
    double seconds = 3.0;
};

fs::path makeTempDir() {
    std::string pattern = (fs::temp_directory_path() / "tdv-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    return pattern;
}

// Saves per second on `path` for about `seconds`.
double measure(const fs::path& path, const Settings& s, bool sync) {
    auto db = jet::Database::open(path.string(), jet::OpenOptions{.writable = true, .sync = sync});
    const jet::TableDef& table = db->table(s.table);
    auto column = table.findColumn(s.column);
    if (!column) throw std::runtime_error("no column " + s.column + " in " + s.table);
    std::vector<jet::RowId> ids;
    std::vector<std::vector<jet::Value>> rows;
    for (jet::TableScan scan = db->scan(table); scan.next() && ids.size() < 200;) {
        ids.push_back(scan.rowId());
        rows.push_back(scan.values());
    }
    if (ids.empty()) throw std::runtime_error("table " + s.table + " has no rows");

    jet::TableWriter writer(*db, s.table);
    const auto start = Clock::now();
    const auto stop = start + std::chrono::duration<double>(s.seconds);
    size_t saves = 0;
    while (Clock::now() < stop) {
        size_t i = saves % ids.size();
        if (table.columns[*column].isText())
            rows[i][*column] = jet::Value::text((sync ? "on " : "off ") + std::to_string(saves));
        else
            rows[i][*column] = jet::Value(jet::Value::Storage(int32_t(saves % 100000)));
        writer.update(ids[i], rows[i]);
        ++saves;
    }
    return saves / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    Settings s;
    if (argc > 1) s.file = argv[1];
    if (argc > 2) s.table = argv[2];
    if (argc > 3) s.column = argv[3];
    if (argc > 4) s.seconds = std::atof(argv[4]);
    fs::path dir;
    try {
        dir = makeTempDir();
        fs::path copy = dir / "bench.mdb";
        fs::copy_file(s.file, copy);
        fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
        double on = measure(copy, s, true);
        double off = measure(copy, s, false);
        std::printf("%s, table %s: one-row saves per second\n", s.file.c_str(), s.table.c_str());
        std::printf("  sync on:  %10.1f\n  sync off: %10.1f\n  ratio off/on: %.1f\n", on, off,
                    off / on);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_updates: %s\n", e.what());
        if (!dir.empty()) fs::remove_all(dir);
        return 1;
    }
    fs::remove_all(dir);
    return 0;
}
