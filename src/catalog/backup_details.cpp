#include "catalog/backup_details.h"

#include "backup/backed_up_version.h"
#include "ui/procedure.h"

namespace tdv::catalog {

namespace {

constexpr const char* kTooOldForDetails =
    "Backup was produced with a version older than 7.0.29 for Zerith and 1.3.1 for Quorin 1.x - "
    "there are no more details to show.";

// A VersionInfo value as text: Null prints as nothing, a date in the general date form.
std::string columnText(const db::Recordset& rs, const char* column) {
    const db::Variant value = rs(column).Value();
    return value.isNull() ? std::string() : value.toText();
}

// Older backups lack the run facts; the backup tool wrote them from 7.0.29 (older product)
// and 1.3.1 (newer product), and always for newer-product servers from 7.0 on.
bool isRecentEnough(app::FrmMain& form) {
    const auto& v = form.state.version;
    return (!v.bIsQuorinBackup &&
            backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(form.state, 7, 0, 29)) ||
           (v.bIsQuorinBackup &&
            backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(form.state, 1, 3, 1)) ||
           backup::bIsBackedUpZerithVersionGreaterThanOrEqualTo(form.ui, form.state, 7, 0, 0, 0,
                                                                true);
}

}  // namespace

void populateBackupDetails(app::FrmMain& form) {
    ui::Procedure proc(form.ui, "populateBackupDetails", "frmMain", ui::ErrorStyle::standard());
    const auto& version = form.state.version;

    proc.step([&] { form.myGrid.setRows(0); });
    proc.step([&] { form.txtObjectCount.clear(); });
    proc.step([&] {
        form.txtInfo.Text =
            (version.bIsQuorinBackup ? "Zerith Quorin version=" : "Zerith version=") +
            version.strBackedUpZerithVersion + "\r\n";
    });
    proc.step([&] {
        form.AddLine("Backed up with Export version=" + version.strBackedUpAppVersion);
        form.AddLine("");
    });

    bool recent = false;
    proc.step([&] { recent = isRecentEnough(form); });
    if (!recent) {
        proc.step([&] { form.AddLine(kTooOldForDetails); });
        return;
    }

    auto rs = form.state.newRecordset();
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] {
        // The run facts only: the export log archive in the same row is not read here.
        rs.Open(db::selectExistingColumns(&form.state.cache, form.state.strMDBConnectString,
                                          "VersionInfo",
                                          {"UserName", "DomainName", "BackedUpServerName",
                                           "BackUpStartTime", "ZerithServerName"}),
                form.state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    });
    proc.step([&] { form.AddLine("User name that ran backup=" + columnText(rs, "UserName")); });
    proc.step(
        [&] { form.AddLine("Domain name backup was run from=" + columnText(rs, "DomainName")); });
    proc.step([&] {
        form.AddLine("Back up ran from server name=" + columnText(rs, "BackedUpServerName"));
    });
    proc.step([&] { form.AddLine("Backed up started at: " + columnText(rs, "BackUpStartTime")); });

    // Older backups have no ZerithServerName column: its line is simply left out.
    proc.setStyle(ui::ErrorStyle::silent());
    proc.step(
        [&] { form.AddLine("Backed up server name= " + columnText(rs, "ZerithServerName")); });
    proc.step([&] {
        if (version.bIsCoResBackup) form.AddLine("Quorin is a Co-Res installation");
    });
    proc.step([&] { rs.Close(); });
}

}  // namespace tdv::catalog
