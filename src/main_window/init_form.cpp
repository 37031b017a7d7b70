#include "backup/backed_up_version.h"
#include "main_window/frm_main_procedures.h"
#include "ui/procedure.h"

namespace tdv::app {

void InitForm(FrmMain& form) {
    if (form.state.bIsMessageBackup) {
        form.ui.setWindowVisible(ui::Window::Main, false);
        return;
    }
    ui::Procedure proc(form.ui, "InitForm", "frmMain", ui::ErrorStyle::silent());
    // The order is fixed: the tool version's messages come before the server version's, and
    // those before the schema revision's.
    proc.step([&] { backup::BackedUpAppVersion(form.ui, form.state); });
    proc.step([&] { backup::BackedUpZerithVer(form.ui, form.state); });
    proc.step([&] { backup::LoadMDBVersion(form.ui, form.state); });
    proc.step([&] {
        form.state.bIsQuorin7OrLater = backup::bIsBackedUpZerithVersionGreaterThanOrEqualTo(
            form.ui, form.state, 7, 0, 0, 0, true);
    });
    // Selecting the entry raises the list's click event, which loads the list. That is the
    // one fill of this open: a second would repeat every message box of the first report and
    // double the time a large backup takes to open.
    proc.step([&] {
        if (form.listOnOpen)
            selectObjectType(form, kSubscribers);
        else
            form.cmbObjectType = kSubscribers;
    });
}

}  // namespace tdv::app
