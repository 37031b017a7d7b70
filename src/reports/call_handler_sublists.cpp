#include "reports/call_handler_sublists.h"

#include <initializer_list>
#include <utility>

#include "main_state/common_values.h"
#include "reports/action_strings.h"
#include "reports/handler_fields.h"

namespace tdv::reports {
namespace {

constexpr const char* kDetail = "           ";     // eleven blanks: a record's details
constexpr const char* kFlag = "                ";  // sixteen blanks: transfer flags

// Opens the handler's rows of `table` and tells whether there are none.
bool openSublist(HandlerReport& r, db::Recordset& lookup, const std::string& table,
                 const std::string& objectID) {
    r.proc.step([&] {
        openLookup(lookup,
                   "SELECT * FROM " + table + " WHERE ParentObjectID=" + app::sqlQuoted(objectID) +
                       " ORDER BY Alias",
                   r.form.state.strMDBConnectString);
    });
    return r.test([&] { return lookup.RecordCount() < 1; });
}

void forEachRecord(HandlerReport& r, db::Recordset& lookup,
                   const std::function<void(HandlerReport&)>& body) {
    HandlerReport record(r.form, r.proc, lookup);
    for (;;) {
        bool eof = true;
        if (!r.proc.step([&] { eof = lookup.Eof(); }) || eof) return;
        body(record);
        if (!r.proc.step([&] { lookup.MoveNext(); })) return;
    }
}

void closeSublist(HandlerReport& r, db::Recordset& lookup) {
    r.proc.step([&] { lookup.Close(); });
}

// A value compared with a number: Null never equals one.
bool equalsNumber(const db::Variant& v, double number) {
    return !v.isNull() && v.toDouble() == number;
}

void aliasLine(HandlerReport& record, const char* separator) {
    record.line([&] { return "     " + rawText(record.rs, "Alias") + separator; });
}

// A rule without an expiry time, or one that expires later, is in force.
void ruleStateLine(HandlerReport& record) {
    const bool enabled = record.test([&] {
        const db::Variant v = record.rs("TimeExpires").Value();
        return v.isNull() || v.toDouble() > localNowOleDate();
    });
    record.line([&] { return std::string(kDetail) + (enabled ? "Enabled" : "Disabled"); });
}

// One of the texts chosen by the column's value 0, 1, 2...; no line for any other value.
void choiceLine(HandlerReport& record, const char* column,
                std::initializer_list<const char*> texts) {
    int chosen = -1;
    if (!record.proc.step([&] {
            const db::Variant v = record.rs(column).Value();
            int i = 0;
            for (auto it = texts.begin(); it != texts.end(); ++it, ++i)
                if (equalsNumber(v, i)) chosen = i;
        }))
        chosen = 0;
    if (chosen < 0) return;
    const char* text = *(texts.begin() + chosen);
    record.line([&] { return std::string(kDetail) + text; });
}

// The first text when the column equals 0, the second for any other value.
void zeroOrOtherLine(HandlerReport& record, const char* column, const char* zeroText,
                     const char* otherText) {
    const bool zero = record.test([&] { return equalsNumber(record.rs(column).Value(), 0); });
    record.line([&] { return std::string(kDetail) + (zero ? zeroText : otherText); });
}

std::string actionText(HandlerReport& record) {
    const int16_t action = toInteger16(record.rs("Action").Value());
    return strConstructActionString(record.form, action, record.text("ConversationName"),
                                    record.text("DestinationObjectID"));
}

void contactRule(HandlerReport& record) {
    aliasLine(record, ":");
    ruleStateLine(record);
    zeroOrOtherLine(record, "Action", "Action: skip transfer, go to greeting",
                    "Action: attempt transfer");
    zeroOrOtherLine(record, "XFerType", "Transfer Type= Release", "Transfer Type= Supervised");
    const bool noExtension = record.test([&] { return record.rs("Extension").Value().isNull(); });
    record.line([&] {
        return std::string(kDetail) + "Transfer String= " +
               (noExtension ? std::string("<empty>") : rawText(record.rs, "Extension"));
    });
    choiceLine(record, "XFerHoldingMode",
               {"Holding: none", "Holding: always", "Holding: ask caller"});
    record.line([] { return std::string(kDetail) + "Transfer Options:"; });
    const std::pair<const char*, const char*> flags[] = {{"XFerAnnounce", "Announce"},
                                                         {"XFerConfirm", "Confirm"},
                                                         {"XFerIntroduce", "Introduce"},
                                                         {"XFerScreening", "Screening"}};
    for (const auto& flag : flags) {
        if (record.test([&] { return isTrue(record.rs(flag.first).Value()); }))
            record.line([&] { return std::string(kFlag) + flag.second; });
    }
}

void messageRule(HandlerReport& record) {
    aliasLine(record, ":");
    ruleStateLine(record);
    choiceLine(record, "PlayWhat",
               {"Greeting Source: system", "Greeting Source: custom", "Greeting Source: blank"});
    const bool ignore = record.test([&] { return isTrue(record.rs("IgnoreDigits").Value()); });
    record.line([&] {
        return std::string(kDetail) + (ignore ? "Allow User Input: no" : "Allow User Input: yes");
    });
    record.line([&] {
        return std::string(kDetail) +
               "Reprompts: " + signPositionText(record.rs("reprompts").Value());
    });
    record.line(
        [&] { return std::string(kDetail) + "After Message Action= " + actionText(record); });
}

}  // namespace

HandlerReport::HandlerReport(app::FrmMain& form_, ui::Procedure& proc_, db::Recordset& rs_)
    : form(form_), proc(proc_), rs(rs_) {}

std::string HandlerReport::text(const char* column) const {
    return app::strGetFieldText(rs, column, form.state);
}

void HandlerReport::line(const std::function<std::string()>& build) {
    proc.step([&] { form.AddLine(build()); });
}

bool HandlerReport::test(const std::function<bool()>& condition) {
    bool result = true;  // a test that fails goes on into its first branch
    proc.step([&] { result = condition(); });
    return result;
}

void writeContactRules(HandlerReport& r, db::Recordset& lookup, const std::string& objectID) {
    if (openSublist(r, lookup, "ContactRules", objectID)) {
        r.line([] {
            return std::string("    No contact rules were not found for this call handler");
        });
    } else {
        r.line([] { return std::string("Contact Rules:"); });
        forEachRecord(r, lookup, contactRule);
    }
    closeSublist(r, lookup);
}

void writeMessageRules(HandlerReport& r, db::Recordset& lookup, const std::string& objectID) {
    if (openSublist(r, lookup, "MessagingRules", objectID)) {
        r.line([] {
            return std::string("    No message rules were not found for this call handler");
        });
    } else {
        r.line([] { return std::string("Message Rules:"); });
        forEachRecord(r, lookup, messageRule);
    }
    closeSublist(r, lookup);
}

void writeMenuEntries(HandlerReport& r, db::Recordset& lookup, const std::string& objectID) {
    if (openSublist(r, lookup, "MenuEntries", objectID)) {
        r.line([] { return std::string("    No menu entries found for this handler"); });
    } else {
        r.line([] { return std::string("Menu Entry Keys:"); });
        forEachRecord(r, lookup, [](HandlerReport& record) {
            record.line(
                [&] { return "     " + rawText(record.rs, "Alias") + ": " + actionText(record); });
        });
    }
    closeSublist(r, lookup);
}

}  // namespace tdv::reports
