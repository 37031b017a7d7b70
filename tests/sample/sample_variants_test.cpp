// Every sample variant written to disk: each file passes the engine's full check, the version
// facts read back by SQL are the variant's, the variants together sit on both sides of every
// version test the viewer makes, the unrelated file is no message backup, the same seed
// gives the same bytes, and (tests named Oracle) mdbtools and mdb-reader read every table of
// every file with the same content as the engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "jet/db_check.h"
#include "jet/error.h"
#include "oracle/oracle_compare.h"
#include "sample/sample.h"
#include "sample_files_support.h"

namespace tdv::sample::test {
namespace {

bool atLeast(std::initializer_list<int> have, std::initializer_list<int> want) {
    return std::lexicographical_compare(have.begin(), have.end(), want.begin(), want.end()) ==
           false;
}
bool serverAtLeast(const SampleVariant& v, int a, int b, int c, int d, bool quorin) {
    return v.quorin == quorin &&
           atLeast({v.serverMajor, v.serverMinor, v.serverRev, v.serverBuild}, {a, b, c, d});
}
bool toolAtLeast(const SampleVariant& v, int a, int b, int c) {
    return atLeast({v.appMajor, v.appMinor, v.appRev}, {a, b, c});
}
// The backup details and export log test.
bool recentEnoughBackup(const SampleVariant& v) {
    return (!v.quorin && toolAtLeast(v, 7, 0, 29)) || (v.quorin && toolAtLeast(v, 1, 3, 1)) ||
           serverAtLeast(v, 7, 0, 0, 0, true);
}
// The gate before message backups are remapped with the directory.
bool messageRemapAllowed(const SampleVariant& v) {
    if (!v.quorin) return toolAtLeast(v, 1, 0, 20);
    return serverAtLeast(v, 7, 0, 0, 0, true) ? toolAtLeast(v, 1, 0, 20) : toolAtLeast(v, 1, 3, 5);
}

// Whether some variant has the property and some (of those `among` selects) lacks it.
template <class P, class S>
void expectBothSides(const char* what, P property, S among) {
    bool yes = false, no = false;
    for (const SampleVariant& v : sampleVariants()) {
        if (!among(v) || v.emptyDirectory) continue;
        (property(v) ? yes : no) = true;
    }
    EXPECT_TRUE(yes) << "no variant passes: " << what;
    EXPECT_TRUE(no) << "no variant fails: " << what;
}
template <class P>
void expectBothSides(const char* what, P property) {
    expectBothSides(what, property, [](const SampleVariant&) { return true; });
}

TEST(SampleVariants, NamesAreShortUniqueAndTheDefaultIsTheRichestOlderOne) {
    const auto& all = sampleVariants();
    ASSERT_GE(all.size(), 12u);
    std::set<std::string> names;
    for (const SampleVariant& v : all) {
        EXPECT_TRUE(names.insert(v.name).second) << "duplicate " << v.name;
        EXPECT_LE(v.name.size(), 20u) << v.name;
        for (char c : v.name)
            EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') << v.name;
        EXPECT_FALSE(v.description.empty()) << v.name;
        EXPECT_EQ(v.description.find('\n'), std::string::npos) << v.name;
        EXPECT_EQ(findVariant(v.name), &v);
    }
    EXPECT_EQ(findVariant("no-such-variant"), nullptr);
    const SampleVariant& first = all.front();
    EXPECT_FALSE(first.quorin);
    EXPECT_EQ(first.schemaRevision, 20);
    EXPECT_TRUE(first.hasCoResColumn && first.hasServerNameColumn);
    EXPECT_TRUE(recentEnoughBackup(first));
    EXPECT_FALSE(first.flagsAsInteger || first.emptyDirectory || first.emptyMessages ||
                 first.brokenMessages || first.utf8Text);
    for (const SampleVariant& v : all) EXPECT_LE(v.schemaRevision, first.schemaRevision) << v.name;
}

TEST(SampleVariants, EveryVersionTestIsCrossedOnBothSides) {
    auto older = [](const SampleVariant& v) { return !v.quorin; };
    auto quorinBefore7 = [](const SampleVariant& v) { return v.quorin && v.serverMajor < 7; };
    auto quorin7 = [](const SampleVariant& v) { return serverAtLeast(v, 7, 0, 0, 0, true); };
    auto quorin = [](const SampleVariant& v) { return v.quorin; };
    expectBothSides("newer product at server 7 (UTF-8 text)", quorin7, quorin);
    expectBothSides(
        "older tool >= 7.0.29", [](auto& v) { return toolAtLeast(v, 7, 0, 29); }, older);
    expectBothSides(
        "newer tool >= 1.3.1", [](auto& v) { return toolAtLeast(v, 1, 3, 1); }, quorinBefore7);
    expectBothSides("recent enough backup", recentEnoughBackup, older);
    expectBothSides("recent enough backup", recentEnoughBackup, quorinBefore7);
    expectBothSides(
        "newer tool >= 1.3.5", [](auto& v) { return toolAtLeast(v, 1, 3, 5); }, quorinBefore7);
    expectBothSides(
        "server 7 tool >= 1.0.20", [](auto& v) { return toolAtLeast(v, 1, 0, 20); }, quorin7);
    expectBothSides("message remap gate", messageRemapAllowed, quorin);
    for (int revision : {14, 15, 16, 17, 20})
        expectBothSides("schema revision threshold",
                        [revision](auto& v) { return v.schemaRevision >= revision; });
    expectBothSides("ZerithVersionbIsCoRes column", [](auto& v) { return v.hasCoResColumn; });
    expectBothSides("ZerithServerName column", [](auto& v) { return v.hasServerNameColumn; });
    expectBothSides("co-resident", [](auto& v) { return v.coResident; });
    expectBothSides(
        "Integer flags", [](auto& v) { return v.flagsAsInteger; }, older);
    for (const SampleVariant& v : sampleVariants())
        EXPECT_EQ(v.utf8Text, quorin7(v)) << v.name << ": UTF-8 text exactly at Quorin 7";
    auto has = [](bool SampleVariant::*flag) {
        return std::any_of(sampleVariants().begin(), sampleVariants().end(),
                           [flag](const SampleVariant& v) { return v.*flag; });
    };
    EXPECT_TRUE(has(&SampleVariant::emptyDirectory));
    EXPECT_TRUE(has(&SampleVariant::emptyMessages));
    EXPECT_TRUE(has(&SampleVariant::brokenMessages));
}

class SampleVariantFiles : public ::testing::TestWithParam<SampleVariant> {};

TEST_P(SampleVariantFiles, EveryFilePassesTheFullCheck) {
    auto w = writeVariant(GetParam());
    for (const std::string& path : w->all()) {
        auto db = jet::Database::open(path);
        for (const jet::Problem& p : jet::checkDatabase(*db))
            ADD_FAILURE() << fileName(path) << ": " << p.describe();
    }
}

TEST_P(SampleVariantFiles, NamesAreTheBackupToolsAndNothingElseIsWritten) {
    const SampleVariant& v = GetParam();
    auto w = writeVariant(v);
    EXPECT_EQ(fileName(w->files.directoryBackup).rfind("ZerithDBData_Backup_", 0), 0u);
    EXPECT_EQ(w->files.messageBackups.empty(), v.emptyDirectory) << "message files need users";
    for (const std::string& path : w->files.messageBackups) {
        EXPECT_EQ(fileName(path).rfind("ZerithMessage_Backup_", 0), 0u) << path;
        EXPECT_EQ(std::filesystem::path(path).extension(), ".mdb");
    }
    const std::string unrelated = fileName(w->files.unrelatedDatabase);
    EXPECT_EQ(unrelated.find("ZerithMessage_Backup_"), std::string::npos);
    EXPECT_EQ(unrelated.find("ZerithDBData_Backup_"), std::string::npos);
    std::set<std::string> expected;
    for (const auto& p : w->all()) expected.insert(fileName(p));
    std::set<std::string> onDisk;
    for (const auto& e : std::filesystem::directory_iterator(w->dir.path() / "sample"))
        onDisk.insert(e.path().filename().string());
    EXPECT_EQ(onDisk, expected);
}

TEST_P(SampleVariantFiles, VersionFactsReadBackAreTheVariants) {
    const SampleVariant& v = GetParam();
    auto w = writeVariant(v);
    const std::string& dir = w->files.directoryBackup;
    Query info(dir, "SELECT * FROM VersionInfo");
    EXPECT_EQ(info.has("ZerithVersionbIsCoRes"), v.hasCoResColumn);
    if (!v.hasServerNameColumn) {
        EXPECT_FALSE(info.has("ZerithServerName"));
    }
    if (v.emptyDirectory) {
        EXPECT_EQ(info.size(), 0u);
    } else {
        ASSERT_EQ(info.size(), 1u);
        EXPECT_EQ(info.number(0, "ZerithVersionMajor"), v.serverMajor);
        EXPECT_EQ(info.number(0, "ZerithVersionMinor"), v.serverMinor);
        EXPECT_EQ(info.number(0, "ZerithVersionRev"), v.serverRev);
        EXPECT_EQ(info.number(0, "ZerithVersionBuild"), v.serverBuild);
        EXPECT_EQ(info.number(0, "ZerithVersionbQRN"), v.quorin ? -1 : 0);
        if (v.hasCoResColumn) {
            EXPECT_EQ(info.number(0, "ZerithVersionbIsCoRes"), v.coResident ? -1 : 0);
        }
        EXPECT_EQ(info.number(0, "AppVersionMajor"), v.appMajor);
        EXPECT_EQ(info.number(0, "AppVersionMinor"), v.appMinor);
        EXPECT_EQ(info.number(0, "AppVersionRev"), v.appRev);
        EXPECT_EQ(info.has("LogFileZIP"), recentEnoughBackup(v));
    }
    // Directory and message backups alike carry the schema revision.
    for (const std::string& path : w->files.messageBackups)
        EXPECT_EQ(Query(path, "SELECT Version FROM MDBVersion").number(0, "Version"),
                  v.schemaRevision)
            << path;
    Query revision(dir, "SELECT Version FROM MDBVersion");
    ASSERT_EQ(revision.size(), 1u);
    EXPECT_EQ(revision.number(0, "Version"), v.schemaRevision);
}

TEST_P(SampleVariantFiles, MessageBackupsFollowTheVariant) {
    const SampleVariant& v = GetParam();
    auto w = writeVariant(v);
    size_t rows = 0;
    for (const std::string& path : w->files.messageBackups) {
        Query messages(path, "SELECT * FROM Messages");
        rows += messages.size();
        EXPECT_EQ(messages.has("IsSecure"), v.schemaRevision >= 14) << path;
        const auto flagType = messages.result.columns[*messages.column("Read")].type;
        EXPECT_EQ(flagType, v.flagsAsInteger ? jet::ColumnType::Integer : jet::ColumnType::Boolean);
        for (const char* column :
             {"Index", "Subject", "ArrivalTime", "PriorityUrgent", "SensitivityPrivate",
              "CallerANI", "FromAddress", "FromAlias", "ToAlias", "MessageAttachment"})
            EXPECT_TRUE(messages.has(column)) << path << " lacks " << column;
    }
    EXPECT_EQ(rows, v.emptyMessages || v.emptyDirectory ? 0u : size_t(smallOptions().messages));
}

TEST_P(SampleVariantFiles, UnrelatedDatabaseIsNoBackup) {
    auto w = writeVariant(GetParam());
    auto db = jet::Database::open(w->files.unrelatedDatabase);
    const auto tables = db->tableNames();
    EXPECT_FALSE(tables.empty());
    for (const auto& t : tables) {
        EXPECT_FALSE(jet::namesEqual(t, "Messages"));
        EXPECT_FALSE(jet::namesEqual(t, "VersionInfo"));
    }
    try {
        jet::sql::query(*db, "SELECT * FROM Messages");
        ADD_FAILURE() << "the unrelated file answers a Messages query";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.kind(), jet::ErrorKind::NoSuchTable);
    }
}

std::string variantName(const ::testing::TestParamInfo<SampleVariant>& info) {
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Variants, SampleVariantFiles, ::testing::ValuesIn(sampleVariants()),
                         variantName);

// ---- the oracles: mdbtools and mdb-reader read every table the same --------------------

using tdv::oracle::Json;
using tdv::oracle::Oracle;
using tdv::test::runCommand;
using tdv::test::shellQuote;

const std::string kOracleDir = std::string(TDV_SOURCE_DIR) + "/tests/oracle";

std::vector<Oracle> availableOracles() {
    std::vector<Oracle> out;
    if (runCommand("node --version").status == 0 &&
        std::filesystem::exists(kOracleDir + "/node_modules/mdb-reader/package.json"))
        out.push_back(Oracle::MdbReader);
    if (runCommand("mdb-export --version && mdb-schema --version && python3 --version").status == 0)
        out.push_back(Oracle::MdbExport);
    return out;
}

std::string oracleCommand(Oracle o, const std::string& args) {
    if (o == Oracle::MdbReader)
        return "node " + shellQuote(kOracleDir + "/mdbreader_dump.mjs") + " " + args;
    return "python3 " + shellQuote(kOracleDir + "/mdbexport_dump.py") + " " + args;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) out.push_back(line);
    return out;
}

// Runs shell commands a few at a time (the oracles start an interpreter each) and returns
// each one's standard output, or nullopt when it failed.
std::vector<std::optional<std::string>> runAll(const std::vector<std::string>& commands,
                                               const std::filesystem::path& work) {
    std::ofstream list(work / "commands");
    for (size_t i = 0; i < commands.size(); ++i) {
        const std::string out = shellQuote((work / std::to_string(i)).string());
        list << "(" << commands[i] << ") > " << out << " 2>/dev/null && touch " << out << ".ok\n";
    }
    list.close();
    runCommand("xargs -d '\\n' -n 1 -P 4 sh -c < " + shellQuote((work / "commands").string()));
    std::vector<std::optional<std::string>> results;
    for (size_t i = 0; i < commands.size(); ++i) {
        const auto out = work / std::to_string(i);
        if (std::filesystem::exists(out.string() + ".ok")) {
            std::ifstream in(out, std::ios::binary);
            results.emplace_back(std::string(std::istreambuf_iterator<char>(in), {}));
        } else {
            results.emplace_back(std::nullopt);
        }
    }
    return results;
}

// Every row of `ours` equals the oracle's row at the same place, value by value, apart from
// the oracle's named limitations (counted into quirks).
void compareRows(const std::string& where, const jet::TableDef& def, const std::string& ours,
                 const std::string& theirs, Oracle o, std::map<std::string, size_t>& quirks) {
    const auto a = lines(ours), b = lines(theirs);
    ASSERT_EQ(a.size(), b.size()) << where << ": row count";
    size_t reported = 0;
    for (size_t r = 0; r < a.size(); ++r) {
        const Json ra = Json::parse(a[r]), rb = Json::parse(b[r]);
        ASSERT_EQ(ra.size(), def.columns.size()) << where;
        ASSERT_EQ(rb.size(), def.columns.size()) << where << " row " << r;
        for (const jet::ColumnDef& c : def.columns) {
            ASSERT_TRUE(ra.contains(c.name) && rb.contains(c.name)) << where << " " << c.name;
            const Json& va = ra[c.name];
            const Json& vb = rb[c.name];
            if (tdv::oracle::sameValue(c.type, va, vb)) continue;
            if (const auto* q = tdv::oracle::explainDifference(o, c.type, va, vb)) {
                ++quirks[q->name];
                continue;
            }
            if (reported++ < 5)
                ADD_FAILURE() << where << " row " << r << " column " << c.name << ": ours "
                              << va.dump().substr(0, 200) << ", oracle "
                              << vb.dump().substr(0, 200);
        }
    }
}

// Our dump of every table of every file of a sample: table name, column names and types,
// then the rows, keyed by file and table.
struct TableDump {
    std::string file, table, fingerprint, rows;
};

std::vector<TableDump> dumpAll(const std::vector<std::string>& files,
                               const std::filesystem::path& work) {
    std::vector<TableDump> dumps;
    std::vector<std::string> commands;
    for (const std::string& file : files) {
        auto db = jet::Database::open(file);
        for (const std::string& table : db->tableNames()) {
            std::string shape = table;
            for (const auto& c : db->table(table).columns)
                shape += "|" + c.name + ":" + jet::columnTypeName(c.type);
            dumps.push_back({file, table, shape, {}});
            commands.push_back(shellQuote(TDV_BINARY) + " dump " + shellQuote(file) + " " +
                               shellQuote(table));
        }
    }
    const auto results = runAll(commands, work);
    for (size_t i = 0; i < dumps.size(); ++i) {
        if (!results[i]) throw std::runtime_error("tdv dump failed: " + dumps[i].table);
        dumps[i].rows = *results[i];
        dumps[i].fingerprint += "\n" + dumps[i].rows;
    }
    return dumps;
}

class SampleVariantOracle : public ::testing::TestWithParam<SampleVariant> {};

// The default variant's tables are all compared; another variant's tables only where they
// differ from the default's (same name, columns and rows read the same file layout, since
// the files are written by the same code), which keeps the suite to seconds.
TEST_P(SampleVariantOracle, EveryTableOfEveryFileAgreesWithMdbToolsAndMdbReader) {
    const std::vector<Oracle> oracles = availableOracles();
    if (oracles.empty()) GTEST_SKIP() << "neither mdb-reader (node) nor mdbtools is installed";
    const SampleVariant& variant = GetParam();
    const SampleVariant& reference = sampleVariants().front();
    auto w = writeVariant(variant);
    tdv::test::TempDir work;
    std::filesystem::create_directories(work.path() / "ours");
    std::filesystem::create_directories(work.path() / "theirs");
    std::filesystem::create_directories(work.path() / "reference");
    const std::vector<TableDump> ours = dumpAll(w->all(), work.path() / "ours");
    // Table lists are compared once per distinct list, like the tables.
    auto tableList = [](const std::string& file) {
        std::string list;
        for (const auto& t : jet::Database::open(file)->tableNames()) list += t + "\n";
        return list;
    };
    std::set<std::string> alreadyCompared;
    std::unique_ptr<WrittenVariant> ref;
    if (variant.name != reference.name) {
        ref = writeVariant(reference);
        for (const TableDump& d : dumpAll(ref->all(), work.path() / "reference"))
            alreadyCompared.insert(d.fingerprint);
        for (const std::string& file : ref->all()) alreadyCompared.insert(tableList(file));
    }
    struct Job {
        const TableDump* dump;  // nullptr: the table list of file
        std::string file;
        Oracle oracle;
    };
    std::vector<Job> jobs;
    std::vector<std::string> commands;
    for (const std::string& file : w->all()) {
        if (!alreadyCompared.insert(tableList(file)).second) continue;
        for (Oracle o : oracles) {
            jobs.push_back({nullptr, file, o});
            commands.push_back(oracleCommand(o, "--tables " + shellQuote(file)));
        }
    }
    for (const TableDump& d : ours) {
        if (alreadyCompared.count(d.fingerprint)) continue;
        for (Oracle o : oracles) {
            jobs.push_back({&d, d.file, o});
            commands.push_back(oracleCommand(o, shellQuote(d.file) + " " + shellQuote(d.table)));
        }
    }
    const auto results = runAll(commands, work.path() / "theirs");
    std::map<std::string, size_t> quirks;
    size_t compared = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        const Job& job = jobs[i];
        const std::string where = fileName(job.file) + " " +
                                  (job.dump ? job.dump->table : "(tables)") + " (" +
                                  tdv::oracle::oracleName(job.oracle) + ")";
        ASSERT_TRUE(results[i]) << where << ": the oracle failed";
        auto db = jet::Database::open(job.file);
        if (job.dump == nullptr) {
            auto mine = db->tableNames(), theirs = lines(*results[i]);
            std::sort(mine.begin(), mine.end());
            std::sort(theirs.begin(), theirs.end());
            EXPECT_EQ(mine, theirs) << where;
            continue;
        }
        compareRows(where, db->table(job.dump->table), job.dump->rows, *results[i], job.oracle,
                    quirks);
        ++compared;
    }
    std::cout << "[oracle] " << variant.name << ": " << compared << " table reads compared ("
              << ours.size() << " tables, the rest as in " << reference.name << ")";
    for (const auto& [name, count] : quirks) std::cout << "; " << name << " x" << count;
    std::cout << "\n";
}

INSTANTIATE_TEST_SUITE_P(Variants, SampleVariantOracle, ::testing::ValuesIn(sampleVariants()),
                         variantName);

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SampleVariants, SameSeedGivesTheSameBytesAnotherSeedDoesNot) {
    const SampleVariant& v = *findVariant("quorin7-tool1020");
    auto a = writeVariant(v, smallOptions(11));
    auto b = writeVariant(v, smallOptions(11));
    auto c = writeVariant(v, smallOptions(12));
    const auto filesA = a->all(), filesB = b->all();
    ASSERT_EQ(filesA.size(), filesB.size());
    for (size_t i = 0; i < filesA.size(); ++i) {
        EXPECT_EQ(fileName(filesA[i]), fileName(filesB[i]));
        EXPECT_TRUE(readAll(filesA[i]) == readAll(filesB[i])) << fileName(filesA[i]);
    }
    EXPECT_FALSE(readAll(filesA.front()) == readAll(c->all().front()));
    EXPECT_FALSE(readAll(a->files.messageBackups.front()) ==
                 readAll(c->files.messageBackups.front()));
}

TEST(SampleVariants, ExistingFilesAreRefusedAndLeftAlone) {
    const SampleVariant& v = sampleVariants().front();
    auto w = writeVariant(v);
    const std::string folder = (w->dir.path() / "sample").string();
    // Only one of the names is taken: nothing at all may be written.
    const std::string taken = w->files.messageBackups.back();
    const std::string before = readAll(taken);
    for (const auto& p : w->all())
        if (p != taken) std::filesystem::remove(p);
    EXPECT_THROW(writeSample(folder, v, smallOptions()), jet::Error);
    EXPECT_EQ(readAll(taken), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace tdv::sample::test
