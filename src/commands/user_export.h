// Exporting the subscribers of the open directory backup to a CSV file (the main window's
// "Export users in backup to CSV" menu entry).
//
// The file is the starting point of a remap: one line per subscriber with its alias and
// primary extension (and, from schema revision 20 on, its e-mail address), the "new" columns
// left empty. Written as ANSI text (Windows-1252), lines ended by CR LF, no quoting:
//
//   revision >= 20  "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, OLD_SMTP_ADDRESS,
//                    NEW_SMTP_ADDRESS"              data: Alias,DTMFAccessID,,,SMTP,
//   revision <  20  "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION"
//                                                   data: Alias,DTMFAccessID,,
//
// The path comes from the save dialog (a cancelled or empty answer ends the command quietly);
// an existing file is replaced only after "Overwrite file?" is answered Yes. Failures show
// "Error N (D) in procedure mnuExportUsers_Click of Form frmMain". A subscriber whose Alias
// or DTMFAccessID is Null costs its line and the export goes on; a failure of the file (it
// cannot be created, the disk is full) ends the export with one box, the partly written file
// is removed and "Export complete" is not shown. At the end the user may open the file with
// the desktop's default program. The backup is only read.
#pragma once

#include <ctime>
#include <string>

#include "main_state/frm_main.h"

namespace tdv::commands {

// "TARNISMDBView_User_Export_" + the local date as yy_MM_dd.
std::string strDefaultUserExportName(std::time_t now);

// True when the whole file was written; false when the user cancelled or declined, the
// backup has no subscribers (the file then holds the header line) or a failure was shown.
bool mnuExportUsers_Click(app::FrmMain& form);

}  // namespace tdv::commands
