// The extraction commands: the main window's extraction procedures from the command line.
//
//   tdv extract-audio FILE TYPE KEY   the "Extract all WAV Files" button on one object
//   tdv extract-log FILE              the "Extract Export Log File!" entry
//
// Files go where the window writes them (application folder: $TDV_HOME or the XDG data
// folder); each written file's path is printed on stdout, one per line (control characters
// escaped as in message lines), when nothing failed (otherwise status 1 after the message
// lines). The folders must be the program's own: a WAVExtraction or LogArchives that is a
// link or a file is refused, and nothing in it is deleted. TYPE is any type of the list; those
// without recordings (schedules, details, exportlog) get "Invalid object type for WAV file
// extraction!". KEY is the ObjectID, or the alias or display name when exactly one row has it.
// Message boxes go to stderr through CliUi; --yes answers Yes (or OK) to every question.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "backup/app_state.h"
#include "cli/actions.h"
#include "cli/backup_session.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "extract/audio_extraction.h"
#include "extract/export_log.h"
#include "main_state/frm_main.h"

namespace tdv::cli {
namespace {

struct ExtractArgs {
    std::string file;
    std::string type;
    std::string key;
    bool yes = false;
};

void runExtractAudio(const ExtractArgs& args) {
    // Every type of the list is taken; those without recordings get the window's refusal.
    const int type = parseObjectType("extract-audio", args.type);
    auto session = openDirectoryBackupSession("extract-audio", args.file, args.yes, false);
    app::FrmMain& form = session->form;
    if (type <= app::kDirectoryHandlers) {
        selectObject(form, type, args.key, "extract-audio");
    } else {
        // Selected, not loaded: loading "Extract Export Log File!" would extract the log.
        form.cmbObjectType = type;
    }
    const extract::WavExtraction result = actions::extractObjectRecordings(form);
    if (result.failed) stopAfterMessages();
    for (const auto& path : result.written) std::cout << CliUi::oneLine(path) << "\n";
}

void runExtractLog(const ExtractArgs& args) {
    auto session = openDirectoryBackupSession("extract-log", args.file, args.yes);
    session->form.cmbObjectType = app::kExtractExportLog;
    if (!extract::FetchBackupLogFile(session->form))
        stopAfterExportLogFailure(session->form, "extract-log");
    std::cout << CliUi::oneLine(extract::exportLogPath(session->state)) << "\n";
}

CLI::App* addCommand(CLI::App& app, const std::shared_ptr<ExtractArgs>& args, const char* name,
                     const char* description) {
    return addBackupCommand(app, name, description, "Directory backup database (.mdb)", args->file,
                            args->yes);
}

}  // namespace

void registerExtractCommands(CLI::App& app) {
    {
        auto args = std::make_shared<ExtractArgs>();
        auto* cmd = addCommand(app, args, "extract-audio",
                               "Write an object's voice name, greetings or interview questions "
                               "as WAV files into the application folder's WAVExtraction; print "
                               "each written path");
        cmd->add_option("TYPE", args->type,
                        "Object type: " + objectTypeList() + " (the first five have recordings)")
            ->required();
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
