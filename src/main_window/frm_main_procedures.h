// The main window's procedures: start-up for an opened backup, the open sequence, and the
// dispatch of the type list and of a selected row to the features' lists and reports.
//
// They sit above the features and run on the FrmMain state below them. connectMainWindow
// hands the state what it calls back into (the grid's selection, the hooks the features
// run); whoever builds a main window calls it once, before the first event.
#pragma once

#include "main_state/frm_main.h"

namespace tdv::app {

// Wires the grid's selection to myGrid_SelChange and the FrmMain hooks to ShowObjectDetails
// and ConnectToMDBFile.
void connectMainWindow(FrmMain& form);

// Prepares the window for the backup just opened: version state, bIsQuorin7OrLater, and
// "Subscribers" selected and listed. Hides the window for a message backup.
void InitForm(FrmMain& form);
// Chooses, probes and opens a backup; see the open sequence in connect_to_mdb_file.cpp.
void ConnectToMDBFile(FrmMain& form);
// Refills the grid for the selected object type.
void LoadObjectList(FrmMain& form);
// Selecting an entry of the type list (click, key press, scroll): hides the WAV button and
// loads the list.
void selectObjectType(FrmMain& form, int index);
// Shows the report of the grid's current row.
void ShowObjectDetails(FrmMain& form);
// The grid's current row is hidden (a filter shows no row of it): the report goes, so that
// nothing of a row the user cannot see is shown or copied; with rowShown again the
// report of the current row comes back.
void showDetailsOfShownRow(FrmMain& form, bool rowShown);
// The grid's selection handler: ShowObjectDetails unless a list is being filled.
void myGrid_SelChange(FrmMain& form);
// The clipboard gets the whole text of txtInfo.
void cmdCopyToClipboard_Click(FrmMain& form);

}  // namespace tdv::app
