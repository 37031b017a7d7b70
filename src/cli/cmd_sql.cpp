#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace tdv::cli {
void registerSqlCommand(CLI::App&) {}
}  // namespace tdv::cli
