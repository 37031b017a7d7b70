// The alias and extension remap window frmExtensionRemap without its widgets: the lookups
// on the open backup, the CSV load with its row checks, the grid of planned changes, row
// selection, and the apply that writes the ticked rows into the backup and its message
// backup files, with the CSV error log and the run log.
//
// The Qt window shows this state and forwards its events here; `tdv remap` drives the same
// procedures and prints the result. Pauses (5 ms per CSV line, 10 ms per applied row) go
// through ui.sleepMs, which `tdv` leaves out.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>

#include "backup/app_state.h"
#include "db/recordset.h"
#include "logging/mod_logging.h"
#include "remap/remap_lookups.h"
#include "ui/grid_model.h"
#include "ui/ui_port.h"

namespace tdv::remap {

inline constexpr const char* kExtensionRemapTitle = "TARNIS Data Extension Remapper";

// Positions (from 0) of the required header columns, -1 while not found.
struct ExtensionCsvColumns {
    int oldExtension = -1, newExtension = -1, oldAlias = -1, newAlias = -1;
};

// The five recordsets opened on activation and kept while the window is open.
struct ExtensionRemapLookups {
    db::Recordset users, extensions, distributionLists, callHandlers, interviewHandlers;
    // The same records read once at activation, indexed on the searched columns
    // (remap_lookups.h); the row checks look values up here.
    LookupTable userTable, extensionTable, listTable, callHandlerTable, interviewerTable;
};

// Geometry of a remap window's controls in twips for an inner size, from the resize rule.
struct RemapLayout {
    int gridWidth, gridHeight;
    int cmdCancelLeft, cmdCancelTop, cmdRemapLeft, cmdRemapTop;
    int txtCSVPathWidth;
};
// Both remap windows share the rule; nullopt when the size is too small to apply.
std::optional<RemapLayout> remapLayout(int innerWidthTwips, int innerHeightTwips);

// What the lines of one CSV load accepted so far claim, so that no later line changes the
// same record again or takes the same new alias or extension. Aliases are held by their
// comparison key (LookupTable::key), so that case variants collide as they do in the backup.
struct RemapClaims {
    std::set<std::string> records;  // ObjectID, then the alternate extension's alias
    std::set<std::string> aliases;
    std::set<std::string> extensions;
};

struct FrmExtensionRemap {
    FrmExtensionRemap(ui::UiPort& ui, backup::AppState& state, logging::ModLogging& logs);
    FrmExtensionRemap(const FrmExtensionRemap&) = delete;
    FrmExtensionRemap& operator=(const FrmExtensionRemap&) = delete;

    ui::UiPort& ui;
    backup::AppState& state;
    logging::ModLogging& logs;

    std::string txtCSVPath;
    bool chkSelectAll = false;
    ui::GridModel myGrid;  // columns by key: Selected, OldAlias, NewAlias, ... (see the .cpp)
    std::optional<ExtensionRemapLookups> lookups;
    RemapClaims claims;  // of the load under way

    // The window closed itself (lookups empty on activation, or after an apply); the front
    // end then closes it and the main window reloads its list.
    bool closed = false;
    // Ticked rows the last apply did not apply (failed, or left after it stopped).
    int rowsNotApplied = 0;
    // Progress of a long load or apply (rows done, rows in all); empty for none. The window
    // shows a progress bar for loads and applies of more than a few hundred rows.
    std::function<void(int done, int total)>
        progress;  // Rows of one save of an apply at most (0: as many as a save takes); the preview
                   // saves
    // one row at a time, to read each row's outcome after its save.
    size_t rowsPerSave = 0;
};

// Activation: opens the lookups; closes the window when the backup has no users.
void InitForm(FrmExtensionRemap& form);
void cmdOpenCSVFile_Click(FrmExtensionRemap& form);
bool bisValidCSVFileFormat(FrmExtensionRemap& form, const std::string& path,
                           ExtensionCsvColumns& columns);
void ProcessCSVFile(FrmExtensionRemap& form);

bool bIsValidAlias(const std::string& alias);
bool bOldAliasMatchesASubscriber(FrmExtensionRemap& form, const std::string& alias,
                                 std::string& objectId);
bool bOldExtensionMatchesASubscriber(FrmExtensionRemap& form, const std::string& extension,
                                     std::string& objectId, std::string& alternateAlias);
bool bNewExtensionConflictsWithExistingObject(FrmExtensionRemap& form, const std::string& extension,
                                              std::string& description);
void AddUserToGrid(FrmExtensionRemap& form, const std::string& line, const std::string& oldAlias,
                   const std::string& oldExtension, const std::string& newAlias,
                   const std::string& newExtension, const std::string& objectId,
                   const std::string& alternateAlias);

void chkSelectAll_Click(FrmExtensionRemap& form);
// A click on the grid's current cell (toggles Selected for columns beyond OldAlias).
void myGrid_Click(FrmExtensionRemap& form);
// Whether the grid may edit the cell of that column (only Selected).
bool myGrid_CanEdit(const FrmExtensionRemap& form, int col);
void cmdCancel_Click(FrmExtensionRemap& form);
void Form_Unload(FrmExtensionRemap& form);

void cmdRemap_Click(FrmExtensionRemap& form);
void UpdateAliasForMessageFiles(FrmExtensionRemap& form, const std::string& oldAlias,
                                const std::string& newAlias);

}  // namespace tdv::remap
