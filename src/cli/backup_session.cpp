#include "cli/backup_session.h"
#include "base/text.h"
#include "catalog/object_lists.h"
#include "catalog/object_lookup.h"
#include "cli/commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <iostream>
#include <set>
#include <stdexcept>

#include "backup/safety_copy.h"

namespace tdv::cli {

namespace {

constexpr std::array<const char*, 8> kTypeNames = {"subscribers",  "callhandlers", "distlists",
                                                   "interviewers", "dirhandlers",  "schedules",
                                                   "details",      "exportlog"};

int columnWithCaption(const ui::GridModel& grid, const std::string& caption) {
    for (int c = 0; c < grid.Cols(); ++c) {
        if (grid.TextMatrix(0, c) == caption) return c;
    }
    return -1;
}

}  // namespace

CLI::App* addBackupCommand(CLI::App& app, const std::string& name, const std::string& description,
                           const std::string& fileHelp, std::string& file, bool& yes) {
    auto* cmd = app.add_subcommand(name, description);
    cmd->add_option("FILE", file, fileHelp)->required();
    cmd->add_flag("--yes", yes, "Answer Yes (or OK) to every question; default No (Cancel)");
    return cmd;
}

void stopAfterMessages() {
    throw CLI::RuntimeError(1);
}

void stopAfterExportLogFailure(const app::FrmMain& form, const std::string& command) {
    const std::string& notice = form.txtInfo.Text;
    if (notice.rfind("No backup log file in MDB", 0) == 0)
        throw std::runtime_error(command + ": " + CliUi::oneLine(notice));
    stopAfterMessages();
}

std::string objectTypeList(int count) {
    std::string list;
    for (int i = 0; i < count; ++i) list += std::string(kTypeNames[static_cast<size_t>(i)]) + ", ";
    return list + "or the type list index 0 to " + std::to_string(count - 1);
}

int parseObjectType(const std::string& command, const std::string& type, int count) {
    const std::string t = base::asciiLower(type);
    for (int i = 0; i < count; ++i) {
        if (t == kTypeNames[static_cast<size_t>(i)]) return i;
    }
    if (t.size() == 1 && t[0] >= '0' && t[0] < '0' + count) return t[0] - '0';
    throw UsageError(command + ": unknown TYPE '" + type + "' (" + objectTypeList(count) + ")");
}

namespace {
bool safetyCopyOff = false;
}  // namespace

void switchOffSafetyCopy() {
    safetyCopyOff = true;
}

BackupSession::BackupSession(bool yes) : ui(std::cerr, yes), form(ui, state) {
    app::connectMainWindow(form);
    if (safetyCopyOff) backup::setSafetyCopyEnabled(ui, false);
}

std::unique_ptr<BackupSession> openBackupSession(const std::string& command,
                                                 const std::string& file, bool yes,
                                                 bool listOnOpen) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw std::runtime_error(command + ": no such file: " + file);
    }
    auto session = std::make_unique<BackupSession>(yes);
    session->state.commandLine = file;
    session->state.exeFolder = std::filesystem::current_path(ec).string();
    session->state.appFolder = backup::defaultAppFolder();
    session->form.listOnOpen = listOnOpen;
    app::ConnectToMDBFile(session->form);
    if (session->state.strMDBConnectString.empty()) {
        // The viewer's box (empty, or neither kind of backup) is the whole answer.
        if (!session->ui.shown.empty()) stopAfterMessages();
        throw std::runtime_error(command + ": " + file +
                                 " is neither a directory backup nor a message backup");
    }
    return session;
}

std::unique_ptr<BackupSession> openDirectoryBackupSession(const std::string& command,
                                                          const std::string& file, bool yes,
                                                          bool listOnOpen) {
    auto session = openBackupSession(command, file, yes, listOnOpen);
    if (session->state.bIsMessageBackup) {
        throw std::runtime_error(command + ": " + file +
                                 " is a message backup; this command reads directory backups");
    }
    return session;
}

int findObjectRow(const ui::GridModel& grid, const std::string& key, const std::string& command) {
    const std::string wanted = base::asciiLower(key);
    const int idColumn = grid.Cols() - 1;
    for (int r = 1; r < grid.Rows(); ++r) {
        if (idColumn >= 0 && base::asciiLower(grid.TextMatrix(r, idColumn)) == wanted) return r;
    }
    std::set<int> matches;
    for (const char* caption : {"Alias", "Display Name"}) {
        const int c = columnWithCaption(grid, caption);
        if (c < 0) continue;
        for (int r = 1; r < grid.Rows(); ++r) {
            if (base::asciiLower(grid.TextMatrix(r, c)) == wanted) matches.insert(r);
        }
    }
    if (matches.empty()) {
        throw std::runtime_error(command + ": no row with ObjectID, alias or display name '" + key +
                                 "'");
    }
    if (matches.size() > 1) {
        throw std::runtime_error(command + ": '" + key + "' is ambiguous (" +
                                 std::to_string(matches.size()) +
                                 " rows match); give the ObjectID");
    }
    return *matches.begin();
}

void selectObject(app::FrmMain& form, int type, const std::string& key,
                  const std::string& command) {
    const std::string wanted = base::asciiLower(key);
    const catalog::ObjectLookup found = catalog::findObjects(
        form, type, key, [&](const std::string& cell) { return base::asciiLower(cell) == wanted; });
    if (found.answered && found.objectIds.size() == 1) {
        // What selecting the type does before its list procedure runs.
        form.cmbObjectType = type;
        form.cmdFetchAllWAVFilesVisible = false;
        form.cmdPrivateListDumpVisible = false;
        form.myGrid.setRows(1);
        form.myGrid.setRedraw(0);
        form.myGrid.setCols(0);
        form.txtObjectCount.clear();
        form.txtInfo.clear();
        catalog::populateObject(form, type, found.objectIds.front());
        form.myGrid.setRedraw(2);
        if (!form.listFailed && form.myGrid.Rows() == 2) {
            const int row = findObjectRow(form.myGrid, key, command);
            if (form.myGrid.Row() != row) form.myGrid.setRow(row);
            return;
        }
    }
    app::selectObjectType(form, type);
    const int row = findObjectRow(form.myGrid, key, command);
    if (form.myGrid.Row() != row) form.myGrid.setRow(row);
}

}  // namespace tdv::cli
