// The two remap logs: file names, the run log header, the CSV error log lines, the order
// rules (start before a name, write after stop) and the Windows-1252 CR LF text on disk.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "logging/log_text.h"
#include "logging/mod_logging.h"

namespace tdv::test {
namespace {

namespace fs = std::filesystem;
using logging::ModLogging;
using logging::ProgramIdentity;

// 6 December 2026, 11:45:23 local time.
std::chrono::system_clock::time_point localTime(int year, int month, int day, int hour, int min,
                                                int sec) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = min;
    t.tm_sec = sec;
    t.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct LogHarness {
    TempDir dir;
    ScriptedUi ui;
    std::chrono::system_clock::time_point now = localTime(2026, 12, 6, 11, 45, 23);
    fs::path appFolder = dir.path() / "app";
    ModLogging logs{ui, appFolder.string(), ProgramIdentity{"tdv", 1, 2, 3},
                    [this] { return now; }};
};

const std::string kRule(64, '=');

TEST(RunLog, NameIsExeThenLocalTimeUnderLogsFolderWhichIsCreated) {
    LogHarness h;
    ASSERT_FALSE(fs::exists(h.appFolder));
    const std::string path = h.logs.GenerateNewLogFileName();
    EXPECT_EQ(path, (h.appFolder / "logs" / "tdv_CSVRemapLog_261206_11_45_23.TXT").string());
    EXPECT_EQ(h.logs.runLogPath(), path);
    EXPECT_TRUE(fs::is_directory(h.appFolder / "logs"));
    EXPECT_FALSE(fs::exists(path)) << "only starting the log creates the file";
    EXPECT_TRUE(h.ui.boxes.empty());

    h.now = localTime(2027, 1, 2, 3, 4, 5);
    EXPECT_EQ(fs::path(h.logs.GenerateNewLogFileName()).filename(),
              "tdv_CSVRemapLog_270102_03_04_05.TXT");
}

TEST(RunLog, HeaderIsSixLinesOfWindowsText) {
    LogHarness h;
    h.now = localTime(2026, 12, 6, 14, 5, 9);
    h.logs.GenerateNewLogFileName();
    h.logs.startLogging();
    EXPECT_TRUE(h.logs.runLogOpen());
    h.logs.MyLog("Action=Replace old alias with new alias for this user.");
    h.logs.stopLogging();
    EXPECT_FALSE(h.logs.runLogOpen());
    EXPECT_EQ(fileBytes(h.logs.runLogPath()),
              kRule + "\r\n" + "Running tdv, version 1.2.3\r\n" +
                  "Local time=12/6/2026 2:05:09 PM\r\n" + kRule + "\r\n\r\n" +
                  "Search for '(error)' or '(warning)' for problems\r\n" + "\r\n" +
                  "Action=Replace old alias with new alias for this user.\r\n");
}

TEST(RunLog, MidnightShowsTheDateAlone) {
    LogHarness h;
    h.now = localTime(2026, 1, 31, 0, 0, 0);
    h.logs.GenerateNewLogFileName();
    h.logs.startLogging();
    h.logs.stopLogging();
    EXPECT_NE(fileBytes(h.logs.runLogPath()).find("\r\nLocal time=1/31/2026\r\n"),
              std::string::npos);
}

TEST(RunLog, StartBeforeANameShowsTheMessageAndOpensNothing) {
    LogHarness h;
    h.logs.startLogging();
    EXPECT_FALSE(h.logs.runLogOpen());
    ASSERT_EQ(h.ui.texts(),
              std::vector<std::string>{
                  "Call to startLogging before GenerateNewLogFileName has been called"});
    EXPECT_EQ(h.ui.boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(h.ui.boxes[0].icon, ui::Icon::None);
    h.logs.MyLog("nothing");  // a write to a log that is not open does nothing
    EXPECT_FALSE(fs::exists(h.appFolder / "logs"));
}

TEST(RunLog, WriteAfterStopLeavesTheFileAsItWas) {
    LogHarness h;
    h.logs.GenerateNewLogFileName();
    h.logs.startLogging();
    h.logs.MyLog("first");
    h.logs.stopLogging();
    const std::string before = fileBytes(h.logs.runLogPath());
    h.logs.MyLog("second");
    h.logs.stopLogging();
    EXPECT_EQ(fileBytes(h.logs.runLogPath()), before);
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(RunLog, TwoAppliesInOneSecondShareTheNameAndTheLaterStartsAnew) {
    LogHarness h;
    const std::string first = h.logs.GenerateNewLogFileName();
    h.logs.startLogging();
    h.logs.MyLog("from the first apply");
    h.logs.stopLogging();

    const std::string second = h.logs.GenerateNewLogFileName();
    EXPECT_EQ(second, first);
    h.logs.startLogging();
    h.logs.MyLog("from the second apply");
    h.logs.stopLogging();
    const std::string text = fileBytes(second);
    EXPECT_EQ(text.find("from the first apply"), std::string::npos);
    EXPECT_NE(text.find("from the second apply"), std::string::npos);
    EXPECT_EQ(text.find(kRule), 0u);
}

TEST(RunLog, AReadOnlyOldFileIsReplaced) {
    LogHarness h;
    const std::string path = h.logs.GenerateNewLogFileName();
    { std::ofstream(path) << "old content"; }
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    h.logs.startLogging();
    h.logs.stopLogging();
    EXPECT_EQ(fileBytes(path).find("old content"), std::string::npos);
    EXPECT_EQ(fileBytes(path).find(kRule), 0u);
}

TEST(RunLog, TextBecomesWindows1252WithQuestionMarksForTheRest) {
    LogHarness h;
    h.logs.GenerateNewLogFileName();
    h.logs.startLogging();
    h.logs.MyLog("Ren\xC3\xA9\x20\xE2\x82\xAC\x20\xE6\xBC\xA2");  // "René € 漢"
    // Several lines at once are written as they would be one by one.
    h.logs.MyLogLines("plain\r\nRen\xC3\xA9\r\n");
    h.logs.MyLogLines("ascii only\r\n");
    h.logs.stopLogging();
    const std::string text = fileBytes(h.logs.runLogPath());
    EXPECT_NE(text.find("\r\nRen\xE9 \x80 ?\r\nplain\r\nRen\xE9\r\nascii only\r\n"),
              std::string::npos);
}

// "logs" is the program's own folder: a link there is refused once and nothing is written
// through it.
TEST(RunLog, ALinkedLogsFolderIsRefusedAndNothingWrittenThroughIt) {
    LogHarness h;
    const fs::path elsewhere = h.dir.path() / "elsewhere";
    fs::create_directories(elsewhere);
    fs::create_directories(h.appFolder);
    fs::create_directory_symlink(elsewhere, h.appFolder / "logs");
    h.logs.GenerateNewLogFileName();
    ASSERT_EQ(h.ui.texts().size(), 1u);
    EXPECT_EQ(h.ui.texts()[0].rfind("(error):75 (Path/File access error: the folder '", 0), 0u)
        << h.ui.texts()[0];
    h.logs.startLogging();
    h.logs.MyLog("line");
    h.logs.stopLogging();
    EXPECT_TRUE(fs::is_empty(elsewhere));
}

TEST(CsvErrorLog, PathIsTheCsvPathWithTheSuffix) {
    LogHarness h;
    const std::string csv = (h.dir.path() / "remap.csv").string();
    EXPECT_EQ(h.logs.GenerateNewCSVErrorLogFileName(csv), csv + "_CSVParse_ErrorLog_.TXT");
    EXPECT_EQ(h.logs.csvErrorLogPath(), csv + "_CSVParse_ErrorLog_.TXT");
}

TEST(CsvErrorLog, LinesDropDoubleQuotesButKeepCommas) {
    LogHarness h;
    h.logs.GenerateNewCSVErrorLogFileName((h.dir.path() / "remap.csv").string());
    h.logs.startCSVLogging();
    EXPECT_TRUE(h.logs.csvErrorLogOpen());
    h.logs.MyCSVLog("Invalid CSV line format", "\"jsmith, jr\",1001");
    h.logs.MyCSVLog("Invalid alias for NEW_ALIAS value", "a,b,c d,");
    h.logs.stopCSVLogging();
    EXPECT_FALSE(h.logs.csvErrorLogOpen());
    EXPECT_EQ(fileBytes(h.logs.csvErrorLogPath()),
              "ORIGINAL_CSV_LINE, FAILURE_INFO\r\n"
              "\"jsmith, jr,1001\",\"[Invalid CSV line format]\"\r\n"
              "\"a,b,c d,\",\"[Invalid alias for NEW_ALIAS value]\"\r\n");
}

TEST(CsvErrorLog, StartingAgainReplacesTheLog) {
    LogHarness h;
    h.logs.GenerateNewCSVErrorLogFileName((h.dir.path() / "remap.csv").string());
    h.logs.startCSVLogging();
    h.logs.MyCSVLog("reason one", "line one");
    h.logs.stopCSVLogging();
    h.logs.startCSVLogging();
    h.logs.stopCSVLogging();
    EXPECT_EQ(fileBytes(h.logs.csvErrorLogPath()), "ORIGINAL_CSV_LINE, FAILURE_INFO\r\n");
}

TEST(CsvErrorLog, StartBeforeANameShowsItsOwnMessage) {
    LogHarness h;
    h.logs.startCSVLogging();
    EXPECT_FALSE(h.logs.csvErrorLogOpen());
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{
                                "Error - startLogging called before a log file name has been "
                                "allocated"});
    h.logs.MyCSVLog("reason", "line");  // nothing open: nothing written, nothing shown
    EXPECT_EQ(h.ui.boxes.size(), 1u);
}

TEST(CsvErrorLog, BothLogsMayBeOpenAtOnce) {
    LogHarness h;
    h.logs.GenerateNewLogFileName();
    h.logs.GenerateNewCSVErrorLogFileName((h.dir.path() / "x.csv").string());
    h.logs.startLogging();
    h.logs.startCSVLogging();
    EXPECT_TRUE(h.logs.runLogOpen());
    EXPECT_TRUE(h.logs.csvErrorLogOpen());
    h.logs.MyCSVLog("r", "l");
    h.logs.MyLog("run");
    h.logs.stopCSVLogging();
    h.logs.stopLogging();
    EXPECT_NE(fileBytes(h.logs.runLogPath()).find("\r\nrun\r\n"), std::string::npos);
    EXPECT_NE(fileBytes(h.logs.csvErrorLogPath()).find("\"l\",\"[r]\""), std::string::npos);
}

TEST(ThisProgram, CarriesTheBuildVersion) {
    const ProgramIdentity id = logging::thisProgram("tarnis-data-viewer");
    EXPECT_EQ(id.exeName, "tarnis-data-viewer");
    EXPECT_EQ(std::to_string(id.major) + "." + std::to_string(id.minor) + "." +
                  std::to_string(id.revision),
              TDV_VERSION);
}

TEST(LogText, InvalidUtf8BytesBecomeQuestionMarks) {
    EXPECT_EQ(logging::toLogBytes("a\xFF"
                                  "b\xC3"),
              "a?b?");
    EXPECT_EQ(logging::toLogBytes("\xC0\xAF"), "??");                    // overlong form
    EXPECT_EQ(logging::toLogBytes("\xC5\x93\xE2\x80\x9C"), "\x9C\x93");  // œ “
}

TEST(LogText, OleDateOfLocalTime) {
    std::tm t{};
    t.tm_year = 1899 - 1900, t.tm_mon = 11, t.tm_mday = 30;
    EXPECT_DOUBLE_EQ(logging::oleDateOfLocalTime(t), 0.0);
    t.tm_year = 1970 - 1900, t.tm_mon = 0, t.tm_mday = 1, t.tm_hour = 18;
    EXPECT_DOUBLE_EQ(logging::oleDateOfLocalTime(t), 25569.75);
}

}  // namespace
}  // namespace tdv::test
