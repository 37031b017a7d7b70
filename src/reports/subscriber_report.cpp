// listHandlers_Click: the subscriber detail report, line by line, ending with the report of
// the user's primary call handler.
#include "reports/subscriber_report.h"

#include "db/ado_types.h"
#include "main_state/common_values.h"
#include "reports/action_strings.h"
#include "reports/call_handler_report.h"
#include "reports/handler_fields.h"
#include "reports/subscriber_report_steps.h"

namespace tdv::reports {

namespace {

using subscriber_report::raw;
using subscriber_report::Report;
using subscriber_report::tf;

// Opens the subscriber's row; false (after the message) when it is missing, ambiguous, or
// cannot be read at all, and nothing more is written.
bool openSubscriber(Report& r) {
    const bool opened = r.proc.step([&] {
        r.subscriber.setCursorLocation(db::adUseClient);
        r.subscriber.Open("SELECT * FROM Subscribers WHERE ObjectID=" + app::sqlQuoted(r.objectID),
                          r.form.state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    });
    if (!opened) return false;
    long count = -1;
    if (!r.proc.step([&] { count = r.subscriber.RecordCount(); })) return false;
    if (count == 0) {
        r.form.ui.messageBox("Error!  Subscriber not found in database!");
        return false;
    }
    if (count > 1) {
        r.form.ui.messageBox("Error!  More than one match found for ObjectID=" + r.objectID);
        return false;
    }
    return true;
}

void writeIdentity(Report& r) {
    const db::Recordset& s = r.subscriber;
    r.line([&] { return "DisplayName= " + r.text(s, "DisplayName"); });
    r.line([&] { return "ObjectID=" + raw(s, "ObjectID"); });
    r.line([&] { return "Alias= " + r.text(s, "Alias"); });
}

void writeConversationSettings(Report& r) {
    const db::Recordset& s = r.subscriber;
    r.line([&] { return "List in directory= " + tf(s, "ListInDirectory"); });
    r.line([&] { return "First time enrollment= " + tf(s, "NewMailUser"); });
    r.line([&] {
        const db::Variant language = s.Fields("Language").Value();
        if (language.isNull() || language.toDouble() == 0.0)
            return std::string("Language= (error) no language defined");
        return "Language= " + app::strLanguageName(language.toLong());
    });
    r.line([&] {
        const db::Variant volume = s.Fields("Volume").Value();
        return volume.isNull() ? std::string("Volume= 50") : "Volume= " + signPositionText(volume);
    });
    r.line([&] {
        const db::Variant speed = s.Fields("Speed").Value();
        return speed.isNull() ? std::string("Speed= 100") : "Speed= " + signPositionText(speed);
    });
    static constexpr std::pair<const char*, const char*> kFlags[] = {
        {"Greet subscriber by name= ", "GreetByName"},
        {"Play message count total= ", "SayTotalNew"},
        {"Play voice mail counts= ", "SayTotalNewVoice"},
        {"Play Email counts= ", "SayTotalNewEmail"},
        {"Play fax counts= ", "SayTotalNewFax"},
        {"Play saved message counts= ", "SayTotalSaved"},
        {"Before playing message, play the senders name= ", "SaySender"},
        {"Before playing message, play message number= ", "SayMsgNumber"},
        {"Play timestamp before message= ", "SayTimestampBefore"},
        {"Play timestamp after message= ", "SayTimestampAfter"},
    };
    for (const auto& flag : kFlags) {
        r.line([&] { return flag.first + tf(s, flag.second); });
    }
    r.line([&] {
        return std::string("Menu mode= ") +
               (isTrue(s.Fields("UseBriefPrompts").Value()) ? "Brief" : "Full");
    });
}

std::string addressingMode(const db::Variant& mode) {
    // A Null mode matches none of the known values; text that is no number cannot be compared
    // and fails the line.
    if (mode.isNull()) return "invalid value";
    const double value = mode.toDouble();
    if (value == 0) return "spell by last name then first name";
    if (value == 1) return "address by extension number";
    if (value == 2) return "spell by first name then last name";
    return "invalid value";
}

void writeAccountSettings(Report& r) {
    const db::Recordset& s = r.subscriber;
    r.line([&] {
        return "Default addressing mode= " + addressingMode(s.Fields("AddressMode").Value());
    });
    r.line([&] {
        if (s.Fields("BillingID").Value().isNull()) return std::string("Billing ID= <empty>");
        return "Billing ID= " + r.text(s, "BillingID");
    });
    r.line([&] { return "Can't change their phone password= " + tf(s, "PWCantChange"); });
    r.line(
        [&] { return "Must change their phone password at next login= " + tf(s, "PWMustChange"); });
    r.line([&] { return "Phone password does not expire= " + tf(s, "PWDoesntExpire"); });
}

void writeExitAction(Report& r) {
    const db::Recordset& s = r.subscriber;
    r.line([&] {
        const int16_t action = toInteger16(s.Fields("ExitAction").Value());
        return "Exit Action=" + strConstructActionString(r.form, action,
                                                         r.text(s, "ExitConversation"),
                                                         r.text(s, "ExitOBjectID"));
    });
}

}  // namespace

void listHandlers_Click(app::FrmMain& form, const std::string& objectID) {
    Report r(form, objectID);
    form.txtInfo.clear();
    if (!openSubscriber(r)) return;

    writeIdentity(r);
    subscriber_report::writeEmailAddresses(r);
    subscriber_report::writePrimaryCallHandler(r);
    subscriber_report::writeAlternateExtensions(r);
    subscriber_report::writeClassOfService(r);
    writeConversationSettings(r);
    writeAccountSettings(r);
    subscriber_report::writeMwiDevices(r);
    subscriber_report::writeNotificationDevices(r);
    subscriber_report::writePrivateLists(r);
    writeExitAction(r);

    r.proc.step([&] { PullCallHandlerData(form, raw(r.subscriber, "CallHandlerObjectID"), true); });
    r.proc.step([&] { r.subscriber.Close(); });
}

}  // namespace tdv::reports
