// The alias and extension remap window's CSV load: the file choice, the header test, the
// per-line checks, the lookups on the open backup and the grid rows.
#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "base/utf8.h"
#include "db/db_error.h"
#include "remap/apply_rows.h"
#include "remap/frm_extension_remap.h"
#include "remap/remap_csv.h"
#include "remap/remap_grid.h"
#include "remap/remap_load.h"
#include "ui/procedure.h"

namespace tdv::remap {

namespace {

constexpr const char* kForm = "frmExtensionRemap";

const std::vector<std::string> kHeaderNames = {"NEW_EXTENSION", "OLD_EXTENSION", "NEW_ALIAS",
                                               "OLD_ALIAS"};
constexpr const char* kHeaderMessage =
    "Error - CSV File is not formatted correctly.  The first line of the file needs to contain "
    "'NEW_EXTENSION', 'OLD_EXTENSION', 'NEW_ALIAS' and 'OLD_ALIAS' column headers.  Review the "
    "help file for details on format constraints.";
constexpr const char* kShortHeaderMessage =
    "Error - CSV File is not formatted correctly for extension remaps.  The first line of the "
    "file needs to contain 'NEW_EXTENSION', 'OLD_EXTENSION', 'NEW_ALIAS' and 'OLD_ALIAS' column "
    "headers.  Review the help file for details on format constraints.";

CsvLoadTarget target(FrmExtensionRemap& form) {
    return {form.ui, form.logs, form.myGrid, form.txtCSVPath, form.progress, kForm};
}

// The lookups, or the error a closed recordset gives when the window has none.
ExtensionRemapLookups& lookupsOf(FrmExtensionRemap& form) {
    if (!form.lookups) throw db::objectClosedError();
    return *form.lookups;
}

// The declared size in characters of a lookup's column; no limit when the lookup lacks it.
size_t columnSize(db::Recordset& rs, const char* field) {
    try {
        const long size = rs(field).DefinedSize();
        if (size > 0) return static_cast<size_t>(size);
    } catch (...) {
    }
    return std::numeric_limits<size_t>::max();
}

bool isDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Why a row the other checks accepted still cannot be applied: it changes a record an
// earlier line already changes, takes a new alias or extension an earlier line takes, or
// holds a value its column cannot store. Empty when none; otherwise the line's reason.
std::string claimProblem(FrmExtensionRemap& form, const std::string& alias,
                         const std::string& extension, const std::string& objectId,
                         const std::string& alternateAlias) {
    ExtensionRemapLookups& l = lookupsOf(form);
    const RemapClaims& claims = form.claims;
    if (claims.records.count(objectId + "/" + alternateAlias) != 0)
        return "The same user or alternate extension is changed by an earlier line of the file";
    if (!alias.empty()) {
        if (claims.aliases.count(l.userTable.key(alias)) != 0)
            return "New alias string conflicts with the new alias of an earlier line of the file";
        if (characterCount(storedText(alias, form.state.bIsQuorin7OrLater)) >
            columnSize(l.users, "Alias"))
            return "New alias is too long for the backup database";
    }
    if (!extension.empty()) {
        if (claims.extensions.count(extension) != 0)
            return "New extension conflicts with the new extension of an earlier line of the file";
        if (characterCount(extension) >
            std::min(columnSize(l.users, "DTMFAccessID"), columnSize(l.extensions, "DTMFAccessID")))
            return "New extension is too long for the backup database";
    }
    return {};
}

void claim(FrmExtensionRemap& form, const std::string& alias, const std::string& extension,
           const std::string& objectId, const std::string& alternateAlias) {
    RemapClaims& claims = form.claims;
    claims.records.insert(objectId + "/" + alternateAlias);
    if (!alias.empty()) claims.aliases.insert(lookupsOf(form).userTable.key(alias));
    if (!extension.empty()) claims.extensions.insert(extension);
}

// The first record whose column equals the value (case ignored) in a lookup holding records;
// nullopt for none and for an empty lookup.
std::optional<size_t> findIn(const LookupTable& table, const char* column,
                             const std::string& value) {
    if (table.empty()) return std::nullopt;
    return table.findFirst(column, value);
}

}  // namespace

bool bisValidCSVFileFormat(FrmExtensionRemap& form, const std::string& path,
                           ExtensionCsvColumns& columns) {
    std::vector<int> positions;
    const bool valid =
        checkCsvHeader(form.ui, kForm, path, kHeaderNames, kHeaderMessage, positions);
    columns.newExtension = positions[0];
    columns.oldExtension = positions[1];
    columns.newAlias = positions[2];
    columns.oldAlias = positions[3];
    return valid;
}

void cmdOpenCSVFile_Click(FrmExtensionRemap& form) {
    chooseCsvFile(
        target(form),
        [&](const std::string& path) {
            ExtensionCsvColumns columns;
            return bisValidCSVFileFormat(form, path, columns);
        },
        [&] { ProcessCSVFile(form); });
}

void ProcessCSVFile(FrmExtensionRemap& form) {
    ExtensionCsvColumns c;
    form.claims = {};
    auto reject = [&](const char* reason, const std::string& line) {
        form.logs.MyCSVLog(reason, line);
    };
    loadCsvRows(
        target(form), [&](const std::string& path) { return bisValidCSVFileFormat(form, path, c); },
        kShortHeaderMessage,
        [&](const std::string& line) {
            const std::vector<std::string> fields = splitCsvFields(line);
            const int last = static_cast<int>(fields.size()) - 1;
            if (c.oldAlias > last || c.newAlias > last || c.oldExtension > last ||
                c.newExtension > last) {
                // A blank line is passed over without a log entry.
                if (!trimSpaces(line).empty()) reject("Invalid CSV line format", line);
                return;
            }
            const std::string oldAlias = trimSpaces(fields[static_cast<size_t>(c.oldAlias)]);
            const std::string newAlias = trimSpaces(fields[static_cast<size_t>(c.newAlias)]);
            const std::string oldExtension =
                trimSpaces(fields[static_cast<size_t>(c.oldExtension)]);
            const std::string newExtension =
                trimSpaces(fields[static_cast<size_t>(c.newExtension)]);

            if (oldAlias.empty() && oldExtension.empty()) {
                return reject("No value provided for OLD_ALIAS or OLD_EXTENSION", line);
            }
            if (newAlias.empty() && newExtension.empty()) {
                return reject("No value provied for NEW_ALIAS or NEW_EXTENSION", line);
            }
            // An extension is dialled: digits only, which the backup's text column holds.
            if (!newExtension.empty() && !isDigits(newExtension)) {
                return reject("Invalid value for NEW_EXTENSION value", line);
            }
            if (!newAlias.empty() && !bIsValidAlias(newAlias)) {
                return reject("Invalid alias for NEW_ALIAS value", line);
            }
            std::string objectId;
            if (!oldAlias.empty() && bOldAliasMatchesASubscriber(form, oldAlias, objectId)) {
                // The alias decides; a given OLD_EXTENSION is not looked at.
                AddUserToGrid(form, line, oldAlias, "", newAlias, newExtension, objectId, "");
                return;
            }
            if (oldExtension.empty()) {
                return reject("User not found by OLD_ALIAS and no OLD_EXTENSION provided", line);
            }
            if (!isNumericText(oldExtension)) {
                return reject("Invalid string for OLD_EXTENSION column value", line);
            }
            std::string alternateAlias;
            if (!bOldExtensionMatchesASubscriber(form, oldExtension, objectId, alternateAlias)) {
                return reject(
                    "User or alternate extension not found using OLD_ALIAS or OLD_EXTENSION "
                    "values",
                    line);
            }
            if (!alternateAlias.empty()) {
                // An alternate extension only changes its number; a NEW_ALIAS is not used.
                AddUserToGrid(form, line, "", oldExtension, "", newExtension, objectId,
                              alternateAlias);
            } else {
                AddUserToGrid(form, line, oldAlias, oldExtension, newAlias, newExtension, objectId,
                              "");
            }
        });
}

bool bIsValidAlias(const std::string& alias) {
    const std::string trimmed = trimSpaces(alias);
    if (trimmed.empty()) return false;
    // Length in characters, as the window counted them.
    if (base::utf8CharacterCount(trimmed) > 64) return false;
    return trimmed.find(' ') == std::string::npos && trimmed.find('/') == std::string::npos;
}

bool bOldAliasMatchesASubscriber(FrmExtensionRemap& form, const std::string& alias,
                                 std::string& objectId) {
    ui::Procedure proc(form.ui, "bOldAliasMatchesASubscriber", kForm, ui::ErrorStyle::standard());
    objectId.clear();
    bool found = false;
    proc.step([&] {
        const LookupTable& users = lookupsOf(form).userTable;
        // Compared in the form the backup stores text in, as the engine compares it.
        if (const auto row =
                findIn(users, "Alias", storedText(alias, form.state.bIsQuorin7OrLater))) {
            objectId = users.text(*row, "OBjectID");
            found = true;
        }
    });
    return found;
}

bool bOldExtensionMatchesASubscriber(FrmExtensionRemap& form, const std::string& extension,
                                     std::string& objectId, std::string& alternateAlias) {
    ui::Procedure proc(form.ui, "bOldExtensionMatchesASubscriber", kForm,
                       ui::ErrorStyle::standard());
    objectId.clear();
    alternateAlias.clear();
    bool found = false;
    proc.step([&] {
        ExtensionRemapLookups& l = lookupsOf(form);
        if (const auto row = findIn(l.userTable, "DTMFAccessID", extension)) {
            objectId = l.userTable.text(*row, "OBjectID");
            found = true;
            return;
        }
        // An extension found only among the extension rows is an alternate extension of its
        // owner, whatever kind of object that owner is.
        if (const auto row = findIn(l.extensionTable, "DTMFAccessID", extension)) {
            objectId = l.extensionTable.text(*row, "ParentObjectID");
            alternateAlias = l.extensionTable.text(*row, "Alias");
            found = true;
        }
    });
    return found;
}

bool bNewExtensionConflictsWithExistingObject(FrmExtensionRemap& form, const std::string& extension,
                                              std::string& description) {
    ui::Procedure proc(form.ui, "bNewExtensionConflictsWithExistingObject", kForm,
                       ui::ErrorStyle::standard());
    description.clear();
    bool conflict = false;
    proc.step([&] {
        ExtensionRemapLookups& l = lookupsOf(form);
        struct Owner {
            const LookupTable& table;
            const char* prefix;
            const char* nameField;
        };
        const Owner owners[] = {
            {l.userTable, "Primary extension for subscriber with alias=", "Alias"},
            {l.extensionTable, "Alternate extension with alias=", "Alias"},
            {l.callHandlerTable, "Extension for call handler with display name=", "DisplayName"},
            {l.listTable, "Distribution list with alias=", "Alias"},
            {l.interviewerTable, "Interview handler with display name=", "DisplayName"},
        };
        for (const Owner& owner : owners) {
            if (const auto row = findIn(owner.table, "DTMFAccessID", extension)) {
                description = owner.prefix + owner.table.text(*row, owner.nameField);
                conflict = true;
                return;
            }
        }
    });
    return conflict;
}

void AddUserToGrid(FrmExtensionRemap& form, const std::string& line,
                   const std::string& /*oldAlias*/, const std::string& oldExtension,
                   const std::string& newAlias, const std::string& newExtension,
                   const std::string& objectId, const std::string& alternateAlias) {
    ui::Procedure proc(form.ui, "AddUserToGrid", kForm, ui::ErrorStyle::standard());
    const std::string alias = trimSpaces(newAlias);
    const std::string extension = trimSpaces(newExtension);
    if (alias.empty() && extension.empty() && alternateAlias.empty()) return;

    auto reject = [&](const std::string& reason) { form.logs.MyCSVLog(reason, line); };
    proc.step([&] {
        const LookupTable& users = lookupsOf(form).userTable;
        if (!alias.empty() &&
            findIn(users, "Alias", storedText(alias, form.state.bIsQuorin7OrLater))) {
            return reject(
                "New alias string conflicts with an existing user in the backup database");
        }
        std::string owner;
        if (!extension.empty() &&
            bNewExtensionConflictsWithExistingObject(form, extension, owner)) {
            return reject(
                "New extension conflicts with an existing extension in the backup database:" +
                owner);
        }
        const auto user = findIn(users, "OBjectID", objectId);
        if (!user) {
            return reject(
                "Internal error: ObjectID value passed in does not map to a subscriber in the "
                "backup");
        }
        if (const std::string problem =
                claimProblem(form, alias, extension, objectId, alternateAlias);
            !problem.empty()) {
            return reject(problem);
        }
        const std::string& currentAlias = users.text(*user, "Alias");
        const std::string& firstName = users.text(*user, "FirstName");
        const std::string& lastName = users.text(*user, "LastName");
        const std::string& displayName = users.text(*user, "DisplayName");
        if (!alternateAlias.empty()) {
            if (extension.empty()) {
                return reject(
                    "NEW_EXTENSION value is blank which is not valid when updating an alternate "
                    "extension");
            }
            claim(form, "", extension, objectId, alternateAlias);
            appendRemapRow(form.myGrid,
                           {{"OldAlias", currentAlias},
                            {"NewAlias", ""},
                            {"OldExtension", oldExtension},
                            {"NewExtension", extension},
                            {"FirstName", firstName},
                            {"LastName", lastName},
                            {"DisplayName", displayName},
                            {"Info",
                             "Replace old alternate extension with new extension for this "
                             "user."},
                            {"ObjectID", objectId},
                            {"AlternateExtensionAlias", alternateAlias},
                            {"OriginalLine", line}});
            return;
        }
        const char* info = !alias.empty() && !extension.empty()
                               ? "Replace both primary extension and alias with new values for "
                                 "this user."
                           : !extension.empty()
                               ? "Replace primary extension with new extension for this user."
                               : "Replace old alias with new alias for this user.";
        claim(form, alias, extension, objectId, "");
        appendRemapRow(form.myGrid, {{"OldAlias", currentAlias},
                                     {"NewAlias", alias},
                                     {"OldExtension", oldExtension},
                                     {"NewExtension", extension},
                                     {"FirstName", firstName},
                                     {"LastName", lastName},
                                     {"DisplayName", displayName},
                                     {"Info", info},
                                     {"ObjectID", objectId},
                                     {"AlternateExtensionAlias", ""},
                                     {"OriginalLine", line}});
    });
}

}  // namespace tdv::remap
