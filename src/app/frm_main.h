// The main window frmMain without its widgets: the type list selection, the grid model, the
// count label, the report text box, the visibility of the row buttons and menu items, and
// the procedures that drive them (start-up, dispatch of the type list and of a selected row).
//
// The Qt window shows this state and forwards its events here; `tdv` drives the same
// procedures and prints the result. Every feature procedure of the main window (lists,
// reports, extraction, commands) takes the FrmMain it writes into.
#pragma once

#include <functional>
#include <string>

#include "db/backup/app_state.h"
#include "ui/grid_model.h"
#include "ui/text_box.h"
#include "ui/ui_port.h"

namespace tdv::app {

// Entries of cmbObjectType; the index is the object type used throughout the program.
enum ObjectType : int {
    kSubscribers = 0,
    kCallHandlers = 1,
    kDistributionLists = 2,
    kInterviewHandlers = 3,
    kDirectoryHandlers = 4,
    kSchedules = 5,
    kBackupDetails = 6,
    kExtractExportLog = 7,
};
inline constexpr const char* kObjectTypeEntries[] = {
    "Subscribers",        "Call Handlers", "Distribution Lists", "Interview Handlers",
    "Directory Handlers", "Schedules",     "Backup Details",     "Extract Export Log File!"};
inline constexpr const char* kScheduleText =
    "{TARNIS Data Viewer does not show schedule detail information at this time}";

struct FrmMain {
    FrmMain(ui::UiPort& ui, backup::AppState& state);
    FrmMain(const FrmMain&) = delete;
    FrmMain& operator=(const FrmMain&) = delete;

    ui::UiPort& ui;
    backup::AppState& state;

    int cmbObjectType = -1;  // selected entry, -1 for none
    ui::GridModel myGrid;
    std::string txtObjectCount = "0";
    ui::TextBox txtInfo;
    bool cmdFetchAllWAVFilesVisible = false;
    bool cmdPrivateListDumpVisible = false;
    bool pagerScrubMenuVisible = false;  // mnuStQuellisPagerScrub and its separator
    bool listFailed = false;  // the last list fill could not read its objects (box shown)
    // Whether InitForm lists "Subscribers" after selecting it (the window shows that list);
    // a command that works on one object or on another list turns it off.
    bool listOnOpen = true;

    // Appends a line and CR LF to txtInfo.
    void AddLine(const std::string& line) { txtInfo.AddLine(line); }

    // Called by ConnectToMDBFile when a message backup was opened: the message browser's
    // InitForm and showing it. Set by the front end; empty means nothing to show.
    std::function<void()> showMessageBrowser;
};

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
// The grid's selection handler: ShowObjectDetails unless a list is being filled.
void myGrid_SelChange(FrmMain& form);
// The clipboard gets the whole text of txtInfo.
void cmdCopyToClipboard_Click(FrmMain& form);

}  // namespace tdv::app
