// A backup edited again and again: does the file stay the same size?
//
//   bench_space_reuse [DIR] [USERS] [MESSAGES] [ROUNDS]
//
// Writes a sample of USERS users (default 400) and MESSAGES messages (default 300) into DIR
// (default a new folder under /tmp), then edits the directory backup and the largest
// message backup in ROUNDS rounds (default 10). Each round deletes a third of the users and
// of the messages (with their recordings), adds the same rows again, and grows then shrinks
// every user's alias, one save per statement as `tdv sql` makes them. After each round it
// prints both files' sizes against their size after round 1, and whether our checker,
// mdb-export and mdb-reader read every table of both files (the readers are skipped when
// they are not installed). The sizes should stay within 1.1x of round 1.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/db_check.h"
#include "jet/table_writer.h"
#include "sample/sample.h"

namespace {

namespace fs = std::filesystem;
using jet::Database;
using jet::OpenOptions;
using jet::RowId;
using jet::Value;

std::shared_ptr<Database> openWritable(const std::string& path) {
    return Database::open(path, OpenOptions{.writable = true});
}

// Deletes every third row of the table in one save, then adds the same rows again in
// another.
void deleteAndReinsertAThird(const std::string& path, const std::string& table) {
    auto db = openWritable(path);
    std::vector<RowId> ids;
    std::vector<std::vector<Value>> rows;
    {
        jet::TableScan scan = db->scan(db->table(table));
        for (size_t i = 0; scan.next(); ++i) {
            if (i % 3 != 0) continue;
            ids.push_back(scan.rowId());
            rows.push_back(scan.values());
        }
    }
    jet::TableWriter writer(*db, table);
    {
        jet::SaveScope save(*db);
        for (RowId id : ids) writer.remove(id);
        save.commit();
    }
    jet::SaveScope save(*db);
    for (const auto& row : rows) writer.insert(row);
    save.commit();
}

// Every alias made as long as its column allows, then given back its old value (two
// statements, one save each).
void growAndShrinkAliases(const std::string& path) {
    auto db = openWritable(path);
    const jet::TableDef& t = db->table("Subscribers");
    const size_t alias = *t.findColumn("Alias");
    const size_t chars = db->info().version == jet::JetVersion::Jet3 ? t.columns[alias].length
                                                                     : t.columns[alias].length / 2;
    std::vector<std::pair<RowId, std::vector<Value>>> rows;
    {
        jet::TableScan scan = db->scan(t);
        while (scan.next()) rows.emplace_back(scan.rowId(), scan.values());
    }
    jet::TableWriter writer(*db, "Subscribers");
    for (bool grow : {true, false}) {
        jet::SaveScope save(*db);
        for (auto& [id, values] : rows) {
            std::vector<Value> changed = values;
            if (grow && values[alias].is<jet::Text>()) {
                std::string text = values[alias].get<jet::Text>().utf8;
                text.resize(std::max(text.size(), chars), 'x');
                changed[alias] = Value::text(text);
            }
            writer.update(id, changed);
        }
        save.commit();
    }
}

bool have(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// "ok", "-" (reader missing) or "FAILED": every user table of the file read by each reader.
struct Readers {
    std::string checker, mdbExport, mdbReader;
};

Readers readEverything(const std::string& path) {
    Readers r;
    auto db = Database::open(path);
    r.checker = jet::checkDatabase(*db).empty() ? "ok" : "FAILED";
    const std::string oracle = std::string(TDV_SOURCE_DIR) + "/tests/oracle/mdbreader_dump.mjs";
    const bool exportHere = have("mdb-export");
    const bool nodeHere = have("node") && fs::exists(oracle);
    r.mdbExport = exportHere ? "ok" : "-";
    r.mdbReader = nodeHere ? "ok" : "-";
    for (const std::string& table : db->tableNames()) {
        const std::string args = quote(path) + " " + quote(table) + " >/dev/null 2>&1";
        if (exportHere && std::system(("mdb-export " + args).c_str()) != 0) r.mdbExport = "FAILED";
        if (nodeHere && std::system(("node " + quote(oracle) + " " + args).c_str()) != 0)
            r.mdbReader = "FAILED";
    }
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path dir =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("tdv-bench-space-" + std::to_string(getpid()));
    tdv::sample::SampleOptions options;
    options.users = argc > 2 ? std::stoi(argv[2]) : 400;
    options.messages = argc > 3 ? std::stoi(argv[3]) : 300;
    const int rounds = argc > 4 ? std::stoi(argv[4]) : 10;

    const auto written = tdv::sample::writeSample((dir / "backups").string(),
                                                  tdv::sample::sampleVariants().front(), options);
    const std::string directory = written.directoryBackup;
    std::string messages;
    for (const std::string& m : written.messageBackups)
        if (messages.empty() || fs::file_size(m) > fs::file_size(messages)) messages = m;
    std::printf("directory backup %s (%ju bytes), message backup %s (%ju bytes)\n",
                directory.c_str(), static_cast<uintmax_t>(fs::file_size(directory)),
                messages.c_str(), static_cast<uintmax_t>(fs::file_size(messages)));
    std::printf("%5s %12s %6s %12s %6s  %s\n", "round", "directory", "x", "messages", "x",
                "checker/mdb-export/mdb-reader");

    uintmax_t directoryFirst = 0, messagesFirst = 0;
    double worst = 0;
    bool allRead = true;
    for (int round = 1; round <= rounds; ++round) {
        deleteAndReinsertAThird(directory, "Subscribers");
        deleteAndReinsertAThird(messages, "Messages");
        growAndShrinkAliases(directory);
        const uintmax_t d = fs::file_size(directory), m = fs::file_size(messages);
        if (round == 1) directoryFirst = d, messagesFirst = m;
        const double dx = double(d) / double(directoryFirst),
                     mx = double(m) / double(messagesFirst);
        worst = std::max({worst, dx, mx});
        Readers rd = readEverything(directory), rm = readEverything(messages);
        for (const std::string* s :
             {&rd.checker, &rd.mdbExport, &rd.mdbReader, &rm.checker, &rm.mdbExport, &rm.mdbReader})
            allRead = allRead && *s != "FAILED";
        std::printf("%5d %12ju %6.3f %12ju %6.3f  %s/%s/%s  %s/%s/%s\n", round, d, dx, m, mx,
                    rd.checker.c_str(), rd.mdbExport.c_str(), rd.mdbReader.c_str(),
                    rm.checker.c_str(), rm.mdbExport.c_str(), rm.mdbReader.c_str());
        std::fflush(stdout);
    }
    std::printf("largest size against round 1: %.3fx (%s); every round read by every reader: %s\n",
                worst, worst <= 1.1 ? "within 1.1x" : "OVER 1.1x", allRead ? "yes" : "NO");
    return worst <= 1.1 && allRead ? 0 : 1;
}
