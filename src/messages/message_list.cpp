// Filling the message grid: InitForm, PopulateGridWithSubscriberMessageInfo, the sender
// alias and the arrival time's text.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "backup/backed_up_version.h"
#include "base/ole_date.h"
#include "base/text.h"
#include "base/utf8.h"
#include "db/db_error.h"
#include "main_state/common_values.h"
#include "messages/frm_messages.h"
#include "ui/procedure.h"

namespace tdv::messages {

namespace {

namespace fs = std::filesystem;

constexpr int kRedrawOff = 0;
constexpr int kRedrawOn = 2;
// Schema revision from which message backups carry IsSecure.
constexpr int16_t kSecureFlagRevision = 14;
constexpr const char* kFillOwner = "frmMessageSelection";
constexpr const char* kNoMessages =
    "No messages found in the backup files for the selected subscriber.";
constexpr const char* kSystemSender = "Zerith Messaging System";
// The columns of Messages the grid is filled from.
const std::vector<std::string> kListedColumns = {
    "Index",    "Subject",   "ArrivalTime", "Read",       "PriorityUrgent", "SensitivityPrivate",
    "IsSecure", "CallerANI", "ToAlias",     "FromAddress"};

// Every occurrence of `what` (letter case ignored) replaced by `with`.
std::string replaceIgnoringCase(const std::string& text, std::string_view what,
                                std::string_view with) {
    const std::string lower = base::asciiLower(text);
    const std::string lowerWhat = base::asciiLower(what);
    std::string out;
    size_t from = 0;
    for (size_t at = lower.find(lowerWhat); at != std::string::npos;
         at = lower.find(lowerWhat, from)) {
        out.append(text, from, at - from);
        out.append(with);
        from = at + what.size();
    }
    out.append(text, from, std::string::npos);
    return out;
}

// A flag cell is ticked for True; False and Null leave it clear. Older files keep the flags
// in Integer columns, where True is stored as -1; any other non-zero value counts as True
// too, as the reports read flags, so that a secure message is never taken for a plain one.
bool isTrue(const db::Variant& v) {
    if (v.is<bool>()) return v.get<bool>();
    if (v.isNumeric()) return v.toDouble() != 0.0;
    return false;
}

// The value as a date (CDate): a date, or a number of days; Null raises 94.
double toOleDate(const db::Variant& v) {
    if (v.is<jet::DateTime>()) return v.get<jet::DateTime>().days;
    if (v.isNull()) throw db::DbError(db::errnum::kInvalidUseOfNull, "Invalid use of Null");
    if (v.isNumeric()) return v.toDouble();
    throw db::DbError(db::errnum::kTypeMismatch, "Type mismatch");
}

void setChecked(ui::GridModel& grid, int row, const char* key, bool checked) {
    grid.setCellChecked(row, grid.ColIndex(key),
                        checked ? ui::GridModel::kChecked : ui::GridModel::kUnchecked);
}

void setText(ui::GridModel& grid, int row, const char* key, std::string text) {
    grid.setTextMatrix(row, grid.ColIndex(key), std::move(text));
}

// Fills the grid's last row from the current record; each cell is a step of its own.
void fillRow(FrmMessages& form, ui::Procedure& proc, const db::Recordset& rs, bool hasSecureFlag) {
    ui::GridModel& grid = form.gridMessages;
    const backup::AppState& state = form.state;
    const int row = grid.Rows() - 1;
    proc.step([&] { setText(grid, row, "Subject", app::strGetFieldText(rs, "Subject", state)); });
    proc.step([&] {
        setText(grid, row, "ArrivalDate", formatArrivalTime(toOleDate(rs("ArrivalTime").Value())));
    });
    proc.step([&] { setChecked(grid, row, "Read", isTrue(rs("Read").Value())); });
    proc.step([&] { setChecked(grid, row, "Urgent", isTrue(rs("PriorityUrgent").Value())); });
    proc.step([&] { setChecked(grid, row, "Private", isTrue(rs("SensitivityPrivate").Value())); });
    proc.step(
        [&] { setText(grid, row, "CallingNumber", app::strGetFieldText(rs, "CallerANI", state)); });
    proc.step([&] { setText(grid, row, "Recipient", app::strGetFieldText(rs, "ToAlias", state)); });
    proc.step([&] {
        setText(grid, row, "SenderAlias",
                strFetchAliasFromAddress(form, app::strGetFieldText(rs, "FromAddress", state)));
    });
    proc.step([&] { setText(grid, row, "Index", rs("Index").Value().toText()); });
    proc.step([&] {
        if (hasSecureFlag) {
            setChecked(grid, row, "Secure", isTrue(rs("IsSecure").Value()));
        } else {
            // Older files have no IsSecure column: the box stays clear.
            setText(grid, row, "Secure", "0");
            setChecked(grid, row, "Secure", false);
        }
    });
}

}  // namespace

std::string formatArrivalTime(double oleDate) {
    if (!std::isfinite(oleDate) || std::fabs(oleDate) > 3.0e6)
        throw db::DbError(db::errnum::kOverflow, "Overflow");
    // The whole part counts days from 12/30/1899; the fraction's magnitude is the time of
    // day on both sides of day 0.
    const double whole = std::trunc(oleDate);
    auto day = static_cast<int64_t>(whole);
    int64_t secs = std::llround(std::fabs(oleDate - whole) * 86400.0);
    if (secs >= 86400) {
        secs -= 86400;
        day += oleDate < 0 ? -1 : 1;
    }
    int64_t year = 0;
    unsigned month = 0, dayOfMonth = 0;
    base::civilFromDays(day - base::kOleEpochToUnixDays, year, month, dayOfMonth);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld/%02u/%02u %02d:%02d:%02d",
                  static_cast<long long>(year), month, dayOfMonth, static_cast<int>(secs / 3600),
                  static_cast<int>(secs / 60 % 60), static_cast<int>(secs % 60));
    return text;
}

bool bAddressMeansEmlZip(const std::string& fromAddress) {
    return base::asciiLower(fromAddress).find("/o=") == std::string::npos;
}

std::string strFetchAliasFromAddress(FrmMessages& form, const std::string& address) {
    ui::Procedure proc(form.ui, "strFetchAliasFromAddress", kFillOwner, ui::ErrorStyle::standard());
    std::string alias;
    proc.step([&] {
        if (base::utf8CharacterCount(address) < 4) return;
        const std::string lower = base::asciiLower(address);
        if (lower.starts_with("cn=")) {
            alias = replaceIgnoringCase(address.substr(3), "/O=", "/");
            return;
        }
        if (lower == base::asciiLower(kSystemSender)) {
            alias = address;
            return;
        }
        // A directory name ends with its alias: /O=ORG/OU=SITE/CN=RECIPIENTS/CN=alias. A
        // "/CN=" at the very start names no alias.
        const size_t at = lower.rfind("/cn=");
        if (at != std::string::npos && at >= 2) alias = address.substr(at + 4);
    });
    return alias;
}

void PopulateGridWithSubscriberMessageInfo(FrmMessages& form) {
    ui::Procedure proc(form.ui, "PopulateGridWithSubscriberMessageInfo", kFillOwner,
                       ui::ErrorStyle::standard());
    backup::AppState& state = form.state;
    db::Recordset rs = state.newRecordset();
    proc.step([&] {
        rs.setCursorLocation(db::adUseClient);
        // The columns the grid shows, not MessageAttachment: the recordings are read one
        // at a time when a message is extracted, so a damaged one hides no other message.
        rs.Open(db::selectExistingColumns(&state.cache, state.strMDBConnectString, "Messages",
                                          kListedColumns),
                state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    });
    long count = 0;
    if (!proc.step([&] { count = rs.RecordCount(); }) || count == 0) {
        proc.step([&] {
            if (rs.State() != db::adStateClosed) rs.Close();
        });
        return;
    }
    proc.step([&] {
        rs.MoveFirst();
        form.bEMLZipMessages = bAddressMeansEmlZip(app::strGetFieldText(rs, "FromAddress", state));
    });
    const bool hasSecureFlag =
        backup::bIsMDBVersionGreaterThanOrEqualTo(state, kSecureFlagRevision);
    bool atEnd = true;
    proc.step([&] { atEnd = rs.Eof(); });
    while (!atEnd) {
        proc.step([&] { form.gridMessages.AddItem(); });
        fillRow(form, proc, rs, hasSecureFlag);
        // A cursor that cannot move on ends the list rather than repeat a row forever.
        if (!proc.step([&] { rs.MoveNext(); })) break;
        proc.step([&] { atEnd = rs.Eof(); });
    }
    proc.step([&] { rs.Close(); });
}

void InitForm(FrmMessages& form) {
    ui::Procedure proc(form.ui, "InitForm", "frmMessages", ui::ErrorStyle::silent());
    ui::GridModel& grid = form.gridMessages;
    proc.step([&] {
        form.strTempMsgFolder = form.state.appFolder + "/temp_msg";
        if (!fs::exists(form.strTempMsgFolder + "/")) fs::create_directories(form.strTempMsgFolder);
    });
    proc.step([&] {
        grid.setRows(1);
        grid.setRedraw(kRedrawOff);
    });
    proc.step([&] { backup::LoadMDBVersion(form.ui, form.state); });
    proc.step([&] { PopulateGridWithSubscriberMessageInfo(form); });
    proc.step([&] { form.txtMessagesInGrid = std::to_string(grid.Rows() - 1); });
    proc.step([&] {
        if (grid.Rows() - 1 == 0) form.ui.messageBox(kNoMessages, ui::Buttons::Ok);
    });
    // Every column but Subject and Index fits its contents.
    proc.step([&] { grid.AutoSize(0, 7); });
    proc.step([&] { grid.setRedraw(kRedrawOn); });
    proc.step([&] { form.ui.setWindowVisible(ui::Window::Splash, false); });
}

}  // namespace tdv::messages
