// A remap window's loading side over a small hand-made directory backup: the scripted UI,
// the process state pointed at the written file, the logs, and helpers to load a CSV file
// through the file dialog and read the grid and the CSV error log back.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "backup/app_state.h"
#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "logging/mod_logging.h"
#include "ui/grid_model.h"

namespace tdv::test {

inline std::string loadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Lines of a CR LF text file.
inline std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

struct LoadHarness {
    TempDir dir;
    ScriptedUi ui;
    backup::AppState state;
    logging::ModLogging logs{ui, (dir.path() / "app").string(), {"tdv", 1, 2, 3}};

    void open(const BackupFixture& db, int16_t schemaRevision = 20) {
        state.strMDBFilePath = db.write(dir.path(), "ZerithDBData_Backup_test.mdb");
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + state.strMDBFilePath;
        state.appFolder = (dir.path() / "app").string();
        state.version.mdbVersion = schemaRevision;
    }

    // Writes a CSV file (the bytes as given) and queues it as the dialog's answer.
    std::string queueCsv(const std::string& bytes, const std::string& name = "remap.csv") {
        const auto path = dir.path() / name;
        std::ofstream(path, std::ios::binary) << bytes;
        ui.openPaths.push_back(path.string());
        return path.string();
    }

    // The CSV error log's lines after its header.
    std::vector<std::string> errorLog() const {
        std::vector<std::string> lines = crlfLines(loadFileBytes(logs.csvErrorLogPath()));
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }
};

// The texts of a grid row by column key.
inline std::string cell(const ui::GridModel& grid, int row, const char* key) {
    return grid.TextMatrix(row, grid.ColIndex(key));
}

// "\"line\",\"[reason]\"" as the CSV error log writes it (the line without double quotes).
inline std::string logged(const std::string& line, const std::string& reason) {
    std::string unquoted;
    for (char c : line)
        if (c != '"') unquoted += c;
    return "\"" + unquoted + "\",\"[" + reason + "]\"";
}

}  // namespace tdv::test
