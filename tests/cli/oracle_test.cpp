// Compares what `tdv` reads from real Access files with two independent readers: mdbtools
// (mdb-tables, mdb-schema, mdb-export) and the npm package mdb-reader. For every table of
// every database: the table list, the column names, order and types, the row count and every
// value, compared by type (see oracle/oracle_compare.h for the rules and for each oracle's
// known limitations, which are counted and printed, never silently ignored).
//
// The files are the shared test databases and, when TDV_EXTRA_MDB_DIR is set, every .mdb
// under that folder. Tests are skipped when neither node (with mdb-reader) nor mdbtools is
// installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "jet/database.h"
#include "jet/error.h"
#include "oracle/oracle_compare.h"

namespace fs = std::filesystem;
using tdv::oracle::Json;
using tdv::oracle::Oracle;
using tdv::test::runCommand;
using tdv::test::runTdv;
using tdv::test::shellQuote;

namespace {

constexpr size_t kMaxMessagesPerTable = 10;

const std::string kOracleDir = std::string(TDV_SOURCE_DIR) + "/tests/oracle";

bool haveMdbReader() {
    static const bool ok = runCommand("node --version").status == 0 &&
                           fs::exists(kOracleDir + "/node_modules/mdb-reader/package.json");
    return ok;
}

bool haveMdbTools() {
    static const bool ok = runCommand(
                               "mdb-export --version && mdb-tables --version && "
                               "mdb-schema --version && python3 --version")
                               .status == 0;
    return ok;
}

std::string oracleCommand(Oracle o, const std::string& args) {
    if (o == Oracle::MdbReader)
        return "node " + shellQuote(kOracleDir + "/mdbreader_dump.mjs") + " " + args;
    return "python3 " + shellQuote(kOracleDir + "/mdbexport_dump.py") + " " + args;
}

std::vector<Oracle> availableOracles() {
    std::vector<Oracle> out;
    if (haveMdbReader()) out.push_back(Oracle::MdbReader);
    if (haveMdbTools()) out.push_back(Oracle::MdbExport);
    return out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) out.push_back(line);
    }
    return out;
}

std::string joined(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += (out.empty() ? "" : ", ") + s;
    return "[" + out + "]";
}

// One table as a reader printed it: the rows in order, each an object keyed in column order.
struct Dump {
    bool ok = false;
    std::string error;
    std::vector<Json> rows;
};

Dump parseDump(const tdv::test::CommandResult& r) {
    Dump d;
    if (r.status != 0) {
        d.error = "exit " + std::to_string(r.status) + ": " + r.err;
        return d;
    }
    for (const std::string& line : lines(r.out)) {
        try {
            d.rows.push_back(Json::parse(line));
        } catch (const std::exception& e) {
            d.error = std::string("unparsable line: ") + e.what() + ": " + line.substr(0, 200);
            return d;
        }
    }
    d.ok = true;
    return d;
}

std::vector<std::string> keysOf(const Json& row) {
    std::vector<std::string> out;
    for (auto it = row.begin(); it != row.end(); ++it) out.push_back(it.key());
    return out;
}

std::string shown(const Json& v) {
    std::string s = v.dump();
    return s.size() > 300 ? s.substr(0, 300) + "...(" + std::to_string(s.size()) + " chars)" : s;
}

// The oracles' names for our column types.
const char* readerTypeName(jet::ColumnType t) {
    switch (t) {
        case jet::ColumnType::Boolean:
            return "boolean";
        case jet::ColumnType::Byte:
            return "byte";
        case jet::ColumnType::Integer:
            return "integer";
        case jet::ColumnType::Long:
            return "long";
        case jet::ColumnType::Currency:
            return "currency";
        case jet::ColumnType::Single:
            return "float";
        case jet::ColumnType::Double:
            return "double";
        case jet::ColumnType::DateTime:
            return "datetime";
        case jet::ColumnType::Binary:
            return "binary";
        case jet::ColumnType::Text:
            return "text";
        case jet::ColumnType::OLE:
            return "ole";
        case jet::ColumnType::Memo:
            return "memo";
        case jet::ColumnType::Guid:
            return "repid";
        case jet::ColumnType::Decimal:
            return "numeric";
    }
    return "?";
}

std::string schemaTypeName(jet::ColumnType t) {
    switch (t) {
        case jet::ColumnType::Boolean:
            return "Boolean";
        case jet::ColumnType::Byte:
            return "Byte";
        case jet::ColumnType::Integer:
            return "Integer";
        case jet::ColumnType::Long:
            return "Long Integer";
        case jet::ColumnType::Currency:
            return "Currency";
        case jet::ColumnType::Single:
            return "Single";
        case jet::ColumnType::Double:
            return "Double";
        case jet::ColumnType::DateTime:
            return "DateTime";
        case jet::ColumnType::Binary:
            return "Binary";
        case jet::ColumnType::Text:
            return "Text";
        case jet::ColumnType::OLE:
            return "OLE";
        case jet::ColumnType::Memo:
            return "Memo/Hyperlink";
        case jet::ColumnType::Guid:
            return "Replication ID";
        case jet::ColumnType::Decimal:
            return "Numeric";
    }
    // mdb-schema names a type it does not know by its code.
    char buf[24];
    std::snprintf(buf, sizeof buf, "Unknown_%04X", static_cast<unsigned>(t));
    return buf;
}

// Collects disagreements of one database and counts the oracle limitations that explained
// differences; prints a summary at the end.
class Comparison {
public:
    explicit Comparison(fs::path file) : file_(std::move(file)) {}

    void run() {
        auto ours = runTdv("tables " + shellQuote(file_.string()));
        ASSERT_EQ(ours.status, 0) << file_ << ": tdv tables failed: " << ours.err;
        const std::vector<std::string> tables = lines(ours.out);
        for (Oracle o : availableOracles()) compareTables(o, tables);

        std::shared_ptr<jet::Database> db;
        try {
            db = jet::Database::open(file_.string());
        } catch (const jet::Error& e) {
            FAIL() << file_ << ": the engine cannot open it: " << e.what();
        }
        // User tables, then the system tables (their long values, binary data and dates
        // with milliseconds are worth comparing too).
        std::vector<std::string> all = tables;
        for (const std::string& name : db->allTableNames()) {
            if (std::find(tables.begin(), tables.end(), name) == tables.end()) all.push_back(name);
        }
        for (const std::string& name : all) {
            try {
                compareTable(*db, name);
            } catch (const jet::Error& e) {
                ADD_FAILURE() << file_ << " table " << name << ": engine error " << e.what();
            }
        }
        printSummary();
    }

private:
    void compareTables(Oracle o, const std::vector<std::string>& ours) {
        auto r = runCommand(oracleCommand(o, "--tables " + shellQuote(file_.string())));
        if (r.status != 0) {
            note(o, "cannot list the tables: " + r.err);
            return;
        }
        // Compared as sets: both oracles list catalog rows where their bodies lie, while the
        // engine lists an overflowed catalog row at its home slot (the address its index
        // entries point to), so the order may differ where MSysObjects has overflow rows.
        std::vector<std::string> mine = ours, theirs = lines(r.out);
        std::sort(mine.begin(), mine.end());
        std::sort(theirs.begin(), theirs.end());
        EXPECT_EQ(joined(mine), joined(theirs))
            << file_ << ": `tdv tables` (left) differs from " << oracleName(o) << " (right)";
    }

    void compareColumns(Oracle o, const jet::TableDef& def) {
        auto r = runCommand(oracleCommand(
            o, "--columns " + shellQuote(file_.string()) + " " + shellQuote(def.name)));
        if (r.status != 0) {
            note(o, "cannot read the columns of " + def.name + ": " + r.err);
            return;
        }
        const auto cols = lines(r.out);
        if (cols.size() != def.columns.size()) {
            ADD_FAILURE() << file_ << " table " << def.name << ": " << def.columns.size()
                          << " columns, " << oracleName(o) << " has " << cols.size();
            return;
        }
        for (size_t i = 0; i < cols.size(); ++i) {
            const Json c = Json::parse(cols[i]);
            const jet::ColumnDef& ours = def.columns[i];
            const std::string expectedType =
                o == Oracle::MdbReader ? readerTypeName(ours.type) : schemaTypeName(ours.type);
            EXPECT_EQ(ours.name, c.value("name", std::string()))
                << file_ << " table " << def.name << " column " << i << " (" << oracleName(o)
                << ")";
            EXPECT_EQ(expectedType, c.value("type", std::string()))
                << file_ << " table " << def.name << " column " << ours.name << " ("
                << oracleName(o) << ")";
            if (o == Oracle::MdbReader && ours.type == jet::ColumnType::Text) {
                EXPECT_EQ(ours.length, c.value("size", -1))
                    << file_ << " table " << def.name << " column " << ours.name
                    << ": declared size (mdb-reader)";
            }
            if (o == Oracle::MdbReader && ours.type == jet::ColumnType::Decimal) {
                EXPECT_EQ(ours.precision, c.value("precision", -1))
                    << file_ << " table " << def.name << " column " << ours.name;
                EXPECT_EQ(ours.scale, c.value("scale", -1))
                    << file_ << " table " << def.name << " column " << ours.name;
            }
        }
    }

    void compareTable(jet::Database& db, const std::string& name) {
        const jet::TableDef& def = db.table(name);
        std::vector<std::string> columnNames;
        for (const auto& c : def.columns) columnNames.push_back(c.name);

        const Dump ours =
            parseDump(runTdv("dump " + shellQuote(file_.string()) + " " + shellQuote(name)));
        if (!ours.ok) {
            ADD_FAILURE() << file_ << " table " << name << ": tdv dump failed: " << ours.error;
            return;
        }
        for (size_t r = 0; r < ours.rows.size(); ++r) {
            if (keysOf(ours.rows[r]) != columnNames) {
                ADD_FAILURE() << file_ << " table " << name << " row " << r << ": keys "
                              << joined(keysOf(ours.rows[r])) << " are not the columns "
                              << joined(columnNames);
                return;
            }
        }
        ++tablesCompared_;
        rowsCompared_ += ours.rows.size();
        for (Oracle o : availableOracles()) {
            compareColumns(o, def);
            const Dump theirs = parseDump(
                runCommand(oracleCommand(o, shellQuote(file_.string()) + " " + shellQuote(name))));
            if (!theirs.ok) {
                note(o, "cannot read table " + name + ": " + theirs.error);
                continue;
            }
            compareRows(o, def, columnNames, ours, theirs);
        }
    }

    // The differences between one of our rows and one oracle row that no known limitation
    // explains (empty = the rows agree); counts the limitations used into quirks.
    std::vector<std::string> rowDifferences(Oracle o, const jet::TableDef& def,
                                            const std::vector<std::string>& names, const Json& a,
                                            const Json& b, std::map<std::string, size_t>& quirks) {
        if (keysOf(b) != names)
            return {"oracle keys " + joined(keysOf(b)) + " are not the columns " + joined(names)};
        std::vector<std::string> out;
        for (size_t c = 0; c < names.size(); ++c) {
            const jet::ColumnType type = def.columns[c].type;
            const Json& va = a[names[c]];
            const Json& vb = b[names[c]];
            if (tdv::oracle::sameValue(type, va, vb)) continue;
            if (const auto* q = tdv::oracle::explainDifference(o, type, va, vb)) {
                ++quirks[q->name];
                continue;
            }
            out.push_back("column " + names[c] + " (" + jet::columnTypeName(type) + "): ours " +
                          shown(va) + ", oracle " + shown(vb));
        }
        return out;
    }

    // Rows are compared in order. When some rows differ in place, they may only have been
    // returned in another order: both oracles return a row whose data overflowed to another
    // page where that data lives, while the engine keeps it at its home row. The rows that
    // differ in place are then matched as a set; if each of ours equals exactly one of the
    // oracle's, the difference is counted as "oracle-row-order", else reported row by row.
    void compareRows(Oracle o, const jet::TableDef& def, const std::vector<std::string>& names,
                     const Dump& ours, const Dump& theirs) {
        const std::string where =
            file_.string() + " table " + def.name + " (" + oracleName(o) + ")";
        EXPECT_EQ(ours.rows.size(), theirs.rows.size()) << where << ": row count";
        std::map<std::string, size_t> quirks;
        std::vector<size_t> differing;
        std::vector<std::string> messages;
        const size_t n = std::min(ours.rows.size(), theirs.rows.size());
        for (size_t r = 0; r < n; ++r) {
            auto diffs = rowDifferences(o, def, names, ours.rows[r], theirs.rows[r], quirks);
            if (diffs.empty()) continue;
            differing.push_back(r);
            for (const auto& d : diffs) messages.push_back("row " + std::to_string(r) + " " + d);
        }
        if (!differing.empty() && ours.rows.size() == theirs.rows.size()) {
            std::map<std::string, size_t> reorderedQuirks;
            std::vector<bool> used(differing.size(), false);
            size_t matched = 0;
            for (size_t i : differing) {
                for (size_t k = 0; k < differing.size(); ++k) {
                    if (used[k]) continue;
                    auto trial = reorderedQuirks;
                    if (!rowDifferences(o, def, names, ours.rows[i], theirs.rows[differing[k]],
                                        trial)
                             .empty())
                        continue;
                    used[k] = true;
                    reorderedQuirks = std::move(trial);
                    ++matched;
                    break;
                }
            }
            if (matched == differing.size()) {
                quirks = std::move(reorderedQuirks);  // in-place quirks of the agreeing rows
                for (size_t r = 0; r < n; ++r) {
                    if (std::find(differing.begin(), differing.end(), r) == differing.end())
                        (void)rowDifferences(o, def, names, ours.rows[r], theirs.rows[r], quirks);
                }
                quirks["oracle-row-order (rows returned in another order)"] += matched;
                messages.clear();
            }
        }
        for (const auto& [name, count] : quirks) quirkCounts_[name] += count;
        for (size_t i = 0; i < messages.size() && i < kMaxMessagesPerTable; ++i)
            ADD_FAILURE() << where << ": " << messages[i];
        if (messages.size() > kMaxMessagesPerTable) {
            ADD_FAILURE() << where << ": " << messages.size() - kMaxMessagesPerTable
                          << " more disagreements not shown";
        }
    }

    void note(Oracle o, const std::string& text) {
        notes_.push_back(std::string(oracleName(o)) + " " + text);
    }

    void printSummary() const {
        std::cout << "[oracle] " << file_.filename().string() << ": " << tablesCompared_
                  << " tables, " << rowsCompared_ << " rows compared";
        for (const auto& [name, count] : quirkCounts_) std::cout << "; " << name << " x" << count;
        std::cout << "\n";
        for (const auto& n : notes_) std::cout << "[oracle]   note: " << n;
        if (!notes_.empty() && notes_.back().back() != '\n') std::cout << "\n";
    }

    fs::path file_;
    size_t tablesCompared_ = 0;
    size_t rowsCompared_ = 0;
    std::map<std::string, size_t> quirkCounts_;
    std::vector<std::string> notes_;
};

void requireAnOracle() {
    if (availableOracles().empty())
        GTEST_SKIP() << "neither node with mdb-reader nor mdbtools (with python3) is installed";
}

class OracleTest : public ::testing::TestWithParam<fs::path> {};

TEST_P(OracleTest, EveryTableAgreesWithMdbToolsAndMdbReader) {
    requireAnOracle();
    if (IsSkipped()) return;
    Comparison(GetParam()).run();
}

std::string testName(const ::testing::TestParamInfo<fs::path>& info) {
    std::string name =
        info.param.parent_path().filename().string() + "_" + info.param.stem().string();
    for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(RealFiles, OracleTest, ::testing::ValuesIn(tdv::test::allTestDatabases()),
                         testName);

// More real files, kept outside the repository: TDV_EXTRA_MDB_DIR=/path/to/mdbs.
TEST(OracleExtraFiles, EveryTableAgreesWithMdbToolsAndMdbReader) {
    const char* dir = std::getenv("TDV_EXTRA_MDB_DIR");
    if (!dir || !*dir) GTEST_SKIP() << "TDV_EXTRA_MDB_DIR is not set";
    requireAnOracle();
    if (IsSkipped()) return;
    std::vector<fs::path> files;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (e.is_regular_file() && ext == ".mdb") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty()) << "no .mdb files under " << dir;
    for (const auto& f : files) {
        SCOPED_TRACE(f.string());
        Comparison(f).run();
    }
}

// The comparison rules themselves: each known limitation explains exactly its own kind of
// difference and nothing else.
TEST(OracleQuirks, ExplainOnlyTheirOwnDifference) {
    using jet::ColumnType;
    using tdv::oracle::explainDifference;
    EXPECT_NE(explainDifference(Oracle::MdbExport, ColumnType::Double, Json(-94.43),
                                Json(-94.43000000000001)),
              nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbExport, ColumnType::Double, Json(-94.43), Json(-94.44)),
              nullptr);
    EXPECT_NE(
        explainDifference(Oracle::MdbExport, ColumnType::Single, Json(804983.4), Json(804983.38)),
        nullptr);
    EXPECT_EQ(
        explainDifference(Oracle::MdbReader, ColumnType::Single, Json(804983.4), Json(804983.38)),
        nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, ColumnType::DateTime,
                                Json("2020-01-02T03:04:05.678"), Json("2020-01-02T03:04:06")),
              nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, ColumnType::DateTime,
                                Json("2020-12-31T23:59:59.501"), Json("2021-01-01T00:00:00")),
              nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbExport, ColumnType::DateTime,
                                Json("2020-01-02T03:04:05.678"), Json("2020-01-02T03:04:05")),
              nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, ColumnType::DateTime,
                                Json("1805-06-12T00:00:00"), Json("1900-01-00T00:00:00")),
              nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, ColumnType::DateTime,
                                Json("9999-01-01T00:00:00"), Json("1900-01-00T00:00:00")),
              nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbExport, ColumnType::DateTime,
                                Json("1905-06-12T00:00:00"), Json("1900-01-00T00:00:00")),
              nullptr);
    // -1.1 is 1899-12-29 02:24; read as a straight count of days it is 1899-12-28 21:36.
    EXPECT_NE(explainDifference(Oracle::MdbReader, ColumnType::DateTime,
                                Json("1899-12-29T02:24:00"), Json("1899-12-28T21:36:00")),
              nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbReader, ColumnType::DateTime,
                                Json("1999-12-29T02:24:00"), Json("1999-12-28T21:36:00")),
              nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, ColumnType::Text, Json("a\u0081a"), Json("a?a")),
              nullptr);
    EXPECT_NE(explainDifference(Oracle::MdbExport, ColumnType::Text, Json("a\uFFFDa"), Json("a?a")),
              nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbExport, ColumnType::Text, Json("aba"), Json("a?a")),
              nullptr);
    EXPECT_NE(
        explainDifference(Oracle::MdbReader, ColumnType::Memo, Json("a\u009Da"), Json("a\uFFFDa")),
        nullptr);
    EXPECT_EQ(explainDifference(Oracle::MdbReader, ColumnType::Text, Json("a\u009Da"), Json("a?a")),
              nullptr);
}

TEST(OracleQuirks, DatesRoundTripThroughMilliseconds) {
    for (const char* s : {"1899-12-30T00:00:00", "1600-02-29T23:59:59.999", "9999-12-31T00:00:00",
                          "1970-01-01T00:00:00.001", "0100-01-01T12:00:00"}) {
        auto ms = tdv::oracle::parseDumpDate(s);
        ASSERT_TRUE(ms.has_value()) << s;
        EXPECT_EQ(tdv::oracle::formatDumpDate(*ms), s);
    }
}

}  // namespace
