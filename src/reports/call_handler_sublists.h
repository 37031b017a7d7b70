// The pieces of the call handler report (call_handler_report.h): a writer over one
// recordset that skips a line whose building fails, and the three sub-lists read from the
// tables that belong to the handler (contact rules, message rules, menu entry keys).
//
// Every failure inside the report is passed over silently. A test whose evaluation fails
// goes on into its first branch, as the next statement after a failed test is that branch's
// first one; a record loop whose end test or move fails ends there, so it never repeats.
#pragma once

#include <functional>
#include <string>

#include "db/recordset.h"
#include "main_state/frm_main.h"
#include "ui/procedure.h"

namespace tdv::reports {

struct HandlerReport {
    HandlerReport(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs);

    // strGetFieldText of the column of rs's current record.
    std::string text(const char* column) const;
    // Appends the built line; a failure while building it drops the line.
    void line(const std::function<std::string()>& build);
    // The condition's value; true when evaluating it failed.
    bool test(const std::function<bool()>& condition);

    app::FrmMain& form;
    ui::Procedure& proc;
    db::Recordset& rs;
};

// Each queries its table for the handler's rows in Alias order through `lookup`, writes the
// section, and closes `lookup` again.
void writeContactRules(HandlerReport& report, db::Recordset& lookup, const std::string& objectID);
void writeMessageRules(HandlerReport& report, db::Recordset& lookup, const std::string& objectID);
void writeMenuEntries(HandlerReport& report, db::Recordset& lookup, const std::string& objectID);

}  // namespace tdv::reports
