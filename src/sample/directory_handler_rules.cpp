// The rules of each call handler: transfer (contact) rules, greetings (message rules),
// one-key menu entries and, for the newer product, the greeting recordings per language.
#include <algorithm>

#include "sample/directory_actions.h"
#include "sample/directory_families.h"
#include "sample/directory_table.h"

namespace tdv::sample {

namespace {

using jet::ColumnType;

// Rule expiry dates far from any test run: one long past, one far ahead.
double pastExpiry() {
    return oleDate(2019, 3, 31, 17, 0);
}
double futureExpiry() {
    return oleDate(2099, 12, 31, 23, 59);
}

const std::vector<std::string> kGreetings = {"Standard", "Off Hours", "Busy", "Alternate",
                                             "Internal"};
const std::vector<std::string> kKeys = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "*", "#"};

class ContactRuleTable {
public:
    explicit ContactRuleTable(const SampleVariant& v) : t_(v, "ContactRules") {
        id_ = t_.column("ObjectID", ColumnType::Text, kObjectIdChars);
        parent_ = t_.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
        alias_ = t_.column("Alias", ColumnType::Text, kAliasChars);
        expires_ = t_.column("TimeExpires", ColumnType::DateTime);
        action_ = t_.column("Action", ColumnType::Integer);
        type_ = t_.column("XFerType", ColumnType::Integer);
        ext_ = t_.column("Extension", ColumnType::Text, kExtensionChars);
        holding_ = t_.column("XFerHoldingMode", ColumnType::Integer);
        announce_ = t_.nullableFlag("XFerAnnounce");
        confirm_ = t_.nullableFlag("XFerConfirm");
        introduce_ = t_.nullableFlag("XFerIntroduce");
        screening_ = t_.nullableFlag("XFerScreening");
        rings_ = t_.column("XFerRings", ColumnType::Integer);
        t_.index("PrimaryKey", {"ObjectID"}, true);
        t_.index("ParentObjectID", {"ParentObjectID"});
    }

    // Rule r of handler h; the first handlers walk through every combination of settings.
    void add(const HandlerRef& h, size_t r, const std::optional<std::string>& handlerExt,
             SampleRandom& rng) {
        const size_t k = h.ordinal * 3 + r;
        auto& row = t_.addRow();
        t_.setText(row, id_, rng.guidText());
        t_.setText(row, parent_, h.objectId);
        t_.setText(row, alias_, r == 0 ? "Standard" : r == 1 ? "Alternate" : "Off Hours");
        if (r == 1) t_.setDate(row, expires_, k % 2 == 0 ? pastExpiry() : futureExpiry());
        if (r == 2 && k % 4 == 1) t_.setDate(row, expires_, futureExpiry());
        const int32_t action = static_cast<int32_t>((k / 2) % 2);
        t_.setInt(row, action_, action);
        t_.setInt(row, type_, static_cast<int32_t>((k / 3) % 2));
        if (k % 5 != 1) {
            t_.setText(row, ext_,
                       handlerExt && k % 2 ? *handlerExt
                                           : "9" + std::to_string(rng.between(5550000, 5559999)));
        }
        t_.setInt(row, holding_, static_cast<int32_t>(k % 4));
        const Flag nullInTheMiddle = k % 16 == 6 ? Flag() : Flag(true);
        t_.setFlag(row, announce_, k & 1 ? nullInTheMiddle : Flag(false));
        t_.setFlag(row, confirm_, Flag((k & 2) != 0));
        t_.setFlag(row, introduce_, Flag((k & 4) != 0));
        t_.setFlag(row, screening_, k % 16 == 9 ? Flag() : Flag((k & 8) != 0));
        t_.setInt(row, rings_, 4);
    }

    jet::NewTableWithRows take() { return t_.take(); }

private:
    TableBuilder t_;
    int id_, parent_, alias_, expires_, action_, type_, ext_, holding_, announce_, confirm_,
        introduce_, screening_, rings_;
};

class MessageRuleTable {
public:
    explicit MessageRuleTable(const SampleVariant& v) : t_(v, "MessagingRules") {
        id_ = t_.column("ObjectID", ColumnType::Text, kObjectIdChars);
        parent_ = t_.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
        alias_ = t_.column("Alias", ColumnType::Text, kAliasChars);
        expires_ = t_.column("TimeExpires", ColumnType::DateTime);
        playWhat_ = t_.column("PlayWhat", ColumnType::Integer);
        greeting_ = t_.column("Greeting", ColumnType::OLE);
        ignoreDigits_ = t_.nullableFlag("IgnoreDigits");
        reprompts_ = t_.column("Reprompts", ColumnType::Integer);
        action_ = t_.column("Action", ColumnType::Integer);
        conversation_ = t_.column("ConversationName", ColumnType::Text, kNameChars);
        destination_ = t_.column("DestinationObjectID", ColumnType::Text, kObjectIdChars);
        delay_ = t_.column("RepromptDelay", ColumnType::Integer);
        t_.index("PrimaryKey", {"ObjectID"}, true);
        t_.index("ParentObjectID", {"ParentObjectID"});
    }

    // Greeting r of handler h; returns the recording stored (empty when none).
    std::vector<uint8_t> add(const HandlerRef& h, size_t r, const FamilyContext& ctx,
                             SampleRandom& rng) {
        const size_t k = h.ordinal * kGreetings.size() + r;
        auto& row = t_.addRow();
        t_.setText(row, id_, rng.guidText());
        t_.setText(row, parent_, h.objectId);
        t_.setText(row, alias_, kGreetings[r]);
        if (r == 3) {
            const uint32_t e = static_cast<uint32_t>(h.ordinal % 3);
            if (e != 2) t_.setDate(row, expires_, e == 0 ? pastExpiry() : futureExpiry());
        }
        // Standard greetings walk through system, custom and blank; the others are mostly
        // system; one greeting holds a source number the viewer does not know.
        int32_t playWhat = r == 0 ? static_cast<int32_t>(h.ordinal % 3)
                                  : (rng.percent(75) ? 0 : static_cast<int32_t>(rng.below(3)));
        if (h.ordinal == 2 && r == 4) playWhat = 3;
        t_.setInt(row, playWhat_, playWhat);
        std::vector<uint8_t> recording;
        if (playWhat == 1) {
            recording = h.ordinal == 4 && r == 0 ? ctx.recordings.stub(9)
                                                 : ctx.recordings.recording(rng, h.ordinal);
            t_.setBytes(row, greeting_, recording);
        }
        t_.setFlag(row, ignoreDigits_, k % 11 == 5 ? Flag() : Flag(k % 4 == 3));
        t_.setInt(row, reprompts_,
                  k % 17 == 8 ? std::optional<int32_t>() : static_cast<int32_t>(k % 4));
        const StoredAction after = k < actionCaseCount()
                                       ? actionCase(k, ctx.model)
                                       : StoredAction{4, std::nullopt, std::nullopt};
        t_.setInt(row, action_, after.action);
        t_.setOptionalText(row, conversation_, after.conversation);
        t_.setOptionalText(row, destination_, after.objectId);
        t_.setInt(row, delay_, 2);
        return recording;
    }

    jet::NewTableWithRows take() { return t_.take(); }

private:
    TableBuilder t_;
    int id_, parent_, alias_, expires_, playWhat_, greeting_, ignoreDigits_, reprompts_, action_,
        conversation_, destination_, delay_;
};

class MenuEntryTable {
public:
    explicit MenuEntryTable(const SampleVariant& v) : t_(v, "MenuEntries") {
        parent_ = t_.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
        alias_ = t_.column("Alias", ColumnType::Text, 8);
        action_ = t_.column("Action", ColumnType::Integer);
        conversation_ = t_.column("ConversationName", ColumnType::Text, kNameChars);
        destination_ = t_.column("DestinationObjectID", ColumnType::Text, kObjectIdChars);
        locked_ = t_.nullableFlag("Locked");
        t_.index("PrimaryKey", {"ParentObjectID", "Alias"}, true);
        t_.index("DestinationObjectID", {"DestinationObjectID"});
    }

    void add(const HandlerRef& h, size_t key, const StoredAction& a, Flag locked) {
        auto& row = t_.addRow();
        t_.setText(row, parent_, h.objectId);
        t_.setText(row, alias_, kKeys[key]);
        t_.setInt(row, action_, a.action);
        t_.setOptionalText(row, conversation_, a.conversation);
        t_.setOptionalText(row, destination_, a.objectId);
        t_.setFlag(row, locked_, locked);
    }

    jet::NewTableWithRows take() { return t_.take(); }

private:
    TableBuilder t_;
    int parent_, alias_, action_, conversation_, destination_, locked_;
};

// Stand-alone handlers have all twelve keys: the first ones hold every fixed action case in
// turn, the rest mostly "ignore". A user's primary handler has a few keys set.
void addMenuEntries(MenuEntryTable& menu, const HandlerRef& h, const DirectoryModel& m,
                    SampleRandom& rng) {
    if (h.standalone) {
        for (size_t key = 0; key < kKeys.size(); ++key) {
            const size_t k = h.ordinal * kKeys.size() + key;
            StoredAction a = k < actionCaseCount() ? actionCase(k, m)
                             : rng.percent(70)     ? StoredAction{0, std::nullopt, std::nullopt}
                                                   : randomAction(rng, m);
            menu.add(h, key, a, k % 9 == 4 ? Flag() : Flag(key == 0));
        }
        return;
    }
    const uint32_t count = rng.below(4);
    std::vector<size_t> keys;
    if (count > 0) keys.push_back(0);
    for (uint32_t j = 1; j < count; ++j) {
        const size_t key = 1 + rng.below(9);
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
    }
    for (size_t key : keys) {
        StoredAction a =
            key == 0 && !m.callHandlers.empty()
                ? StoredAction{2, std::string("PHTransfer"), m.callHandlers[0].objectId}
                : randomAction(rng, m);
        menu.add(h, key, a, false);
    }
}

class GreetingStreamTable {
public:
    explicit GreetingStreamTable(const SampleVariant& v) : t_(v, "QRN_GreetingStreams") {
        handler_ = t_.column("CallHandlerObjectID", ColumnType::Text, kObjectIdChars);
        type_ = t_.column("GreetingType", ColumnType::Text, 32);
        language_ = t_.column("LanguageCode", ColumnType::Long);
        greeting_ = t_.column("Greeting", ColumnType::OLE);
        t_.index("CallHandlerObjectID", {"CallHandlerObjectID"});
    }

    // The recording in US English, and for the first handlers also in English TDD/TTY,
    // French, a language code no system knows, and one row without a language code.
    void add(const HandlerRef& h, const std::string& greeting, const std::vector<uint8_t>& wav) {
        static const std::optional<int32_t> extra[] = {33801, 1036, 12345, std::nullopt};
        auto put = [&](std::optional<int32_t> language) {
            auto& row = t_.addRow();
            t_.setText(row, handler_, h.objectId);
            t_.setText(row, type_, greeting);
            t_.setInt(row, language_, language);
            t_.setBytes(row, greeting_, wav);
        };
        put(1033);
        if (h.ordinal < 12) put(extra[h.ordinal % 4]);
        if (h.ordinal < 4 && h.ordinal % 4 != 0) put(33801);
    }

    jet::NewTableWithRows take() { return t_.take(); }

private:
    TableBuilder t_;
    int handler_, type_, language_, greeting_;
};

}  // namespace

void addHandlerRuleTables(const FamilyContext& ctx, const std::vector<HandlerRef>& handlers,
                          jet::NewDatabase& db) {
    SampleRandom rng = SampleRandom::forStream(ctx.options.seed, kStreamHandlers + 100);
    ContactRuleTable contacts(ctx.variant);
    MessageRuleTable greetings(ctx.variant);
    MenuEntryTable menu(ctx.variant);
    GreetingStreamTable streams(ctx.variant);
    for (const HandlerRef& h : handlers) {
        const std::optional<std::string> ext = h.standalone ? h.standalone->extension
                                               : h.user     ? h.user->extension
                                                            : std::nullopt;
        for (size_t r = 0; r < 3; ++r) contacts.add(h, r, ext, rng);
        for (size_t r = 0; r < kGreetings.size(); ++r) {
            const std::vector<uint8_t> wav = greetings.add(h, r, ctx, rng);
            if (ctx.variant.quorin && wav.size() > 10) streams.add(h, kGreetings[r], wav);
        }
        addMenuEntries(menu, h, ctx.model, rng);
    }
    db.tables.push_back(contacts.take());
    db.tables.push_back(greetings.take());
    db.tables.push_back(menu.take());
    if (ctx.variant.quorin) db.tables.push_back(streams.take());
}

}  // namespace tdv::sample
