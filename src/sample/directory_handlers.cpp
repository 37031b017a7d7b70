// Call handlers: stand-alone ones with owners and recipients of every ObjectID type, and
// the primary call handler of each user.
#include "sample/directory_actions.h"
#include "sample/directory_families.h"
#include "sample/directory_table.h"

namespace tdv::sample {

std::vector<HandlerRef> allCallHandlers(const DirectoryModel& model) {
    std::vector<HandlerRef> out;
    out.reserve(model.callHandlers.size() + model.users.size() + 1);
    for (const PlannedObject& h : model.callHandlers) out.push_back({&h, nullptr, h.objectId, 0});
    if (!model.users.empty()) out.push_back({nullptr, nullptr, model.orphanPrimaryHandlerId, 0});
    for (size_t i = 0; i < model.users.size(); ++i) {
        if (i == kNoPrimaryHandler) continue;
        out.push_back({nullptr, &model.users[i], model.users[i].callHandlerId, 0});
    }
    for (size_t k = 0; k < out.size(); ++k) out[k].ordinal = k;
    return out;
}

namespace {

using jet::ColumnType;

struct HandlerColumns {
    int objectId, alias, textName, extension, isPrimary, voiceName, admin, adminType, recipient,
        recipientType, schedule, language, maxMsgLen, editMsg, sendUrgent, afterAction,
        afterConversation, afterObjectId, playAfterMessage, created;
};

HandlerColumns declareHandlers(TableBuilder& t) {
    HandlerColumns c{};
    c.objectId = t.column("ObjectID", ColumnType::Text, kObjectIdChars);
    c.alias = t.column("Alias", ColumnType::Text, kAliasChars);
    c.textName = t.column("TextName", ColumnType::Text, kDisplayNameChars);
    c.extension = t.column("DTMFAccessID", ColumnType::Text, kExtensionChars);
    c.isPrimary = t.column("IsPrimary", ColumnType::Integer);
    c.voiceName = t.column("VoiceName", ColumnType::OLE);
    c.admin = t.column("AdministratorObjectID", ColumnType::Text, kObjectIdChars);
    c.adminType = t.column("AdministratorObjectIDType", ColumnType::Integer);
    c.recipient = t.column("RecipientObjectID", ColumnType::Text, kObjectIdChars);
    c.recipientType = t.column("RecipientObjectIDType", ColumnType::Integer);
    c.schedule = t.column("ScheduleObjectName", ColumnType::Text, kNameChars);
    c.language = t.column("Language", ColumnType::Long);
    c.maxMsgLen = t.column("MaxMsgLen", ColumnType::Integer);
    c.editMsg = t.nullableFlag("EditMsg");
    c.sendUrgent = t.nullableFlag("SendUrgentMsg");
    c.afterAction = t.column("AfterMessageAction", ColumnType::Integer);
    c.afterConversation = t.column("AfterMessageConversation", ColumnType::Text, kNameChars);
    c.afterObjectId = t.column("AfterMessageObjectID", ColumnType::Text, kObjectIdChars);
    c.playAfterMessage = t.nullableFlag("PlayAfterMessage");
    c.created = t.column("CreationTime", ColumnType::DateTime);
    t.index("PrimaryKey", {"ObjectID"}, true);
    t.index("Alias", {"Alias"});
    t.index("DTMFAccessID", {"DTMFAccessID"});
    t.index("RecipientObjectID", {"RecipientObjectID"});
    return c;
}

struct Reference {
    std::optional<std::string> objectId;
    std::optional<int32_t> type;
};

// Owners and recipients of stand-alone handlers: users (types 1 and 102), public lists
// (type 2), unknown types, targets that do not exist, and none.
Reference ownerOrRecipient(size_t k, bool recipient, const DirectoryModel& m, SampleRandom& rng) {
    const std::string user = m.users.empty() ? m.missingObjectId : rng.pick(m.users).objectId;
    const std::string list = m.publicLists.empty() ? m.missingObjectId : m.publicLists[0].objectId;
    switch (k % 6) {
        case 0:
            return {user, 1};
        case 1:
            return {list, 2};
        case 2:
            return {user, 102};
        case 3:
            return recipient ? Reference{m.missingObjectId, 2} : Reference{user, 7};
        case 4:
            return recipient ? Reference{user, 9} : Reference{};
        default:
            return recipient ? Reference{std::nullopt, 1} : Reference{m.missingObjectId, 1};
    }
}

void fillStandalone(TableBuilder& t, const HandlerColumns& c, const FamilyContext& ctx,
                    const PlannedObject& h, size_t k, SampleRandom& rng) {
    const DirectoryModel& m = ctx.model;
    auto& row = t.addRow();
    t.setText(row, c.objectId, h.objectId);
    t.setOptionalText(row, c.alias, h.alias);
    t.setText(row, c.textName, h.displayName);
    if (k % 13 == 4) {
        t.setText(row, c.extension, "");
    } else {
        t.setOptionalText(row, c.extension, h.extension);
    }
    t.setInt(row, c.isPrimary, 0);
    if (k == 1) {
        t.setBytes(row, c.voiceName, ctx.recordings.stub(10));
    } else if (k % 4 != 3) {
        t.setBytes(row, c.voiceName, ctx.recordings.recording(rng, k));
    }
    const Reference owner = ownerOrRecipient(k, false, m, rng);
    const Reference to = ownerOrRecipient(k, true, m, rng);
    t.setOptionalText(row, c.admin, owner.objectId);
    t.setInt(row, c.adminType, owner.type);
    t.setOptionalText(row, c.recipient, to.objectId);
    t.setInt(row, c.recipientType, to.type);
    if (k % 9 != 4 && !m.schedules.empty())
        t.setText(row, c.schedule, m.schedules[k % m.schedules.size()].displayName);
    static const std::optional<int32_t> languages[] = {std::nullopt, 0, 1033, 33801, 1036, 1033};
    t.setInt(row, c.language, languages[k % 6]);
    t.setInt(row, c.maxMsgLen,
             k % 10 == 2 ? std::optional<int32_t>() : 30 * (1 + rng.between(0, 9)));
    t.setFlag(row, c.editMsg, k % 5 == 2 ? Flag() : Flag(k % 2 == 0));
    t.setFlag(row, c.sendUrgent, k % 7 == 3 ? Flag() : Flag(k % 3 != 0));
    const StoredAction after = actionCase(k * 3 + 1, m);
    t.setInt(row, c.afterAction, after.action);
    t.setOptionalText(row, c.afterConversation, after.conversation);
    t.setOptionalText(row, c.afterObjectId, after.objectId);
    t.setFlag(row, c.playAfterMessage, true);
    t.setDate(row, c.created, m.backupStart - 400 - rng.between(0, 1500));
}

void fillPrimary(TableBuilder& t, const HandlerColumns& c, const FamilyContext& ctx,
                 const HandlerRef& h, SampleRandom& rng) {
    const DirectoryModel& m = ctx.model;
    auto& row = t.addRow();
    t.setText(row, c.objectId, h.objectId);
    t.setInt(row, c.isPrimary, 1);
    if (h.user) {
        const PlannedUser& u = *h.user;
        // Some primary handlers carry no alias of their own (shown by their text name).
        if (h.ordinal % 10 != 9) t.setText(row, c.alias, u.alias);
        t.setText(row, c.textName, u.displayName);
        t.setOptionalText(row, c.extension, u.extension);
        t.setText(row, c.admin, u.objectId);
        t.setInt(row, c.adminType, 1);
        t.setText(row, c.recipient, u.objectId);
        t.setInt(row, c.recipientType, 1);
    } else {
        t.setText(row, c.alias, "ch_departed_user");
        t.setText(row, c.textName, "Departed User");
        t.setInt(row, c.adminType, 1);
        t.setText(row, c.recipient, m.missingObjectId);
        t.setInt(row, c.recipientType, 1);
    }
    if (!m.schedules.empty()) t.setText(row, c.schedule, m.schedules[h.ordinal % 2].displayName);
    if (rng.percent(10)) t.setInt(row, c.language, 1033);
    t.setInt(row, c.maxMsgLen, rng.percent(80) ? 300 : 120);
    t.setFlag(row, c.editMsg, rng.percent(90));
    t.setFlag(row, c.sendUrgent, rng.percent(50));
    const StoredAction after =
        rng.percent(85) ? StoredAction{1, std::string(), std::nullopt} : randomAction(rng, m);
    t.setInt(row, c.afterAction, after.action);
    t.setOptionalText(row, c.afterConversation, after.conversation);
    t.setOptionalText(row, c.afterObjectId, after.objectId);
    t.setFlag(row, c.playAfterMessage, true);
    t.setDate(row, c.created, m.backupStart - 30 - rng.between(0, 2000));
}

}  // namespace

void addHandlerTables(const FamilyContext& ctx, jet::NewDatabase& db) {
    SampleRandom rng = SampleRandom::forStream(ctx.options.seed, kStreamHandlers);
    const std::vector<HandlerRef> handlers = allCallHandlers(ctx.model);
    TableBuilder t(ctx.variant, "CallHandlers");
    const HandlerColumns c = declareHandlers(t);
    t.reserveRows(handlers.size());
    for (const HandlerRef& h : handlers) {
        if (h.standalone) {
            fillStandalone(t, c, ctx, *h.standalone, h.ordinal, rng);
        } else {
            fillPrimary(t, c, ctx, h, rng);
        }
    }
    db.tables.push_back(t.take());
    addHandlerRuleTables(ctx, handlers, db);
}

}  // namespace tdv::sample
