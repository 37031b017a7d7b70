// Exporting the subscribers of the open directory backup to a CSV file (the main window's
// "Export users in backup to CSV" menu entry).
//
// The file is the starting point of a remap: one line per subscriber with its alias and
// primary extension (and, from schema revision 20 on, its e-mail address), the "new" columns
// left empty. Written as ANSI text (Windows-1252), or as UTF-8 with a byte order mark when a
// value has no Windows-1252 character; lines ended by CR LF, no quoting:
//
//   revision >= 20  "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, OLD_SMTP_ADDRESS,
//                    NEW_SMTP_ADDRESS"              data: Alias,DTMFAccessID,,,SMTP,
//   revision <  20  "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION"
//                                                   data: Alias,DTMFAccessID,,
//
// The path comes from the save dialog (a cancelled or empty answer ends the command quietly);
// an existing file is replaced only after "Overwrite file?" is answered Yes; a path that is
// the backup being read (or an Access file beside it), through any spelling or link, is
// refused first. Failures show "Error N (D) in procedure mnuExportUsers_Click of Form
// frmMain". A Null extension is written as an empty field. The remap load splits at every
// comma and drops quotes, so a subscriber whose alias (or another value) holds a comma, a
// double quote or a line break is left out rather than written as a line that loads back as
// another user; a Null alias costs its line after its box. The closing question then says
// "Export complete: N users exported, M without an extension" (or "Export incomplete: ...;
// left out, alias holds a comma: ALIAS" when users were left out). A failure of the file (it
// cannot be created, the disk is full) ends the export with one box and nothing under the
// file's name changes (the file is written under a temporary name). At the end the user may
// open the file with the desktop's default program. The backup is only read.
#pragma once

#include <ctime>
#include <string>

#include "main_state/frm_main.h"

namespace tdv::commands {

// "TARNISMDBView_User_Export_" + the local date as yy_MM_dd.
std::string strDefaultUserExportName(std::time_t now);

// True when the whole file was written with every subscriber; false when the user cancelled
// or declined, the backup has no subscribers (the file then holds the header line), users
// were left out (the file holds the others) or a failure was shown.
bool mnuExportUsers_Click(app::FrmMain& form);

}  // namespace tdv::commands
