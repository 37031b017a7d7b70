// "Apply Changes" of the alias and extension remap window: every ticked grid row is written
// into the open backup (Subscribers, the alternate extension row, distribution and private
// list members, the user's call handler) and, for a new alias, into the message backup files
// of the backup's folder. Every step and problem goes to the run log; a failing statement is
// shown and the row goes on with its next step.
#include <string>

#include "app/common_values.h"
#include "db/backup/backed_up_version.h"
#include "db/db_error.h"
#include "db/recordset.h"
#include "remap/apply_rows.h"
#include "remap/frm_extension_remap.h"
#include "remap/message_files.h"
#include "ui/procedure.h"

namespace tdv::remap {
namespace {

constexpr const char* kWarning =
    "WARNING! This will change alias and/or extension strings in the backup MDB file you "
    "currently have open and any message backup files found in the same direcotry.  It's strong "
    "suggested that you do the reamp operation on a COPY of your backup files so you always "
    "have your original backup data around.  Do you want to continue?  Yes to apply changes, "
    "no to exit.";

// One ticked row as the apply reads it from the grid.
struct PlannedChange {
    std::string objectId, alternateAlias, newAlias, oldAlias, newExtension;
    std::string originalLine, info;
};

PlannedChange readRow(const ui::GridModel& grid, int row) {
    return PlannedChange{trimmedCell(grid, row, "ObjectID"),
                         trimmedCell(grid, row, "AlternateExtensionAlias"),
                         trimmedCell(grid, row, "NewAlias"),
                         trimmedCell(grid, row, "OldAlias"),
                         trimmedCell(grid, row, "NewExtension"),
                         cell(grid, row, "OriginalLine"),
                         cell(grid, row, "Info")};
}

// Message backup files are changed only by backups of tools that wrote them in the form this
// rewrite expects.
bool messageFilesMayChange(FrmExtensionRemap& form) {
    const backup::AppState& state = form.state;
    if (state.version.bIsQuorinBackup) {
        if (backup::bIsBackedUpZerithVersionGreaterThanOrEqualTo(form.ui, state, 7, 0, 0, 0, true))
            return backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(state, 1, 0, 20);
        return backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(state, 1, 3, 5);
    }
    return backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(state, 1, 0, 20);
}

class RowApply {
public:
    RowApply(FrmExtensionRemap& form, MessageBackupFiles& files, ui::Procedure& proc)
        : form_(form), files_(files), proc_(proc) {}

    void apply(const PlannedChange& row) {
        log("********");
        log("CSV File Line=" + row.originalLine);
        log("Action=" + row.info);
        if (characterCount(row.objectId) < 16) {
            log("(error) invalid subscriber objectID in table for the record:" + row.objectId);
            return;
        }
        if (row.newAlias.empty() && row.newExtension.empty()) {
            log("(error) invalid record - no new alias or new extension value set");
            return;
        }
        if (!row.oldAlias.empty() && !row.newAlias.empty())
            UpdateAliasForMessageFiles(form_, row.oldAlias, row.newAlias, files_);
        if (!row.alternateAlias.empty()) {
            alternateExtension(row);
            return;
        }
        primaryChange(row);
    }

private:
    void log(const std::string& text) { form_.logs.MyLog(text); }
    const std::string& connect() const { return form_.state.strMDBConnectString; }
    void step(const std::function<void()>& fn) { proc_.step(fn); }

    long recordCount(db::Recordset& rs) {
        long count = -1;
        step([&] { count = rs.RecordCount(); });
        return count;
    }

    void alternateExtension(const PlannedChange& row) {
        db::Recordset rs = form_.state.newRecordset();
        step([&] {
            rs.Open("SELECT DTMFAccessID FROM DTMFAccessID WHERE Alias='" + row.alternateAlias +
                        "' AND ParentObjectID='" + row.objectId + "'",
                    connect(), db::adOpenKeyset, db::adLockOptimistic);
        });
        if (recordCount(rs) == 1) {
            step([&] { rs("DTMFAccessID").setValue(db::Variant::fromString(row.newExtension)); });
            step([&] { rs.Update(); });
            step([&] { rs.Close(); });
            log("    Alternate extension updated to:" + row.newExtension);
        } else {
            log("(error) could not find alternate extension in MDB for this record.");
            step([&] { rs.Close(); });
        }
        closeQuietly(rs);
    }

    void primaryChange(const PlannedChange& row) {
        db::Recordset rs = form_.state.newRecordset();
        step([&] {
            rs.Open(
                "SELECT CallHandlerObjectID, DTMFAccessID, Alias FROM Subscribers WHERE "
                "ObjectID='" +
                    row.objectId + "'",
                connect(), db::adOpenKeyset, db::adLockPessimistic);
        });
        if (recordCount(rs) != 1) {
            log("(error) could not find subscriber for this record by ObjectId=" + row.objectId);
            step([&] { rs.Close(); });
            closeQuietly(rs);
            return;
        }
        if (!row.newAlias.empty()) {
            step([&] { rs("Alias").setValue(db::Variant::fromString(row.newAlias)); });
            log("    Subscribers Alias set to:" + row.newAlias);
        }
        if (!row.newExtension.empty()) {
            step([&] { rs("DTMFAccessID").setValue(db::Variant::fromString(row.newExtension)); });
            log("    Subscribers primary extension set to:" + row.newExtension);
        }
        std::string callHandlerId;
        step([&] {
            const db::Variant v = rs("CallHandlerObjectId").Value();
            if (v.isNull()) throw db::invalidUseOfNullError();
            callHandlerId = v.toText();
        });
        step([&] { rs.Update(); });
        step([&] { rs.Close(); });
        closeQuietly(rs);

        if (!row.newAlias.empty()) {
            step([&] {
                db::Recordset update = form_.state.newRecordset();
                update.Open("UPDATE PublicDistributionListMembers SET SubscriberAlias='" +
                                doubledApostrophes(row.newAlias) + "' WHERE SubscriberObjectID='" +
                                row.objectId + "'",
                            connect(), db::adOpenKeyset, db::adLockOptimistic);
            });
            privateListMembers(row);
            log("    Alias set to:" + row.newAlias);
        }
        if (!row.newExtension.empty()) {
            log("    Subscribers primary call handler extension set to:" + row.newExtension);
            step([&] {
                db::Recordset update = form_.state.newRecordset();
                update.Open("UPDATE CallHandlers SET DTMFAccessId='" + row.newExtension +
                                "' WHERE ObjectID='" + callHandlerId + "'",
                            connect(), db::adOpenKeyset, db::adLockOptimistic);
            });
        }
        form_.ui.sleepMs(10);
    }

    void privateListMembers(const PlannedChange& row) {
        db::Recordset rs = form_.state.newRecordset();
        const bool opened = proc_.step([&] {
            rs.Open("SELECT * FROM PrivateListMembers WHERE Alias='" +
                        app::strFixQuotesForSQL(row.oldAlias) + "'",
                    connect(), db::adOpenKeyset, db::adLockPessimistic);
        });
        if (opened) {
            for (;;) {
                bool atEnd = true;
                if (!proc_.step([&] { atEnd = rs.Eof(); }) || atEnd) break;
                step([&] {
                    rs("Alias").setValue(db::Variant::fromString(row.newAlias));
                    rs.Update();
                });
                if (!proc_.step([&] { rs.MoveNext(); })) break;
            }
            step([&] { rs.Close(); });
        }
        closeQuietly(rs);
    }

    FrmExtensionRemap& form_;
    MessageBackupFiles& files_;
    ui::Procedure& proc_;
};

}  // namespace

void UpdateAliasForMessageFiles(FrmExtensionRemap& form, const std::string& oldAlias,
                                const std::string& newAlias, MessageBackupFiles& files) {
    ui::Procedure proc(
        form.ui, "UpdateAliasForMessageFiles", "frmExtensionRemap",
        ui::ErrorStyle::ownText("(error) in UpdateAliasForMessageFiles on frmExtensionRemap:"));
    bool mayChange = false;
    proc.step([&] { mayChange = messageFilesMayChange(form); });
    if (!mayChange) return;
    files.renameAlias(
        oldAlias, newAlias, [&](const std::string& line) { form.logs.MyLog(line); }, proc);
}

void UpdateAliasForMessageFiles(FrmExtensionRemap& form, const std::string& oldAlias,
                                const std::string& newAlias) {
    MessageBackupFiles files(folderOf(form.state.strMDBFilePath));
    UpdateAliasForMessageFiles(form, oldAlias, newAlias, files);
}

void cmdRemap_Click(FrmExtensionRemap& form, MessageBackupFiles& files) {
    ui::Procedure proc(form.ui, "cmdRemap_Click", "frmExtensionRemap", ui::ErrorStyle::standard());
    RowApply rows(form, files, proc);
    const ApplyFrame frame{form.ui, form.logs, form.myGrid, form.progress};
    if (applyTickedRows(frame, kWarning, [&](int row) { rows.apply(readRow(form.myGrid, row)); }))
        form.closed = true;
}

void cmdRemap_Click(FrmExtensionRemap& form) {
    MessageBackupFiles files(folderOf(form.state.strMDBFilePath));
    cmdRemap_Click(form, files);
}

}  // namespace tdv::remap
