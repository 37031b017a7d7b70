// The call handler detail report. Embedded (in a subscriber's report) it appends to txtInfo
// after a banner line instead of replacing it.
#pragma once

#include <string>

#include "main_state/frm_main.h"

namespace tdv::reports {

void PullCallHandlerData(app::FrmMain& form, const std::string& objectID, bool embedded);

}  // namespace tdv::reports
