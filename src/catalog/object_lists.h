// The object lists of the main window's grid: one procedure per object type, each filling
// myGrid (captions, cells, hidden ObjectID column), txtObjectCount, and then showing the
// first row's report through ShowObjectDetails.
#pragma once

#include "app/frm_main.h"

namespace tdv::catalog {

void populateSubscribers(app::FrmMain& form);
void populateCallHandlers(app::FrmMain& form);
void populateDistributionLists(app::FrmMain& form);
void populateInterviewHandlers(app::FrmMain& form);
void populateNameLookupHandlers(app::FrmMain& form);
void populateSchedules(app::FrmMain& form);

}  // namespace tdv::catalog
