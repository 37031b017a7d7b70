#include "reports/action_strings.h"

#include <cctype>

#include "base/text.h"
#include "main_state/common_values.h"
#include "reports/handler_fields.h"
#include "ui/procedure.h"

namespace tdv::reports {
namespace {

constexpr const char* kInvalidAction =
    "Error in strConstructActionString - Invalid action value passed in";

// What a conversation name of action 2 (go to an object or a conversation) leads to.
enum class Target { Interviewer, CallHandler, DirectoryHandler, Fixed, Unknown };

struct Conversation {
    const char* name;
    Target target;
    const char* text;  // the prefix of a call handler lookup, or the fixed description
};

// Compared in this order; the first name that matches (ignoring case) decides.
constexpr Conversation kConversations[] = {
    {"chInterview", Target::Interviewer, ""},
    {"PHInterview", Target::Interviewer, ""},
    {"PHGreeting", Target::CallHandler, "Send caller to greeting for "},
    {"PHTransfer", Target::CallHandler, "Send caller to transfer for "},
    {"AD", Target::DirectoryHandler, ""},
    {"SubSignIn", Target::Fixed, "Subscriber sign in"},
    {"GreetingsAdministrator", Target::Fixed, "Greetings administration"},
    {"BroadcastMessageAdministrator", Target::Fixed, "Broadcast message administration"},
    {"AvConvSubSystemTransfer", Target::Fixed, "Subscriber System Transfer"},
    {"AvConvSystemTransfer", Target::Fixed, "System Transfer"},
    {"ConvHotelCheckedOut", Target::Fixed, "Hotel checkout"},
    {"ConvCVMMBoxReset", Target::Fixed, "CVM Mailbox reset"},
    {"AvConvEasySignIn", Target::Fixed, "Easy sign in"},
    {"TRANSFERALTCONTACTNUMBER", Target::Fixed, "Alternate contact number transfer"},
    {"REVERSETRAP", Target::Fixed, "Reverse Trap"},
    {"CONVUTILSLIVERECORD", Target::Fixed, "Live Record"},
    {"SUBSYSTRANSFER", Target::Fixed, "Subscriber System Transfer"},
    {"SYSTEMTRANSFER", Target::Fixed, "System Transfer"},
    {"SUBSIGNINARCHIVEDMAILBOX", Target::Fixed, "Archived mailbox sign in"},
    {"EasySignIn", Target::Fixed, "Easy sign in"},
};

Conversation findConversation(const std::string& name) {
    for (const Conversation& c : kConversations)
        if (base::equalsIgnoringCase(name, c.name)) return c;
    return {"", Target::Unknown, ""};
}

// One lookup of a function that reports every failure and goes on: opens the query and
// tells whether it found no record. A count test that fails counts as "no record", the
// branch the next statement after a failed test leads to.
class Lookup {
public:
    Lookup(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs)
        : form_(form), proc_(proc), rs_(rs) {}

    void open(const std::string& sql) {
        proc_.step([&] { openLookup(rs_, sql, form_.state.strMDBConnectString); });
    }
    long count() {
        long n = 0;
        proc_.step([&] { n = rs_.RecordCount(); });
        return n;
    }
    std::string text(const char* column) const {
        return app::strGetFieldText(rs_, column, form_.state);
    }

private:
    app::FrmMain& form_;
    ui::Procedure& proc_;
    db::Recordset& rs_;
};

std::string callHandlerTarget(Lookup& lookup, ui::Procedure& proc, db::Recordset& rs,
                              const std::string& prefix, const std::string& objectID) {
    lookup.open("SELECT TextName, ObjectID, IsPrimary FROM CallHandlers WHERE ObjectID=" +
                app::sqlQuoted(objectID));
    if (lookup.count() < 1)
        return "(error) Send caller to missing call handler.  ObjectId=" + objectID;

    bool isPrimary = true;  // a failed test goes on into its first branch
    proc.step([&] {
        const db::Variant v = rs("IsPrimary").Value();
        isPrimary = !v.isNull() && v.toDouble() == 1.0;
    });
    if (!isPrimary) return prefix + " call handler: " + lookup.text("TextName");

    std::string handlerId;
    proc.step([&] { handlerId = rawText(rs, "ObjectID"); });
    proc.step([&] { rs.Close(); });
    lookup.open("SELECT DisplayName FROM Subscribers WHERE CallHandlerObjectID=" +
                app::sqlQuoted(handlerId));
    if (lookup.count() < 1)
        return prefix +
               " subscriber - (error) could not find subscriber that owns this primary call "
               "handler.";
    return prefix + " subscriber with display name = " + lookup.text("DisplayName");
}

std::string actionDescription(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs,
                              int16_t action, const Conversation& conv,
                              const std::string& objectID) {
    switch (action) {
        case 0:
            return "Ignore";
        case 1:
            return "Hangup";
        case 4:
            return "Take Message";
        case 5:
            return "Skip Greeting";
        case 2:
            break;
        default:
            return kInvalidAction;
    }
    Lookup lookup(form, proc, rs);
    switch (conv.target) {
        case Target::Interviewer:
            lookup.open("SELECT DisplayName FROM Interviewers WHERE ObjectID=" +
                        app::sqlQuoted(objectID));
            if (lookup.count() < 1)
                return "(error) Send caller to missing interview handler.  ObjectId=" + objectID;
            return "Send caller to interview handler: " + lookup.text("DisplayName");
        case Target::CallHandler:
            return callHandlerTarget(lookup, proc, rs, conv.text, objectID);
        case Target::DirectoryHandler:
            lookup.open("SELECT DisplayName FROM NameLookupHandlers WHERE ObjectID=" +
                        app::sqlQuoted(objectID));
            if (lookup.count() < 1)
                return "(error) Send caller to missing directory handler.  ObjectId=" + objectID;
            return "Send caller to directory handler: " + lookup.text("DisplayName");
        case Target::Fixed:
        case Target::Unknown:
            break;
    }
    return conv.text;
}

}  // namespace

std::string signPositionNumber(int16_t value) {
    const std::string digits = std::to_string(value);
    return value < 0 ? digits : " " + digits;
}

std::string strConstructActionString(app::FrmMain& form, int16_t action,
                                     const std::string& conversationName,
                                     const std::string& objectID) {
    const Conversation conv = findConversation(conversationName);
    if (action == 2 && conv.target == Target::Unknown)
        return "Unknown conversation string=" + conversationName;

    ui::Procedure proc(form.ui, "strConstructActionString", "frmMain",
                       ui::ErrorStyle::errorColon());
    db::Recordset rs = form.state.newRecordset();
    const std::string d = actionDescription(form, proc, rs, action, conv, objectID);
    closeQuietly(rs);
    return d + " [" + conversationName + ":" + objectID + ":" + signPositionNumber(action) + "]";
}

std::string strGetOwnerOrRecipient(app::FrmMain& form, const std::string& objectID,
                                   int16_t objectIDType) {
    ui::Procedure proc(form.ui, "strGetOwnerOrRecipient", "frmMain", ui::ErrorStyle::errorColon());
    db::Recordset rs = form.state.newRecordset();
    Lookup lookup(form, proc, rs);
    std::string r;
    if (objectIDType == 1 || objectIDType == 102) {
        lookup.open("SELECT DisplayName FROM Subscribers WHERE ObjectID=" +
                    app::sqlQuoted(objectID));
        const long n = lookup.count();
        if (n < 1)
            r = "(error) subscriber search foun no match for ObjectID=" + objectID;
        else if (n > 1)
            r = "(error) Subscriber search found multiple matches for ObjectID=" + objectID;
        else
            r = "subscriber with a display name=" + lookup.text("DisplayName");
    } else if (objectIDType == 2) {
        lookup.open("SELECT DisplayName FROM PublicDistributionLists WHERE ObjectID=" +
                    app::sqlQuoted(objectID));
        const long n = lookup.count();
        if (n < 1)
            r = "(error) public distribution list search found no match for ObjectID=" + objectID;
        else if (n > 1)
            r = "(error) public distribution list search found multiple matches for ObjectID=" +
                objectID;
        else
            r = "public distribution list with a display name=" + lookup.text("DisplayName");
    } else {
        r = "(error) invalid ObjectIDType value passed into the strGetOWnerOrRecipient "
            "function:" +
            signPositionNumber(objectIDType);
    }
    closeQuietly(rs);
    return r + " [" + objectID + ":" + signPositionNumber(objectIDType) + "]";
}

}  // namespace tdv::reports
