// Helpers of the table write tests: opening copies, reading a table back as comparable
// text, and checking a written file with our engine, every index and the oracle readers.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/database.h"
#include "jet/db_check.h"
#include "jet/index_reader.h"
#include "jet/value.h"

namespace tablewrite_test {

using namespace jet;
namespace fs = std::filesystem;

inline std::string valueText(const Value& v) {
    struct V {
        std::string operator()(std::monostate) const { return "null"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(uint8_t x) const { return std::to_string(x); }
        std::string operator()(int16_t x) const { return std::to_string(x); }
        std::string operator()(int32_t x) const { return std::to_string(x); }
        std::string operator()(const Currency& c) const { return formatCurrency(c); }
        std::string operator()(float f) const { return formatSingle(f); }
        std::string operator()(double d) const { return formatDouble(d); }
        std::string operator()(const DateTime& d) const { return formatDateTime(d); }
        std::string operator()(const Text& t) const { return "'" + t.utf8 + "'"; }
        std::string operator()(const Bytes& b) const {
            return "bytes" + std::to_string(b.size()) + ":" +
                   std::to_string(b.empty() ? 0 : b.front() + b.back() * 7 + b[b.size() / 2]);
        }
        std::string operator()(const Guid& g) const { return formatGuid(g); }
        std::string operator()(const Decimal& d) const { return formatDecimal(d); }
    };
    return std::visit(V{}, v.storage());
}

inline std::string rowText(const std::vector<Value>& row) {
    std::string s;
    for (const Value& v : row) s += valueText(v) + "|";
    return s;
}

// Every row of the table as text, sorted.
inline std::vector<std::string> tableRows(Database& db, const std::string& table) {
    std::vector<std::string> rows;
    TableScan scan = db.scan(db.table(table));
    while (scan.next()) rows.push_back(rowText(scan.values()));
    std::sort(rows.begin(), rows.end());
    return rows;
}

inline std::vector<uint8_t> fileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline size_t oracleRowCount(const std::string& command) {
    auto r = tdv::test::runCommand(command);
    EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
    return static_cast<size_t>(std::count(r.out.begin(), r.out.end(), '\n'));
}

// The file reads back with exactly `expected` rows (sorted row texts); the definition's row
// count agrees; every index matches the rows; the database checker finds nothing wrong with
// the table; mdb-export and mdb-reader see as many rows.
inline void verifyFile(const fs::path& file, const std::string& table,
                       const std::vector<std::string>& expected) {
    auto db = Database::open(file.string());
    EXPECT_EQ(tableRows(*db, table), expected);
    const TableDef& t = db->table(table);
    EXPECT_EQ(t.rowCount, expected.size());
    for (const IndexDef& ix : t.indexes)
        EXPECT_EQ(checkIndex(*db, t, ix), std::vector<std::string>{}) << "index " << ix.name;
    // The whole-file checker: pages, maps, free space, long values, overflow rows of the
    // written table (other tables of the real files have faults of their own).
    for (const Problem& p : checkDatabase(*db)) EXPECT_NE(p.table, table) << p.describe();
    const std::string oracles = std::string(TDV_SOURCE_DIR) + "/tests/oracle/";
    const std::string args =
        tdv::test::shellQuote(file.string()) + " " + tdv::test::shellQuote(table);
    EXPECT_EQ(oracleRowCount("python3 " + oracles + "mdbexport_dump.py " + args), expected.size())
        << "mdb-export";
    EXPECT_EQ(oracleRowCount("node " + oracles + "mdbreader_dump.mjs " + args), expected.size())
        << "mdb-reader";
}

inline std::shared_ptr<Database> openWritable(const fs::path& p) {
    OpenOptions o;
    o.writable = true;
    return Database::open(p.string(), o);
}

inline Value text(const std::string& s) {
    return Value::text(s);
}
template <class T>
Value val(T x) {
    return Value(Value::Storage(x));
}

}  // namespace tablewrite_test
