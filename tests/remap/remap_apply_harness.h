// A remap window over a small hand-made directory backup and the message backup files
// beside it, for the apply tests: the scripted UI, the process state, a run log with a fixed
// clock, and helpers to read the files back and check them.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "backup/app_state.h"
#include "backup/safety_copy.h"
#include "db/recordset.h"
#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "jet/db_check.h"
#include "logging/mod_logging.h"

namespace tdv::test {

// 6 December 2026, 11:45:23 local time.
inline std::chrono::system_clock::time_point fixedLocalTime() {
    std::tm t{};
    t.tm_year = 126, t.tm_mon = 11, t.tm_mday = 6, t.tm_hour = 11, t.tm_min = 45, t.tm_sec = 23;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

inline std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Every row of a query as text cells ("<null>" for Null), in the order the engine gives.
inline std::vector<std::vector<std::string>> queryRows(const std::string& path,
                                                       const std::string& sql) {
    db::Recordset rs;
    rs.Open(sql, std::string(backup::kConnectPrefix) + path);
    std::vector<std::vector<std::string>> out;
    for (; !rs.Eof(); rs.MoveNext()) {
        std::vector<std::string> row;
        for (long i = 0; i < rs.Fields().Count(); ++i) {
            const db::Variant v = rs.Fields(i).Value();
            row.push_back(v.isNull() ? "<null>" : v.toText());
        }
        out.push_back(std::move(row));
    }
    return out;
}

inline std::vector<std::string> checkProblems(const std::string& path) {
    auto db = jet::Database::open(path);
    std::vector<std::string> out;
    for (const jet::Problem& p : jet::checkDatabase(*db)) out.push_back(p.describe());
    return out;
}

// The run log's lines after its header, without the lines of its saves.
inline std::vector<std::string> logBody(const std::string& path) {
    std::vector<std::string> lines;
    const std::string text = fileText(path);
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    if (lines.size() >= 7) lines.erase(lines.begin(), lines.begin() + 7);
    // The lines that name each save before it commits and confirm it after (saveLines).
    std::erase_if(lines, [](const std::string& line) { return line.starts_with("Save "); });
    return lines;
}

struct RemapHarness {
    TempDir dir;
    ScriptedUi ui;
    backup::AppState state;
    logging::ModLogging logs{
        ui, (dir.path() / "app").string(), {"tdv", 1, 2, 3}, [] { return fixedLocalTime(); }};

    // The tests of the run log and messages read them exactly; the safety copy's own tests
    // switch it back on.
    RemapHarness() { backup::setSafetyCopyEnabled(ui, false); }

    std::filesystem::path folder() const { return dir.path() / "backups"; }

    // Writes the directory backup into folder() and makes it the open backup (schema
    // revision 20, older product, tool 7.0.29 unless a test says otherwise).
    void open(const BackupFixture& db) {
        std::filesystem::create_directories(folder());
        state.strMDBFilePath = db.write(folder(), "ZerithDBData_Backup_test.mdb");
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + state.strMDBFilePath;
        state.appFolder = (dir.path() / "app").string();
        state.version.mdbVersion = 20;
        olderProduct(7, 0, 29);
    }
    std::string addFile(const BackupFixture& db, const std::string& name) const {
        return db.write(folder(), name);
    }
    void olderProduct(int16_t major, int16_t minor, int16_t rev) {
        auto& v = state.version;
        v.bIsQuorinBackup = false;
        v.serverMajor = 5, v.serverMinor = 0, v.serverRev = 3, v.serverBuild = 2105;
        tool(major, minor, rev);
    }
    void newerProduct(int16_t serverMajor, int16_t toolMajor, int16_t toolMinor, int16_t toolRev) {
        auto& v = state.version;
        v.bIsQuorinBackup = true;
        v.serverMajor = serverMajor, v.serverMinor = 0, v.serverRev = 0, v.serverBuild = 310;
        tool(toolMajor, toolMinor, toolRev);
    }
    void tool(int16_t major, int16_t minor, int16_t rev) {
        auto& v = state.version;
        v.appMajor = major, v.appMinor = minor, v.appRev = rev;
    }
    std::string writeCsv(const std::string& text) const {
        const auto path = dir.path() / "remap.csv";
        writeText(path, text);
        return path.string();
    }
    std::vector<std::string> runLogFiles() const {
        std::vector<std::string> out;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(dir.path() / "app" / "logs", ec))
            out.push_back(e.path().filename().string());
        return out;
    }
};

}  // namespace tdv::test
