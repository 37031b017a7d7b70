// "Apply Changes" of the e-mail address remap window, and the main window's gate before the
// window opens: Subscribers.SMTPAddress is the only column written; message backup files,
// lists and call handlers are not touched.
#include <string>

#include "db/backup/backed_up_version.h"
#include "db/recordset.h"
#include "remap/apply_rows.h"
#include "remap/frm_smtp_address_remap.h"
#include "ui/procedure.h"

namespace tdv::remap {
namespace {

constexpr const char* kWarning =
    "WARNING! This will change SMTP Address strings in the backup MDB file you currently have "
    "open.  It's strong suggested that you do the reamp operation on a COPY of your backup files "
    "so you always have your original backup data around.  Do you want to continue?  Yes to "
    "apply changes, no to exit.";
constexpr const char* kTooOld =
    "The backup you have is too old to support this - you must be at rev 20 of the MDB file for "
    "email address remapping.";

void applyAddress(FrmSMTPAddressRemap& form, ui::Procedure& proc, int row) {
    const ui::GridModel& grid = form.myGrid;
    const auto log = [&](const std::string& text) { form.logs.MyLog(text); };
    log("********");
    log("CSV File Line=" + cell(grid, row, "OriginalLine"));
    log("Action=" + cell(grid, row, "Info"));
    const std::string objectId = trimmedCell(grid, row, "ObjectID");
    const std::string address = trimmedCell(grid, row, "SMTPEmailAddress");
    if (characterCount(objectId) < 16) {
        log("(error) invalid subscriber objectID in table for the record:" + objectId);
        return;
    }
    if (characterCount(address) < 2) {
        log("(error) invalid new STMPAddress value provided for the record:" + objectId);
        return;
    }
    db::Recordset rs = form.state.newRecordset();
    proc.step([&] {
        rs.Open("SELECT SMTPAddress FROM Subscribers WHERE ObjectID='" + objectId + "'",
                form.state.strMDBConnectString, db::adOpenKeyset, db::adLockOptimistic);
    });
    long count = -1;
    proc.step([&] { count = rs.RecordCount(); });
    if (count != 1) {
        log("(error) could not find subscriber for this record by ObjectId=" + objectId);
        proc.step([&] { rs.Close(); });
        closeQuietly(rs);
        return;
    }
    proc.step([&] { rs("SMTPAddress").setValue(db::Variant::fromString(address)); });
    proc.step([&] { rs.Update(); });
    proc.step([&] { rs.Close(); });
    closeQuietly(rs);
    form.ui.sleepMs(10);
}

}  // namespace

bool mnuSMTPRemap_CanOpen(app::FrmMain& main) {
    if (backup::bIsMDBVersionGreaterThanOrEqualTo(main.state, 20)) return true;
    main.ui.messageBox(kTooOld);
    return false;
}

void cmdRemap_Click(FrmSMTPAddressRemap& form) {
    ui::Procedure proc(form.ui, "cmdRemap_Click", "frmSMTPAddressRemap",
                       ui::ErrorStyle::standard());
    const ApplyFrame frame{form.ui, form.logs, form.myGrid, form.progress};
    if (applyTickedRows(frame, kWarning, [&](int row) { applyAddress(form, proc, row); }))
        form.closed = true;
}

}  // namespace tdv::remap
