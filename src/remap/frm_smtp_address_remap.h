// The e-mail address remap window frmSMTPAddressRemap without its widgets: as the alias and
// extension remap window (frm_extension_remap.h), with the CSV columns OLD_EXTENSION,
// OLD_ALIAS and NEW_SMTP_ADDRESS, one lookup (users), and Subscribers.SMTPAddress as the
// only column written.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "main_state/frm_main.h"
#include "remap/frm_extension_remap.h"

namespace tdv::remap {

inline constexpr const char* kSMTPRemapTitle = "TARNIS Data Email Address Remapper";

struct SMTPCsvColumns {
    int oldExtension = -1, oldAlias = -1, newSMTPAddress = -1;
};

struct FrmSMTPAddressRemap {
    FrmSMTPAddressRemap(ui::UiPort& ui, backup::AppState& state, logging::ModLogging& logs);
    FrmSMTPAddressRemap(const FrmSMTPAddressRemap&) = delete;
    FrmSMTPAddressRemap& operator=(const FrmSMTPAddressRemap&) = delete;

    ui::UiPort& ui;
    backup::AppState& state;
    logging::ModLogging& logs;

    std::string txtCSVPath;
    bool chkSelectAll = false;
    ui::GridModel myGrid;
    std::optional<db::Recordset> users;
    // The users' records read once at activation, indexed on Alias, DTMFAccessID and
    // ObjectID (remap_lookups.h).
    LookupTable userTable;
    // Users whose address a line of the load under way already changes.
    std::set<std::string> claimedUsers;

    bool closed = false;
    // Ticked rows the last apply did not apply (failed, or left after it stopped).
    int rowsNotApplied = 0;
    std::function<void(int done, int total)>
        progress;  // Rows of one save of an apply at most (0: as many as a save takes); the preview
                   // saves
    // one row at a time, to read each row's outcome after its save.
    size_t rowsPerSave = 0;
};

// The main window's menu entry: false (and the "too old" message) below schema revision 20,
// true when the window may open.
bool mnuSMTPRemap_CanOpen(app::FrmMain& main);

void InitForm(FrmSMTPAddressRemap& form);
void cmdOpenCSVFile_Click(FrmSMTPAddressRemap& form);
bool bisValidCSVFileFormat(FrmSMTPAddressRemap& form, const std::string& path,
                           SMTPCsvColumns& columns);
void ProcessCSVFile(FrmSMTPAddressRemap& form);
bool bOldAliasMatchesASubscriber(FrmSMTPAddressRemap& form, const std::string& alias,
                                 std::string& objectId);
bool bOldExtensionMatchesASubscriber(FrmSMTPAddressRemap& form, const std::string& extension,
                                     std::string& objectId);
void AddUserToGrid(FrmSMTPAddressRemap& form, const std::string& line, const std::string& oldAlias,
                   const std::string& oldExtension, const std::string& objectId,
                   const std::string& newAddress);

void chkSelectAll_Click(FrmSMTPAddressRemap& form);
void myGrid_Click(FrmSMTPAddressRemap& form);
bool myGrid_CanEdit(const FrmSMTPAddressRemap& form, int col);
void cmdCancel_Click(FrmSMTPAddressRemap& form);
void Form_Unload(FrmSMTPAddressRemap& form);

void cmdRemap_Click(FrmSMTPAddressRemap& form);

}  // namespace tdv::remap
