// The alias and extension remap window: its grid, activation, row selection, closing and
// resize rule. The CSV load and row checks are in extension_remap_load.cpp, the apply in
// extension_remap_apply.cpp.
#include "remap/frm_extension_remap.h"

#include "db/ado_types.h"
#include "remap/remap_grid.h"
#include "ui/procedure.h"

namespace tdv::remap {

namespace {

constexpr const char* kForm = "frmExtensionRemap";

const std::vector<GridColumn>& extensionColumns() {
    static const std::vector<GridColumn> columns = {
        {"Selected", "", 270, false},
        {"OldAlias", "Old Alias", 1140, false},
        {"NewAlias", "New Alias", 960, false},
        {"OldExtension", "Old Extension", 1080, false},
        {"NewExtension", "New Extension", 1260, false},
        {"FirstName", "First Name", 960, false},
        {"LastName", "Last Name", 960, false},
        {"DisplayName", "Display Name", 1350, false},
        {"Info", "Info", 960, false},
        {"OriginalLine", "OriginalLine", 960, true},
        {"AlternateExtensionAlias", "Alternate Extenion Alias", 1695, true},
        {"ObjectID", "ObjectID", 960, true},
    };
    return columns;
}

// Opens one lookup as the window does: client-side keyset cursor on the open backup.
void openLookup(backup::AppState& state, db::Recordset& rs, const char* sql, long lock) {
    rs = state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, state.strMDBConnectString, db::adOpenKeyset, lock);
}

bool isOpen(const db::Recordset& rs) {
    return rs.State() == db::adStateOpen;
}

}  // namespace

FrmExtensionRemap::FrmExtensionRemap(ui::UiPort& ui_, backup::AppState& state_,
                                     logging::ModLogging& logs_)
    : ui(ui_), state(state_), logs(logs_) {
    setUpRemapGrid(myGrid, extensionColumns());
}

std::optional<RemapLayout> remapLayout(int innerWidthTwips, int innerHeightTwips) {
    RemapLayout l;
    l.gridWidth = innerWidthTwips - 105;
    l.gridHeight = innerHeightTwips - 1320;
    l.cmdCancelTop = innerHeightTwips - 495;
    l.cmdRemapTop = l.cmdCancelTop;
    l.cmdCancelLeft = innerWidthTwips - 1020;
    l.cmdRemapLeft = innerWidthTwips - 2520;
    l.txtCSVPathWidth = innerWidthTwips - 1785;
    for (int v : {l.gridWidth, l.gridHeight, l.cmdCancelTop, l.cmdCancelLeft, l.cmdRemapLeft,
                  l.txtCSVPathWidth}) {
        if (v < 0) return std::nullopt;
    }
    return l;
}

void InitForm(FrmExtensionRemap& form) {
    ui::Procedure proc(form.ui, "InitForm", kForm, ui::ErrorStyle::standard());
    backup::AppState& state = form.state;
    form.lookups.emplace();
    ExtensionRemapLookups& l = *form.lookups;

    proc.step([&] {
        openLookup(state, l.users,
                   "SELECT Alias, FirstName, LastName, DisplayName, DTMFAccessID, OBjectID FROM "
                   "Subscribers",
                   db::adLockOptimistic);
    });
    proc.step([&] {
        openLookup(state, l.extensions,
                   "SELECT ParentObjectID, DTMFAccessID, Alias FROM DTMFAccessID",
                   db::adLockOptimistic);
    });
    proc.step([&] {
        openLookup(state, l.distributionLists,
                   "SELECT Alias, DTMFAccessID, DisplayName from PublicDistributionLists WHERE "
                   "DTMFAccessID IS NOT NULL",
                   db::adLockReadOnly);
    });
    proc.step([&] {
        openLookup(state, l.callHandlers,
                   "SELECT Alias, DTMFAccessID, TextName as DisplayName from CallHAndlers WHERE "
                   "IsPrimary=0 AND DTMFAccessID IS NOT NULL",
                   db::adLockReadOnly);
    });
    proc.step([&] {
        openLookup(
            state, l.interviewHandlers,
            "SELECT DTMFAccessID, ObjectID, DisplayName FROM Interviewers WHERE DTMFAccessID "
            "IS NOT NULL",
            db::adLockReadOnly);
    });

    // Each lookup read once into its indexed table (remap_lookups.h).
    auto table = [&](db::Recordset& rs, LookupTable& out, const std::vector<std::string>& shown,
                     const std::vector<std::string>& searched) {
        if (!isOpen(rs)) return;
        proc.step([&] { out = LookupTable(rs, shown, searched, state); });
    };
    table(l.users, l.userTable, {"Alias", "FirstName", "LastName", "DisplayName", "OBjectID"},
          {"Alias", "DTMFAccessID", "OBjectID"});
    table(l.extensions, l.extensionTable, {"ParentObjectID", "Alias"}, {"DTMFAccessID"});
    table(l.distributionLists, l.listTable, {"Alias"}, {"DTMFAccessID"});
    table(l.callHandlers, l.callHandlerTable, {"DisplayName"}, {"DTMFAccessID"});
    table(l.interviewHandlers, l.interviewerTable, {"DisplayName"}, {"DTMFAccessID"});

    if (!isOpen(l.users) || l.users.RecordCount() <= 0) {
        form.ui.messageBox(
            "Error opening subscriber data on local MDB file.  Close application and try again.");
        form.closed = true;
    }
}

void chkSelectAll_Click(FrmExtensionRemap& form) {
    setAllSelected(form.myGrid, form.chkSelectAll);
}

void myGrid_Click(FrmExtensionRemap& form) {
    toggleSelectedOnClick(form.myGrid);
}

bool myGrid_CanEdit(const FrmExtensionRemap& form, int col) {
    return col == form.myGrid.ColIndex("Selected");
}

void cmdCancel_Click(FrmExtensionRemap& form) {
    form.closed = true;
}

void Form_Unload(FrmExtensionRemap& form) {
    if (!form.lookups) return;
    ui::Procedure proc(form.ui, "Form_Unload", kForm, ui::ErrorStyle::standard());
    if (isOpen(form.lookups->users)) proc.step([&] { form.lookups->users.Close(); });
    if (isOpen(form.lookups->extensions)) proc.step([&] { form.lookups->extensions.Close(); });
    form.lookups.reset();
}

}  // namespace tdv::remap
