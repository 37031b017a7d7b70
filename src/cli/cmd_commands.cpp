// The export and maintenance commands: the main window's menu entries driven from the
// command line.
//
//   tdv export-users FILE OUT.csv   the user export; the save dialog is answered by OUT.csv
//   tdv clear-mappings FILE         empties the object mapping table
//   tdv pager-scrub FILE            the pager scrub of an older-product directory backup
//
// FILE is opened as the viewer opens it (ConnectToMDBFile with FILE as its command line).
// Message boxes go to stderr through CliUi; --yes answers Yes (or OK) to every question,
// otherwise No (or Cancel), so without --yes nothing is written. A refusal, a declined
// question or a failure ends the command with status 1 after its message lines.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "backup/app_state.h"
#include "cli/actions.h"
#include "cli/backup_session.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "commands/maintenance.h"
#include "commands/user_export.h"
#include "main_state/frm_main.h"

namespace tdv::cli {
namespace {

struct CommandArgs {
    std::string file;
    std::string out;
    bool yes = false;
};

CLI::App* addCommand(CLI::App& app, const std::string& name, const std::string& description,
                     const std::shared_ptr<CommandArgs>& args) {
    return addBackupCommand(app, name, description, "Backup database (.mdb)", args->file,
                            args->yes);
}

void runOnBackup(const std::string& command, const CommandArgs& args,
                 const std::function<void(BackupSession&)>& run) {
    auto session = openBackupSession(command, args.file, args.yes);
    run(*session);
}

}  // namespace

void registerMaintenanceCommands(CLI::App& app) {
    {
        auto args = std::make_shared<CommandArgs>();
        auto* cmd = addCommand(app, "export-users",
                               "Export the subscribers' aliases, extensions and e-mail "
                               "addresses to a CSV file for a remap (never over the backup "
                               "itself; users whose alias holds a comma or quote are left "
                               "out and named)",
                               args);
        cmd->add_option("OUT", args->out, "The CSV file to write")->required();
        cmd->callback([args] {
            runOnBackup("export-users", *args, [&](BackupSession& s) {
                s.ui.savePaths.push_back(args->out);
                if (!actions::exportUsers(s.form)) stopAfterMessages();
            });
        });
    }
    {
        auto args = std::make_shared<CommandArgs>();
        auto* cmd =
            addCommand(app, "clear-mappings", "Empty the object mapping table of the backup", args);
        cmd->callback([args] {
            runOnBackup("clear-mappings", *args, [](BackupSession& s) {
                if (!actions::clearMappingMemory(s.form)) stopAfterMessages();
            });
        });
    }
    {
        auto args = std::make_shared<CommandArgs>();
        auto* cmd = addCommand(app, "pager-scrub",
                               "Delete the Pager 3 to Pager 7 devices and activate the Pager "
                               "devices with a phone number (older-product directory backups)",
                               args);
        cmd->callback([args] {
            runOnBackup("pager-scrub", *args, [](BackupSession& s) {
                if (!actions::scrubPagers(s.form)) stopAfterMessages();
            });
        });
    }
}

}  // namespace tdv::cli
