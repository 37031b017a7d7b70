// "Apply Changes" of the alias and extension remap window: every ticked grid row is written
// into the open backup (Subscribers, the alternate extension row, distribution and private
// list members, the user's call handler) and, for a new alias, into the message backup files
// of the backup's folder. Every change and problem goes to the run log; a row that cannot be
// applied whole is not applied at all, is shown once and logged with "(error)".
#include <algorithm>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "backup/backed_up_version.h"
#include "db/db_error.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "main_state/common_values.h"
#include "remap/apply_rows.h"
#include "remap/frm_extension_remap.h"
#include "remap/message_files.h"
#include "remap/remap_lookups.h"
#include "remap/row_saves.h"
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

// The error rule of the message backup changes.
ui::Procedure messageFilesProcedure(FrmExtensionRemap& form) {
    return ui::Procedure(
        form.ui, "UpdateAliasForMessageFiles", "frmExtensionRemap",
        ui::ErrorStyle::ownText("(error) in UpdateAliasForMessageFiles on frmExtensionRemap:"));
}

// Applies the ticked rows, each all or nothing in the backup, several rows to a save of the
// backup (saveSomeRows): each row is checked against the backup as it is then (with the rows
// before it in the save) and its changes inside the backup join the save; before the save is
// committed, the message backup files of its rows are changed (each file once for all of
// them), so that the backup is written last. The "set to" lines of a row are logged once its
// save has succeeded; a row that fails is logged with "(error)" lines naming the cause and
// the message backups already changed, and leaves the backup as it was, so that running the
// same CSV file again completes it.
class RowApply {
public:
    RowApply(FrmExtensionRemap& form, MessageBackupFiles& files, ui::Procedure& proc)
        : form_(form), files_(files), proc_(proc), messageProc_(messageFilesProcedure(form)) {}

    SaveOutcome applySome(std::span<const int> rows) {
        if (!hold_.held(proc_)) {
            // Every row is refused the same way, its own first problem first.
            for (const int r : rows) {
                Lines lines = rowHeader(form_.myGrid, r);
                const std::string problem = problemOfValues(readRow(form_.myGrid, r));
                lines.push_back(!problem.empty() ? problem : hold_.refusal());
                form_.logs.MyLogLines(lines.text());
            }
            return SaveOutcome{rows.size(), 0};
        }
        const RowSteps steps{
            .prepare = [&](int r, Lines& lines) { return prepare(r, lines); },
            .stage = [&](int r) { stage(r); },
            .beforeCommit = [&](std::span<const int>) { return saveMessageFiles(); },
            .saved =
                [&](int r, Lines& lines) {
                    logCopies(workOf(r), lines);
                    logSaved(workOf(r).change, lines);
                },
            .notSaved =
                [&](int r, Lines& lines, const std::string& cause) {
                    files_.dropPlanned(r);
                    logCopies(workOf(r), lines);
                    notSaved(cause, workOf(r).changedFiles, lines);
                },
            .mayJoin = [&](int r, std::span<const int> inSave) { return mayJoin(r, inSave); },
            .stopsApply = [&] { return files_.safetyCopyFailed(); }};
        const RowSaveContext context{form_.myGrid, form_.logs, proc_, form_.state.cache, connect()};
        primarySaved_ = false;
        const SaveOutcome outcome = saveSomeRows(context, rows, steps);
        for (size_t i = 0; i < outcome.taken; ++i) work_.erase(rows[i]);
        // A pause after each save that changed users, for the window to keep up.
        if (primarySaved_) form_.ui.sleepMs(10);
        return outcome;
    }

private:
    // What the apply knows of a row between its check and its save.
    struct RowWork {
        PlannedChange change;
        std::string callHandlerId;
        std::vector<std::string> changedFiles;
        std::vector<std::string> aliasKeys;
        std::vector<std::string> copyLines;  // the safety copies made for its message backups
    };

    // The lines of the safety copies made for the row, once.
    static void logCopies(RowWork& work, Lines& lines) {
        for (const std::string& line : work.copyLines) lines.push_back(line);
        work.copyLines.clear();
    }

    RowWork& workOf(int r) {
        auto it = work_.find(r);
        if (it == work_.end()) {
            RowWork w{readRow(form_.myGrid, r), {}, {}, {}, {}};
            if (renamesMessages(w.change)) {
                for (const std::string* alias : {&w.change.oldAlias, &w.change.newAlias})
                    for (const jet::JetVersion v : {jet::JetVersion::Jet3, jet::JetVersion::Jet4})
                        w.aliasKeys.push_back(lookupTextKey(stored(*alias), v));
            }
            it = work_.emplace(r, std::move(w)).first;
        }
        return it->second;
    }

    // A row that renames an alias in the message backups shares no save with another row
    // renaming the same alias (as old or new, in any letter case): after a crash the message
    // backups already hold the new aliases of the unfinished save while the backup does not,
    // and the rerun renames each old alias again, which is harmless only when no alias of the
    // save is another row's.
    bool mayJoin(int r, std::span<const int> inSave) {
        const std::vector<std::string>& keys = workOf(r).aliasKeys;
        for (const int other : inSave)
            for (const std::string& k : workOf(other).aliasKeys)
                if (std::find(keys.begin(), keys.end(), k) != keys.end()) return false;
        return true;
    }

    static bool renamesMessages(const PlannedChange& row) {
        return row.alternateAlias.empty() && !row.oldAlias.empty() && !row.newAlias.empty();
    }

    // The row's problem that needs no backup to find (empty when none).
    static std::string problemOfValues(const PlannedChange& row) {
        if (characterCount(row.objectId) < 16)
            return "(error) invalid subscriber objectID in table for the record:" + row.objectId;
        if (row.newAlias.empty() && row.newExtension.empty())
            return "(error) invalid record - no new alias or new extension value set";
        return {};
    }

    bool prepare(int r, Lines& lines) {
        RowWork& work = workOf(r);
        const PlannedChange& row = work.change;
        if (const std::string problem = problemOfValues(row); !problem.empty()) {
            lines.push_back(problem);
            return false;
        }
        std::string problem;
        const bool checked = proc_.step([&] { problem = problemNow(row, work.callHandlerId); });
        if (!checked) {
            lines.push_back(
                "(error) this record could not be checked against the backup; nothing was "
                "changed for it");
            return false;
        }
        if (!problem.empty()) {
            lines.push_back("(error) " + problem);
            return false;
        }
        if (renamesMessages(row) && messageFilesChange()) {
            // The count lines now; the changes themselves before the save's commit.
            const MessageBackupFiles::Outcome outcome = files_.planRename(
                r, row.oldAlias, row.newAlias,
                [&](const std::string& line) { lines.push_back(line); }, messageProc_);
            work.changedFiles = outcome.changed;
            if (!outcome.failure.empty()) {
                notSaved("message backup " + outcome.failure, work.changedFiles, lines);
                return false;
            }
        }
        return true;
    }

    // The message backup changes of the save's rows, every file in one save.
    std::vector<std::pair<int, std::string>> saveMessageFiles() {
        std::vector<std::pair<int, std::string>> failures;
        for (auto& [r, outcome] : files_.savePlanned(messageProc_)) {
            RowWork& work = workOf(r);
            work.changedFiles.insert(work.changedFiles.end(), outcome.changed.begin(),
                                     outcome.changed.end());
            work.copyLines.insert(work.copyLines.end(), outcome.lines.begin(), outcome.lines.end());
            if (!outcome.failure.empty())
                failures.emplace_back(r, "message backup " + outcome.failure);
        }
        return failures;
    }

    // Whether this backup's message backup files change (worked out once per apply).
    bool messageFilesChange() {
        if (!messageGate_) {
            bool mayChange = false;
            messageProc_.step([&] { mayChange = messageFilesMayChange(form_); });
            messageGate_ = mayChange;
            const bool utf8 = form_.state.bIsQuorin7OrLater;
            files_.setStoredForm(
                [utf8](const std::string& text) { return storedText(text, utf8); });
        }
        return *messageGate_;
    }

    void stage(int r) {
        const RowWork& work = workOf(r);
        if (!work.change.alternateAlias.empty()) {
            saveAlternate(work.change);
        } else {
            savePrimary(work.change, work.callHandlerId);
        }
    }

    const std::string& connect() const { return form_.state.strMDBConnectString; }

    std::string stored(const std::string& text) const {
        return storedText(text, form_.state.bIsQuorin7OrLater);
    }

    static void notSaved(const std::string& cause, const std::vector<std::string>& changedFiles,
                         Lines& lines) {
        std::string files;
        for (const std::string& f : changedFiles) files += (files.empty() ? "" : ", ") + f;
        lines.push_back("(error) the backup was not changed for this record: " + cause);
        lines.push_back("(error) message backups already changed for this record: " +
                        (files.empty() ? std::string("none") : files));
    }

    db::Recordset query(const std::string& sql) {
        db::Recordset rs = form_.state.newRecordset();
        rs.Open(sql, connect(), db::adOpenKeyset, db::adLockReadOnly);
        return rs;
    }

    // The first owner of the extension in the backup as it is now, described as the load
    // describes it; empty when the extension is free.
    std::string extensionOwner(const std::string& extension) {
        const std::string q = sqlQuoted(extension);
        struct Owner {
            const char* sql;
            const char* prefix;
        };
        const Owner owners[] = {
            {"SELECT Alias FROM Subscribers WHERE DTMFAccessID=",
             "Primary extension for subscriber with alias="},
            {"SELECT Alias FROM DTMFAccessID WHERE DTMFAccessID=",
             "Alternate extension with alias="},
            {"SELECT TextName FROM CallHandlers WHERE IsPrimary=0 AND DTMFAccessID=",
             "Extension for call handler with display name="},
            {"SELECT Alias FROM PublicDistributionLists WHERE DTMFAccessID=",
             "Distribution list with alias="},
            {"SELECT DisplayName FROM Interviewers WHERE DTMFAccessID=",
             "Interview handler with display name="},
        };
        for (const Owner& owner : owners) {
            db::Recordset rs = query(owner.sql + q);
            if (!rs.Eof())
                return owner.prefix + app::strGetFieldText(rs, rs.Fields(0L).Name(), form_.state);
        }
        return {};
    }

    // Why the row cannot be applied to the backup as it is now (empty when it can).
    std::string problemNow(const PlannedChange& row, std::string& callHandlerId) {
        if (!row.newExtension.empty()) {
            if (!isDigits(row.newExtension))
                return "new extension is not a number of digits:" + row.newExtension;
        }
        if (!row.alternateAlias.empty()) {
            db::Recordset alt = query("SELECT DTMFAccessID FROM DTMFAccessID WHERE Alias=" +
                                      sqlQuoted(stored(row.alternateAlias)) +
                                      " AND ParentObjectID=" + sqlQuoted(row.objectId));
            if (alt.RecordCount() != 1)
                return "could not find alternate extension in MDB for this record.";
            if (characterCount(row.newExtension) >
                static_cast<size_t>(alt("DTMFAccessID").DefinedSize()))
                return "new extension is too long for the backup:" + row.newExtension;
        } else {
            db::Recordset user = query(
                "SELECT Alias, DTMFAccessID, CallHandlerObjectID FROM Subscribers WHERE "
                "ObjectID=" +
                sqlQuoted(row.objectId));
            if (user.RecordCount() != 1)
                return "could not find subscriber for this record by ObjectId=" + row.objectId;
            if (!row.newAlias.empty()) {
                const std::string current = app::strGetFieldText(user, "Alias", form_.state);
                const auto database = user.Database();
                const jet::JetVersion version =
                    database ? database->info().version : jet::JetVersion::Jet4;
                if (!row.oldAlias.empty() &&
                    lookupTextKey(current, version) != lookupTextKey(row.oldAlias, version))
                    return "the user's alias in the backup is now " + current + ", not " +
                           row.oldAlias + "; nothing was changed for this record";
                if (characterCount(stored(row.newAlias)) >
                    static_cast<size_t>(user("Alias").DefinedSize()))
                    return "new alias is too long for the backup:" + row.newAlias;
                db::Recordset taken = query("SELECT Alias FROM Subscribers WHERE Alias=" +
                                            sqlQuoted(stored(row.newAlias)));
                if (!taken.Eof())
                    return "new alias conflicts with an existing user in the backup "
                           "database:" +
                           app::strGetFieldText(taken, "Alias", form_.state);
            }
            if (!row.newExtension.empty()) {
                if (characterCount(row.newExtension) >
                    static_cast<size_t>(user("DTMFAccessID").DefinedSize()))
                    return "new extension is too long for the backup:" + row.newExtension;
                const db::Variant handler = user("CallHandlerObjectID").Value();
                if (handler.isNull())
                    return "the user has no call handler to take the new extension";
                callHandlerId = handler.toText();
            }
        }
        if (!row.newExtension.empty()) {
            const std::string owner = extensionOwner(row.newExtension);
            if (!owner.empty())
                return "new extension conflicts with an existing extension in the backup "
                       "database:" +
                       owner;
        }
        return {};
    }

    void run(const std::string& statement) {
        db::Recordset update = form_.state.newRecordset();
        update.Open(statement, connect(), db::adOpenKeyset, db::adLockOptimistic);
    }

    void saveAlternate(const PlannedChange& row) {
        run("UPDATE DTMFAccessID SET DTMFAccessID=" + sqlQuoted(row.newExtension) +
            " WHERE Alias=" + sqlQuoted(stored(row.alternateAlias)) +
            " AND ParentObjectID=" + sqlQuoted(row.objectId));
    }

    void savePrimary(const PlannedChange& row, const std::string& callHandlerId) {
        db::Recordset rs = form_.state.newRecordset();
        rs.Open(
            "SELECT DTMFAccessID, Alias FROM Subscribers WHERE ObjectID=" + sqlQuoted(row.objectId),
            connect(), db::adOpenKeyset, db::adLockPessimistic);
        if (rs.RecordCount() != 1) throw db::DbError(3021, "The user's record is gone");
        if (!row.newAlias.empty())
            rs("Alias").setValue(db::Variant::fromString(stored(row.newAlias)));
        if (!row.newExtension.empty())
            rs("DTMFAccessID").setValue(db::Variant::fromString(row.newExtension));
        rs.Update();
        rs.Close();
        if (!row.newAlias.empty()) {
            const std::string newAlias = sqlQuoted(stored(row.newAlias));
            run("UPDATE PublicDistributionListMembers SET SubscriberAlias=" + newAlias +
                " WHERE SubscriberObjectID=" + sqlQuoted(row.objectId));
            run("UPDATE PrivateListMembers SET Alias=" + newAlias +
                " WHERE Alias=" + sqlQuoted(stored(row.oldAlias)));
        }
        if (!row.newExtension.empty()) {
            run("UPDATE CallHandlers SET DTMFAccessId=" + sqlQuoted(row.newExtension) +
                " WHERE ObjectID=" + sqlQuoted(callHandlerId));
        }
    }

    // The lines of a saved row, in the order the changes are listed.
    void logSaved(const PlannedChange& row, Lines& lines) {
        if (!row.alternateAlias.empty()) {
            lines.push_back("    Alternate extension updated to:" + row.newExtension);
            return;
        }
        primarySaved_ = true;
        if (!row.newAlias.empty()) lines.push_back("    Subscribers Alias set to:" + row.newAlias);
        if (!row.newExtension.empty())
            lines.push_back("    Subscribers primary extension set to:" + row.newExtension);
        if (!row.newAlias.empty()) lines.push_back("    Alias set to:" + row.newAlias);
        if (!row.newExtension.empty())
            lines.push_back("    Subscribers primary call handler extension set to:" +
                            row.newExtension);
    }

    static bool isDigits(const std::string& text) {
        return !text.empty() &&
               std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    }

    FrmExtensionRemap& form_;
    MessageBackupFiles& files_;
    ui::Procedure& proc_;
    ApplyHold hold_{form_.state.cache, form_.state.strMDBConnectString};
    ui::Procedure messageProc_;
    std::optional<bool> messageGate_;
    std::map<int, RowWork> work_;  // by grid row, while its save is under way
    bool primarySaved_ = false;
};

}  // namespace

MessageBackupFiles::Outcome UpdateAliasForMessageFiles(FrmExtensionRemap& form,
                                                       const std::string& oldAlias,
                                                       const std::string& newAlias,
                                                       MessageBackupFiles& files,
                                                       const MessageBackupFiles::LogLine& log) {
    ui::Procedure proc = messageFilesProcedure(form);
    bool mayChange = false;
    proc.step([&] { mayChange = messageFilesMayChange(form); });
    if (!mayChange) return {};
    const bool utf8 = form.state.bIsQuorin7OrLater;
    files.setStoredForm([utf8](const std::string& text) { return storedText(text, utf8); });
    if (log) return files.renameAlias(oldAlias, newAlias, log, proc);
    return files.renameAlias(
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
    backup::SafetyCopies safety(form.ui);
    files.setSafetyCopies(&safety);
    ApplyFrame frame{form.ui, form.logs, form.myGrid, form.progress, &safety, &form.state};
    frame.rowsPerSave = form.rowsPerSave;
    frame.rowsNotApplied = &form.rowsNotApplied;
    if (applyTickedRows(frame, kWarning,
                        [&](std::span<const int> ticked) { return rows.applySome(ticked); }))
        form.closed = true;
    files.setSafetyCopies(nullptr);
}

void cmdRemap_Click(FrmExtensionRemap& form) {
    MessageBackupFiles files(folderOf(form.state.strMDBFilePath));
    cmdRemap_Click(form, files);
}

}  // namespace tdv::remap
