// tdv check-update: the main window's "Chec&k for updated version" from the command line.
//
//   tdv check-update [--site URL] [--yes]
//
// --site replaces the tools web site's address of the settings (scheme and host, such as
// http://127.0.0.1:8080). The result is the message box on stderr: the could-not-contact
// message, "You have the most up to date version of this tool installed", or the update
// offer as a question; --yes answers it OK, which prints "open: " and the home page address.
// No backup is needed. A site that cannot be contacted ends the command with status 1.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>

#include "backup/app_state.h"
#include "cli/actions.h"
#include "cli/backup_session.h"
#include "cli/cli_ui.h"
#include "cli/commands.h"
#include "main_state/frm_main.h"
#include "main_window/frm_main_procedures.h"
#include "support/update_check.h"

namespace tdv::cli {

namespace {

constexpr const char* kCannotContact = "Unable to contact application home page";

struct UpdateArgs {
    std::string site;
    bool yes = false;
};

}  // namespace

void registerUpdateCommand(CLI::App& app) {
    auto args = std::make_shared<UpdateArgs>();
    auto* cmd = app.add_subcommand(
        "check-update", "Ask the tools web site whether a newer version of this tool is published");
    cmd->add_option("--site", args->site,
                    "The tools web site (scheme and host, e.g. http://host:port) instead of the "
                    "configured one");
    cmd->add_flag("--yes", args->yes, "Answer OK to the update offer; default Cancel");
    cmd->callback([args] {
        CliUi ui(std::cerr, args->yes);
        if (!args->site.empty()) {
            ui.saveSetting(backup::kSettingsSection, support::kToolsSiteSettingKey, args->site);
        }
        backup::AppState state;
        state.appFolder = backup::defaultAppFolder();
        app::FrmMain form(ui, state);
        app::connectMainWindow(form);
        actions::checkForUpdates(form);
        // The site could not be asked: the check did not happen (status 1 after its box).
        for (const std::string& text : ui.shown)
            if (text.rfind(kCannotContact, 0) == 0) stopAfterMessages();
    });
}

}  // namespace tdv::cli
