// Fuzz target: arbitrary bytes opened as an Access database.
//
// The bytes become an in-memory file; the engine opens it, lists every table (system tables
// included), reads each table definition, scans every row and walks every index from its
// root. Damage must come out as jet::Error; any other exception, crash, sanitizer report,
// hang or runaway allocation is a finding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/index_reader.h"
#include "jet/memory_file.h"

namespace {

// Bounds the work on one input so that a large but valid-looking file does not trip the
// fuzzer's timeout; every row and entry up to the bound is still decoded.
constexpr size_t kMaxRowsPerTable = 100000;
constexpr size_t kMaxEntriesPerIndex = 100000;

void exerciseTable(jet::Database& db, const std::string& name) {
    const jet::TableDef& table = db.table(name);
    try {
        jet::TableScan scan = db.scan(table);
        for (size_t n = 0; n < kMaxRowsPerTable && scan.next(); ++n) {
            if (scan.values().size() != table.columns.size()) __builtin_trap();
            (void)scan.rowId();
        }
    } catch (const jet::Error&) {
    }
    for (const jet::IndexDef& index : table.indexes) {
        try {
            jet::IndexReader reader(db, table, index);
            jet::IndexCursor cursor = reader.all();
            for (size_t n = 0; n < kMaxEntriesPerIndex && cursor.next(); ++n) {
                (void)cursor.entry();
            }
        } catch (const jet::Error&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    jet::MemoryFileSystem fs;
    fs.addFile("fuzz.mdb", std::vector<uint8_t>(data, data + size));
    try {
        auto db = jet::Database::open("fuzz.mdb", fs);
        (void)db->tableNames();
        for (const std::string& name : db->allTableNames()) {
            try {
                exerciseTable(*db, name);
            } catch (const jet::Error&) {
            }
        }
    } catch (const jet::Error&) {
    }
    return 0;
}
