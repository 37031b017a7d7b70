#include "logging/mod_logging.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include <iterator>

#include "base/cp1252.h"
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

// The CSV error log's line in its encoding: Windows-1252 until a line holds a character that
// code page lacks; then what was kept so far is converted and the log goes on in UTF-8 with a
// byte-order mark. The lines are kept until the log is closed whole.
void appendCsvLogLine(std::string& bytes, bool& utf8, const std::string& text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && !utf8 && !fitsLogCodePage(text)) {
        utf8 = true;
        bytes = "\xEF\xBB\xBF" + base::cp1252ToUtf8(bytes);
    }
    bytes += (ascii || utf8) ? text : toLogBytes(text);
    bytes += "\r\n";
}

// An open log: its stream, the path it was opened at, and whether it is UTF-8.
struct LogFile {
    std::ofstream& out;
    const std::string& path;
    bool& utf8;
};

// Makes the log UTF-8 with a byte-order mark: what it holds so far (Windows-1252, every
// character of which UTF-8 has) is rewritten in UTF-8 and the log goes on from there.
void becomeUtf8(const LogFile& log) {
    log.utf8 = true;
    log.out.flush();
    log.out.close();
    std::string bytes;
    {
        std::ifstream in(log.path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    log.out.open(log.path, std::ios::binary | std::ios::trunc);
    if (!log.out) {
        log.out.close();
        return;
    }
    log.out << "\xEF\xBB\xBF" << base::cp1252ToUtf8(bytes);
}

// The bytes of the text in the log's encoding (which it may switch to UTF-8 first).
std::string logBytes(const LogFile& log, std::string_view text) {
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) return std::string(text);
    if (!log.utf8 && !fitsLogCodePage(text)) becomeUtf8(log);
    return log.utf8 ? std::string(text) : toLogBytes(text);
}

// Whether the line reached the file (or its buffer, when `flush` is false).
bool writeLine(const LogFile& log, const std::string& utf8, bool flush = true) {
    if (!log.out.is_open()) return false;
    const std::string bytes = logBytes(log, utf8);
    if (!log.out.is_open()) return false;
    log.out << bytes << "\r\n";
    if (flush) log.out.flush();
    return static_cast<bool>(log.out);
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
    runLogUtf8_ = false;
    const LogFile runLog{runLog_, runLogPath_, runLogUtf8_};
    writeLine(runLog, kRule);
    writeLine(runLog, "Running " + program_.exeName + ", version " +
                          std::to_string(program_.major) + "." + std::to_string(program_.minor) +
                          "." + std::to_string(program_.revision));
    std::string now;
    try {
        now = db::vbTextOfDate(oleDateOfLocalTime(localTimeOf(clock_())));
    } catch (...) {
        // A clock outside the dates the program can show leaves the time empty.
    }
    writeLine(runLog, "Local time=" + now);
    writeLine(runLog, kRule + "\r\n");
    writeLine(runLog, "Search for '(error)' or '(warning)' for problems");
    writeLine(runLog, "");
}

void ModLogging::MyLog(const std::string& text) {
    // An apply writes thousands of lines per row: they reach the file at flushLog.
    writeLine(LogFile{runLog_, runLogPath_, runLogUtf8_}, text, false);
}

void ModLogging::MyLogLines(std::string_view lines) {
    if (!runLog_.is_open()) return;
    // CR LF are their own Windows-1252 bytes, so the block converts as its lines would.
    const bool ascii = std::all_of(lines.begin(), lines.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        runLog_.write(lines.data(), static_cast<std::streamsize>(lines.size()));
    } else {
        const std::string bytes = logBytes(LogFile{runLog_, runLogPath_, runLogUtf8_}, lines);
        if (runLog_.is_open()) runLog_ << bytes;
    }
}

void ModLogging::flushLog() {
    if (runLog_.is_open()) runLog_.flush();
}

void ModLogging::syncLog() {
    if (!runLog_.is_open()) return;
    runLog_.flush();
    const int fd = ::open(runLogPath_.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::close(fd);
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
    csvErrorLogUtf8_ = false;
    csvErrorLogBytes_.clear();
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
    appendCsvLogLine(csvErrorLogBytes_, csvErrorLogUtf8_, "ORIGINAL_CSV_LINE, FAILURE_INFO");
}

void ModLogging::MyCSVLog(const std::string& reason, const std::string& line) {
    ui::Procedure proc(ui_, "MyCSVLog", kModule, ui::ErrorStyle::standard(), ui::OwnerKind::Module);
    proc.step([&] {
        std::string unquoted;
        unquoted.reserve(line.size());
        for (char c : line) {
            if (c != '"') unquoted += c;
        }
        if (csvErrorLog_)
            appendCsvLogLine(csvErrorLogBytes_, csvErrorLogUtf8_,
                             "\"" + unquoted + "\",\"[" + reason + "]\"");
    });
}

void ModLogging::stopCSVLogging() {
    if (!csvErrorLog_) return;
    // A log that failed on the way is not kept as if it were whole.
    try {
        if (csvErrorLogFailed_) {
            csvErrorLog_->discard();
        } else {
            csvErrorLog_->write(csvErrorLogBytes_);
            csvErrorLog_->close();
        }
    } catch (...) {
        csvErrorLogFailed_ = true;
    }
    csvErrorLog_.reset();
    csvErrorLogBytes_.clear();
}

ProgramIdentity thisProgram(const std::string& exeName) {
    ProgramIdentity id;
    id.exeName = exeName;
    std::sscanf(TDV_VERSION, "%d.%d.%d", &id.major, &id.minor, &id.revision);
    return id;
}

}  // namespace tdv::logging
