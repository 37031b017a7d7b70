// The extraction commands: the main window's extraction procedures from the command line.
//
//   tdv extract-audio FILE TYPE KEY   the "Extract all WAV Files" button on one object
//   tdv extract-log FILE              the "Extract Export Log File!" entry
//
// Files go where the window writes them (application folder: $TDV_HOME or the XDG data
// folder); each written file's path is printed on stdout, one per line. TYPE is subscribers,
// callhandlers, distlists, interviewers, dirhandlers or the type list index 0 to 4; KEY is
// the ObjectID, or the alias or display name when exactly one row has it. Message boxes go to
// stderr through CliUi; --yes answers Yes (or OK) to every question.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include "app/frm_main.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "db/backup/app_state.h"
#include "extract/audio_extraction.h"
#include "extract/export_log.h"

namespace tdv::cli {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 5> kTypeNames = {"subscribers", "callhandlers", "distlists",
                                                   "interviewers", "dirhandlers"};
constexpr const char* kTypeList =
    "subscribers, callhandlers, distlists, interviewers, dirhandlers, or the type list index 0 "
    "to 4";

struct ExtractArgs {
    std::string file;
    std::string type;
    std::string key;
    bool yes = false;
};

struct Session {
    explicit Session(bool yes) : ui(std::cerr, yes), form(ui, state) {}
    CliUi ui;
    backup::AppState state;
    app::FrmMain form;
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

int parseType(const std::string& type) {
    const std::string t = lower(type);
    for (size_t i = 0; i < kTypeNames.size(); ++i)
        if (t == kTypeNames[i]) return static_cast<int>(i);
    if (t.size() == 1 && t[0] >= '0' && t[0] <= '4') return t[0] - '0';
    throw std::runtime_error("extract-audio: unknown TYPE '" + type + "' (" + kTypeList + ")");
}

std::unique_ptr<Session> openDirectoryBackup(const std::string& command, const ExtractArgs& args) {
    std::error_code ec;
    if (!fs::is_regular_file(args.file, ec))
        throw std::runtime_error(command + ": no such file: " + args.file);
    auto session = std::make_unique<Session>(args.yes);
    session->state.commandLine = args.file;
    session->state.exeFolder = fs::current_path(ec).string();
    session->state.appFolder = backup::defaultAppFolder();
    app::ConnectToMDBFile(session->form);
    if (session->state.strMDBConnectString.empty() || session->state.bIsMessageBackup)
        throw std::runtime_error(command + ": " + args.file + " is not a directory backup");
    return session;
}

// The row whose ObjectID (last column) is KEY, else the one row whose alias or display name
// is KEY; letter case is ignored.
int findRow(const ui::GridModel& grid, const std::string& key) {
    const std::string wanted = lower(key);
    const int idColumn = grid.Cols() - 1;
    for (int r = 1; r < grid.Rows(); ++r)
        if (idColumn >= 0 && lower(grid.TextMatrix(r, idColumn)) == wanted) return r;
    std::set<int> matches;
    for (int c = 0; c < grid.Cols(); ++c) {
        const std::string caption = grid.TextMatrix(0, c);
        if (caption != "Alias" && caption != "Display Name") continue;
        for (int r = 1; r < grid.Rows(); ++r)
            if (lower(grid.TextMatrix(r, c)) == wanted) matches.insert(r);
    }
    if (matches.size() != 1)
        throw std::runtime_error("extract-audio: " +
                                 std::string(matches.empty() ? "no row with ObjectID, alias or "
                                                               "display name '"
                                                             : "ambiguous KEY '") +
                                 key + "'");
    return *matches.begin();
}

void runExtractAudio(const ExtractArgs& args) {
    const int type = parseType(args.type);
    auto session = openDirectoryBackup("extract-audio", args);
    app::FrmMain& form = session->form;
    app::selectObjectType(form, type);
    const int row = findRow(form.myGrid, args.key);
    if (form.myGrid.Row() != row) form.myGrid.setRow(row);
    extract::cmdFetchAllWAVFiles_Click(form);
    std::set<std::string> written;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(extract::wavExtractionFolder(session->state), ec))
        if (e.is_regular_file(ec)) written.insert(e.path().string());
    for (const auto& path : written) std::cout << path << "\n";
}

void runExtractLog(const ExtractArgs& args) {
    auto session = openDirectoryBackup("extract-log", args);
    session->form.cmbObjectType = app::kExtractExportLog;
    if (extract::FetchBackupLogFile(session->form))
        std::cout << extract::exportLogPath(session->state) << "\n";
}

CLI::App* addCommand(CLI::App& app, const std::shared_ptr<ExtractArgs>& args, const char* name,
                     const char* description) {
    auto* cmd = app.add_subcommand(name, description);
    cmd->add_option("FILE", args->file, "Directory backup database (.mdb)")->required();
    cmd->add_flag("--yes", args->yes, "Answer Yes (or OK) to every question; default No (Cancel)");
    return cmd;
}

}  // namespace

void registerExtractCommands(CLI::App& app) {
    {
        auto args = std::make_shared<ExtractArgs>();
        auto* cmd = addCommand(app, args, "extract-audio",
                               "Write an object's voice name, greetings or interview questions "
                               "as WAV files into the application folder's WAVExtraction; print "
                               "each written path");
        cmd->add_option("TYPE", args->type, std::string("Object type: ") + kTypeList)->required();
        cmd->add_option("KEY", args->key,
                        "The row's ObjectID, or its alias or display name when exactly one row "
                        "has it")
            ->required();
        cmd->callback([args] { runExtractAudio(*args); });
    }
    {
        auto args = std::make_shared<ExtractArgs>();
        auto* cmd = addCommand(app, args, "extract-log",
                               "Write the backup's export log archive to the application "
                               "folder's LogArchives/TARNIS_Export_LogFile.zip; print its path");
        cmd->callback([args] { runExtractLog(*args); });
    }
}

}  // namespace tdv::cli
