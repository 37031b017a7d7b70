#include "commands/maintenance.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

#include "backup/safety_copy.h"
#include "base/text.h"
#include "db/transaction.h"
#include "main_state/common_values.h"
#include "ui/procedure.h"

namespace tdv::commands {

namespace {

constexpr const char* kClearQuestion =
    "This will remove all mapping memory from the open backup database - all mappings for all "
    "objects for all Quorin servers will be removed.  Are you sure you want to delete this "
    "information?";
constexpr const char* kNotForMessageBackup =
    "This function is only valid if you are viewing a directory backup, not for message backup "
    "exploration.";
constexpr const char* kNotForQuorin =
    "This function is only valid for Zerith backups - the current directory backup is from "
    "Quorin";
constexpr const char* kScrubQuestion =
    "This will remove all Pager 3 and higher devices in the backup and activate all Pager "
    "devices that have a valid phone number in them.  Make sure you have a backup of your MDB "
    "file before continuing.  Are you sure you want to do this?";
constexpr const char* kNoPagers =
    "No pager devices found in the currently open directory backup - no changes made";

bool isAuxiliaryPager(const std::string& name) {
    static constexpr std::array<const char*, 5> kNames = {"pager 3", "pager 4", "pager 5",
                                                          "pager 6", "pager 7"};
    const std::string l = base::asciiLower(name);
    return std::any_of(kNames.begin(), kNames.end(), [&](const char* n) { return l == n; });
}

// False only for a stored false (or zero); Null is not false.
bool isFalse(const db::Variant& v) {
    if (v.isNull()) return false;
    if (v.is<bool>()) return !v.get<bool>();
    return v.isNumeric() && v.toDouble() == 0;
}

// The backup's safety copy before the command's first change (the writer lock is held from
// the copy to the end of the command); false after one message when it cannot be made.
bool copyFirst(app::FrmMain& form, backup::SafetyCopies& safety) {
    try {
        safety.beforeChange(form.state.cache, form.state.strMDBConnectString);
    } catch (...) {
        form.ui.messageBox(ui::currentErrorInfo().description);
        return false;
    }
    return true;
}

// The closing message, with where the copy went.
std::string withCopies(const std::string& text, const backup::SafetyCopies& safety) {
    const std::string copies = safety.summary();
    return copies.empty() ? text : text + "\n" + copies;
}

}  // namespace

bool mnuClearMappingMemory_Click(app::FrmMain& form) {
    ui::Procedure proc(form.ui, "mnuClearMappingMemory_Click", "frmMain",
                       ui::ErrorStyle::ownText("Error in mnuClearMappingMemory:"));
    if (form.ui.messageBox(kClearQuestion, ui::Buttons::YesNo) != ui::Answer::Yes) return false;
    backup::SafetyCopies safety(form.ui);
    if (!copyFirst(form, safety)) return false;
    proc.step([&] {
        auto rs = form.state.newRecordset();
        rs.Open("DELETE * FROM ObjectMappingHistory", form.state.strMDBConnectString);
    });
    return proc.finish(
        [&] { form.ui.messageBox(withCopies("Mapping history table cleared", safety)); });
}

bool mnuStQuellisPagerScrub_Click(app::FrmMain& form) {
    ui::UiPort& ui = form.ui;
    auto& state = form.state;
    ui::Procedure proc(ui, "mnuStQuellisPagerScrub_Click", "frmMain",
                       ui::ErrorStyle::ownText("Error in StQuellisPagerScrub:"));

    if (state.bIsMessageBackup) {
        ui.messageBox(kNotForMessageBackup);
        return false;
    }
    if (state.version.bIsQuorinBackup) {
        ui.messageBox(kNotForQuorin);
        return false;
    }
    if (ui.messageBox(kScrubQuestion, ui::Buttons::YesNo) != ui::Answer::Yes) return false;

    proc.step([&] {
        ui.setBusy(true);
        ui.processEvents();
    });

    auto rs = state.newRecordset();
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] {
        rs.Open("SELECT * from NotificationDevices WHERE Alias LIKE 'pager%'",
                state.strMDBConnectString, db::adOpenKeyset, db::adLockPessimistic);
    });

    long count = -1;
    proc.step([&] { count = rs.RecordCount(); });
    bool done = false;
    backup::SafetyCopies safety(ui);
    if (count < 1) {
        proc.finish([&] { ui.messageBox(kNoPagers); });
    } else if (!proc.failed() && !copyFirst(form, safety)) {
        // Nothing was changed; the message said why.
    } else {
        int32_t deleted = 0;
        int32_t activated = 0;
        // All devices change in one save: a failure on the way (a full disk) leaves the
        // backup as it was, never with some devices changed, and ends the run with one box.
        proc.step([&] {
            db::runInTransaction(state.cache, state.strMDBConnectString, [&] {
                deleted = activated = 0;
                for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
                    const std::string name = app::strGetFieldText(rs, "Alias", state);
                    if (isAuxiliaryPager(name)) {
                        rs.Delete();
                        ++deleted;
                    } else if (name == "Pager") {
                        const std::string phone =
                            base::trimSpaces(app::strGetFieldText(rs, "DevicePhoneNumber", state));
                        if (isFalse(rs("DeviceActive").Value()) && phone.size() > 3) {
                            rs("DeviceActive").setValue(db::Variant::fromBool(true));
                            rs.Update();
                            ++activated;
                        }
                    }
                }
            });
        });
        done = proc.finish([&] {
            ui.setBusy(false);
            ui.messageBox(withCopies("Operation completed.  " + std::to_string(deleted) +
                                         " auxiliary pager devices deleted and " +
                                         std::to_string(activated) + " pager devices activated.",
                                     safety));
        });
    }

    // Clean-up with errors ignored: the pointer always comes back.
    ui.setBusy(false);
    try {
        if (rs.State() != db::adStateClosed) rs.Close();
    } catch (...) {
    }
    return done;
}

}  // namespace tdv::commands
