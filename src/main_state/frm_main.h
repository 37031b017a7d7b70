// The main window frmMain without its widgets: the type list selection, the grid model, the
// count label, the report text box and the visibility of the row buttons and menu items.
//
// This is the state every feature writes into; the procedures that drive it (start-up,
// dispatch of the type list and of a selected row) sit above the features, in main_window/.
// The Qt window shows this state and forwards its events to them; `tdv` drives the same
// procedures and prints the result. Every feature procedure of the main window (lists,
// reports, extraction, commands) takes the FrmMain it writes into.
#pragma once

#include <functional>
#include <string>

#include "backup/app_state.h"
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

    // The main window's procedures a feature runs, set by connectMainWindow
    // (main_window/frm_main_procedures.h): the report of the grid's current row, shown when a
    // list fill ends, and the open sequence behind the message browser's "Open database".
    // Empty does nothing.
    std::function<void()> showObjectDetails;
    std::function<void()> connectToMDBFile;
};

}  // namespace tdv::app
