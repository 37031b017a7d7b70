// The browsing commands: the main window's procedures driven from the command line.
//
//   tdv info FILE                  "directory backup" + the Backup Details text, or
//                                  "message backup"
//   tdv list FILE TYPE             the grid as one JSON object (count, columns, rows, text)
//   tdv report FILE TYPE KEY       the report of one row, as the text box shows it
//   tdv private-lists FILE KEY     the private list dump of one user
//
// FILE is opened as the viewer opens it (ConnectToMDBFile with FILE as its command line).
// TYPE is a name (subscribers, callhandlers, distlists, interviewers, dirhandlers, schedules,
// details, exportlog) or the type list index 0 to 7. KEY is a row's ObjectID, or its alias or
// display name when exactly one row has it. Texts are printed with CR LF written as LF.
// Message boxes go to stderr through CliUi. A list that cannot be read, or a private list
// dump that failed, ends with status 1 after its message lines.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <string>

#include "backup/app_state.h"
#include "cli/actions.h"
#include "cli/backup_session.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/grid_json.h"
#include "cli/json_values.h"
#include "main_state/frm_main.h"
#include "main_window/frm_main_procedures.h"
#include "reports/private_list_dump.h"

namespace tdv::cli {
namespace {

constexpr const char* kKeyHelp =
    "The row's ObjectID, or its alias or display name when exactly one row has it";

struct BrowseArgs {
    std::string file;
    std::string type;
    std::string key;
    bool yes = false;
};

std::string withLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        out += text[i];
    }
    return out;
}

void printText(const std::string& text) {
    const std::string out = withLineFeeds(text);
    std::cout << out;
    if (!out.empty() && out.back() != '\n') std::cout << "\n";
}

// Selects the row as a click would; the current row already shows its report.
void selectRow(app::FrmMain& form, int row) {
    if (form.myGrid.Row() != row) form.myGrid.setRow(row);
}

// FILE opened as the viewer opens it. A file the viewer rejects has had its message box (it
// is empty, or it is neither kind of backup): that one message is the whole answer, and the
// command ends with status 1 without a second line saying the same thing differently.
std::unique_ptr<BackupSession> openForInfo(const BrowseArgs& args) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(args.file, ec)) {
        throw std::runtime_error("info: no such file: " + args.file);
    }
    auto session = std::make_unique<BackupSession>(args.yes);
    session->state.commandLine = args.file;
    session->state.exeFolder = std::filesystem::current_path(ec).string();
    session->state.appFolder = backup::defaultAppFolder();
    session->form.listOnOpen = false;
    app::ConnectToMDBFile(session->form);
    if (session->state.strMDBConnectString.empty()) throw CLI::RuntimeError(1);
    return session;
}

void runInfo(const BrowseArgs& args) {
    auto session = openForInfo(args);  // without the user list: only the details are shown
    if (session->state.bIsMessageBackup) {
        std::cout << "message backup\n";
        return;
    }
    std::cout << "directory backup\n";
    session->form.txtInfo.clear();
    app::selectObjectType(session->form, app::kBackupDetails);
    printText(session->form.txtInfo.Text);
}

void runList(const BrowseArgs& args) {
    const int type = parseObjectType("list", args.type);
    auto session = openDirectoryBackupSession("list", args.file, args.yes, false);
    app::FrmMain& form = session->form;
    form.listFailed = false;
    app::selectObjectType(form, type);
    // A list that could not be read has shown its box; it is no list to print. The export
    // log entry that wrote no archive (refused by the version gate, or failed) is no answer
    // either.
    if (form.listFailed) {
        if (type == app::kExtractExportLog) stopAfterExportLogFailure(form, "list");
        stopAfterMessages();
    }
    const std::string text = withLineFeeds(form.txtInfo.Text);
    std::string direct = "{\"count\":";
    if (isValidUtf8(form.txtObjectCount) && isValidUtf8(text)) {
        appendJsonString(direct, form.txtObjectCount);
        direct += ',';
        if (appendGridJson(direct, form.myGrid)) {
            direct += ",\"text\":";
            appendJsonString(direct, text);
            direct += "}\n";
            std::cout << direct;
            return;
        }
    }
    nlohmann::ordered_json out;
    out["count"] = form.txtObjectCount;
    addGridJson(out, form.myGrid);
    out["text"] = text;
    std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

void runReport(const BrowseArgs& args) {
    const int type = parseObjectType("report", args.type);
    auto session = openDirectoryBackupSession("report", args.file, args.yes, false);
    app::FrmMain& form = session->form;
    if (type <= app::kSchedules) {
        selectObject(form, type, args.key, "report");
    } else {
        app::selectObjectType(form, type);
        selectRow(form, findObjectRow(form.myGrid, args.key, "report"));
    }
    printText(form.txtInfo.Text);
}

void runPrivateLists(const BrowseArgs& args) {
    auto session = openDirectoryBackupSession("private-lists", args.file, args.yes, false);
    app::FrmMain& form = session->form;
    selectObject(form, app::kSubscribers, args.key, "private-lists");
    const bool complete = actions::dumpPrivateLists(form);
    printText(form.txtInfo.Text);
    if (!complete) stopAfterMessages();
}

CLI::App* addBrowseCommand(CLI::App& app, const std::shared_ptr<BrowseArgs>& args, const char* name,
                           const char* description) {
    return addBackupCommand(app, name, description, "Backup database (.mdb)", args->file,
                            args->yes);
}

}  // namespace

void registerBrowseCommands(CLI::App& app) {
    {
        auto args = std::make_shared<BrowseArgs>();
        auto* cmd = addBrowseCommand(
            app, args, "info",
            "Open a backup as the viewer does; print 'directory backup' and its Backup Details "
            "text, or 'message backup'");
        cmd->callback([args] { runInfo(*args); });
    }
    {
        auto args = std::make_shared<BrowseArgs>();
        auto* cmd = addBrowseCommand(
            app, args, "list",
            "Print the object list of a type as one JSON object: {\"count\", \"columns\": "
            "[{\"caption\", \"hidden\"}], \"rows\": [[cells]], \"text\": report text (LF line "
            "ends)}");
        cmd->add_option("TYPE", args->type, "Object type: " + objectTypeList())->required();
        cmd->callback([args] { runList(*args); });
    }
    {
        auto args = std::make_shared<BrowseArgs>();
        auto* cmd = addBrowseCommand(
            app, args, "report",
            "Print the detail report of one object as the viewer shows it (LF line ends)");
        cmd->add_option("TYPE", args->type, "Object type: " + objectTypeList())->required();
        cmd->add_option("KEY", args->key, kKeyHelp)->required();
        cmd->callback([args] { runReport(*args); });
    }
    {
        auto args = std::make_shared<BrowseArgs>();
        auto* cmd = addBrowseCommand(app, args, "private-lists",
                                     "Print the private list dump of one subscriber");
        cmd->add_option("KEY", args->key, kKeyHelp)->required();
        cmd->callback([args] { runPrivateLists(*args); });
    }
}

}  // namespace tdv::cli
