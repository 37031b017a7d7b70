// ConnectToMDBFile: choose a backup file (command line or open dialog), probe it for a
// directory backup (VersionInfo with rows) or a message backup (Messages with rows), publish
// its connect string and show the window that fits it.
//
// A backup path on the command line is taken by the first call only (start-up); every later
// call ("Open database") shows the dialog, starting in the folder of the open backup. The
// path is kept absolute, and the connect string carries it exactly, whatever characters it
// holds. The splash goes away before any message box, so that it can never cover one.
//
// Error rule: failures before the dialog's answer is checked (and, for a path from the
// command line, up to the connect string) are shown in the standard form and the next step
// runs; from there on failures are silent and the recordset checks alone decide.
#include <algorithm>
#include <filesystem>
#include <string>

#include "backup/app_state.h"
#include "base/utf8.h"
#include "db/connect_string.h"
#include "main_state/frm_main.h"
#include "main_window/frm_main_procedures.h"
#include "ui/procedure.h"

namespace tdv::app {

namespace {

constexpr const char* kSettingKey = "LastMDBFolderPath";
constexpr const char* kEmptyFile =
    "The database file you've selected is empty - it contains no backup data or messages.";
constexpr const char* kCouldNotOpen =
    "Could not open MDB file to check for version information.  Make sure to select the MDB "
    "file that starts with 'ZerithDBData_Backup_' or 'ZerithMessage_Backup_' and that the "
    "selected file was created by an appropriate version of the Orvex Object Backup tool and "
    "try again.";

bool fileExists(const std::string& path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string parentFolder(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

// The path made absolute against the working folder, "." components left out (unlike "..",
// they never change which file is meant). A path that cannot be made absolute stays as given.
std::string absolutePath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path full = fs::absolute(fs::path(path), ec);
    if (ec) return path;
    fs::path out;
    for (const fs::path& part : full) {
        if (part != ".") out /= part;
    }
    return out.empty() ? full.string() : out.string();
}

// The path the command line names: the line as given when a file has that name, else the
// line without its double quotes.
std::string commandLinePath(const std::string& commandLine) {
    if (fileExists(commandLine)) return commandLine;
    std::string path = commandLine;
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    return path;
}

enum class Probe { HasRows, Empty, Unreadable };

// Counts the table's rows the way every query opens a recordset; a file or table that
// cannot be read leaves the recordset closed, which is all the probe needs to know. Only the
// rows are counted: no value of them is read, so a damaged long value in one (VersionInfo's
// archive, a message's recording) cannot make the whole file look unreadable, while a
// damaged data page still does.
Probe probeTable(FrmMain& form, const char* table) {
    db::Recordset rs = form.state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    long rows = 0;
    try {
        rs.Open(std::string("SELECT COUNT(*) FROM [") + table + "]", form.state.strMDBConnectString,
                db::adOpenKeyset, db::adLockReadOnly);
        if (rs.State() != db::adStateOpen || rs.RecordCount() != 1) return Probe::Unreadable;
        rows = rs.Fields(0L).Value().toLong();
    } catch (...) {
        return Probe::Unreadable;
    }
    return rows >= 1 ? Probe::HasRows : Probe::Empty;
}

}  // namespace

void ConnectToMDBFile(FrmMain& form) {
    backup::AppState& state = form.state;
    ui::UiPort& ui = form.ui;
    ui::Procedure proc(ui, "ConnectToMDBFile", "frmMain", ui::ErrorStyle::standard());

    std::string path;
    bool fromCommandLine = false;
    if (!state.commandLinePathUsed) {
        state.commandLinePathUsed = true;
        proc.step([&] {
            path = commandLinePath(state.commandLine);
            fromCommandLine = fileExists(path);
        });
    }
    if (!fromCommandLine) {
        proc.step([&] {
            if (state.strLastMDBFolderPath.empty()) {
                state.strLastMDBFolderPath =
                    ui.setting(backup::kSettingsSection, kSettingKey, state.exeFolder);
            }
        });
        std::string chosen;
        proc.step([&] {
            ui::FileDialog dialog;
            dialog.title = "Select backup file to view";
            dialog.initialFolder = state.strLastMDBFolderPath;
            dialog.filterDescription = "Access Databases";
            dialog.filterPattern = "*.mdb";
            chosen = ui.openFileDialog(dialog);
        });
        // A cancelled dialog returns an empty name; names of one or two characters count as
        // cancelled too. Nothing has changed yet.
        if (base::utf8CharacterCount(chosen) < 3) return;
        proc.setStyle(ui::ErrorStyle::silent());
        path = chosen;
    }
    state.strMDBFilePath = absolutePath(path);

    proc.step([&] {
        ui.setWindowVisible(ui::Window::Splash, true);
        ui.processEvents();
    });
    proc.step([&] { state.strLastMDBFolderPath = parentFolder(state.strMDBFilePath); });
    proc.step([&] { state.strMDBConnectString = db::makeConnectString(state.strMDBFilePath); });
    proc.setStyle(ui::ErrorStyle::silent());

    bool rejected = false;
    // A rejected file: the splash goes first, then the message box.
    auto rejectWith = [&](const char* text) {
        proc.step([&] { ui.setWindowVisible(ui::Window::Splash, false); });
        proc.step([&] { ui.messageBox(text); });
        rejected = true;
    };
    const Probe directory = probeTable(form, "VersionInfo");
    if (directory == Probe::HasRows) {
        state.bIsMessageBackup = false;
        proc.step([&] { ui.setWindowVisible(ui::Window::Messages, false); });
        proc.step([&] { InitForm(form); });
        proc.step([&] { ui.setWindowVisible(ui::Window::Main, true); });
    } else if (directory == Probe::Empty) {
        // An empty VersionInfo table decides: the Messages table is not looked at.
        rejectWith(kEmptyFile);
    } else {
        const Probe message = probeTable(form, "Messages");
        if (message == Probe::Unreadable) {
            rejectWith(kCouldNotOpen);
        } else if (message == Probe::Empty) {
            rejectWith(kEmptyFile);
        } else {
            state.bIsMessageBackup = true;
            proc.step([&] { ui.setWindowVisible(ui::Window::Main, false); });
            // The message browser's InitForm hides the splash; without a browser it is
            // hidden here.
            proc.step([&] {
                if (form.showMessageBrowser) {
                    form.showMessageBrowser();
                } else {
                    ui.setWindowVisible(ui::Window::Splash, false);
                }
            });
            proc.step([&] { ui.setWindowVisible(ui::Window::Messages, true); });
            proc.step([&] {
                ui.saveSetting(backup::kSettingsSection, kSettingKey, state.strLastMDBFolderPath);
            });
            return;
        }
    }
    if (rejected) {
        state.strMDBConnectString.clear();
        // The rejected file's folder is remembered too; a failure to save is not trapped here.
        ui.saveSetting(backup::kSettingsSection, kSettingKey, state.strLastMDBFolderPath);
    } else {
        proc.step([&] {
            ui.saveSetting(backup::kSettingsSection, kSettingKey, state.strLastMDBFolderPath);
        });
    }
    proc.step([&] { ui.setWindowVisible(ui::Window::Splash, false); });
}

}  // namespace tdv::app
