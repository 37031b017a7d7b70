// The "Private List Dump" button: every member of every private list of the selected
// subscriber as comma-separated lines in txtInfo, copied to the clipboard.
#pragma once

#include <string>

#include "main_state/frm_main.h"

namespace tdv::reports {

// Dumps the subscriber of the grid's current row (ObjectID in column 5, alias in column 0).
bool cmdPrivateListDump_Click(app::FrmMain& form);
// Writes one line "alias, list alias, list display name, member alias, member type" per
// member of each private list of the subscriber (a Null value is an empty field), then puts
// exactly the text of txtInfo on the clipboard. A failure (a query that cannot run) shows
// "Error N (D) in procedure DumpPrivateLists of Form frmMain" once and ends the dump; the
// lines written so far stay, and the clipboard holds them too. True when nothing failed.
bool DumpPrivateLists(app::FrmMain& form, const std::string& objectID, const std::string& alias);

}  // namespace tdv::reports
