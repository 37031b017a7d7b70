#include "reports/call_handler_report.h"

#include "main_state/common_values.h"
#include "reports/action_strings.h"
#include "reports/call_handler_sublists.h"
#include "reports/handler_fields.h"
#include "ui/procedure.h"

namespace tdv::reports {
namespace {

constexpr const char* kBanner =
    "****************** primary call handler data *********************";

// Identity, owner, recipient, schedule and language of the handler record.
void writeIdentity(HandlerReport& r) {
    r.line([&] { return "TextName= " + r.text("TextName"); });
    r.line([&] { return "ObjectID=" + rawText(r.rs, "ObjectID"); });
    r.line([&] {
        const std::string alias = r.text("Alias");
        return alias.empty() ? "Text Name=" + r.text("TextName") : "Alias= " + alias;
    });
    r.line([&] {
        return r.text("DTMFAccessID").empty() ? std::string("Extension= <none>")
                                              : "Extension= " + rawText(r.rs, "DTMFAccessID");
    });
    if (!r.text("AdministratorObjectID").empty()) {
        r.line([&] {
            const std::string id = r.text("AdministratorObjectID");
            const int16_t type = toInteger16(r.rs("AdministratorObjectIDType").Value());
            return "Owner= " + strGetOwnerOrRecipient(r.form, id, type);
        });
    }
    r.line([&] {
        const std::string id = rawText(r.rs, "RecipientObjectID");
        const int16_t type = toInteger16(r.rs("RecipientObjectIDType").Value());
        return "Message recipient= " + strGetOwnerOrRecipient(r.form, id, type);
    });
    r.line([&] { return "ScheduleObjectName= " + r.text("ScheduleObjectName"); });
    const bool inherited = r.test([&] {
        const db::Variant v = r.rs("Language").Value();
        return v.isNull() || v.toDouble() == 0.0;
    });
    if (inherited) {
        r.line([] { return std::string("Language= <inherited>"); });
    } else {
        r.line([&] {
            return "Language= " + app::strLanguageName(toLong32(r.rs("Language").Value()));
        });
    }
}

// Message-taking settings and the after-message action, from the handler record again.
void writeMessageSettings(HandlerReport& r) {
    r.line([&] {
        return "Maximum Message Length (seconds)= " + signPositionText(r.rs("MaxMsgLen").Value());
    });
    const bool edit = r.test([&] { return isTrue(r.rs("EditMsg").Value()); });
    r.line([&] {
        return std::string(edit ? "Callers can edit messages" : "Callers can not edit messages");
    });
    const bool urgent = r.test([&] { return isTrue(r.rs("SendUrgentMsg").Value()); });
    r.line([&] {
        return std::string(urgent ? "Callers can mark messages urgent"
                                  : "Callers can not mark messages urgent");
    });
    r.line([&] {
        const int16_t action = toInteger16(r.rs("AfterMessageAction").Value());
        return "After Message Action=" +
               strConstructActionString(r.form, action, r.text("AfterMessageConversation"),
                                        r.text("AfterMessageObjectID"));
    });
}

}  // namespace

void PullCallHandlerData(app::FrmMain& form, const std::string& objectID, bool embedded) {
    // Failures inside the report are passed over silently: the line or query is skipped.
    ui::Procedure proc(form.ui, "PullCallHandlerData", "frmMain", ui::ErrorStyle::silent());
    if (embedded)
        form.AddLine(kBanner);
    else
        form.txtInfo.clear();

    db::Recordset rs = form.state.newRecordset();
    db::Recordset lookup = form.state.newRecordset();
    proc.step([&] {
        openLookup(rs, "SELECT * FROM CallHandlers WHERE ObjectID=" + app::sqlQuoted(objectID),
                   form.state.strMDBConnectString);
    });
    long count = 0;
    if (!proc.step([&] { count = rs.RecordCount(); }) || count < 1) {
        form.ui.messageBox("Error!  Call handler not found in database!", ui::Buttons::Ok,
                           ui::Icon::None);
        closeQuietly(rs);
        return;
    }
    if (count > 1) {
        form.ui.messageBox(
            "Error!  More than one match found for call handler ObjectID=" + objectID,
            ui::Buttons::Ok, ui::Icon::None);
        closeQuietly(rs);
        return;
    }

    HandlerReport report(form, proc, rs);
    writeIdentity(report);
    writeContactRules(report, lookup, objectID);
    writeMessageRules(report, lookup, objectID);
    writeMenuEntries(report, lookup, objectID);
    writeMessageSettings(report);

    closeQuietly(lookup);
    closeQuietly(rs);
}

}  // namespace tdv::reports
