// The object lists of the main window's grid: one procedure per object type, each filling
// myGrid (captions, cells, hidden ObjectID column), txtObjectCount, and then showing the
// first row's report through ShowObjectDetails.
#pragma once

#include <string>

#include "main_state/frm_main.h"

namespace tdv::catalog {

// With an ObjectID, the list holds only that object's row (if any), filled exactly as the
// whole list fills it, count and first report included: what a command on one object needs,
// without reading and sorting every object of the type.
void populateSubscribers(app::FrmMain& form, const std::string& objectId = {});
void populateCallHandlers(app::FrmMain& form, const std::string& objectId = {});
void populateDistributionLists(app::FrmMain& form, const std::string& objectId = {});
void populateInterviewHandlers(app::FrmMain& form, const std::string& objectId = {});
void populateNameLookupHandlers(app::FrmMain& form, const std::string& objectId = {});
void populateSchedules(app::FrmMain& form, const std::string& objectId = {});
// The list procedure of `type` (0 to 5) narrowed to one object.
void populateObject(app::FrmMain& form, int type, const std::string& objectId);

// The header of the list of `type` (0 to 5) without data rows: its own captions, its ObjectID
// column hidden (and its alias column where the list hides it). What a list that shows no
// rows looks like, whatever the grid showed before.
void showListHeader(app::FrmMain& form, int type);

}  // namespace tdv::catalog
