// The message browser frmMessages without its widgets: the message grid, the count box, the
// extraction folder and file choice, and the procedures the window forwards its events to.
//
// A message backup (a file whose Messages table holds the voice or e-mail messages of one
// mailbox) is shown here instead of in the main window. InitForm fills the grid, one row per
// message in the order the engine returns them; selecting a data row, or pressing
// "&Extract Message", writes that message's MessageAttachment to
// appFolder/temp_msg/MSG_WAV_File.wav (or MSG_EML_Zip_File.zip when the file's first sender
// address holds no "/O=") and opens the folder with the desktop.
//
// Filling is not a selection: the grid's repainting is off while InitForm fills it, and the
// selection handler extracts nothing then. The Qt window shows this state, forwards its
// events here and wires the callbacks below; `tdv messages` and `tdv extract-message` drive
// the same procedures.
//
// Error rules: InitForm's steps fail silently; the fill reports "Error N (D) in procedure
// PopulateGridWithSubscriberMessageInfo of Form frmMessageSelection" and goes on;
// strFetchAliasFromAddress reports under the same form name; extraction reports under
// "cmdExtractWAVFile_Click of Form frmMessages". The database is never changed.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "backup/app_state.h"
#include "main_state/frm_main.h"
#include "ui/grid_model.h"
#include "ui/ui_port.h"

namespace tdv::messages {

inline constexpr const char* kCaption = "TARNIS Message Viewer";

// Button, label and menu captions.
inline constexpr const char* kExtractCaption = "&Extract Message";
inline constexpr const char* kExitCaption = "E&xit";
inline constexpr const char* kTotalRowsCaption = "Messages in grid:";

// One menu entry; an empty name is a separator.
struct MenuItem {
    const char* name;
    const char* caption;
};
inline constexpr const char* kFileMenuCaption = "File";
inline constexpr MenuItem kFileMenu[] = {
    {"mnuLoadDatabase", "Open database"}, {"", ""}, {"mnuExit", "Exit"}};
inline constexpr const char* kHelpMenuCaption = "Help";
inline constexpr MenuItem kHelpMenu[] = {{"mnuHelp", "Help"}, {"", ""}, {"mnuAbout", "About"}};

// The grid's fixed layout; code finds columns by key, never by position.
struct GridColumn {
    const char* key;
    const char* caption;
    int width;  // twips
    bool checkBox;
    bool hidden;
};
inline constexpr GridColumn kGridColumns[] = {
    {"ArrivalDate", "Arrival Time", 960, false, false},
    {"Secure", "Secure", 630, true, false},
    {"Read", "Read", 960, true, false},
    {"Urgent", "Urgent", 735, true, false},
    {"Private", "Private", 690, true, false},
    {"SenderAlias", "Sender Alias", 1125, false, false},
    {"Recipient", "Recipient", 960, false, false},
    {"CallingNumber", "Calling Number", 1395, false, false},
    {"Subject", "Subject", 960, false, false},
    {"Index", "Index", 960, false, true},
};

// Names of the files an extraction writes into strTempMsgFolder.
inline constexpr const char* kWavFileName = "MSG_WAV_File.wav";
inline constexpr const char* kEmlZipFileName = "MSG_EML_Zip_File.zip";

struct FrmMessages {
    // Sets up the grid's layout and wires its selection event to gridMessages_SelChange.
    FrmMessages(ui::UiPort& ui, backup::AppState& state);
    FrmMessages(const FrmMessages&) = delete;
    FrmMessages& operator=(const FrmMessages&) = delete;

    ui::UiPort& ui;
    backup::AppState& state;

    ui::GridModel gridMessages;
    std::string txtMessagesInGrid = "0";

    // appFolder + "/temp_msg", set by InitForm.
    std::string strTempMsgFolder;
    // Chosen from the first message's sender address when the grid is filled: false when it
    // contains "/O=" (any case), true otherwise; unchanged for an empty table.
    bool bEMLZipMessages = false;

    // Set by the front end; an empty callback does nothing.
    std::function<void()> showHelp;         // mnuHelp: the help window, modeless
    std::function<void()> showAbout;        // mnuAbout: the About window, modal
    std::function<void()> exitApplication;  // Exit button, Exit menu, closing the window
    // Called by mnuLoadDatabase_Click when the open ended with no backup shown: the front end
    // runs the main window's opening sequence again (its open dialog; a cancel there ends
    // the program as at start-up) rather than leave the program without a window.
    std::function<void()> noBackupOpened;
};

// Prepares the folder, loads the schema revision, fills the grid, sets the count, tells the
// user when there is no message, sizes the columns, hides the splash. Errors are silent.
void InitForm(FrmMessages& form);
// Fills the grid from "SELECT * FROM Messages" (appends rows; InitForm empties it first).
void PopulateGridWithSubscriberMessageInfo(FrmMessages& form);
// The sender alias shown for a FromAddress: "CN=alias/O=Org" -> "alias/Org", the system
// sender unchanged, a directory name "/O=../CN=alias" -> "alias", anything else "".
std::string strFetchAliasFromAddress(FrmMessages& form, const std::string& address);
// "yyyy/mm/dd hh:nn:ss" of an OLE date (24-hour clock).
std::string formatArrivalTime(double oleDate);
// True when the first sender address means ZIP'd e-mail messages (no "/O=", any case).
bool bAddressMeansEmlZip(const std::string& fromAddress);

// The extraction target for the current bEMLZipMessages.
std::string targetFilePath(const FrmMessages& form);
// Extracts the current row's message; see the file comment. Returns the written file's path
// when the extraction wrote it, "" otherwise (the window ignores the result).
std::string cmdExtractWAVFile_Click(FrmMessages& form);
// The grid's selection event: extracts the current data row unless the grid is being
// filled (repainting off).
void gridMessages_SelChange(FrmMessages& form);

// cmdExit, mnuExit and closing the window end the program (exitApplication).
void cmdExit_Click(FrmMessages& form);
void mnuExit_Click(FrmMessages& form);
void Form_Unload(FrmMessages& form);
void mnuHelp_Click(FrmMessages& form);
void mnuAbout_Click(FrmMessages& form);
// "Open database": hides this window and runs the main window's ConnectToMDBFile, which
// shows the window that fits the chosen backup (main.showMessageBrowser for a message
// backup). True when a backup is shown afterwards; false when the dialog was cancelled or
// the file rejected: the connect string is then emptied and noBackupOpened is called.
bool mnuLoadDatabase_Click(FrmMessages& form, app::FrmMain& main);

// Window geometry in twips.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
};
struct Size {
    int width = 0, height = 0;
    bool operator==(const Size&) const = default;
};
inline constexpr int kMinWidth = 8000;
inline constexpr int kMinHeight = 4000;
// The window's size at design time (outer) and the controls' designed places.
inline constexpr Size kDesignSize = {11220, 6600};
struct MessagesLayout {
    Rect gridMessages, cmdExtractWAVFile, cmdExit, lblTotalGridRows, txtMessagesInGrid;
    bool operator==(const MessagesLayout&) const = default;
};
// The outer size the window must be set to when it is smaller than the minimum, nullopt
// when it is large enough (or minimized: then nothing happens).
std::optional<Size> Form_Resize_minimumSize(Size outer, bool minimized);
// The controls' geometry for a client area, nullopt when minimized or when the outer size
// is below the minimum (the front end first resizes the window, which resizes again).
std::optional<MessagesLayout> Form_Resize(Size outer, Size inner, bool minimized);

}  // namespace tdv::messages
