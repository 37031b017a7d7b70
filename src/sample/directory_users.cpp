// Subscribers and classes of service.
#include <array>

#include "sample/directory_actions.h"
#include "sample/directory_families.h"
#include "sample/directory_table.h"

namespace tdv::sample {

namespace {

using jet::ColumnType;

// A flag that is mostly `usual`, sometimes the other value, and (where the file can hold
// it) now and then Null.
Flag drawFlag(SampleRandom& rng, bool usual) {
    const uint32_t roll = rng.below(100);
    if (roll < 6) return std::nullopt;
    return roll < 80 ? usual : !usual;
}

constexpr std::array<int32_t, 7> kLanguages = {1033, 1033, 2057, 33801, 1036, 3082, 1031};

struct SubscriberColumns {
    int objectId, alias, firstName, lastName, displayName, extension, smtp, email, handler, cos,
        location, voiceName, listInDirectory, newMailUser, language, volume, speed, addressMode,
        billingId, pwCantChange, pwMustChange, pwDoesntExpire, exitAction, exitConversation,
        exitObjectId, department, created;
    std::array<int, 11> conversationFlags;
};

const std::array<const char*, 11> kConversationFlags = {
    "GreetByName",        "SayTotalNew",       "SayTotalNewVoice", "SayTotalNewEmail",
    "SayTotalNewFax",     "SayTotalSaved",     "SaySender",        "SayMsgNumber",
    "SayTimestampBefore", "SayTimestampAfter", "UseBriefPrompts"};

SubscriberColumns declareSubscribers(TableBuilder& t, const SampleVariant& v) {
    SubscriberColumns c{};
    c.objectId = t.column("ObjectID", ColumnType::Text, kObjectIdChars);
    c.alias = t.column("Alias", ColumnType::Text, kAliasChars);
    c.firstName = t.column("FirstName", ColumnType::Text, kNameChars);
    c.lastName = t.column("LastName", ColumnType::Text, kNameChars);
    c.displayName = t.column("DisplayName", ColumnType::Text, kDisplayNameChars);
    c.extension = t.column("DTMFAccessID", ColumnType::Text, kExtensionChars);
    c.smtp = t.column("SMTPAddress", ColumnType::Text, kAddressChars,
                      v.schemaRevision >= kRevSmtpAddress);
    c.email = t.column("EMAILAddress", ColumnType::Text, kAddressChars,
                       v.schemaRevision >= kRevEmailAddress);
    c.handler = t.column("CallHandlerObjectID", ColumnType::Text, kObjectIdChars);
    c.cos = t.column("COSObjectID", ColumnType::Text, kObjectIdChars);
    c.location = t.column("LocationObjectID", ColumnType::Text, kObjectIdChars);
    c.voiceName = t.column("VoiceName", ColumnType::OLE);
    c.listInDirectory = t.nullableFlag("ListInDirectory");
    c.newMailUser = t.nullableFlag("NewMailUser");
    c.language = t.column("Language", ColumnType::Long);
    c.volume = t.column("Volume", ColumnType::Integer);
    c.speed = t.column("Speed", ColumnType::Integer);
    for (size_t i = 0; i < kConversationFlags.size(); ++i)
        c.conversationFlags[i] = t.nullableFlag(kConversationFlags[i]);
    c.addressMode = t.column("AddressMode", ColumnType::Integer);
    c.billingId = t.column("BillingID", ColumnType::Text, 32);
    c.pwCantChange = t.nullableFlag("PWCantChange");
    c.pwMustChange = t.nullableFlag("PWMustChange");
    c.pwDoesntExpire = t.nullableFlag("PWDoesntExpire");
    c.exitAction = t.column("ExitAction", ColumnType::Integer);
    c.exitConversation = t.column("ExitConversation", ColumnType::Text, kNameChars);
    c.exitObjectId = t.column("ExitObjectID", ColumnType::Text, kObjectIdChars);
    c.department = t.column("Department", ColumnType::Text, kNameChars);
    c.created = t.column("CreationTime", ColumnType::DateTime);
    t.index("PrimaryKey", {"ObjectID"}, true);
    t.index("Alias", {"Alias"}, false, true);
    t.index("DTMFAccessID", {"DTMFAccessID"});
    t.index("CallHandlerObjectID", {"CallHandlerObjectID"});
    t.index("COSObjectID", {"COSObjectID"});
    return c;
}

void fillSubscriber(TableBuilder& t, const SubscriberColumns& c, const FamilyContext& ctx, size_t i,
                    SampleRandom& rng) {
    static const std::vector<std::string> departments = {
        "Sales", "Support",   "Finance",         "Engineering", "Facilities",
        "Legal", "Marketing", "Human Resources", "Nursing",     "Dispatch"};
    const PlannedUser& u = ctx.model.users[i];
    auto& row = t.addRow();
    t.setText(row, c.objectId, u.objectId);
    t.setText(row, c.alias, u.alias);
    t.setOptionalText(row, c.firstName, u.firstName);
    t.setOptionalText(row, c.lastName, u.lastName);
    t.setText(row, c.displayName, u.displayName);
    t.setOptionalText(row, c.extension, u.extension);
    if (!u.smtpAddress.empty()) t.setText(row, c.smtp, u.smtpAddress);
    if (!u.smtpAddress.empty() && i % 9 != 4) t.setText(row, c.email, u.smtpAddress);
    t.setText(row, c.handler, u.callHandlerId);
    t.setText(row, c.cos, u.cosId);
    if (i % 3 == 0) t.setText(row, c.location, ctx.model.classesOfService[0].objectId);

    // Voice names: none for the bare user, stubs of 10 and 11 bytes around the size
    // threshold, otherwise mostly recorded.
    if (i == kNoFirstName) {
        t.setBytes(row, c.voiceName, ctx.recordings.stub(10));
    } else if (i == kNoLastName) {
        t.setBytes(row, c.voiceName, ctx.recordings.stub(11));
    } else if (i != kBareUser && rng.percent(85)) {
        t.setBytes(row, c.voiceName, ctx.recordings.recording(rng, i));
    }

    t.setFlag(row, c.listInDirectory, i == kBareUser ? Flag() : drawFlag(rng, true));
    t.setFlag(row, c.newMailUser, i == kBareUser ? Flag() : drawFlag(rng, false));
    std::optional<int32_t> language = kLanguages[rng.below(kLanguages.size())];
    if (i == kBareUser) language.reset();
    if (i == kNoLastName) language = 0;
    if (i == kRichUser) language = 33801;
    t.setInt(row, c.language, language);
    if (i != kBareUser) {
        t.setInt(row, c.volume, i == kRichUser ? 50 : rng.percent(70) ? 50 : rng.between(20, 100));
        t.setInt(row, c.speed, i == kRichUser ? 150 : rng.percent(70) ? 100 : rng.between(50, 200));
    }
    for (int col : c.conversationFlags)
        t.setFlag(row, col, i == kBareUser ? Flag() : drawFlag(rng, true));
    const int32_t addressMode = i == kInvalidAddressMode ? 3 : static_cast<int32_t>(i % 3);
    t.setInt(row, c.addressMode, addressMode);
    if (rng.percent(40)) t.setText(row, c.billingId, std::to_string(rng.between(10000, 99999)));
    t.setFlag(row, c.pwCantChange, drawFlag(rng, false));
    t.setFlag(row, c.pwMustChange, drawFlag(rng, false));
    t.setFlag(row, c.pwDoesntExpire, drawFlag(rng, false));

    // Exit actions: the first users hold every fixed case, the rest a typical one.
    const StoredAction exit =
        i < actionCaseCount() ? actionCase(i, ctx.model) : randomAction(rng, ctx.model);
    t.setInt(row, c.exitAction, exit.action);
    t.setOptionalText(row, c.exitConversation, exit.conversation);
    t.setOptionalText(row, c.exitObjectId, exit.objectId);
    if (rng.percent(75)) t.setText(row, c.department, rng.pick(departments));
    t.setDate(row, c.created,
              ctx.model.backupStart - 30 - rng.between(0, 2000) + rng.between(0, 86399) / 86400.0);
}

}  // namespace

void addSubscriberTables(const FamilyContext& ctx, jet::NewDatabase& db) {
    SampleRandom rng = SampleRandom::forStream(ctx.options.seed, kStreamUsers);
    TableBuilder subscribers(ctx.variant, "Subscribers");
    const SubscriberColumns c = declareSubscribers(subscribers, ctx.variant);
    subscribers.reserveRows(ctx.model.users.size());
    for (size_t i = 0; i < ctx.model.users.size(); ++i) fillSubscriber(subscribers, c, ctx, i, rng);
    db.tables.push_back(subscribers.take());

    TableBuilder cos(ctx.variant, "COS");
    const int id = cos.column("ObjectID", ColumnType::Text, kObjectIdChars);
    const int alias = cos.column("Alias", ColumnType::Text, kAliasChars);
    const int name = cos.column("DisplayName", ColumnType::Text, kDisplayNameChars);
    const int maxMsg = cos.column("MaxMsgLength", ColumnType::Integer);
    const int storage = cos.column("MaxStorageMB", ColumnType::Long);
    cos.index("PrimaryKey", {"ObjectID"}, true);
    if (!ctx.variant.emptyDirectory) {
        for (size_t k = 0; k < ctx.model.classesOfService.size(); ++k) {
            const PlannedObject& o = ctx.model.classesOfService[k];
            auto& row = cos.addRow();
            cos.setText(row, id, o.objectId);
            cos.setText(row, alias, "cos_" + std::to_string(k + 1));
            cos.setText(row, name, o.displayName);
            cos.setInt(row, maxMsg, 60 + 60 * static_cast<int32_t>(k));
            cos.setInt(row, storage,
                       k == 4 ? std::optional<int32_t>() : static_cast<int32_t>(50 * (1 + k)));
        }
    }
    db.tables.push_back(cos.take());
}

}  // namespace tdv::sample
