#include <CLI/CLI.hpp>

#include "cli/commands.h"

namespace tdv::cli {
void registerEngineCommands(CLI::App&) {}
}  // namespace tdv::cli
