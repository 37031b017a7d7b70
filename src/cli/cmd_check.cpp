// tdv check FILE: verifies a whole database and lists what is wrong, one problem a line.
// Exit status 0 when the file is sound, 1 when a problem was found or the file cannot be
// opened at all.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "jet/database.h"
#include "jet/db_check.h"

namespace tdv::cli {
namespace {

int runCheck(const std::string& file) {
    std::shared_ptr<jet::Database> db;
    try {
        db = jet::Database::open(file);
    } catch (const jet::Error& e) {
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
        "check", "Verify a database: rows, long values, row counts, usage maps and indexes");
    check->add_option("FILE", *file, "Access database (.mdb)")->required();
    check->callback([file] {
        int status = runCheck(*file);
        std::cout.flush();
        if (status != 0) throw CLI::RuntimeError(status);
    });
}

}  // namespace tdv::cli
