#include "remap/remap_load.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "backup/app_state.h"
#include "base/text.h"
#include "base/utf8.h"
#include "db/db_error.h"
#include "remap/remap_csv.h"
#include "ui/procedure.h"

namespace tdv::remap {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxLineCount = 32767;  // the count is a 16-bit signed number
constexpr int kProgressEvery = 100;   // lines between progress reports
constexpr int kFirstTextColumn = 1;   // Old Alias
constexpr int kLastTextColumn = 7;    // Display Name (extension window) / Info (e-mail window)

}  // namespace

std::string defaultCsvFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::string(home) : std::string("/");
}

std::vector<int> headerPositions(std::string_view header, const std::vector<std::string>& names) {
    const std::vector<std::string> pieces = splitCsvFields(header);
    std::vector<int> positions;
    for (const std::string& name : names) {
        int found = -1;
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (base::equalsIgnoringCase(trimSpaces(pieces[i]), name)) {
                found = static_cast<int>(i);
                break;
            }
        }
        positions.push_back(found);
    }
    return positions;
}

bool checkCsvHeader(ui::UiPort& ui, const char* formName, const std::string& path,
                    const std::vector<std::string>& names, const std::string& headerMessage,
                    std::vector<int>& positions) {
    ui::Procedure proc(ui, "bisValidCSVFileFormat", formName, ui::ErrorStyle::standard());
    positions.assign(names.size(), -1);
    bool exists = false;
    proc.step([&] { exists = fs::is_regular_file(path); });
    if (!exists) return false;

    // Only the first line is read: a file chosen by mistake may be large, and is no remap
    // CSV file unless that line is text.
    std::optional<std::string> head;
    bool moreLines = false;
    bool read = false;
    proc.step([&] {
        head = readCsvHeader(path, moreLines);
        read = true;
    });
    if (!read) return false;
    if (!head) return false;
    const std::string& header = *head;
    std::error_code ec;
    if (fs::file_size(path, ec) == 0 && !ec) {
        // Reading the first line of an empty file fails as reading past its end did.
        proc.step([&] { throw db::DbError(62, "Input past end of file"); });
    }
    if (base::utf8CharacterCount(header) > 1) positions = headerPositions(header, names);
    const bool allFound =
        base::utf8CharacterCount(header) > 1 &&
        std::none_of(positions.begin(), positions.end(), [](int p) { return p < 0; });
    if (allFound) {
        if (moreLines) return true;
        ui.messageBox(kNoDataMessage);
        return false;
    }
    ui.messageBox(headerMessage);
    return false;
}

void chooseCsvFile(CsvLoadTarget target, const std::function<bool(const std::string&)>& validate,
                   const std::function<void()>& process) {
    ui::UiPort& ui = target.ui;
    ui::Procedure proc(ui, "cmdOpenCSVFile_Click", target.formName, ui::ErrorStyle::standard());

    const std::string previous = target.txtCSVPath;
    ui::FileDialog dialog;
    dialog.title = "Select CSV File";
    dialog.filterDescription = "All Files";
    dialog.filterPattern = "*.*";
    proc.step([&] {
        if (previous.empty()) {
            dialog.initialFolder =
                ui.setting(backup::kSettingsSection, kLastCsvFolderKey, defaultCsvFolder());
        } else {
            dialog.initialFolder = fs::path(previous).parent_path().string();
            dialog.fileName = previous;
        }
    });

    std::string chosen;
    proc.step([&] { chosen = ui.openFileDialog(dialog); });
    if (chosen.empty()) return;
    if (base::utf8CharacterCount(chosen) < 4) {
        target.txtCSVPath = previous;
        return;
    }
    std::error_code ec;
    const uintmax_t size = fs::file_size(chosen, ec);
    if (!ec && size > kMaxCsvFileBytes) {
        ui.messageBox("CSV file is too large: " + std::to_string(size) +
                      " bytes, and a remap CSV file holds at most " +
                      std::to_string(kMaxCsvFileBytes) + " bytes (100 MB).");
        target.txtCSVPath = previous;
        return;
    }
    bool valid = false;
    proc.step([&] { valid = validate(chosen); });
    if (!valid) {
        ui.messageBox(kNotRecognizedMessage);
        target.txtCSVPath = previous;
        return;
    }
    target.txtCSVPath = chosen;
    proc.step([&] {
        ui.saveSetting(backup::kSettingsSection, kLastCsvFolderKey,
                       fs::path(chosen).parent_path().string());
    });
    proc.step([&] { target.logs.GenerateNewCSVErrorLogFileName(target.txtCSVPath); });
    proc.step([&] { target.logs.startCSVLogging(); });
    proc.step(process);
}

void loadCsvRows(CsvLoadTarget target, const std::function<bool(const std::string&)>& validate,
                 const std::string& shortHeaderMessage,
                 const std::function<void(const std::string& line)>& handleLine) {
    ui::UiPort& ui = target.ui;
    ui::GridModel& grid = target.grid;
    ui::Procedure proc(ui, "ProcessCSVFile", target.formName, ui::ErrorStyle::standard());

    bool valid = false;
    proc.step([&] { valid = validate(target.txtCSVPath); });
    if (!valid) {
        ui.messageBox(kNotRecognizedMessage);
        return;
    }

    // The file is handed over a line at a time: memory grows with the rows kept, not with
    // the file.
    int linesRead = 0;
    size_t total = 0;
    size_t index = 0;
    bool started = false;
    bool stopped = false;
    const auto handle = [&](std::string& line) {
        const size_t i = index++;
        if (stopped) return;
        if (i == 0) {
            if (base::utf8CharacterCount(line) <= 1) {
                ui.messageBox(shortHeaderMessage);
                stopped = true;
                return;
            }
            started = true;
            proc.step([&] {
                grid.setRows(1);
                grid.setRedraw(0);
            });
            return;
        }
        if (linesRead < kMaxLineCount) ++linesRead;
        ui.sleepMs(5);
        ui.processEvents();
        // A failure while handling one line is passed over; the next line follows.
        try {
            handleLine(line);
        } catch (...) {
        }
        const int done = static_cast<int>(i);
        if (target.progress && (done % kProgressEvery == 0 || i + 1 == total))
            target.progress(done, static_cast<int>(total) - 1);
    };
    try {
        forEachCsvLine(
            target.txtCSVPath, [&](size_t count) { total = count; }, handle);
        if (total == 0) ui.messageBox(shortHeaderMessage);
    } catch (const std::exception&) {
        if (!started && !stopped) ui.messageBox("Error - Could not open CSV file");
    }

    proc.step([&] { target.logs.stopCSVLogging(); });
    proc.step([&] { grid.AutoSize(kFirstTextColumn, std::min(kLastTextColumn, grid.Cols() - 1)); });
    proc.step([&] { grid.setRedraw(2); });

    const int added = std::max(grid.Rows() - 1, 0);
    const std::string summary = "Import complete. " + std::to_string(linesRead) +
                                " lines read in from text file, " + std::to_string(added) +
                                " users added to grid.";
    if (linesRead > added && target.logs.csvErrorLogFailed()) {
        // The rejected lines are in no log: say so, and offer nothing to review.
        ui.messageBox(summary +
                      "  The rejected lines could not be written to the CSV parse "
                      "error log " +
                      target.logs.csvErrorLogPath() + ".");
    } else if (linesRead > added) {
        if (ui.messageBox(summary + "  Review CSV parse error log now?", ui::Buttons::YesNo) ==
            ui::Answer::Yes) {
            ui.openWithDesktop(target.logs.csvErrorLogPath());
        }
    } else {
        ui.messageBox(summary);
    }
}

}  // namespace tdv::remap
