// The two text logs of the bulk remap windows: the run log (one per apply, under the
// application folder's "logs" folder) and the CSV error log (one per loaded CSV file, beside
// it). At most one of each is open at a time; the paths stay after closing so that the
// windows can offer to show the file.
//
// Both files are Windows-1252 text (the texts given here are UTF-8 and converted on write),
// every write one whole line ended by CR LF. Starting a log deletes what was at its path.
// When a line holds a character Windows-1252 lacks, the log becomes UTF-8 with a byte-order
// mark from then on (what was written is converted), so that no value is lost. The CSV error
// log is kept in memory and written under a temporary name beside its final one
// (ui::OutputFile), taking its name when stopCSVLogging closes it whole. The "logs" folder is
// the program's own: a link or a file of that name is refused (the run log is then not
// written), never written through.
//
// One ModLogging lives as long as the front end (the desktop program or one `tdv` run) and
// is handed to every remap window it opens.
#pragma once

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ui/output_file.h"
#include "ui/ui_port.h"

namespace tdv::logging {

struct ProgramIdentity {
    std::string exeName;  // executable file name without extension ("tarnis-data-viewer", "tdv")
    int major = 0, minor = 0, revision = 0;  // the program's own version
};

class ModLogging {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // appFolder: where "logs" is created. The clock is the local time source (tests fix it).
    ModLogging(
        ui::UiPort& ui, std::string appFolder, ProgramIdentity program,
        Clock clock = [] { return std::chrono::system_clock::now(); });

    // appFolder/logs/<exe>_CSVRemapLog_yymmdd_hh_mm_ss.TXT; creates "logs" when missing.
    std::string GenerateNewLogFileName();
    void startLogging();
    void MyLog(const std::string& text);
    // Writes several lines at once, each ended by CR LF in `lines`, as MyLog writes them.
    void MyLogLines(std::string_view lines);
    // Writes the run log's lines so far to the file (an apply calls it after every row;
    // stopLogging does it too).
    void flushLog();
    // Writes the run log's lines so far and makes them durable: a save names its rows in the
    // log, and syncs it, before it commits.
    void syncLog();
    // Whether the run log is UTF-8 (it held a character Windows-1252 lacks).
    bool runLogUtf8() const { return runLogUtf8_; }
    void stopLogging();

    // csvPath + "_CSVParse_ErrorLog_.TXT".
    std::string GenerateNewCSVErrorLogFileName(const std::string& csvPath);
    void startCSVLogging();
    void MyCSVLog(const std::string& reason, const std::string& line);
    void stopCSVLogging();

    const std::string& runLogPath() const { return runLogPath_; }
    const std::string& csvErrorLogPath() const { return csvErrorLogPath_; }
    bool runLogOpen() const { return runLog_.is_open(); }
    bool csvErrorLogOpen() const { return csvErrorLog_ != nullptr; }
    // Whether the CSV error log started last could not be created or written (its path is
    // a folder, its folder is read-only, the disk is full): the rejected lines are not in it.
    bool csvErrorLogFailed() const { return csvErrorLogFailed_; }

private:
    ui::UiPort& ui_;
    std::string appFolder_;
    ProgramIdentity program_;
    Clock clock_;
    std::string runLogPath_;
    std::string csvErrorLogPath_;
    std::ofstream runLog_;
    std::unique_ptr<ui::OutputFile> csvErrorLog_;
    std::string csvErrorLogBytes_;
    bool csvErrorLogFailed_ = false;
    bool runLogUtf8_ = false;
    bool csvErrorLogUtf8_ = false;
};

// The running program's identity: `exeName` and the version the build was made with.
ProgramIdentity thisProgram(const std::string& exeName);

}  // namespace tdv::logging
