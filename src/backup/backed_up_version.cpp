#include "backup/backed_up_version.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <tuple>
#include <vector>

#include "base/text.h"
#include "db/db_error.h"
#include "ui/procedure.h"

namespace tdv::backup {

namespace {

constexpr const char* kModule = "modBackedUpZerithVersion";
constexpr const char* kNoBackupInfo =
    "Error - no backup information found in the MDB file selected for restore.";

// CInt of a field value: Null raises 94, a value outside 16 bits raises 6.
int16_t int16Of(const db::Variant& v) {
    const int32_t n = v.toLong();
    if (n < INT16_MIN || n > INT16_MAX) throw db::overflowError();
    return static_cast<int16_t>(n);
}

// CBool of a field value: Null raises 94, text other than True/False or a number raises 13.
bool boolOf(const db::Variant& v) {
    if (v.is<bool>()) return v.get<bool>();
    if (v.is<std::string>()) {
        const std::string t = base::asciiLower(v.get<std::string>());
        if (t == "true") return true;
        if (t == "false") return false;
    }
    return v.toDouble() != 0.0;
}

// Opens the table the way every query of the program does, naming only the columns read
// here: a long value of the row (VersionInfo.LogFileZIP) is not read, so damage to it
// cannot hide the version. A table that cannot be read leaves the recordset closed.
db::Recordset openTable(AppState& state, const std::string& table,
                        const std::vector<std::string>& columns) {
    db::Recordset rs = state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    try {
        rs.Open(db::selectExistingColumns(&state.cache, state.strMDBConnectString, table, columns),
                state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    } catch (...) {
        // Not an error here: the caller tells a closed recordset by its state.
    }
    return rs;
}

bool isOpen(const db::Recordset& rs) {
    return rs.State() == db::adStateOpen;
}

}  // namespace

void BackedUpZerithVer(ui::UiPort& ui, AppState& state) {
    VersionState& v = state.version;
    v.serverMajor = v.serverMinor = v.serverRev = v.serverBuild = 0;
    v.bIsQuorinBackup = false;
    v.bIsCoResBackup = false;

    db::Recordset rs =
        openTable(state, "VersionInfo",
                  {"ZerithVersionMajor", "ZerithVersionMinor", "ZerithVersionBuild",
                   "ZerithVersionRev", "ZerithVersionbQRN", "ZerithVersionbIsCoRes"});
    if (!isOpen(rs)) {
        ui.messageBox(
            "Error - BackedUpZerithVer called before MDB file containing valid backup selected");
        return;
    }
    if (rs.RecordCount() != 1) {
        ui.messageBox(kNoBackupInfo);
        return;
    }
    ui::Procedure proc(ui, "BackedUpZerithVer", kModule, ui::ErrorStyle::silent(),
                       ui::OwnerKind::Module);
    proc.step([&] { v.serverMajor = int16Of(rs("ZerithVersionMajor").Value()); });
    proc.step([&] { v.serverMinor = int16Of(rs("ZerithVersionMinor").Value()); });
    proc.step([&] { v.serverBuild = int16Of(rs("ZerithVersionBuild").Value()); });
    proc.step([&] { v.serverRev = int16Of(rs("ZerithVersionRev").Value()); });
    proc.step([&] { v.bIsQuorinBackup = boolOf(rs("ZerithVersionbQRN").Value()); });
    // Older backups have no co-resident flag: the column is missing and the flag stays False.
    proc.step([&] { v.bIsCoResBackup = boolOf(rs("ZerithVersionbIsCoRes").Value()); });
    v.strBackedUpZerithVersion = std::to_string(v.serverMajor) + "." +
                                 std::to_string(v.serverMinor) + "(" + std::to_string(v.serverRev) +
                                 "." + std::to_string(v.serverBuild) + ")";
}

void BackedUpAppVersion(ui::UiPort& ui, AppState& state) {
    VersionState& v = state.version;
    v.appMajor = v.appMinor = v.appRev = 0;

    db::Recordset rs =
        openTable(state, "VersionInfo", {"AppVersionMajor", "AppVersionMinor", "AppVersionRev"});
    if (!isOpen(rs)) {
        ui.messageBox(
            "Error - BackedUpAppVersion called before MDB file containing valid backup selected");
        return;
    }
    if (rs.RecordCount() != 1) {
        ui.messageBox(kNoBackupInfo);
        return;
    }
    ui::Procedure proc(ui, "BackedUpAppVersion", kModule, ui::ErrorStyle::silent(),
                       ui::OwnerKind::Module);
    proc.step([&] { v.appMajor = int16Of(rs("AppVersionMajor").Value()); });
    proc.step([&] { v.appMinor = int16Of(rs("AppVersionMinor").Value()); });
    proc.step([&] { v.appRev = int16Of(rs("AppVersionRev").Value()); });
    v.strBackedUpAppVersion = std::to_string(v.appMajor) + "." + std::to_string(v.appMinor) + "." +
                              std::to_string(v.appRev);
}

void LoadMDBVersion(ui::UiPort& ui, AppState& state) {
    state.version.mdbVersion = 0;
    db::Recordset rs = openTable(state, "MDBVersion", {"Version"});
    if (!isOpen(rs)) return;
    if (rs.RecordCount() != 1) {
        ui.messageBox(
            "Error - no MDB version information found in the MDB file selected for restore.");
        return;
    }
    ui::Procedure proc(ui, "LoadMDBVersion", kModule, ui::ErrorStyle::silent(),
                       ui::OwnerKind::Module);
    proc.step([&] { state.version.mdbVersion = int16Of(rs("Version").Value()); });
}

bool bIsBackedUpZerithVersionGreaterThanOrEqualTo(ui::UiPort& ui, const AppState& state,
                                                  int16_t major, int16_t minor, int16_t rev,
                                                  int16_t build, bool bQuorin) {
    bool result = false;
    ui::Procedure proc(ui, "bIsBackedUpZerithVersionGreaterThanOrEqualTo", kModule,
                       ui::ErrorStyle::standard(), ui::OwnerKind::Module);
    proc.step([&] {
        const VersionState& v = state.version;
        if (v.bIsQuorinBackup != bQuorin) return;
        result = std::tie(v.serverMajor, v.serverMinor, v.serverRev, v.serverBuild) >=
                 std::tie(major, minor, rev, build);
    });
    return result;
}

bool bIsBackedUpAppVersionGreaterThanOrEqualTo(const AppState& state, int16_t major, int16_t minor,
                                               int16_t rev) {
    const VersionState& v = state.version;
    return std::tie(v.appMajor, v.appMinor, v.appRev) >= std::tie(major, minor, rev);
}

bool bIsMDBVersionGreaterThanOrEqualTo(const AppState& state, int16_t revision) {
    return state.version.mdbVersion >= revision;
}

}  // namespace tdv::backup
