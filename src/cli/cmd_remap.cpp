// tdv remap: the bulk remap windows driven from the command line.
//
//   tdv remap FILE CSV [--email] [--rows N,N,...] [--preview] [--apply] [--yes]
//
// FILE is opened as a directory backup; the alias and extension remap window (or, with
// --email, the e-mail address remap window, after the main window's "too old" gate) is
// activated and loads CSV as its "Select CSV File" button does. The grid is printed as one
// JSON object: {"columns": [{"caption", "hidden"}], "rows": [[cells]] (check-box cells
// true/false), "csvErrorLog": path}. With --apply the given data rows (1-based; all when
// --rows is absent) are ticked and "Apply Changes" is pressed; its warning is answered by
// --yes (otherwise No: nothing is written), and "runLog" gives the run log's path. Logs go
// under the application folder ($TDV_HOME). Message boxes go to stderr through CliUi.
// --preview ticks the same rows and adds "preview" (remap/remap_preview.h gives its form),
// made before any apply and changing no file.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/actions.h"
#include "cli/backup_session.h"
#include "cli/commands.h"
#include "cli/grid_json.h"
#include "logging/mod_logging.h"
#include "remap/frm_extension_remap.h"
#include "remap/frm_smtp_address_remap.h"
#include "remap/remap_preview.h"

namespace tdv::cli {
namespace {

struct RemapArgs {
    std::string file;
    std::string csv;
    bool email = false;
    std::string rows;
    bool apply = false;
    bool preview = false;
    bool yes = false;
};

// The 1-based data rows of "N,N,..." (all rows when empty).
std::vector<int> rowsToTick(const std::string& list, int dataRows) {
    std::vector<int> out;
    if (list.empty()) {
        for (int r = 1; r <= dataRows; ++r) out.push_back(r);
        return out;
    }
    std::stringstream in(list);
    std::string item;
    while (std::getline(in, item, ',')) {
        size_t used = 0;
        int row = 0;
        try {
            row = std::stoi(item, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used == 0 || used != item.size() || row < 1 || row > dataRows) {
            throw std::runtime_error("remap: --rows: '" + item + "' is not a data row (1 to " +
                                     std::to_string(dataRows) + ")");
        }
        out.push_back(row);
    }
    return out;
}

void tick(ui::GridModel& grid, const std::vector<int>& rows) {
    const int selected = grid.ColIndex("Selected");
    for (int r : rows) grid.setCellChecked(r, selected, ui::GridModel::kChecked);
}

// Loads, ticks and applies as the user would in the window, then prints the grid.
nlohmann::ordered_json previewJson(const remap::RemapPreview& preview) {
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    remap::PreviewRecords sum;
    long applies = 0, messages = 0;
    for (const remap::PreviewRow& row : preview.rows) {
        const remap::PreviewRecords& n = row.records;
        nlohmann::ordered_json files = nlohmann::ordered_json::array();
        for (const remap::PreviewMessages& m : row.messages) {
            files.push_back({{"file", m.file}, {"fromAlias", m.fromAlias}, {"toAlias", m.toAlias}});
            messages += m.fromAlias + m.toAlias;
        }
        rows.push_back({{"row", row.row},
                        {"csvLine", row.csvLine},
                        {"action", row.action},
                        {"applies", row.applies},
                        {"problem", row.problem},
                        {"records",
                         {{"users", n.users},
                          {"callHandlers", n.callHandlers},
                          {"alternateExtensions", n.alternateExtensions},
                          {"distributionListMembers", n.distributionListMembers},
                          {"privateListMembers", n.privateListMembers}}},
                        {"messages", files}});
        applies += row.applies;
        sum.users += n.users;
        sum.callHandlers += n.callHandlers;
        sum.alternateExtensions += n.alternateExtensions;
        sum.distributionListMembers += n.distributionListMembers;
        sum.privateListMembers += n.privateListMembers;
    }
    return {{"rows", rows},
            {"totals",
             {{"rows", preview.rows.size()},
              {"applies", applies},
              {"users", sum.users},
              {"callHandlers", sum.callHandlers},
              {"alternateExtensions", sum.alternateExtensions},
              {"distributionListMembers", sum.distributionListMembers},
              {"privateListMembers", sum.privateListMembers},
              {"messages", messages}}}};
}

remap::RemapPreview previewOf(remap::FrmExtensionRemap& form) {
    return remap::previewExtensionRemap(form);
}
remap::RemapPreview previewOf(remap::FrmSMTPAddressRemap& form) {
    return remap::previewSMTPRemap(form);
}

template <class Form>
void runWindow(Form& form, const RemapArgs& args, logging::ModLogging& logs) {
    remap::InitForm(form);
    if (!form.closed) actions::loadRemapCsv(form);
    if ((args.apply || args.preview) && !form.closed)
        tick(form.myGrid, rowsToTick(args.rows, form.myGrid.Rows() - 1));
    std::optional<remap::RemapPreview> preview;
    if (args.preview && !form.closed) preview = previewOf(form);
    if (preview && !preview->failure.empty())
        throw std::runtime_error("remap: the preview could not be made: " + preview->failure);
    if (args.apply && !form.closed) actions::applyRemap(form);
    nlohmann::ordered_json out;
    addGridJson(out, form.myGrid);
    out["csvErrorLog"] = logs.csvErrorLogPath();
    if (preview) out["preview"] = previewJson(*preview);
    if (args.apply) out["runLog"] = logs.runLogPath();
    std::cout << out.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    // An apply answered Yes that stopped before writing (no rows, none ticked, no safety copy),
    // or one that left ticked rows unapplied: the log and the closing question said which.
    if (args.apply && args.yes && (!form.closed || form.rowsNotApplied > 0))
        throw CLI::RuntimeError(1);
}

void runRemap(const RemapArgs& args) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(args.csv, ec))
        throw std::runtime_error("remap: no such CSV file: " + args.csv);
    const std::string csv = std::filesystem::absolute(args.csv, ec).string();
    auto session = openDirectoryBackupSession("remap", args.file, args.yes);
    logging::ModLogging logs(session->ui, session->state.appFolder, logging::thisProgram("tdv"));
    session->ui.openPaths.push_back(csv.empty() ? args.csv : csv);
    if (args.email) {
        // The menu entry refuses a backup older than schema revision 20; no window opens.
        if (!remap::mnuSMTPRemap_CanOpen(session->form)) throw CLI::RuntimeError(1);
        remap::FrmSMTPAddressRemap form(session->ui, session->state, logs);
        runWindow(form, args, logs);
    } else {
        remap::FrmExtensionRemap form(session->ui, session->state, logs);
        runWindow(form, args, logs);
    }
}

}  // namespace

void registerRemapCommand(CLI::App& app) {
    auto args = std::make_shared<RemapArgs>();
    auto* cmd = app.add_subcommand(
        "remap",
        "Load a remap CSV file into the alias and extension remap window (or the e-mail "
        "address remap window with --email) and print its grid as one JSON object: "
        "{\"columns\": [{\"caption\", \"hidden\"}], \"rows\": [[cells]], \"csvErrorLog\": "
        "path}; with --preview add \"preview\" (what applying the rows would change); with "
        "--apply tick rows, apply them and add \"runLog\": path");
    cmd->add_option("FILE", args->file, "Directory backup (.mdb)")->required();
    cmd->add_option("CSV", args->csv, "Remap CSV file")->required();
    cmd->add_flag("--email", args->email,
                  "The e-mail address remap (OLD_EXTENSION, OLD_ALIAS, NEW_SMTP_ADDRESS)");
    cmd->add_option(
        "--rows", args->rows,
        "Data rows to tick for --apply and --preview, 1-based, comma-separated (default: all)");
    cmd->add_flag("--apply", args->apply, "Tick the rows and press Apply Changes");
    cmd->add_flag("--preview", args->preview,
                  "Tick the rows and add \"preview\": what applying them would change, per row "
                  "(records in the backup, messages per message backup), before any --apply");
    cmd->add_flag("--yes", args->yes,
                  "Answer Yes (or OK) to every question, the apply's warning included; default "
                  "No (Cancel), so nothing is written");
    cmd->callback([args] { runRemap(*args); });
}

}  // namespace tdv::cli
