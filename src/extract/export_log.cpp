#include "extract/export_log.h"

#include "backup/backed_up_version.h"
#include "extract/blob_unpack.h"
#include "ui/output_file.h"
#include "ui/procedure.h"

namespace tdv::extract {

namespace {

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
        // An archive of an earlier backup must not pass for this one's; a folder that is a
        // link or no folder is not ours to remove anything from.
        const std::string folder = logFolder(form.state);
        bool ours = false;
        try {
            ours = ui::outputFileSystem(form.ui).entryAt(folder).kind == jet::EntryKind::Folder;
        } catch (...) {
            // A folder that cannot be looked at holds nothing to remove.
        }
        if (ours) proc.step([&] { ui::removeEntry(form.ui, exportLogPath(form.state)); });
        form.txtInfo.Text = "No backup log file in MDB\r\n";
        form.AddLine(
            "Backup was produced with a version older than 7.0.29 for Zerith or 1.3.1 for "
            "Quorin 1.x which did not include the backup log files in the MDB backup.");
        return false;
    }

    const std::string folder = logFolder(form.state);
    const std::string target = exportLogPath(form.state);
    const ui::ProtectedFiles inputs =
        ui::ProtectedFiles::forBackup(form.ui, form.state.strMDBFilePath);
    // A folder that cannot be made or is not ours (a link, a file), or an earlier archive
    // that cannot be removed (also a read-only one goes; a link is removed, not followed),
    // leaves nothing to write into: that failure is told once, and nothing else.
    const bool ready = proc.step([&] { ui::prepareOwnFolder(form.ui, folder); }) &&
                       proc.step([&] { ui::removeEntry(form.ui, target, &inputs); });

    db::Recordset rs = form.state.newRecordset();
    bool written = false;
    if (ready) {
        proc.step([&] {
            rs.setCursorLocation(db::adUseClient);
            rs.Open("SELECT * FROM VersionInfo", form.state.strMDBConnectString, db::adOpenKeyset,
                    db::adLockReadOnly);
        });
        proc.step([&] {
            const Unpacked done = unpackBlob(form.ui, rs, "LogFileZIP", target, &inputs);
            written = done.written;
            if (done.reported) proc.fail("");
        });
    }
    // Success is told only when nothing failed on the way.
    if (written && !proc.failed()) {
        form.txtInfo.Text = "Export log file extracted to:\r\n" + target;
        proc.step([&] { form.ui.openWithDesktop(folder); });
    } else {
        if (written) proc.step([&] { ui::removeEntry(form.ui, target); });
        // A failure already told (with the file and its cause) is not told again.
        if (!proc.failed())
            form.ui.messageBox("Error unpacking ZIP file from MDB database", ui::Buttons::Ok);
        written = false;
        form.txtInfo.Text = "Error unpacking ZIP file containing export log";
    }
    proc.step([&] {
        if (rs.State() != db::adStateClosed) rs.Close();
    });
    return written;
}

}  // namespace tdv::extract
