// The pieces of the subscriber detail report (listHandlers_Click), shared by the files that
// write its sections.
//
// One Report is one run: the window it writes into, the subscriber's ObjectID, the error rule
// (a failing step shows "(error):N (D) in procedure listHandlers_Click of Form frmMain" and the
// report goes on; error 94, a Null joined into text, is silent) and the two recordsets: the
// subscriber's one row, and the lookup recordset reused for one query after another.
//
// Every section function runs its lines as separate steps, so a failing line loses only
// itself. A record count that cannot be read (a lookup that could not be opened) counts as no
// records, so the section says it found none, as the call handler report's failed tests go
// into their first branch; a failing end-of-records test or move ends its loop, so the report
// always reaches its end.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "db/recordset.h"
#include "db/variant.h"
#include "main_state/frm_main.h"
#include "reports/handler_fields.h"
#include "ui/procedure.h"

namespace tdv::reports::subscriber_report {

struct Report {
    Report(app::FrmMain& form, std::string objectID);

    app::FrmMain& form;
    std::string objectID;
    ui::Procedure proc;
    db::Recordset subscriber;
    db::Recordset lookup;

    // strGetFieldText of a column of the current record (never fails).
    std::string text(const db::Recordset& rs, std::string_view column) const;
    // Runs a step that appends one line.
    void line(const std::function<std::string()>& build);
    // Opens the lookup recordset on a query, client cursor, read-only.
    void openLookup(const std::string& sql);
    // The lookup's record count, or 0 when it cannot be read (the failure is reported).
    long lookupCount();
    // Runs `body` for each record of the lookup from the current one to the end; stops when
    // the end test or the move itself fails.
    void forEachLookupRecord(const std::function<void()>& body);
    // Closes the lookup as a step of its own (closing one that is not open is a failure).
    void closeLookup();
};

// The value forms shared with the call handler report.
using reports::isTrue;
using reports::signPositionText;
using reports::toInteger16;
// The column's value joined into text as it is: Null raises error 94.
inline std::string raw(const db::Recordset& rs, std::string_view column) {
    return rawText(rs, column);
}
// "True" or "False": True for a non-zero value, False for zero and for Null.
inline std::string tf(const db::Recordset& rs, std::string_view column) {
    return isTrue(rs.Fields(column).Value()) ? "True" : "False";
}

// The sections that look up related tables, in report order.
void writeEmailAddresses(Report& r);      // primary, corporate and proxy addresses
void writePrimaryCallHandler(Report& r);  // alias or text name, primary extension
void writeAlternateExtensions(Report& r);
void writeClassOfService(Report& r);
void writeMwiDevices(Report& r);
void writeNotificationDevices(Report& r);
void writePrivateLists(Report& r);

}  // namespace tdv::reports::subscriber_report
