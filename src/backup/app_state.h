// The process-wide state of the open backup, in one place.
//
// The program keeps no database open: an open backup is its connect string and a few facts
// about it. Opening a backup (the main window's ConnectToMDBFile) sets the file fields; the
// version loaders (backed_up_version.h) set the version fields; the main window sets
// bIsQuorin7OrLater. Every query opens a new recordset through newRecordset(), which shares
// one cache of opened database files so that nested lookups do not re-read the catalog.
#pragma once

#include <cstdint>
#include <string>

#include "db/database_cache.h"
#include "db/recordset.h"

namespace tdv::backup {

// The backed-up server's and backup tool's versions and the schema revision; all zero,
// False or empty until loaded.
struct VersionState {
    int16_t serverMajor = 0, serverMinor = 0, serverRev = 0, serverBuild = 0;
    bool bIsQuorinBackup = false;
    bool bIsCoResBackup = false;
    std::string strBackedUpZerithVersion;  // "major.minor(rev.build)"
    int16_t appMajor = 0, appMinor = 0, appRev = 0;
    std::string strBackedUpAppVersion;  // "major.minor.rev"
    int16_t mdbVersion = 0;             // MDBVersion.Version
};

inline constexpr const char* kConnectPrefix = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=";
inline constexpr const char* kSettingsSection = "ApplicationSettings";

struct AppState {
    // The process command line after the program name (a backup path and/or switches).
    std::string commandLine;
    // Set by the first open: a backup path on the command line is opened at start-up only,
    // every later open request asks for the file.
    bool commandLinePathUsed = false;
    // The folder the executable runs from (default folder of the open dialog).
    std::string exeFolder;
    // Where outputs go: logs, WAVExtraction, LogArchives, temp_msg.
    std::string appFolder;

    std::string strMDBFilePath;
    std::string strMDBConnectString;
    bool bIsMessageBackup = false;
    std::string strLastMDBFolderPath;

    VersionState version;
    bool bIsQuorin7OrLater = false;

    db::DatabaseCache cache;

    db::Recordset newRecordset() { return db::Recordset(cache); }
};

// $TDV_HOME when set, else $XDG_DATA_HOME/tarnis-data-viewer (~/.local/share/... when
// XDG_DATA_HOME is unset).
std::string defaultAppFolder();

}  // namespace tdv::backup
