// The subscriber detail report, ending with the embedded report of the user's primary call
// handler.
#pragma once

#include <string>

#include "main_state/frm_main.h"

namespace tdv::reports {

void listHandlers_Click(app::FrmMain& form, const std::string& objectID);

}  // namespace tdv::reports
