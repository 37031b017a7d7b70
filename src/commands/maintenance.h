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
// Every change is written through the recordset layer, each save atomic. Both first make the
// backup's safety copy (backup/safety_copy.h) unless it is switched off; a copy that
// cannot be made shows one message and nothing is changed. The closing message names it.
#pragma once

#include "main_state/frm_main.h"

namespace tdv::commands {

// Both tell their success ("Mapping history table cleared", "Operation completed. ...")
// only when nothing failed, and return true then; a refusal, a declined question, a failure
// (shown once; the pager scrub stops at the first device it cannot change) or, for the pager
// scrub, a backup without pager devices return false.
bool mnuClearMappingMemory_Click(app::FrmMain& form);
bool mnuStQuellisPagerScrub_Click(app::FrmMain& form);

}  // namespace tdv::commands
