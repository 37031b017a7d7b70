// "Apply Changes" of the e-mail address remap window, and the main window's gate before the
// window opens: Subscribers.SMTPAddress is the only column written, each row all or
// nothing; message backup files, lists and call handlers are not touched.
#include <optional>
#include <span>
#include <string>

#include "backup/backed_up_version.h"
#include "db/db_error.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "remap/apply_rows.h"
#include "remap/frm_smtp_address_remap.h"
#include "remap/row_saves.h"
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

// The address rows, several to a save of the backup (saveSomeRows), each row all or nothing:
// a row that cannot be saved is shown once and logged with "(error)", and the backup keeps
// its old address.
class AddressApply {
public:
    AddressApply(FrmSMTPAddressRemap& form, ui::Procedure& proc) : form_(form), proc_(proc) {}

    SaveOutcome applySome(std::span<const int> rows) {
        if (!hold_.held(proc_)) {
            for (const int r : rows) {
                Lines lines = rowHeader(form_.myGrid, r);
                lines.push_back(hold_.refusal());
                form_.logs.MyLogLines(lines.text());
            }
            return SaveOutcome{rows.size(), 0};
        }
        const RowSteps steps{
            .prepare = [&](int r, Lines& lines) { return prepare(r, lines); },
            .stage = [&](int r) { stage(r); },
            .saved = [](int, Lines&) {},  // a changed address logs no line
            .notSaved =
                [](int, Lines& lines, const std::string& cause) {
                    lines.push_back("(error) the backup was not changed for this record: " + cause);
                }};
        const RowSaveContext context{form_.myGrid, form_.logs, proc_, form_.state.cache, connect()};
        const SaveOutcome outcome = saveSomeRows(context, rows, steps);
        // A pause after each save, for the window to keep up.
        if (outcome.applied > 0) form_.ui.sleepMs(10);
        return outcome;
    }

private:
    const std::string& connect() const { return form_.state.strMDBConnectString; }
    std::string objectIdOf(int r) const { return trimmedCell(form_.myGrid, r, "ObjectID"); }

    bool prepare(int r, Lines& lines) {
        const std::string objectId = objectIdOf(r);
        if (characterCount(objectId) < 16) {
            lines.push_back("(error) invalid subscriber objectID in table for the record:" +
                            objectId);
            return false;
        }
        if (characterCount(trimmedCell(form_.myGrid, r, "SMTPEmailAddress")) < 2) {
            lines.push_back("(error) invalid new STMPAddress value provided for the record:" +
                            objectId);
            return false;
        }
        db::Recordset rs = open(objectId, db::adLockReadOnly);
        if (rs.RecordCount() != 1) {
            lines.push_back("(error) could not find subscriber for this record by ObjectId=" +
                            objectId);
            return false;
        }
        return true;
    }

    void stage(int r) {
        db::Recordset rs = open(objectIdOf(r), db::adLockOptimistic);
        if (rs.RecordCount() != 1) throw db::DbError(3021, "The user's record is gone");
        rs("SMTPAddress")
            .setValue(db::Variant::fromString(storedText(
                trimmedCell(form_.myGrid, r, "SMTPEmailAddress"), form_.state.bIsQuorin7OrLater)));
        rs.Update();
        rs.Close();
    }

    db::Recordset open(const std::string& objectId, db::LockTypeEnum lock) {
        db::Recordset rs = form_.state.newRecordset();
        rs.Open("SELECT SMTPAddress FROM Subscribers WHERE ObjectID=" + sqlQuoted(objectId),
                connect(), db::adOpenKeyset, lock);
        return rs;
    }

    FrmSMTPAddressRemap& form_;
    ui::Procedure& proc_;
    ApplyHold hold_{form_.state.cache, form_.state.strMDBConnectString};
};

}  // namespace

bool mnuSMTPRemap_CanOpen(app::FrmMain& main) {
    if (backup::bIsMDBVersionGreaterThanOrEqualTo(main.state, 20)) return true;
    main.ui.messageBox(kTooOld);
    return false;
}

void cmdRemap_Click(FrmSMTPAddressRemap& form) {
    ui::Procedure proc(form.ui, "cmdRemap_Click", "frmSMTPAddressRemap",
                       ui::ErrorStyle::standard());
    AddressApply rows(form, proc);
    backup::SafetyCopies safety(form.ui);
    ApplyFrame frame{form.ui, form.logs, form.myGrid, form.progress, &safety, &form.state};
    frame.rowsPerSave = form.rowsPerSave;
    frame.rowsNotApplied = &form.rowsNotApplied;
    if (applyTickedRows(frame, kWarning,
                        [&](std::span<const int> ticked) { return rows.applySome(ticked); }))
        form.closed = true;
}

}  // namespace tdv::remap
