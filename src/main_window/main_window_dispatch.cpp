// The main window's type list and grid: loading the list of the selected type and showing
// the report of the selected row.
#include "catalog/backup_details.h"
#include "catalog/object_lists.h"
#include "extract/export_log.h"
#include "main_window/frm_main_procedures.h"
#include "reports/call_handler_report.h"
#include "reports/small_reports.h"
#include "reports/subscriber_report.h"
#include "ui/procedure.h"

namespace tdv::app {

namespace {

constexpr int kRedrawOff = 0;
constexpr int kRedrawBuffered = 2;
// The hidden ObjectID column: the last of the users' six columns, of the others' four.
constexpr int kSubscriberKeyCol = 5;
constexpr int kObjectKeyCol = 3;

void callListProcedure(FrmMain& form) {
    switch (form.cmbObjectType) {
        case kSubscribers:
            catalog::populateSubscribers(form);
            break;
        case kCallHandlers:
            catalog::populateCallHandlers(form);
            break;
        case kDistributionLists:
            catalog::populateDistributionLists(form);
            break;
        case kInterviewHandlers:
            catalog::populateInterviewHandlers(form);
            break;
        case kDirectoryHandlers:
            catalog::populateNameLookupHandlers(form);
            break;
        case kSchedules:
            catalog::populateSchedules(form);
            break;
        case kBackupDetails:
            catalog::populateBackupDetails(form);
            break;
        case kExtractExportLog:
            // No archive written (the version gate or a failure): the entry produced nothing.
            if (!extract::FetchBackupLogFile(form)) form.listFailed = true;
            break;
        default:
            break;
    }
}

// Nothing of the previous list survives a reload: no captions, columns or hidden flags, no
// count, no report. A list procedure that stops early (an empty or unreadable table) then
// leaves a blank count (it could not be read) or its own "0", and an empty report.
void clearPreviousList(FrmMain& form) {
    form.myGrid.setCols(0);
    form.txtObjectCount.clear();
    form.txtInfo.clear();
}

bool isObjectList(int type) {
    return type >= kSubscribers && type <= kSchedules;
}

}  // namespace

void LoadObjectList(FrmMain& form) {
    ui::Procedure proc(form.ui, "LoadObjectList", "frmMain", ui::ErrorStyle::standard());
    proc.step([&] { form.myGrid.setRows(1); });
    proc.step([&] { form.myGrid.setRedraw(kRedrawOff); });
    proc.step([&] { clearPreviousList(form); });
    proc.step([&] { callListProcedure(form); });
    // A list without rows shows its own captions; Backup Details and the export log have
    // no header row at all.
    proc.step([&] {
        if (isObjectList(form.cmbObjectType) && form.myGrid.Rows() <= 1) {
            catalog::showListHeader(form, form.cmbObjectType);
        }
    });
    proc.step([&] { form.myGrid.setRedraw(kRedrawBuffered); });
}

void selectObjectType(FrmMain& form, int index) {
    form.cmbObjectType = index;
    // cmdLoadData_Click. The private list dump is hidden too: it belongs to a displayed user,
    // and a list without rows (Backup Details, an empty list) shows no report that would
    // hide it again.
    form.cmdFetchAllWAVFilesVisible = false;
    form.cmdPrivateListDumpVisible = false;
    LoadObjectList(form);
}

void ShowObjectDetails(FrmMain& form) {
    ui::Procedure proc(form.ui, "ShowObjectDetails", "frmMain", ui::ErrorStyle::silent());
    const int row = form.myGrid.Row();
    if (row < 1) return;
    auto key = [&](int col) { return form.myGrid.TextMatrix(row, col); };
    auto buttons = [&](bool wav, bool privateLists) {
        proc.step([&] { form.cmdFetchAllWAVFilesVisible = wav; });
        proc.step([&] { form.cmdPrivateListDumpVisible = privateLists; });
    };
    switch (form.cmbObjectType) {
        case kSubscribers:
            proc.step([&] { reports::listHandlers_Click(form, key(kSubscriberKeyCol)); });
            buttons(true, true);
            break;
        case kCallHandlers:
            proc.step([&] { reports::PullCallHandlerData(form, key(kObjectKeyCol), false); });
            buttons(true, false);
            break;
        case kDistributionLists:
            proc.step([&] { reports::PullDistributionListData(form, key(kObjectKeyCol)); });
            buttons(true, false);
            break;
        case kInterviewHandlers:
            proc.step([&] { reports::PullInterviewerData(form, key(kObjectKeyCol)); });
            buttons(true, false);
            break;
        case kDirectoryHandlers:
            proc.step([&] { reports::PullNameLookupHandlerData(form, key(kObjectKeyCol)); });
            buttons(true, false);
            break;
        case kSchedules:
            proc.step([&] { form.txtInfo.Text = kScheduleText; });
            buttons(false, false);
            break;
        case kBackupDetails:
        case kExtractExportLog:
        case -1:
            buttons(false, false);
            break;
        default:
            break;
    }
}

void showDetailsOfShownRow(FrmMain& form, bool rowShown) {
    if (rowShown) {
        ShowObjectDetails(form);
    } else {
        form.txtInfo.clear();
    }
}

void connectMainWindow(FrmMain& form) {
    form.myGrid.onSelectionChanged = [&form] { myGrid_SelChange(form); };
    form.showObjectDetails = [&form] { ShowObjectDetails(form); };
    form.connectToMDBFile = [&form] { ConnectToMDBFile(form); };
}

void myGrid_SelChange(FrmMain& form) {
    // Redraw is off while a list is being filled: the fill shows its first row itself.
    if (form.myGrid.Redraw() != kRedrawOff) ShowObjectDetails(form);
}

void cmdCopyToClipboard_Click(FrmMain& form) {
    form.ui.setClipboardText(form.txtInfo.Text);
}

}  // namespace tdv::app
