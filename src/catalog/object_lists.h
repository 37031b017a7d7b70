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

// The header of the list of `type` (0 to 5) without data rows: its own captions, its ObjectID
// column hidden (and its alias column where the list hides it). What a list that shows no
// rows looks like, whatever the grid showed before.
void showListHeader(app::FrmMain& form, int type);

}  // namespace tdv::catalog
