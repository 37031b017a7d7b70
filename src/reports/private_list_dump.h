// The "Private List Dump" button: every member of every private list of the selected
// subscriber as comma-separated lines in txtInfo, copied to the clipboard.
#pragma once

#include "app/frm_main.h"

namespace tdv::reports {

void cmdPrivateListDump_Click(app::FrmMain& form);

}  // namespace tdv::reports
