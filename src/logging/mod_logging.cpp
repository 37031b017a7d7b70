#include "logging/mod_logging.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "db/vb_text.h"
#include "jet/file.h"
#include "logging/log_text.h"
#include "ui/procedure.h"

namespace tdv::logging {

namespace {

namespace fs = std::filesystem;

constexpr const char* kModule = "modLogging";
const std::string kRule(64, '=');

std::tm localTimeOf(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

// Deletes the file at the path (a read-only file too: removing a directory entry needs no
// write permission on the file; a link, not what it points to) and opens it anew for
// appending. A folder of that name is left alone. Failures are passed over: the stream then
// stays closed and later writes do nothing.
void reopenEmpty(std::ofstream& out, const std::string& path) {
    if (out.is_open()) out.close();
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(path, ec))) fs::remove(path, ec);
    out.open(path, std::ios::binary | std::ios::app);
    if (!out) out.close();
}

// Whether the run log's folder is the program's own folder (not a link, not a file).
bool inOwnFolder(const std::string& path) {
    const fs::path folder = fs::path(path).parent_path();
    std::error_code ec;
    return fs::is_directory(fs::symlink_status(folder, ec));
}

// Whether the line reached the file.
bool writeLine(ui::OutputFile* out, const std::string& utf8) {
    if (!out) return false;
    try {
        out->write(toLogBytes(utf8) + "\r\n");
        return true;
    } catch (...) {
        return false;
    }
}

// Whether the line reached the file (or its buffer, when `flush` is false).
bool writeLine(std::ofstream& out, const std::string& utf8, bool flush = true) {
    if (!out.is_open()) return false;
    out << toLogBytes(utf8) << "\r\n";
    if (flush) out.flush();
    return static_cast<bool>(out);
}

}  // namespace

ModLogging::ModLogging(ui::UiPort& ui, std::string appFolder, ProgramIdentity program, Clock clock)
    : ui_(ui),
      appFolder_(std::move(appFolder)),
      program_(std::move(program)),
      clock_(std::move(clock)) {}

std::string ModLogging::GenerateNewLogFileName() {
    ui::Procedure proc(ui_, "GenerateNewLogFileName", kModule, ui::ErrorStyle::errorColon(),
                       ui::OwnerKind::Module);
    std::string stamp;
    proc.step([&] {
        const std::tm t = localTimeOf(clock_());
        char text[32];
        std::snprintf(text, sizeof text, "%02d%02d%02d_%02d_%02d_%02d", t.tm_year % 100,
                      t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
        stamp = text;
    });
    const fs::path logs = fs::path(appFolder_) / "logs";
    // The application folder itself may not exist yet on this platform (it lives under the
    // user's data folder), so the whole chain is created; a link or a file named "logs" is
    // refused, and startLogging then writes nothing through it.
    proc.step([&] { ui::prepareOwnFolder(jet::FileSystem::real(), logs.string()); });
    runLogPath_ = (logs / (program_.exeName + "_CSVRemapLog_" + stamp + ".TXT")).string();
    return runLogPath_;
}

void ModLogging::startLogging() {
    if (runLogPath_.empty()) {
        ui_.messageBox("Call to startLogging before GenerateNewLogFileName has been called");
        return;
    }
    if (!inOwnFolder(runLogPath_)) {
        if (runLog_.is_open()) runLog_.close();
        return;
    }
    reopenEmpty(runLog_, runLogPath_);
    writeLine(runLog_, kRule);
    writeLine(runLog_, "Running " + program_.exeName + ", version " +
                           std::to_string(program_.major) + "." + std::to_string(program_.minor) +
                           "." + std::to_string(program_.revision));
    std::string now;
    try {
        now = db::vbTextOfDate(oleDateOfLocalTime(localTimeOf(clock_())));
    } catch (...) {
        // A clock outside the dates the program can show leaves the time empty.
    }
    writeLine(runLog_, "Local time=" + now);
    writeLine(runLog_, kRule + "\r\n");
    writeLine(runLog_, "Search for '(error)' or '(warning)' for problems");
    writeLine(runLog_, "");
}

void ModLogging::MyLog(const std::string& text) {
    // An apply writes thousands of lines per row: they reach the file at flushLog.
    writeLine(runLog_, text, false);
}

void ModLogging::MyLogLines(std::string_view lines) {
    if (!runLog_.is_open()) return;
    // CR LF are their own Windows-1252 bytes, so the block converts as its lines would.
    const bool ascii = std::all_of(lines.begin(), lines.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        runLog_.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    } else {
        runLog_ << toLogBytes(lines);
    }
}

void ModLogging::flushLog() {
    if (runLog_.is_open()) runLog_.flush();
}

void ModLogging::stopLogging() {
    if (runLog_.is_open()) runLog_.close();
}

std::string ModLogging::GenerateNewCSVErrorLogFileName(const std::string& csvPath) {
    csvErrorLogPath_ = csvPath + "_CSVParse_ErrorLog_.TXT";
    return csvErrorLogPath_;
}

void ModLogging::startCSVLogging() {
    if (csvErrorLogPath_.empty()) {
        ui_.messageBox("Error - startLogging called before a log file name has been allocated");
        return;
    }
    stopCSVLogging();
    csvErrorLogFailed_ = false;
    try {
        // Starting a log deletes what was at its path (the entry itself, never through a
        // link), so an earlier load's log never passes for this one's.
        ui::removeEntry(ui_, csvErrorLogPath_);
        csvErrorLog_ = std::make_unique<ui::OutputFile>(ui_, csvErrorLogPath_);
    } catch (...) {
        // Passed over, as every failure of starting a log: the rejected lines are not kept.
        csvErrorLogFailed_ = true;
        return;
    }
    csvErrorLogFailed_ = !writeLine(csvErrorLog_.get(), "ORIGINAL_CSV_LINE, FAILURE_INFO");
}

void ModLogging::MyCSVLog(const std::string& reason, const std::string& line) {
    ui::Procedure proc(ui_, "MyCSVLog", kModule, ui::ErrorStyle::standard(), ui::OwnerKind::Module);
    proc.step([&] {
        std::string unquoted;
        unquoted.reserve(line.size());
        for (char c : line) {
            if (c != '"') unquoted += c;
        }
        if (csvErrorLog_ &&
            !writeLine(csvErrorLog_.get(), "\"" + unquoted + "\",\"[" + reason + "]\""))
            csvErrorLogFailed_ = true;
    });
}

void ModLogging::stopCSVLogging() {
    if (!csvErrorLog_) return;
    // A log that failed on the way is not kept as if it were whole.
    try {
        if (csvErrorLogFailed_) {
            csvErrorLog_->discard();
        } else {
            csvErrorLog_->close();
        }
    } catch (...) {
        csvErrorLogFailed_ = true;
    }
    csvErrorLog_.reset();
}

ProgramIdentity thisProgram(const std::string& exeName) {
    ProgramIdentity id;
    id.exeName = exeName;
    std::sscanf(TDV_VERSION, "%d.%d.%d", &id.major, &id.minor, &id.revision);
    return id;
}

}  // namespace tdv::logging
