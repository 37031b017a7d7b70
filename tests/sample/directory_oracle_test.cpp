// The sample directory backups read by two independent readers, mdbtools (mdb-export) and
// the npm package mdb-reader: every table, column and value must agree with what `tdv dump`
// reads (compared by type, with the oracles' known limitations of oracle/oracle_compare.h).
// Skipped when neither reader is installed.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "oracle/oracle_compare.h"
#include "sample/directory_backup_support.h"

namespace tdv::sample::test {
namespace {

namespace fs = std::filesystem;
using tdv::oracle::Json;
using tdv::oracle::Oracle;
using tdv::test::runCommand;
using tdv::test::runTdv;
using tdv::test::shellQuote;

const std::string kOracleDir = std::string(TDV_SOURCE_DIR) + "/tests/oracle";

std::vector<Oracle> availableOracles() {
    std::vector<Oracle> out;
    if (runCommand("node --version").status == 0 &&
        fs::exists(kOracleDir + "/node_modules/mdb-reader/package.json"))
        out.push_back(Oracle::MdbReader);
    if (runCommand("mdb-export --version && python3 --version").status == 0)
        out.push_back(Oracle::MdbExport);
    return out;
}

std::string oracleCommand(Oracle o, const std::string& args) {
    if (o == Oracle::MdbReader)
        return "node " + shellQuote(kOracleDir + "/mdbreader_dump.mjs") + " " + args;
    return "python3 " + shellQuote(kOracleDir + "/mdbexport_dump.py") + " " + args;
}

// JSON Lines of a command's output; fails the test when the command fails.
std::vector<Json> jsonLines(const tdv::test::CommandResult& r, const std::string& what) {
    std::vector<Json> out;
    EXPECT_EQ(r.status, 0) << what << ": " << r.err;
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(Json::parse(line));
    return out;
}

std::string shown(const Json& v) {
    const std::string s = v.dump();
    return s.size() > 200 ? s.substr(0, 200) + "..." : s;
}

void compareWithOracles(const SampleVariant& variant) {
    const auto oracles = availableOracles();
    if (oracles.empty()) GTEST_SKIP() << "neither mdb-reader (node) nor mdbtools is installed";
    auto w = writeBackup(variant);
    const std::string file = shellQuote(w->path.string());
    size_t compared = 0;
    for (const std::string& name : w->db->tableNames()) {
        const jet::TableDef& def = w->db->table(name);
        const auto ours = jsonLines(runTdv("dump " + file + " " + shellQuote(name)), name);
        ASSERT_EQ(ours.size(), def.rowCount) << name;
        for (Oracle o : oracles) {
            const std::string where = name + " (" + oracleName(o) + ")";
            const auto theirs =
                jsonLines(runCommand(oracleCommand(o, file + " " + shellQuote(name))), where);
            // Column names and order: from the first row's keys, or asked for when the table
            // is empty (one process less per table).
            std::vector<std::string> names;
            if (!theirs.empty()) {
                for (auto it = theirs[0].begin(); it != theirs[0].end(); ++it)
                    names.push_back(it.key());
            } else {
                for (const Json& c : jsonLines(
                         runCommand(oracleCommand(o, "--columns " + file + " " + shellQuote(name))),
                         where))
                    names.push_back(c.value("name", std::string()));
            }
            ASSERT_EQ(names.size(), def.columns.size()) << where;
            for (size_t c = 0; c < names.size(); ++c)
                EXPECT_EQ(names[c], def.columns[c].name) << where;
            ASSERT_EQ(theirs.size(), ours.size()) << where << ": row count";
            size_t failures = 0;
            for (size_t r = 0; r < ours.size() && failures < 5; ++r) {
                for (const auto& column : def.columns) {
                    const Json& a = ours[r][column.name];
                    const Json& b = theirs[r][column.name];
                    if (tdv::oracle::sameValue(column.type, a, b) ||
                        tdv::oracle::explainDifference(o, column.type, a, b))
                        continue;
                    ++failures;
                    ADD_FAILURE() << where << " row " << r << " column " << column.name << ": ours "
                                  << shown(a) << ", oracle " << shown(b);
                }
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 1000u);
}

TEST(DirectoryBackupOracle, OlderProductAgreesWithMdbToolsAndMdbReader) {
    compareWithOracles(olderProductVariant());
}

TEST(DirectoryBackupOracle, NewerProductUtf8TextAgreesWithMdbToolsAndMdbReader) {
    compareWithOracles(quorinVariant());
}

TEST(DirectoryBackupOracle, IntegerFlagsAgreeWithMdbToolsAndMdbReader) {
    compareWithOracles(flagsAsIntegerVariant());
}

}  // namespace
}  // namespace tdv::sample::test
