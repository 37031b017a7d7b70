// The two main-window commands that change the open backup database in place:
//
//  - mnuClearMappingMemory_Click ("Clear object mapping table") empties ObjectMappingHistory
//    after the user confirms; failures show "Error in mnuClearMappingMemory:" + description.
//  - mnuStQuellisPagerScrub_Click ("Saint Quellis Pager Scrub"), for directory backups of the
//    older product only: deletes every notification device named "Pager 3" to "Pager 7"
//    (any letter case) and switches on each inactive device named exactly "Pager" whose
//    trimmed phone number is longer than 3 characters, then reports both counts. Refusals
//    (message backup, newer product) and a declined question leave the file untouched;
//    failures show "Error in StQuellisPagerScrub:" + description and the command goes on.
//
// Every change is written through the recordset layer, each save atomic; neither command
// copies the file first.
#pragma once

#include "app/frm_main.h"

namespace tdv::commands {

void mnuClearMappingMemory_Click(app::FrmMain& form);
void mnuStQuellisPagerScrub_Click(app::FrmMain& form);

}  // namespace tdv::commands
