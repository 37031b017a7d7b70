// Fuzz target: arbitrary text as Jet SQL.
//
// Each input is parsed, and then run against a small real database opened once at start-up
// (read-only, from memory). Bad SQL, unknown names and unsupported statements must come out
// as jet::Error; any other exception, crash, sanitizer report, hang or runaway allocation is
// a finding. TDV_FUZZ_SQL_DB names another database to query instead of the default one.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/memory_file.h"
#include "jet/sql/parser.h"
#include "jet/sql/sql.h"

namespace {

struct Fixture {
    jet::MemoryFileSystem fs;
    std::shared_ptr<jet::Database> db;
};

std::unique_ptr<Fixture> loadFixture() {
    const char* env = std::getenv("TDV_FUZZ_SQL_DB");
    std::string path = env ? env : TDV_FUZZ_TESTDATA_DIR "/V2000/indexTestV2000.mdb";
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "fuzz_sql: cannot read %s\n", path.c_str());
        std::abort();
    }
    auto f = std::make_unique<Fixture>();
    f->fs.addFile("query.mdb", std::move(bytes));
    f->fs.setReadOnly("query.mdb", true);
    f->db = jet::Database::open("query.mdb", f->fs);
    return f;
}

Fixture& fixture() {
    // Opened once for the whole run; queries only read it.
    static std::unique_ptr<Fixture> f = loadFixture();
    return *f;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        (void)jet::sql::parse(text);
    } catch (const jet::Error&) {
        return 0;
    }
    try {
        jet::sql::ResultSet result = jet::sql::query(*fixture().db, text);
        for (const auto& row : result.rows) {
            if (row.size() != result.columns.size()) __builtin_trap();
        }
    } catch (const jet::Error&) {
    }
    return 0;
}
