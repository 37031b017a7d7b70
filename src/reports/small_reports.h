// The directory handler, interview handler and distribution list reports.
#pragma once

#include <string>

#include "main_state/frm_main.h"

namespace tdv::reports {

void PullNameLookupHandlerData(app::FrmMain& form, const std::string& objectID);
void PullInterviewerData(app::FrmMain& form, const std::string& objectID);
void PullDistributionListData(app::FrmMain& form, const std::string& objectID);

}  // namespace tdv::reports
