// Export log extraction: the main window's "Extract Export Log File!" entry.
//
// Backups written by tool 7.0.29 or later (older product), 1.3.1 or later, or of server 7.0
// or later (newer product) keep the export run's log as a ZIP archive in
// VersionInfo.LogFileZIP. FetchBackupLogFile empties the grid, writes that archive to
// application folder + "/LogArchives/TARNIS_Export_LogFile.zip" (always this name), reports
// the path in txtInfo and opens the folder with the desktop. Errors are shown as
// "Error N (D) in procedure FetchBackupLogFile of Form frmMain" and the next step runs; a
// failure is told once (a failed write is not followed by "Error unpacking ZIP file from MDB
// database"). LogArchives must be a folder of the program's own (not a link, not a file):
// otherwise the extraction is refused and nothing in it is removed. The archive is written
// under a temporary name and replaces the earlier one only once it is whole.
#pragma once

#include <string>

#include "main_state/frm_main.h"

namespace tdv::extract {

// application folder + "/LogArchives/TARNIS_Export_LogFile.zip".
std::string exportLogPath(const backup::AppState& state);

// True when the archive was written whole and nothing failed. A backup without an archive
// (the version gate) removes an earlier archive, so none passes for this backup's; a
// failure removes a partly written one.
bool FetchBackupLogFile(app::FrmMain& form);

}  // namespace tdv::extract
