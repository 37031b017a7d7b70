// tdv sql FILE "SELECT ...": runs one Jet SQL statement and prints its rows as JSON Lines,
// one object per row, keys in result column order, values as `tdv dump` writes them.
// tdv sql FILE "INSERT ..." / "UPDATE ..." / "DELETE ...": opens the file for writing, runs the
// statement as one atomic save and prints the number of rows it added, changed or deleted.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/json_values.h"
#include "jet/database.h"
#include "jet/sql/sql.h"

namespace tdv::cli {
namespace {

constexpr size_t kFlushBytes = 1 << 16;

struct SqlOptions {
    std::string file;
    std::string statement;
    bool plan = false;
};

void runSql(const SqlOptions& o) {
    std::vector<std::string> plan;
    jet::sql::QueryOptions options;
    if (o.plan) options.plan = &plan;
    if (!jet::sql::isSelect(o.statement)) {
        auto db = jet::Database::open(o.file, jet::OpenOptions{.writable = true});
        long affected = jet::sql::execute(*db, o.statement, options);
        for (const auto& line : plan) std::cerr << "plan: " << line << "\n";
        writeOut(std::to_string(affected) + "\n");
        std::fflush(stdout);
        return;
    }
    auto db = jet::Database::open(o.file);
    jet::sql::ResultSet result = jet::sql::query(*db, o.statement, options);
    for (const auto& line : plan) std::cerr << "plan: " << line << "\n";
    std::vector<std::string> names;
    for (const auto& c : result.columns) names.push_back(c.name);
    const JsonRowWriter writer(names);
    std::string out;
    for (const auto& row : result.rows) {
        writer.write(out, row);
        if (out.size() >= kFlushBytes) {
            writeOut(out);
            out.clear();
        }
    }
    writeOut(out);
    std::fflush(stdout);
}

}  // namespace

void registerSqlCommand(CLI::App& app) {
    auto o = std::make_shared<SqlOptions>();
    auto* cmd = app.add_subcommand(
        "sql",
        "Run a Jet SQL statement on a database: a SELECT prints each row as one JSON object per "
        "line; an INSERT, UPDATE or DELETE changes the file and prints the number of rows "
        "affected");
    cmd->add_option("FILE", o->file, "Access database (.mdb)")->required();
    cmd->add_option("STATEMENT", o->statement, "SQL statement, e.g. \"SELECT * FROM Table1\"")
        ->required();
    cmd->add_flag("--plan", o->plan,
                  "Print how each table was read (index or scan), and the index whose order an "
                  "ORDER BY takes, to stderr");
    cmd->callback([o] { runSql(*o); });
}

}  // namespace tdv::cli
