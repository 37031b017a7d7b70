// The "Backup Details" view: an empty grid and a short text about the backup run.
#pragma once

#include "main_state/frm_main.h"

namespace tdv::catalog {

void populateBackupDetails(app::FrmMain& form);

}  // namespace tdv::catalog
