// "Apply Changes" of the e-mail address remap window, and the main window's gate before the
// window opens: Subscribers.SMTPAddress is the only column written, one save per row;
// message backup files, lists and call handlers are not touched.
#include <optional>
#include <string>

#include "db/backup/backed_up_version.h"
#include "db/recordset.h"
#include "db/transaction.h"
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

// Writes one ticked row's address as one save; returns whether it was saved. A failure
// is shown once and logged with "(error)", and the backup keeps the old address.
bool applyAddress(FrmSMTPAddressRemap& form, ui::Procedure& proc, int row) {
    const ui::GridModel& grid = form.myGrid;
    const auto log = [&](const std::string& text) { form.logs.MyLog(text); };
    log("********");
    log("CSV File Line=" + cell(grid, row, "OriginalLine"));
    log("Action=" + cell(grid, row, "Info"));
    const std::string objectId = trimmedCell(grid, row, "ObjectID");
    const std::string address = trimmedCell(grid, row, "SMTPEmailAddress");
    if (characterCount(objectId) < 16) {
        log("(error) invalid subscriber objectID in table for the record:" + objectId);
        return false;
    }
    if (characterCount(address) < 2) {
        log("(error) invalid new STMPAddress value provided for the record:" + objectId);
        return false;
    }
    bool found = true;
    try {
        db::runInTransaction(form.state.cache, form.state.strMDBConnectString, [&] {
            db::Recordset rs = form.state.newRecordset();
            rs.Open("SELECT SMTPAddress FROM Subscribers WHERE ObjectID=" + sqlQuoted(objectId),
                    form.state.strMDBConnectString, db::adOpenKeyset, db::adLockOptimistic);
            if (rs.RecordCount() != 1) {
                found = false;
                return;
            }
            rs("SMTPAddress")
                .setValue(
                    db::Variant::fromString(storedText(address, form.state.bIsQuorin7OrLater)));
            rs.Update();
            rs.Close();
        });
    } catch (...) {
        const ui::ErrorInfo error = ui::currentErrorInfo();
        proc.report(error);
        log("(error) the backup was not changed for this record: " + error.description);
        return false;
    }
    if (!found) {
        log("(error) could not find subscriber for this record by ObjectId=" + objectId);
        return false;
    }
    form.ui.sleepMs(10);
    return true;
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
    backup::SafetyCopies safety(form.ui);
    const ApplyFrame frame{form.ui, form.logs, form.myGrid, form.progress, &safety, &form.state};
    // The backup is held from the first row on, so that no other program saves in between.
    std::optional<db::WriterHold> hold;
    bool holdTried = false;
    std::string holdFailure;
    const auto applyRow = [&](int row) {
        if (!holdTried) {
            holdTried = true;
            try {
                hold.emplace(form.state.cache, form.state.strMDBConnectString);
            } catch (...) {
                const ui::ErrorInfo error = ui::currentErrorInfo();
                proc.report(error);
                holdFailure = error.description;
            }
        }
        if (!hold) {
            form.logs.MyLog("********");
            form.logs.MyLog("CSV File Line=" + cell(form.myGrid, row, "OriginalLine"));
            form.logs.MyLog("Action=" + cell(form.myGrid, row, "Info"));
            form.logs.MyLog(
                "(error) the backup could not be held for writing; nothing was changed for this "
                "record: " +
                holdFailure);
            return false;
        }
        return applyAddress(form, proc, row);
    };
    if (applyTickedRows(frame, kWarning, applyRow)) form.closed = true;
}

}  // namespace tdv::remap
