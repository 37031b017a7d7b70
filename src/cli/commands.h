// The `tdv` sub-commands. Each command file registers its own sub-command on the app;
// main() only builds the app, runs it and turns failures into one line on stderr.
#pragma once

#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <string>

namespace CLI {
class App;
}

namespace tdv::cli {

// A command line the command cannot take (an unknown TYPE): one "error:" line, status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes to standard output; a failed write (a closed pipe, a full disk) throws, so that
// the command ends with an error instead of a cut-off answer.
inline void writeOut(const std::string& s) {
    if (!s.empty() && std::fwrite(s.data(), 1, s.size(), stdout) != s.size())
        throw std::runtime_error("cannot write to standard output");
}

// Flushes standard output (std::cout writes through stdout); throws as writeOut does when
// this or any earlier write to it failed. main() calls it after every command, so no command
// can end with status 0 after its output was lost.
inline void flushOut() {
    std::cout.flush();
    if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout)
        throw std::runtime_error("cannot write to standard output");
}

// Engine commands: tables, schema, dump.
void registerEngineCommands(CLI::App& app);
// tdv sql
void registerSqlCommand(CLI::App& app);
// tdv check
void registerCheckCommand(CLI::App& app);
// tdv create-db
void registerCreateDbCommand(CLI::App& app);
// tdv make-sample
void registerMakeSampleCommand(CLI::App& app);
// tdv info, list, report, private-lists
void registerBrowseCommands(CLI::App& app);
// tdv export-users, clear-mappings, pager-scrub
void registerMaintenanceCommands(CLI::App& app);
// tdv extract-audio, extract-log
void registerExtractCommands(CLI::App& app);
// tdv messages, extract-message
void registerMessageCommands(CLI::App& app);
// tdv check-update
void registerUpdateCommand(CLI::App& app);
// tdv remap
void registerRemapCommand(CLI::App& app);

}  // namespace tdv::cli
