// tdv: the scriptable command line of TARNIS Data Viewer.
#include <CLI/CLI.hpp>

#include <exception>
#include <iostream>

#include "cli/backup_session.h"
#include "cli/commands.h"
#include "jet/error.h"

namespace {

// The status of a command that ended on its own, unless its output could not be written:
// then that is told once and the status is 1.
int afterOutput(int status) {
    try {
        tdv::cli::flushOut();
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
        return 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"tdv - TARNIS Data Viewer on the command line: reads Access (.mdb) backups"};
    app.set_version_flag("--version", std::string("tdv ") + TDV_VERSION);
    app.require_subcommand(1);
    // Global options may also follow the command's own arguments.
    app.fallthrough();
    app.add_flag_callback(
        "--no-safety-copy", [] { tdv::cli::switchOffSafetyCopy(); },
        "Write no safety copy (FILE.mdb.YYYYMMDD-HHMMSS.bak beside it) before a command "
        "changes a backup (remap --apply, clear-mappings, pager-scrub)");
    app.footer(
        "Exit status: 0 the command did what was asked (message lines may have been printed on "
        "the way); 1 it stopped on an error, a refusal or a declined question, after printing "
        "its message lines, or its output could not be written; 2 a usage error. Message boxes "
        "go to stderr as 'message: TEXT', questions as 'question: TEXT -> ANSWER', before any "
        "'error:' line.");
    tdv::cli::registerEngineCommands(app);
    tdv::cli::registerSqlCommand(app);
    tdv::cli::registerCheckCommand(app);
    tdv::cli::registerCreateDbCommand(app);
    tdv::cli::registerMakeSampleCommand(app);
    tdv::cli::registerBrowseCommands(app);
    tdv::cli::registerMaintenanceCommands(app);
    tdv::cli::registerExtractCommands(app);
    tdv::cli::registerRemapCommand(app);
    tdv::cli::registerMessageCommands(app);
    tdv::cli::registerUpdateCommand(app);
    try {
        app.parse(argc, argv);
        tdv::cli::flushOut();
    } catch (const CLI::RuntimeError& e) {
        // A command that stopped after telling why in its message lines.
        return afterOutput(e.get_exit_code() == 0 ? 0 : 1);
    } catch (const CLI::ParseError& e) {
        // --help and --version print and succeed; a usage error is status 2.
        const int status = app.exit(e);
        return status == 0 ? afterOutput(0) : 2;
    } catch (const tdv::cli::UsageError& e) {
        std::cerr << "error: " << e.what() << "\n";
        return 2;
    } catch (const jet::Error& e) {
        std::cerr << "error: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
