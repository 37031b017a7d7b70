// One viewer session for a `tdv` command: the CLI's UI port, the state of the open backup and
// the main window, with FILE opened as the viewer opens it (ConnectToMDBFile with FILE as
// the command line). Shared by every command that works on a backup.
#pragma once

#include <iostream>
#include <memory>
#include <string>

#include "backup/app_state.h"
#include "cli/cli_ui.h"
#include "main_window/frm_main_procedures.h"
#include "ui/grid_model.h"

namespace CLI {
class App;
}

namespace tdv::cli {

// `tdv --no-safety-copy`: the commands of this run write no safety copy before changing a
// backup (every session's settings say so).
void switchOffSafetyCopy();

struct BackupSession {
    explicit BackupSession(bool yes);
    CliUi ui;
    backup::AppState state;
    app::FrmMain form;
};

// A directory or message backup; throws runtime_error naming the command for a missing file
// or a file that is neither. listOnOpen false: the user list is selected but not filled
// (for commands that fill another list or work on one object).
std::unique_ptr<BackupSession> openBackupSession(const std::string& command,
                                                 const std::string& file, bool yes,
                                                 bool listOnOpen = true);
// As above, refusing a message backup.
std::unique_ptr<BackupSession> openDirectoryBackupSession(const std::string& command,
                                                          const std::string& file, bool yes,
                                                          bool listOnOpen = true);

// A sub-command that works on a backup: its FILE argument (described as `fileHelp`) and
// the --yes flag.
CLI::App* addBackupCommand(CLI::App& app, const std::string& name, const std::string& description,
                           const std::string& fileHelp, std::string& file, bool& yes);

// Ends the command with status 1 after its message lines told why (no further line).
[[noreturn]] void stopAfterMessages();

// Ends the command with status 1 after an export log extraction wrote no archive: the version
// gate tells its notice in the text box, not in a box, so it becomes the error line; a failed
// extraction has shown its boxes already.
[[noreturn]] void stopAfterExportLogFailure(const app::FrmMain& form, const std::string& command);

// TYPE as the commands take it: subscribers, callhandlers, distlists, interviewers,
// dirhandlers, schedules, details, exportlog, or the type list index; only the first
// `count` entries are accepted. Anything else is a usage error (status 2).
int parseObjectType(const std::string& command, const std::string& type, int count = 8);
// "subscribers, callhandlers, ..., or the type list index 0 to N" for the first `count`.
std::string objectTypeList(int count = 8);

// The data row for KEY: the row whose ObjectID (the last, hidden column) is KEY, else the one
// row whose alias or display name is KEY; letter case is ignored throughout.
int findObjectRow(const ui::GridModel& grid, const std::string& key, const std::string& command);

// Selects the row of KEY (as findObjectRow names it) in the list of `type` (0 to 5), its
// report shown, as selecting the type and clicking the row would. When the object is found
// through its table's indexes, the list holds just its row; otherwise (a name missing,
// ambiguous, or only matched as the list shows it) the whole list is filled and searched,
// which also gives the errors of a missing or ambiguous name.
void selectObject(app::FrmMain& form, int type, const std::string& key, const std::string& command);

}  // namespace tdv::cli
