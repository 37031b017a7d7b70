// The message backup commands: the message browser's procedures from the command line.
//
//   tdv messages FILE                 the message grid as one JSON object: {"count": the
//                                     "Messages in grid" box, "columns": [{"caption",
//                                     "hidden"}], "rows": [[cells]]}; check-box cells are
//                                     true/false, the others text
//   tdv extract-message FILE INDEX    selects the message whose Index is INDEX as a click on
//                                     its row would and extracts it into the application
//                                     folder's temp_msg; prints the written path
//
// FILE is opened as the viewer opens it (ConnectToMDBFile with FILE as its command line) and
// the message browser's InitForm fills the grid. A file the viewer rejects (empty, or neither
// kind of backup) ends the command with status 1 after the viewer's one message line; a
// directory backup, or an INDEX that names no message, with an "error:" line on stderr.
// Message boxes of the browser go to stderr through CliUi, one line each; --yes answers Yes
// (or OK) to every question. A backup without messages, a refused message (secure) or a
// failed extraction ends the command with status 1 after its message lines.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>

#include "backup/app_state.h"
#include "base/text.h"
#include "cli/actions.h"
#include "cli/backup_session.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "cli/grid_json.h"
#include "main_state/frm_main.h"
#include "main_window/frm_main_procedures.h"
#include "messages/frm_messages.h"

namespace tdv::cli {
namespace {

struct MessageArgs {
    std::string file;
    std::string index;
    bool yes = false;
};

// The main window opens the file (its message boxes are kept for the error line); the
// message browser then talks to the user on stderr.
struct MessageSession {
    explicit MessageSession(bool yes)
        : openUi(openLog, yes), ui(std::cerr, yes), main(openUi, state), form(ui, state) {
        app::connectMainWindow(main);
    }
    std::ostringstream openLog;
    CliUi openUi;
    CliUi ui;
    backup::AppState state;
    app::FrmMain main;
    messages::FrmMessages form;
};

std::unique_ptr<MessageSession> openMessageSession(const std::string& command,
                                                   const std::string& file, bool yes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw std::runtime_error(command + ": no such file: " + file);
    }
    auto session = std::make_unique<MessageSession>(yes);
    MessageSession& s = *session;
    s.state.commandLine = file;
    s.state.exeFolder = std::filesystem::current_path(ec).string();
    s.state.appFolder = backup::defaultAppFolder();
    bool shown = false;
    s.main.showMessageBrowser = [&s, &shown] {
        shown = true;
        messages::InitForm(s.form);
    };
    app::ConnectToMDBFile(s.main);
    if (!shown || s.state.strMDBConnectString.empty() || !s.state.bIsMessageBackup) {
        // The opening's own message lines come first, as every box does; then the error. A
        // file the viewer rejected (empty, or neither kind of backup) has had its box, which
        // is the whole answer.
        std::cerr << s.openLog.str();
        if (s.state.strMDBConnectString.empty() && !s.openUi.shown.empty()) stopAfterMessages();
        const std::string reason =
            s.state.strMDBConnectString.empty()
                ? "is not a message backup"
                : "is a directory backup; this command reads message backups";
        throw std::runtime_error(command + ": " + file + " " + reason);
    }
    return session;
}

nlohmann::ordered_json gridJson(const messages::FrmMessages& form) {
    nlohmann::ordered_json out;
    out["count"] = form.txtMessagesInGrid;
    addGridJson(out, form.gridMessages);
    return out;
}

void runMessages(const MessageArgs& args) {
    auto session = openMessageSession("messages", args.file, args.yes);
    // An empty backup has said so in its message line: nothing to list.
    if (session->form.gridMessages.Rows() <= 1) stopAfterMessages();
    std::cout
        << gridJson(session->form).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
        << "\n";
}

// The first row whose Index cell is INDEX (surrounding blanks ignored), -1 when none.
int findIndexRow(const ui::GridModel& grid, const std::string& index) {
    const int col = grid.ColIndex("Index");
    const std::string wanted = base::trimSpaces(index);
    if (wanted.empty()) return -1;
    for (int r = 1; r < grid.Rows(); ++r) {
        if (base::trimSpaces(grid.TextMatrix(r, col)) == wanted) return r;
    }
    return -1;
}

void runExtractMessage(const MessageArgs& args) {
    auto session = openMessageSession("extract-message", args.file, args.yes);
    messages::FrmMessages& form = session->form;
    const int row = findIndexRow(form.gridMessages, args.index);
    if (row < 0) {
        throw std::runtime_error("extract-message: no message with Index " + args.index + " in " +
                                 args.file);
    }
    // A click on the row: the selection handler runs the extraction. It is called here
    // directly, also for the row the fill left current, so that its result can be printed.
    auto handler = std::move(form.gridMessages.onSelectionChanged);
    form.gridMessages.onSelectionChanged = nullptr;
    form.gridMessages.setRow(row);
    form.gridMessages.onSelectionChanged = std::move(handler);
    const std::string written = actions::extractMessage(form);
    // Nothing written: a refusal or a failure, told in the message lines.
    if (written.empty()) stopAfterMessages();
    std::cout << written << "\n";
}

CLI::App* addCommand(CLI::App& app, const std::shared_ptr<MessageArgs>& args, const char* name,
                     const char* description) {
    return addBackupCommand(app, name, description, "Message backup database (.mdb)", args->file,
                            args->yes);
}

}  // namespace

void registerMessageCommands(CLI::App& app) {
    {
        auto args = std::make_shared<MessageArgs>();
        auto* cmd = addCommand(app, args, "messages",
                               "Print the message list of a message backup as one JSON object: "
                               "{\"count\", \"columns\": [{\"caption\", \"hidden\"}], \"rows\": "
                               "[[cells]]} (check-box cells true/false)");
        cmd->callback([args] { runMessages(*args); });
    }
    {
        auto args = std::make_shared<MessageArgs>();
        auto* cmd = addCommand(app, args, "extract-message",
                               "Extract one message's recording (or e-mail archive) into the "
                               "application folder's temp_msg as the message window does; print "
                               "the written path");
        cmd->add_option("INDEX", args->index, "The message's Index value")->required();
        cmd->callback([args] { runExtractMessage(*args); });
    }
}

}  // namespace tdv::cli
