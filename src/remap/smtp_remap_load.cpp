// The e-mail address remap window without its apply: grid, activation, CSV load with its
// per-line checks, the users lookup, row selection and closing. The apply and the menu's
// version gate are in smtp_remap_apply.cpp.
#include <string>
#include <vector>

#include "backup/backed_up_version.h"
#include "db/ado_types.h"
#include "db/db_error.h"
#include "remap/apply_rows.h"
#include "remap/frm_smtp_address_remap.h"
#include "remap/remap_csv.h"
#include "remap/remap_grid.h"
#include "remap/remap_load.h"
#include "ui/procedure.h"

namespace tdv::remap {

namespace {

constexpr const char* kForm = "frmSMTPAddressRemap";

const std::vector<std::string> kHeaderNames = {"OLD_EXTENSION", "OLD_ALIAS", "NEW_SMTP_ADDRESS"};
constexpr const char* kHeaderMessage =
    "Error - CSV File is not formatted correctly.  The first line of the file needs to contain "
    "'OLD_EXTENSION', 'OLD_ALIAS' and 'NEW_SMTP_ADDRESS' column headers.  Review the help file "
    "for details on format constraints.";
constexpr const char* kTooOldMessage =
    "The backup you have is too old to support this - you must be at rev 20 of the MDB file for "
    "email address remapping.";

const std::vector<GridColumn>& smtpColumns() {
    static const std::vector<GridColumn> columns = {
        {"Selected", "", 270, false},
        {"OldAlias", "Old Alias", 1140, false},
        {"OldExtension", "Old Extension", 1245, false},
        {"SMTPEmailAddress", "New Email Address", 1815, false},
        {"FirstName", "First Name", 960, false},
        {"LastName", "Last Name", 960, false},
        {"DisplayName", "Display Name", 1350, false},
        {"Info", "Info", 960, false},
        {"OriginalLine", "OriginalLine", 960, true},
        {"ObjectID", "ObjectID", 960, true},
    };
    return columns;
}

CsvLoadTarget target(FrmSMTPAddressRemap& form) {
    return {form.ui, form.logs, form.myGrid, form.txtCSVPath, form.progress, kForm};
}

const LookupTable& usersOf(const FrmSMTPAddressRemap& form) {
    if (!form.users || form.users->State() != db::adStateOpen) throw db::objectClosedError();
    return form.userTable;
}

std::optional<size_t> findUser(const FrmSMTPAddressRemap& form, const char* column,
                               const std::string& value) {
    const LookupTable& users = usersOf(form);
    if (users.empty()) return std::nullopt;
    return users.findFirst(column, value);
}

}  // namespace

FrmSMTPAddressRemap::FrmSMTPAddressRemap(ui::UiPort& ui_, backup::AppState& state_,
                                         logging::ModLogging& logs_)
    : ui(ui_), state(state_), logs(logs_) {
    setUpRemapGrid(myGrid, smtpColumns());
}

void InitForm(FrmSMTPAddressRemap& form) {
    ui::Procedure proc(form.ui, "InitForm", kForm, ui::ErrorStyle::standard());
    if (!backup::bIsMDBVersionGreaterThanOrEqualTo(form.state, 20)) {
        form.ui.messageBox(kTooOldMessage);
        return;
    }
    backup::AppState& state = form.state;
    proc.step([&] {
        form.users.emplace(state.newRecordset());
        form.users->setCursorLocation(db::adUseClient);
        form.users->Open(
            "SELECT Alias, FirstName, LastName, DisplayName, DTMFAccessID, SMTPAddress, OBjectID "
            "FROM Subscribers",
            state.strMDBConnectString, db::adOpenKeyset, db::adLockOptimistic);
    });
    const bool open = form.users && form.users->State() == db::adStateOpen;
    // The users read once into an indexed table (remap_lookups.h).
    if (open) {
        proc.step([&] {
            form.userTable = LookupTable(
                *form.users, {"Alias", "FirstName", "LastName", "DisplayName", "OBjectID"},
                {"Alias", "DTMFAccessID", "OBjectID"}, state);
        });
    }
    if (!open || form.users->RecordCount() <= 0) {
        form.ui.messageBox(
            "Error opening subscriber data on local MDB file.  Close application and try again.");
        form.closed = true;
    }
}

bool bisValidCSVFileFormat(FrmSMTPAddressRemap& form, const std::string& path,
                           SMTPCsvColumns& columns) {
    std::vector<int> positions;
    const bool valid =
        checkCsvHeader(form.ui, kForm, path, kHeaderNames, kHeaderMessage, positions);
    columns.oldExtension = positions[0];
    columns.oldAlias = positions[1];
    columns.newSMTPAddress = positions[2];
    return valid;
}

void cmdOpenCSVFile_Click(FrmSMTPAddressRemap& form) {
    chooseCsvFile(
        target(form),
        [&](const std::string& path) {
            SMTPCsvColumns columns;
            return bisValidCSVFileFormat(form, path, columns);
        },
        [&] { ProcessCSVFile(form); });
}

void ProcessCSVFile(FrmSMTPAddressRemap& form) {
    SMTPCsvColumns c;
    form.claimedUsers.clear();
    auto reject = [&](const char* reason, const std::string& line) {
        form.logs.MyCSVLog(reason, line);
    };
    loadCsvRows(
        target(form), [&](const std::string& path) { return bisValidCSVFileFormat(form, path, c); },
        kHeaderMessage,
        [&](const std::string& line) {
            const std::vector<std::string> fields = splitCsvFields(line);
            const int last = static_cast<int>(fields.size()) - 1;
            // Unlike the alias window, a blank line is logged like any other short line.
            if (c.oldAlias > last || c.oldExtension > last || c.newSMTPAddress > last) {
                return reject("Invalid CSV line format", line);
            }
            const std::string oldAlias = trimSpaces(fields[static_cast<size_t>(c.oldAlias)]);
            const std::string oldExtension =
                trimSpaces(fields[static_cast<size_t>(c.oldExtension)]);
            const std::string address = trimSpaces(fields[static_cast<size_t>(c.newSMTPAddress)]);

            if (oldAlias.empty() && oldExtension.empty()) {
                return reject("No value provided for OLD_ALIAS or OLD_EXTENSION", line);
            }
            if (address.empty()) return reject("No value provided for NEW_SMTP_ADDRESS", line);
            std::string objectId;
            if (!oldAlias.empty() && bOldAliasMatchesASubscriber(form, oldAlias, objectId)) {
                AddUserToGrid(form, line, oldAlias, "", objectId, address);
                return;
            }
            if (oldExtension.empty()) {
                return reject("User not found by OLD_ALIAS and no OLD_EXTENSION provided", line);
            }
            if (!isNumericText(oldExtension)) {
                return reject("Invalid string for OLD_EXTENSION column value", line);
            }
            if (!bOldExtensionMatchesASubscriber(form, oldExtension, objectId)) {
                return reject(
                    "User or alternate extension not found using OLD_ALIAS or OLD_EXTENSION "
                    "values",
                    line);
            }
            AddUserToGrid(form, line, "", oldExtension, objectId, address);
        });
}

bool bOldAliasMatchesASubscriber(FrmSMTPAddressRemap& form, const std::string& alias,
                                 std::string& objectId) {
    ui::Procedure proc(form.ui, "bOldAliasMatchesASubscriber", kForm, ui::ErrorStyle::standard());
    objectId.clear();
    bool found = false;
    proc.step([&] {
        // Compared in the form the backup stores text in, as the engine compares it.
        if (const auto row =
                findUser(form, "Alias", storedText(alias, form.state.bIsQuorin7OrLater))) {
            objectId = form.userTable.text(*row, "OBjectID");
            found = true;
        }
    });
    return found;
}

bool bOldExtensionMatchesASubscriber(FrmSMTPAddressRemap& form, const std::string& extension,
                                     std::string& objectId) {
    ui::Procedure proc(form.ui, "bOldExtensionMatchesASubscriber", kForm,
                       ui::ErrorStyle::standard());
    objectId.clear();
    bool found = false;
    proc.step([&] {
        if (const auto row = findUser(form, "DTMFAccessID", extension)) {
            objectId = form.userTable.text(*row, "OBjectID");
            found = true;
        }
    });
    return found;
}

void AddUserToGrid(FrmSMTPAddressRemap& form, const std::string& line,
                   const std::string& /*oldAlias*/, const std::string& oldExtension,
                   const std::string& objectId, const std::string& newAddress) {
    ui::Procedure proc(form.ui, "AddUserToGrid", kForm, ui::ErrorStyle::standard());
    proc.step([&] {
        const auto user = findUser(form, "OBjectID", objectId);
        if (!user) {
            form.logs.MyCSVLog(
                "Internal error: ObjectID value passed in does not map to a subscriber in the "
                "backup",
                line);
            return;
        }
        if (form.claimedUsers.count(objectId) != 0) {
            form.logs.MyCSVLog("The same user is changed by an earlier line of the file", line);
            return;
        }
        long size = 0;
        if (form.users) {
            try {
                size = form.users->Fields("SMTPAddress").DefinedSize();
            } catch (...) {
            }
        }
        if (size > 0 && characterCount(storedText(newAddress, form.state.bIsQuorin7OrLater)) >
                            static_cast<size_t>(size)) {
            form.logs.MyCSVLog("New SMTP address is too long for the backup database", line);
            return;
        }
        form.claimedUsers.insert(objectId);
        const LookupTable& users = form.userTable;
        appendRemapRow(form.myGrid, {{"OldAlias", users.text(*user, "Alias")},
                                     {"OldExtension", oldExtension},
                                     {"SMTPEmailAddress", newAddress},
                                     {"FirstName", users.text(*user, "FirstName")},
                                     {"LastName", users.text(*user, "LastName")},
                                     {"DisplayName", users.text(*user, "DisplayName")},
                                     {"Info", "Replace SMTP address"},
                                     {"ObjectID", objectId},
                                     {"OriginalLine", line}});
    });
}

void chkSelectAll_Click(FrmSMTPAddressRemap& form) {
    setAllSelected(form.myGrid, form.chkSelectAll);
}

void myGrid_Click(FrmSMTPAddressRemap& form) {
    toggleSelectedOnClick(form.myGrid);
}

bool myGrid_CanEdit(const FrmSMTPAddressRemap& form, int col) {
    return col == form.myGrid.ColIndex("Selected");
}

void cmdCancel_Click(FrmSMTPAddressRemap& form) {
    form.closed = true;
}

void Form_Unload(FrmSMTPAddressRemap& form) {
    if (form.users && form.users->State() == db::adStateOpen) {
        ui::Procedure proc(form.ui, "Form_Unload", kForm, ui::ErrorStyle::standard());
        proc.step([&] { form.users->Close(); });
    }
    form.users.reset();
    form.userTable = LookupTable();
}

}  // namespace tdv::remap
