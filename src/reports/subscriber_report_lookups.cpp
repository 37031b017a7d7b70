// The sections of the subscriber report that look up related tables: e-mail addresses,
// primary call handler, alternate extensions, class of service, message-waiting devices,
// notification devices and private lists.
#include "backup/backed_up_version.h"
#include "db/ado_types.h"
#include "main_state/common_values.h"
#include "reports/subscriber_report_steps.h"

namespace tdv::reports::subscriber_report {

namespace {

// The proxy addresses; nothing at all when there are none or the query did not run.
void writeProxyAddresses(Report& r) {
    r.proc.step([&] {
        r.openLookup("SELECT * FROM SMTPProxy WHERE SubscriberObjectID=" +
                     app::sqlQuoted(raw(r.subscriber, "ObjectID")));
    });
    if (r.lookup.State() != db::adStateOpen) return;
    if (r.lookupCount() >= 1) {
        r.line([] { return std::string("Proxy SMTP Addresses:"); });
        r.forEachLookupRecord(
            [&] { r.line([&] { return "    " + r.text(r.lookup, "SMTPAddress"); }); });
    }
    r.closeLookup();
}

}  // namespace

void writeEmailAddresses(Report& r) {
    const backup::AppState& state = r.form.state;
    const bool quorin7 =
        backup::bIsBackedUpZerithVersionGreaterThanOrEqualTo(r.form.ui, state, 7, 0, 0, 0, true);
    if (quorin7 && backup::bIsMDBVersionGreaterThanOrEqualTo(state, 15)) {
        r.line([&] { return "Primary email address=" + r.text(r.subscriber, "SMTPAddress"); });
        if (backup::bIsMDBVersionGreaterThanOrEqualTo(state, 20)) {
            r.line(
                [&] { return "Corporate email address=" + r.text(r.subscriber, "EMAILAddress"); });
        }
        writeProxyAddresses(r);
    } else if (backup::bIsMDBVersionGreaterThanOrEqualTo(state, 16)) {
        r.line([&] { return "Primary email address=" + r.text(r.subscriber, "SMTPAddress"); });
    }
}

void writePrimaryCallHandler(Report& r) {
    r.proc.step([&] {
        r.openLookup("SELECT Alias, TextName, DTMFAccessID FROM CallHandlers WHERE ObjectID=" +
                     app::sqlQuoted(raw(r.subscriber, "CallHandlerObjectID")));
    });
    const long count = r.lookupCount();
    if (count == 0) {
        r.line([] { return std::string("(error) no primary call handler found"); });
    } else if (count > 1) {
        r.line([] { return std::string("(error) more than one primary call handler found"); });
    } else {
        r.line([&] {
            const std::string alias = r.text(r.lookup, "Alias");
            if (!alias.empty()) return "Primary Call Handler Alias= " + alias;
            return "Primary Call Handler Text Name= " + r.text(r.lookup, "TextName");
        });
        r.line([&] { return "Primary Extension= " + raw(r.lookup, "DTMFAccessID"); });
    }
    r.closeLookup();
}

void writeAlternateExtensions(Report& r) {
    r.proc.step([&] {
        r.openLookup("SELECT * FROM DTMFAccessID WHERE ParentObjectID=" +
                     app::sqlQuoted(r.objectID));
    });
    const long count = r.lookupCount();
    if (count == 0) {
        r.line([] { return std::string("Alternate Extensions = (none)"); });
    } else {
        r.line([] { return std::string("Alternate Extensions:"); });
        r.forEachLookupRecord(
            [&] { r.line([&] { return "    " + raw(r.lookup, "DTMFAccessID"); }); });
    }
    r.closeLookup();
}

void writeClassOfService(Report& r) {
    r.proc.step([&] {
        r.openLookup("SELECT DisplayName from COS WHERE OBjectID=" +
                     app::sqlQuoted(raw(r.subscriber, "COSObjectID")));
    });
    // No record-count test: without a matching class of service the line ends after "= ".
    r.line([&] { return "COS= " + r.text(r.lookup, "DisplayName"); });
    r.closeLookup();
}

void writeMwiDevices(Report& r) {
    r.proc.step([&] {
        r.openLookup("SELECT Alias, Extension from MWIDevices WHERE ParentObjectID=" +
                     app::sqlQuoted(r.objectID));
    });
    r.line([] { return std::string("MWI Devices:"); });
    const long count = r.lookupCount();
    if (count == 0) {
        r.line([] { return std::string("    <none>"); });
    } else {
        r.forEachLookupRecord([&] {
            r.line([&] { return "    " + raw(r.lookup, "Alias"); });
            r.line([&] {
                if (r.lookup.Fields("Extension").Value().isNull())
                    return std::string("    Extension= <NULL - Illegal value>");
                return "    Extension =" + raw(r.lookup, "Extension");
            });
        });
    }
    r.closeLookup();
}

void writeNotificationDevices(Report& r) {
    r.proc.step([&] {
        r.openLookup(
            "SELECT Alias, DeviceActive, devicePhoneNumber, DeviceSMTPAddress, DeviceType FROM "
            "NotificationDevices WHERE ParentObjectID=" +
            app::sqlQuoted(r.objectID) + " ORDER BY Alias");
    });
    const long count = r.lookupCount();
    if (count < 1) {
        r.line([] { return std::string("    No notification devices found for this user"); });
    } else {
        r.line([] { return std::string("Notifcation Devices:"); });
        r.forEachLookupRecord([&] {
            const db::Recordset& d = r.lookup;
            r.line([&] { return "     " + raw(d, "Alias") + ":"; });
            r.line([&] {
                return std::string(isTrue(d.Fields("DeviceActive").Value())
                                       ? "           Enabled"
                                       : "           Disabled");
            });
            r.line([&] {
                // Only an e-mail device (type 4) has an address; a Null type is not 4.
                const db::Variant type = d.Fields("DeviceType").Value();
                if (!type.isNull() && type.toDouble() == 4)
                    return "           SMTP address= " + r.text(d, "DeviceSMTPAddress");
                return "           Phone number= " + r.text(d, "DevicePhoneNumber");
            });
        });
    }
    r.closeLookup();
}

void writePrivateLists(Report& r) {
    // The last lookup: it stays open until the report's end, where it is released.
    r.proc.step([&] {
        r.openLookup(
            "SELECT Alias, DisplayName, DTMFAccessID FROM PrivateLists WHERE ParentObjectID=" +
            app::sqlQuoted(r.objectID));
    });
    const long count = r.lookupCount();
    if (count == 0) {
        r.line([] { return std::string("No private lists configured"); });
    } else {
        r.line([] { return std::string("Private lists:"); });
        r.forEachLookupRecord([&] {
            r.line([&] { return "    Display Name=" + r.text(r.lookup, "DisplayName"); });
            r.line([&] { return "    Alias=" + r.text(r.lookup, "Alias"); });
            r.line([&] { return "    DTMFAccessID=" + r.text(r.lookup, "DTMFAccessID"); });
        });
    }
}

}  // namespace tdv::reports::subscriber_report
