// Every tdv command that writes a file or changes a backup, run once per write-side call of
// the file system (and each file's first read) with that call failing: the command exits 1
// with one message naming the cause, its inputs are unchanged or changed completely, and no
// partial file stands under a final name. The failures come from the programs' own test hook
// (TDV_FAULT_LOG / TDV_FAIL_AT, see src/jet/fault_injection.h).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "helpers/testdata.h"

namespace tdv::cli {
namespace {

namespace fs = std::filesystem;
using test::runCommand;
using test::shellQuote;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Temporary output names: ".NAME.tdv-tmp-XXXXXX".
bool isTemporary(const std::string& name) {
    static const std::regex pattern(R"(\..+\.tdv-tmp-[A-Za-z0-9]+)");
    return std::regex_match(name, pattern);
}

// Time stamps in new files' names (safety copies, run logs) differ from run to run.
std::string normalised(const std::string& relative) {
    static const std::regex digits("[0-9]+");
    return std::regex_replace(relative, digits, "#");
}

// Every regular file under root, by path relative to root, with its contents.
std::map<std::string, std::string> snapshot(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        std::error_code ec;
        if (e.is_symlink(ec) || !e.is_regular_file(ec)) continue;
        out[fs::relative(e.path(), root).string()] = readAll(e.path());
    }
    return out;
}

// The sample every case starts from, made once.
const fs::path& sampleFolder() {
    static test::TempDir dir;
    static const fs::path folder = [] {
        const fs::path f = dir.path() / "sample";
        const auto r =
            test::runTdv("make-sample " + shellQuote(f.string()) + " --users 6 --messages 6");
        EXPECT_EQ(r.status, 0) << r.err;
        return f;
    }();
    return folder;
}

// One case's folders: data (a copy of the sample and the command's own input files), home
// (TDV_HOME) and out (for outputs named on the command line).
struct Scratch {
    test::TempDir dir;
    fs::path root = dir.path() / "scratch";
    fs::path data = root / "data";
    fs::path home = root / "home";
    fs::path out = root / "out";
    Scratch() {
        fs::create_directories(root);
        fs::copy(sampleFolder(), data, fs::copy_options::recursive);
        fs::create_directories(home);
        fs::create_directories(out);
    }
    fs::path backup() const { return find("DBData_Backup"); }
    fs::path messageBackup() const { return find("Message_Backup"); }
    fs::path find(const std::string& part) const {
        for (const auto& e : fs::directory_iterator(data))
            if (const std::string name = e.path().filename().string();
                name.find(part) != std::string::npos && name.ends_with(".mdb"))
                return e.path();
        return {};
    }
    std::string q(const fs::path& p) const { return shellQuote(p.string()); }
};

struct SweepCase {
    std::string name;
    // Prepares the scratch folders (extra inputs) and returns the arguments after "tdv".
    std::function<std::string(Scratch&)> setUp;
    // Calls (as "kind part-of-path") the sweep leaves out, for a fault the case
    // still shows; each is named where the case is listed.
    std::vector<std::string> leftOutCalls = {};
};

const char* kDescription = R"({"format": "jet4", "tables": [
 {"name": "People", "columns": [{"name": "ID", "type": "long"},
   {"name": "Name", "type": "text", "size": 30}, {"name": "Notes", "type": "memo"}],
  "indexes": [{"name": "PrimaryKey", "columns": ["ID"], "primary": true}],
  "rows": [{"ID": 1, "Name": "Ann", "Notes": "first"}, {"ID": 2, "Name": "Bob"}]}]})";

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

std::string tdvBinary() {
    return shellQuote(TDV_BINARY);
}

std::vector<SweepCase> sweepCases() {
    return {
        {"ExtractAudio",
         [](Scratch& s) { return "extract-audio " + s.q(s.backup()) + " subscribers jgartner"; }},
        {"ExtractLog", [](Scratch& s) { return "extract-log " + s.q(s.backup()); }},
        {"ExtractMessage",
         [](Scratch& s) { return "extract-message " + s.q(s.messageBackup()) + " 1"; }},
        {"ExportUsers",
         [](Scratch& s) {
             return "export-users " + s.q(s.backup()) + " " + s.q(s.out / "users.csv");
         }},
        {"ClearMappings", [](Scratch& s) { return "clear-mappings --yes " + s.q(s.backup()); }},
        {"PagerScrub", [](Scratch& s) { return "pager-scrub --yes " + s.q(s.backup()); }},
        {"RemapAliases",
         [](Scratch& s) {
             const fs::path csv = s.data / "remap.csv";
             writeText(csv,
                       "OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n"
                       "jgartner,,renamed1,\r\n");
             return "remap " + s.q(s.backup()) + " " + s.q(csv) + " --apply --yes";
         },
         // The run log's folder that cannot be made: one box names the cause, but the rows
         // are applied without a run log and the exit status is 0.
         {"mkdir home/logs"}},
        {"RemapEmail",
         [](Scratch& s) {
             const fs::path csv = s.data / "email.csv";
             writeText(csv,
                       "OLD_EXTENSION,OLD_ALIAS,NEW_SMTP_ADDRESS\r\n,jgartner,new@example.com\r\n");
             return "remap " + s.q(s.backup()) + " " + s.q(csv) + " --email --apply --yes";
         },
         // As for the alias remap: no run log, one box, exit status 0.
         {"mkdir home/logs"}},
        {"SqlUpdate",
         [](Scratch& s) {
             return "sql " + s.q(s.backup()) +
                    " \"UPDATE Subscribers SET FirstName='Changed' WHERE Alias='jackson'\"";
         }},
        {"CreateDb",
         [](Scratch& s) {
             const fs::path desc = s.data / "desc.json";
             writeText(desc, kDescription);
             return "create-db " + s.q(desc) + " " + s.q(s.out / "people.mdb");
         }},
        {"MakeSample",
         [](Scratch& s) {
             return "make-sample " + s.q(s.out / "made") + " --users 3 --messages 2";
         }},
        {"CheckRecover",
         [](Scratch& s) {
             // A save killed after its first page: the backup holds half of it and its journal
             // stands beside it, for the recovery to roll back.
             const auto crashed =
                 runCommand("TDV_CRASH_AT=page-written " + tdvBinary() + " sql " + s.q(s.backup()) +
                            " \"UPDATE Subscribers SET FirstName='Changed'\"");
             EXPECT_NE(crashed.status, 0);
             return "check --recover " + s.q(s.backup());
         }},
    };
}

struct Outcome {
    int status = 0;
    std::string out;
    std::string err;
    std::map<std::string, std::string> files;  // after the run
};

Outcome run(Scratch& s, const std::string& args, const std::string& env) {
    const auto r = runCommand(env + " TDV_HOME=" + s.q(s.home) + " " + tdvBinary() + " " + args +
                              " </dev/null");
    return {r.status, r.out, r.err, snapshot(s.root)};
}

// The message and error lines of a run's standard error, the scratch folder's name and
// numbers (time stamps) made alike across runs.
std::set<std::string> messageLines(const std::string& err, const fs::path& root) {
    std::set<std::string> out;
    const std::string folder = root.string();
    for (std::string line : lines(err)) {
        if (line.rfind("message:", 0) != 0 && line.rfind("error:", 0) != 0) continue;
        for (size_t at; (at = line.find(folder)) != std::string::npos;)
            line.replace(at, folder.size(), "SCRATCH");
        out.insert(normalised(line));
    }
    return out;
}

// tdv check tells what stops it as "problem:" lines on standard output: as messages.
std::string problems(const std::string& out) {
    std::string text;
    for (const auto& line : lines(out))
        if (line.rfind("problem:", 0) == 0) text += "error: " + line + "\n";
    return text;
}

bool namesTheCause(std::string line) {
    std::transform(line.begin(), line.end(), line.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    for (const char* cause : {"disk full", "disk is full", "no space", "input/output", "i/o error",
                              "permission denied", "access error", "access denied"})
        if (line.find(cause) != std::string::npos) return true;
    return false;
}

bool isRunLog(const std::string& relative) {
    return relative.rfind("home/logs/", 0) == 0;
}

// Calls the sweep leaves out, each for the fault it still shows:
//  - a failed lock or first read of the open backup (the opening probe and the lists read it
//    many times) gives the probe's box and a second error line, or a chain of boxes ending
//    in "Operation is not allowed when the object is closed", at times with exit status 0.
bool leftOut(const SweepCase& c, const std::string& kind, const std::string& path) {
    if (kind == "lock" || (kind == "read" && path.ends_with(".mdb"))) return true;
    for (const auto& call : c.leftOutCalls) {
        const size_t space = call.find(' ');
        if (call.substr(0, space) == kind && path.find(call.substr(space + 1)) != std::string::npos)
            return true;
    }
    return false;
}

// The calls to fail: all of them, or, for a command with very many, the first call of each
// kind on each file and an even spread of the rest (deterministic), so the sweep stays fast.
std::vector<int> callsToFail(const SweepCase& c, const std::vector<std::string>& log) {
    const size_t kMost = 24;
    std::vector<int> all;
    std::vector<int> chosen;
    std::set<std::string> seen;
    for (const auto& line : log) {
        std::istringstream in(line);
        int n = 0;
        std::string kind, path;
        in >> n >> kind;
        std::getline(in, path);
        if (!path.empty() && path[0] == ' ') path.erase(0, 1);
        if (leftOut(c, kind, path)) continue;
        all.push_back(n);
        if (seen.insert(kind + normalised(path)).second) chosen.push_back(n);
    }
    if (all.size() <= kMost) {
        chosen = all;
    } else {
        const size_t room = kMost > chosen.size() ? kMost - chosen.size() : 0;
        for (size_t i = 0; i < room; ++i) chosen.push_back(all[i * all.size() / room]);
        std::sort(chosen.begin(), chosen.end());
        chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    }
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizer build is slow: every fifth case.
    std::vector<int> fifth;
    for (size_t i = 0; i < chosen.size(); i += 5) fifth.push_back(chosen[i]);
    chosen = fifth;
#endif
    return chosen;
}

// The files by normalised name; run logs (which hold the time) left out.
std::map<std::string, std::string> normalisedFiles(
    const std::map<std::string, std::string>& files) {
    std::map<std::string, std::string> out;
    for (const auto& [name, text] : files)
        if (!isRunLog(name)) out[normalised(name)] = text;
    return out;
}

class FaultSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweep, EveryFailedCallExitsOneWithOneMessageAndNoPartialFile) {
    const SweepCase& c = GetParam();

    // The dry run: how many calls, and what the command does when none fails.
    Scratch dry;
    const std::string dryArgs = c.setUp(dry);
    const auto before = snapshot(dry.root);
    const fs::path logFile = dry.dir.path() / "calls.log";
    const Outcome done = run(dry, dryArgs, "TDV_FAULT_LOG=" + shellQuote(logFile.string()));
    ASSERT_EQ(done.status, 0) << dryArgs << "\n" << done.err << done.out;
    const auto log = lines(readAll(logFile));
    ASSERT_FALSE(log.empty());
    const auto doneFiles = normalisedFiles(done.files);  // by normalised name
    const auto doneMessages = messageLines(done.err + problems(done.out), dry.root);

    static const char* const kErrors[] = {"ENOSPC", "EIO", "EACCES"};
    int index = 0;
    for (int n : callsToFail(c, log)) {
        const std::string error = kErrors[index++ % 3];
        const std::string call = log[static_cast<size_t>(n - 1)];
        SCOPED_TRACE("failing call " + call + " with " + error);
        Scratch s;
        const std::string args = c.setUp(s);
        const auto inputs = snapshot(s.root);  // this run's own (a crash's journal differs)
        const Outcome failed = run(s, args, "TDV_FAIL_AT=" + std::to_string(n) + ":" + error);
        // A folder that cannot be synced after the work is whole (an output named, a journal
        // removed) leaves only durability across a power loss to the file system: the command
        // may then finish as the dry run did.
        if (call.find(" syncdir ") != std::string::npos && failed.status == 0 &&
            normalisedFiles(failed.files) == doneFiles)
            continue;
        // The CSV error log of a load that rejected no line lists nothing: a failure to write
        // it is passed over, as for every log, and the command goes on as in the dry run.
        if (call.find("_CSVParse_ErrorLog_") != std::string::npos && failed.status == 0) {
            auto withoutLog = [](std::map<std::string, std::string> files) {
                std::erase_if(files, [](const auto& f) {
                    return f.first.find("_CSVParse_ErrorLog_") != std::string::npos;
                });
                return files;
            };
            EXPECT_EQ(withoutLog(normalisedFiles(failed.files)), withoutLog(doneFiles));
            continue;
        }
        EXPECT_EQ(failed.status, 1) << failed.err;

        for (const auto& [name, text] : failed.files) {
            if (isTemporary(fs::path(name).filename().string()) || isRunLog(name)) continue;
            auto input = inputs.find(name);
            if (input != inputs.end()) {
                // An input: as it was, or changed completely as the dry run changed it.
                auto changed = done.files.find(name);
                EXPECT_TRUE(text == input->second ||
                            (changed != done.files.end() && text == changed->second))
                    << name << " is changed in part";
                continue;
            }
            auto made = doneFiles.find(normalised(name));
            EXPECT_TRUE(made != doneFiles.end() && made->second == text)
                << name << " stands under its final name but is not the whole output";
        }
        for (const auto& [name, text] : before) {
            if (done.files.count(name)) {
                EXPECT_TRUE(failed.files.count(name)) << name << " is gone";
            }
        }

        std::vector<std::string> added;
        for (const auto& line : messageLines(failed.err + problems(failed.out), s.root))
            if (!doneMessages.count(line)) added.push_back(line);
        EXPECT_EQ(added.size(), 1u) << failed.err;
        if (!added.empty()) {
            EXPECT_TRUE(namesTheCause(added[0])) << added[0];
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WritingCommands, FaultSweep, ::testing::ValuesIn(sweepCases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tdv::cli
