// tdv make-sample DIR [--variant NAME] [--users N] [--messages N] [--seed S]: writes a
// sample directory backup, its message backups and an unrelated Access file into DIR and
// prints the written paths, one a line. `tdv make-sample --list` prints the variants.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

#include "cli/commands.h"
#include "sample/sample.h"

namespace tdv::cli {
namespace {

struct MakeSampleArgs {
    std::string dir;
    std::string variant;
    bool list = false;
    sample::SampleOptions options;
};

void listVariants() {
    size_t width = 0;
    for (const auto& v : sample::sampleVariants()) width = std::max(width, v.name.size());
    for (const auto& v : sample::sampleVariants())
        std::cout << v.name << std::string(width - v.name.size() + 2, ' ') << v.description << "\n";
}

void makeSample(const MakeSampleArgs& args) {
    if (args.list) {
        listVariants();
        return;
    }
    if (args.dir.empty()) throw std::runtime_error("make-sample: DIR is required (or --list)");
    if (args.options.users < 0 || args.options.messages < 0)
        throw std::runtime_error("make-sample: --users and --messages must not be negative");
    const sample::SampleVariant* variant = args.variant.empty() ? &sample::sampleVariants().front()
                                                                : sample::findVariant(args.variant);
    if (variant == nullptr)
        throw std::runtime_error("make-sample: unknown variant '" + args.variant +
                                 "' (tdv make-sample --list shows them)");
    const sample::WrittenSample written = sample::writeSample(args.dir, *variant, args.options);
    std::cout << written.directoryBackup << "\n";
    for (const auto& path : written.messageBackups) std::cout << path << "\n";
    std::cout << written.unrelatedDatabase << "\n";
}

}  // namespace

void registerMakeSampleCommand(CLI::App& app) {
    auto args = std::make_shared<MakeSampleArgs>();
    auto* cmd = app.add_subcommand(
        "make-sample",
        "Write a sample directory backup with its message backups (test and demonstration data)");
    cmd->add_option("DIR", args->dir, "Folder to write into (created when missing)");
    cmd->add_flag("--list", args->list, "List the variants and stop");
    cmd->add_option("--variant", args->variant, "Variant name (default: the first listed)");
    cmd->add_option("--users", args->options.users, "Number of users")->capture_default_str();
    cmd->add_option("--messages", args->options.messages, "Messages in all")->capture_default_str();
    cmd->add_option("--seed", args->options.seed, "Random seed")->capture_default_str();
    cmd->callback([args] { makeSample(*args); });
}

}  // namespace tdv::cli
