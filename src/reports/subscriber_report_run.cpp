// The Report run object of the subscriber report: its error rule, lines and lookup loop.
#include "main_state/common_values.h"
#include "reports/subscriber_report_steps.h"

namespace tdv::reports::subscriber_report {

Report::Report(app::FrmMain& form_, std::string objectID_)
    : form(form_),
      objectID(std::move(objectID_)),
      proc(form_.ui, "listHandlers_Click", "frmMain", ui::ErrorStyle::errorColon().quietOnNull()),
      subscriber(form_.state.newRecordset()),
      lookup(form_.state.newRecordset()) {}

std::string Report::text(const db::Recordset& rs, std::string_view column) const {
    return app::strGetFieldText(rs, column, form.state);
}

void Report::line(const std::function<std::string()>& build) {
    proc.step([&] { form.AddLine(build()); });
}

void Report::openLookup(const std::string& sql) {
    reports::openLookup(lookup, sql, form.state.strMDBConnectString);
}

long Report::lookupCount() {
    long count = 0;
    if (!proc.step([&] { count = lookup.RecordCount(); })) return 0;
    return count;
}

void Report::forEachLookupRecord(const std::function<void()>& body) {
    bool atEnd = true;
    if (!proc.step([&] { atEnd = lookup.Eof(); })) return;
    while (!atEnd) {
        body();
        if (!proc.step([&] { lookup.MoveNext(); })) return;
        if (!proc.step([&] { atEnd = lookup.Eof(); })) return;
    }
}

void Report::closeLookup() {
    proc.step([&] { lookup.Close(); });
}

}  // namespace tdv::reports::subscriber_report
