#include "extract/export_log.h"

#include <filesystem>
#include <system_error>

#include "db/backup/backed_up_version.h"
#include "extract/blob_unpack.h"
#include "ui/procedure.h"

namespace tdv::extract {

namespace {

namespace fs = std::filesystem;

std::string logFolder(const backup::AppState& state) {
    return state.appFolder + "/LogArchives";
}

bool backupHoldsLog(app::FrmMain& form) {
    const backup::AppState& s = form.state;
    const bool quorin = s.version.bIsQuorinBackup;
    if (!quorin && backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(s, 7, 0, 29)) return true;
    if (quorin && backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(s, 1, 3, 1)) return true;
    return quorin &&
           backup::bIsBackedUpZerithVersionGreaterThanOrEqualTo(form.ui, s, 7, 0, 0, 0, true);
}

// Deletes the file, also a read-only one.
void forceRemove(const fs::path& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return;
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove(path);
}

}  // namespace

std::string exportLogPath(const backup::AppState& state) {
    return logFolder(state) + "/TARNIS_Export_LogFile.zip";
}

bool FetchBackupLogFile(app::FrmMain& form) {
    ui::Procedure proc(form.ui, "FetchBackupLogFile", "frmMain", ui::ErrorStyle::standard());
    proc.step([&] { form.myGrid.setRows(0); });
    form.txtObjectCount.clear();

    bool gate = false;
    proc.step([&] { gate = backupHoldsLog(form); });
    if (!gate) {
        form.txtInfo.Text = "No backup log file in MDB\r\n";
        form.AddLine(
            "Backup was produced with a version older than 7.0.29 for Zerith or 1.3.1 for "
            "Quorin 1.x which did not include the backup log files in the MDB backup.");
        return false;
    }

    const std::string folder = logFolder(form.state);
    proc.step([&] {
        // The application folder itself may not exist yet (a fresh $TDV_HOME or data folder).
        if (!fs::exists(folder + "/")) fs::create_directories(folder);
    });
    const std::string target = exportLogPath(form.state);
    proc.step([&] { forceRemove(target); });

    db::Recordset rs = form.state.newRecordset();
    proc.step([&] {
        rs.setCursorLocation(db::adUseClient);
        rs.Open("SELECT * FROM VersionInfo", form.state.strMDBConnectString, db::adOpenKeyset,
                db::adLockReadOnly);
    });
    bool written = false;
    proc.step([&] { written = bunPackWAVFile(form.ui, rs, "LogFileZIP", target); });
    if (written) {
        form.txtInfo.Text = "Export log file extracted to:\r\n" + target;
        proc.step([&] { form.ui.openWithDesktop(folder); });
    } else {
        form.ui.messageBox("Error unpacking ZIP file from MDB database", ui::Buttons::Ok);
        form.txtInfo.Text = "Error unpacking ZIP file containing export log";
    }
    proc.step([&] {
        if (rs.State() != db::adStateClosed) rs.Close();
    });
    std::error_code ec;
    return written && fs::exists(target, ec);
}

}  // namespace tdv::extract
