// tdv check FILE [--recover]: verifies a whole database and lists what is wrong, one problem
// a line. Exit status 0 when the file is sound, 1 when a problem was found or the file cannot
// be opened at all. A save left unfinished by a crash (its journal beside the file) is
// reported and left alone, so the file is never changed; --recover rolls it back first.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "jet/database.h"
#include "jet/db_check.h"
#include "jet/journal.h"

namespace tdv::cli {
namespace {

int runCheck(const std::string& file, bool recover) {
    std::shared_ptr<jet::Database> db;
    try {
        jet::OpenOptions options;
        options.rollBackJournal = recover;
        db = jet::Database::open(file, options);
    } catch (const jet::Error& e) {
        if (std::string(e.what()) == jet::kInterruptedSaveText) {
            std::cout << "problem: " << jet::kInterruptedSaveText << "\n";
            return 1;
        }
        std::cout << "problem: the database cannot be opened: " << e.what() << "\n";
        return 1;
    }
    jet::CheckReport report = jet::checkDatabaseReport(*db);
    for (const std::string& w : report.warnings) std::cout << "warning: " << w << "\n";
    for (const jet::Problem& p : report.problems) std::cout << "problem: " << p.describe() << "\n";
    if (!report.clean()) {
        std::cout << report.problems.size() << " problem"
                  << (report.problems.size() == 1 ? "" : "s") << " found\n";
        return 1;
    }
    std::cout << "ok: " << report.tables << " tables, " << report.rows << " rows, "
              << report.indexes << " indexes checked\n";
    return 0;
}

}  // namespace

void registerCheckCommand(CLI::App& app) {
    auto file = std::make_shared<std::string>();
    auto* check = app.add_subcommand(
        "check",
        "Verify a database: rows, long values, row counts, usage maps and indexes; report a "
        "save a crash left unfinished (--recover rolls it back first)");
    auto recover = std::make_shared<bool>(false);
    check->add_option("FILE", *file, "Access database (.mdb)")->required();
    check->add_flag("--recover", *recover,
                    "First roll back a save a crash left unfinished (FILE-journal)");
    check->callback([file, recover] {
        int status = runCheck(*file, *recover);
        std::cout.flush();
        if (status != 0) throw CLI::RuntimeError(status);
    });
}

}  // namespace tdv::cli
