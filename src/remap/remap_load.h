// The CSV loading both remap windows share: choosing the file, testing its header, and the
// per-line loop that fills the grid, with the window's own line handling plugged in.
//
// Each window says which column names its header needs, which messages it shows, and how
// one data line is checked; everything else (the last-folder setting, the error log calls,
// the 5 ms pause and event processing per line, the 16-bit line count, the grid's redraw,
// progress reports and the completion message) is the same for both and lives here.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "logging/mod_logging.h"
#include "ui/grid_model.h"
#include "ui/ui_port.h"

namespace tdv::remap {

inline constexpr const char* kNotRecognizedMessage =
    "CSV file is not a recognized format - see the help file for details.";
inline constexpr const char* kNoDataMessage = "File contains no data to work with";
inline constexpr const char* kLastCsvFolderKey = "LastCSVFolderPath";

// What one window's CSV load needs to know of the window.
struct CsvLoadTarget {
    ui::UiPort& ui;
    logging::ModLogging& logs;
    ui::GridModel& grid;
    std::string& txtCSVPath;
    const std::function<void(int done, int total)>& progress;
    const char* formName;  // "frmExtensionRemap", for error messages
};

// Positions (from 0) of each name in a header line: the first piece of the line split at
// commas that equals the name after trimming spaces, letter case ignored; -1 when none.
std::vector<int> headerPositions(std::string_view header, const std::vector<std::string>& names);

// The header test of bisValidCSVFileFormat. `positions` receives headerPositions of the
// first line. Messages: kNoDataMessage for a header without data lines, `headerMessage` for
// a missing name or a header of one character or none; a missing file is invalid silently.
bool checkCsvHeader(ui::UiPort& ui, const char* formName, const std::string& path,
                    const std::vector<std::string>& names, const std::string& headerMessage,
                    std::vector<int>& positions);

// cmdOpenCSVFile_Click: the file dialog, the header test (`validate`), then the error log
// and the load (`process`) for an accepted file.
void chooseCsvFile(CsvLoadTarget target, const std::function<bool(const std::string&)>& validate,
                   const std::function<void()>& process);

// ProcessCSVFile: tests the header again (`validate` gives the positions), empties the grid
// and hands each data line, with its fields, to `handleLine`; then closes the error log,
// sizes the text columns and shows the completion message.
void loadCsvRows(CsvLoadTarget target, const std::function<bool(const std::string&)>& validate,
                 const std::string& shortHeaderMessage,
                 const std::function<void(const std::string& line)>& handleLine);

// The folder the open dialog starts in when no file was chosen yet. On Windows this was
// "c:\"; here it is the user's home folder.
std::string defaultCsvFolder();

}  // namespace tdv::remap
