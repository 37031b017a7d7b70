// What hangs off a user: proxy addresses, alternate extensions (and the extension rows of
// the other objects), message-waiting devices and notification devices.
#include "sample/directory_families.h"
#include "sample/directory_names.h"
#include "sample/directory_table.h"

namespace tdv::sample {

namespace {

using jet::ColumnType;

void addProxies(const FamilyContext& ctx, SampleRandom& rng, jet::NewDatabase& db) {
    if (ctx.variant.schemaRevision < kRevSmtpAddress) return;
    TableBuilder t(ctx.variant, "SMTPProxy");
    const int owner = t.column("SubscriberObjectID", ColumnType::Text, kObjectIdChars);
    const int address = t.column("SMTPAddress", ColumnType::Text, kAddressChars);
    const int kind = t.column("AddressType", ColumnType::Text, 16);
    t.index("PrimaryKey", {"SubscriberObjectID", "SMTPAddress"}, true);
    t.index("SubscriberObjectID", {"SubscriberObjectID"});
    for (size_t i = 0; i < ctx.model.users.size(); ++i) {
        const PlannedUser& u = ctx.model.users[i];
        const size_t count = i == kRichUser ? 3 : i == kBareUser ? 0 : rng.below(3);
        const std::string mailbox = u.smtpAddress.substr(0, u.smtpAddress.find('@'));
        const std::string local = mailbox.empty() ? foldToAscii(u.alias) : mailbox;
        const std::string candidates[] = {foldToAscii(u.alias) + "@" + ctx.model.mailDomain,
                                          local + "@legacy." + ctx.model.mailDomain,
                                          local + "@mail." + ctx.model.mailDomain};
        for (size_t k = 0; k < count; ++k) {
            auto& row = t.addRow();
            t.setText(row, owner, u.objectId);
            t.setText(row, address, candidates[k]);
            t.setText(row, kind, "SMTP");
        }
    }
    db.tables.push_back(t.take());
}

void addExtensions(const FamilyContext& ctx, jet::NewDatabase& db) {
    TableBuilder t(ctx.variant, "DTMFAccessID");
    const int owner = t.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
    const int ext = t.column("DTMFAccessID", ColumnType::Text, kExtensionChars);
    const int alias = t.column("Alias", ColumnType::Text, kAliasChars);
    const int type = t.column("ObjectType", ColumnType::Integer);
    t.index("PrimaryKey", {"ParentObjectID", "Alias"}, true);
    t.index("DTMFAccessID", {"DTMFAccessID"});
    t.index("ParentObjectID", {"ParentObjectID"});
    auto add = [&](const std::string& parent, const std::optional<std::string>& extension,
                   const std::string& name, int32_t objectType) {
        auto& row = t.addRow();
        t.setText(row, owner, parent);
        t.setOptionalText(row, ext, extension);
        t.setText(row, alias, name);
        t.setInt(row, type, objectType);
    };
    for (size_t i = 0; i < ctx.model.users.size(); ++i) {
        const PlannedUser& u = ctx.model.users[i];
        for (size_t k = 0; k < u.alternateExtensions.size(); ++k)
            add(u.objectId, u.alternateExtensions[k], "Alternate " + std::to_string(k + 1), 1);
        // One alternate extension row without a number, as a damaged directory holds.
        if (i == kRichUser) add(u.objectId, std::nullopt, "Alternate 9", 1);
    }
    // The extensions of objects that are not users: found by the remap's lookups as owned by
    // something else.
    auto addObjects = [&](const std::vector<PlannedObject>& objects, int32_t objectType) {
        for (const PlannedObject& o : objects)
            if (o.extension) add(o.objectId, o.extension, "Primary", objectType);
    };
    addObjects(ctx.model.callHandlers, 3);
    addObjects(ctx.model.publicLists, 2);
    addObjects(ctx.model.interviewers, 5);
    db.tables.push_back(t.take());
}

void addMwiDevices(const FamilyContext& ctx, SampleRandom& rng, jet::NewDatabase& db) {
    TableBuilder t(ctx.variant, "MWIDevices");
    const int id = t.column("ObjectID", ColumnType::Text, kObjectIdChars);
    const int owner = t.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
    const int alias = t.column("Alias", ColumnType::Text, kAliasChars);
    const int ext = t.column("Extension", ColumnType::Text, kExtensionChars);
    const int active = t.nullableFlag("Active");
    const int port = t.column("SwitchID", ColumnType::Integer);
    t.index("PrimaryKey", {"ObjectID"}, true);
    t.index("ParentObjectID", {"ParentObjectID"});
    for (size_t i = 0; i < ctx.model.users.size(); ++i) {
        const PlannedUser& u = ctx.model.users[i];
        const size_t count = i == kRichUser ? 3 : i == kBareUser ? 0 : rng.percent(60) ? 1 : 0;
        for (size_t k = 0; k < count; ++k) {
            auto& row = t.addRow();
            t.setText(row, id, rng.guidText());
            t.setText(row, owner, u.objectId);
            if (!(i == kRichUser && k == 2))
                t.setText(row, alias, k == 0 ? "Lamp" : "Desk Phone 2");
            // The rich user's second device has no extension (an illegal value the report
            // names).
            if (!(i == kRichUser && k == 1) && u.extension) t.setText(row, ext, *u.extension);
            t.setFlag(row, active, true);
            t.setInt(row, port, 1);
        }
    }
    db.tables.push_back(t.take());
}

struct Device {
    std::string alias;
    int32_t type;  // 1 phone, 2 pager, 4 e-mail
    Flag active;
    std::string number;
};

// The rich user's devices: every name the pager scrub tells apart, both device kinds.
std::vector<Device> richUserDevices(const PlannedUser& u) {
    return {{"Pager", 2, false, "5551234"},   {"Pager 2", 2, true, "5551235"},
            {"pager 3", 2, false, "5551236"}, {"PAGER 7", 2, true, "5551237"},
            {"Work Phone", 1, true, "1234"},  {"Home Phone", 1, std::nullopt, "123"},
            {"Email", 4, true, u.smtpAddress}};
}

std::vector<Device> typicalDevices(SampleRandom& rng, size_t i, const PlannedUser& u) {
    std::vector<Device> out;
    static const std::vector<std::string> extra = {"Pager 3", "Pager 4", "Pager 5", "Pager 6",
                                                   "Pager 7", "pager",   "Pager 8", "Pager 2"};
    if (rng.percent(55)) {
        // Pager numbers of 3, 4 and more digits; active, inactive or (Integer flags) Null.
        const uint32_t digits = 3 + rng.below(5);
        std::string number;
        for (uint32_t d = 0; d < digits; ++d) number += static_cast<char>('0' + rng.below(10));
        Flag active = rng.percent(50);
        if (rng.percent(8)) active.reset();
        out.push_back({"Pager", 2, active, number});
    }
    if (rng.percent(20))
        out.push_back(
            {rng.pick(extra), 2, rng.percent(30), "555" + std::to_string(rng.between(1000, 9999))});
    if (rng.percent(35)) out.push_back({"Work Phone", 1, true, u.extension.value_or("")});
    if (rng.percent(15))
        out.push_back({"Home Phone", 1, false, "555" + std::to_string(rng.between(1000, 9999))});
    if (rng.percent(25) && !u.smtpAddress.empty())
        out.push_back({"Email", 4, rng.percent(70), u.smtpAddress});
    if (i == kInvalidAddressMode) out.push_back({"Pager", 2, false, "123"});
    return out;
}

void addNotificationDevices(const FamilyContext& ctx, SampleRandom& rng, jet::NewDatabase& db) {
    TableBuilder t(ctx.variant, "NotificationDevices");
    const int id = t.column("ObjectID", ColumnType::Text, kObjectIdChars);
    const int owner = t.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
    const int alias = t.column("Alias", ColumnType::Text, kAliasChars);
    const int active = t.nullableFlag("DeviceActive");
    const int phone = t.column("DevicePhoneNumber", ColumnType::Text, kExtensionChars);
    const int smtp = t.column("DeviceSMTPAddress", ColumnType::Text, kAddressChars);
    const int type = t.column("DeviceType", ColumnType::Long);
    const int rings = t.column("RingsToWait", ColumnType::Integer);
    const int retries = t.column("BusyRetryLimit", ColumnType::Integer);
    t.index("PrimaryKey", {"ObjectID"}, true);
    t.index("ParentObjectID", {"ParentObjectID"});
    t.index("Alias", {"Alias"});
    for (size_t i = 0; i < ctx.model.users.size(); ++i) {
        const PlannedUser& u = ctx.model.users[i];
        if (i == kBareUser) continue;
        const auto devices = i == kRichUser ? richUserDevices(u) : typicalDevices(rng, i, u);
        for (const Device& d : devices) {
            auto& row = t.addRow();
            t.setText(row, id, rng.guidText());
            t.setText(row, owner, u.objectId);
            t.setText(row, alias, d.alias);
            t.setFlag(row, active, d.active);
            if (d.type == 4) {
                t.setText(row, smtp, d.number);
            } else if (!d.number.empty()) {
                t.setText(row, phone, d.number);
            }
            t.setInt(row, type, d.type);
            t.setInt(row, rings, d.type == 4 ? std::optional<int32_t>() : 4);
            t.setInt(row, retries, rng.between(0, 4));
        }
    }
    db.tables.push_back(t.take());
}

}  // namespace

void addUserDeviceTables(const FamilyContext& ctx, jet::NewDatabase& db) {
    SampleRandom rng = SampleRandom::forStream(ctx.options.seed, kStreamUsers + 100);
    addProxies(ctx, rng, db);
    addExtensions(ctx, db);
    addMwiDevices(ctx, rng, db);
    addNotificationDevices(ctx, rng, db);
}

}  // namespace tdv::sample
