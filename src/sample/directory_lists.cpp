// Public distribution lists, interview handlers, directory handlers and schedules.
#include <algorithm>
#include <set>

#include "sample/directory_families.h"
#include "sample/directory_table.h"

namespace tdv::sample {

namespace {

using jet::ColumnType;

// ObjectID, Alias, DisplayName, DTMFAccessID and VoiceName, the columns every kind of
// directory object shares.
struct ObjectColumns {
    int id, alias, name, extension, voice;
};

ObjectColumns declareObject(TableBuilder& t, bool withDetails = true) {
    ObjectColumns c{};
    c.id = t.column("ObjectID", ColumnType::Text, kObjectIdChars);
    c.alias = t.column("Alias", ColumnType::Text, kAliasChars);
    c.name = t.column("DisplayName", ColumnType::Text, kDisplayNameChars);
    c.extension = t.column("DTMFAccessID", ColumnType::Text, kExtensionChars, withDetails);
    c.voice = t.column("VoiceName", ColumnType::OLE, 0, withDetails);
    t.index("PrimaryKey", {"ObjectID"}, true);
    t.index("Alias", {"Alias"});
    if (withDetails) t.index("DTMFAccessID", {"DTMFAccessID"});
    return c;
}

TableBuilder::Row& fillObject(TableBuilder& t, const ObjectColumns& c, const PlannedObject& o,
                              size_t k, const FamilyContext& ctx, SampleRandom& rng) {
    auto& row = t.addRow();
    t.setText(row, c.id, o.objectId);
    t.setOptionalText(row, c.alias, o.alias);
    t.setText(row, c.name, o.displayName);
    t.setOptionalText(row, c.extension, o.extension);
    if (k == 2) {
        t.setBytes(row, c.voice, ctx.recordings.stub(11));
    } else if (k != 1) {
        t.setBytes(row, c.voice, ctx.recordings.recording(rng, k));
    }
    return row;
}

void addPublicLists(const FamilyContext& ctx, SampleRandom& rng, jet::NewDatabase& db) {
    const DirectoryModel& m = ctx.model;
    TableBuilder lists(ctx.variant, "PublicDistributionLists");
    const ObjectColumns c = declareObject(lists);
    const int owner = lists.column("AdministratorObjectID", ColumnType::Text, kObjectIdChars);
    const int created = lists.column("CreationTime", ColumnType::DateTime);
    for (size_t k = 0; k < m.publicLists.size(); ++k) {
        auto& row = fillObject(lists, c, m.publicLists[k], k, ctx, rng);
        if (!m.users.empty()) lists.setText(row, owner, m.users[k % m.users.size()].objectId);
        lists.setDate(row, created, m.backupStart - 200 - rng.between(0, 900));
    }
    db.tables.push_back(lists.take());

    TableBuilder members(ctx.variant, "PublicDistributionListMembers");
    const int list = members.column("DLObjectID", ColumnType::Text, kObjectIdChars);
    const int member = members.column("SubscriberObjectID", ColumnType::Text, kObjectIdChars);
    const int alias = members.column("SubscriberAlias", ColumnType::Text, kAliasChars);
    const int type = members.column("MemberObjectIDType", ColumnType::Integer);
    members.index("PrimaryKey", {"DLObjectID", "SubscriberObjectID"}, true);
    members.index("DLObjectID", {"DLObjectID"});
    members.index("SubscriberObjectID", {"SubscriberObjectID"});
    members.index("SubscriberAlias", {"SubscriberAlias"});
    auto addUser = [&](const PlannedObject& l, const PlannedUser& u) {
        auto& row = members.addRow();
        members.setText(row, list, l.objectId);
        members.setText(row, member, u.objectId);
        members.setText(row, alias, u.alias);
        members.setInt(row, type, 1);
    };
    // List 0 holds every user, list 2 is empty, list 3 holds list 1 besides a few users.
    for (size_t k = 0; k < m.publicLists.size() && !m.users.empty(); ++k) {
        const PlannedObject& l = m.publicLists[k];
        if (k == 2) continue;
        if (k == 0) {
            for (const PlannedUser& u : m.users) addUser(l, u);
            continue;
        }
        if (k == 3) {
            const PlannedObject& nested = m.publicLists[1];
            auto& row = members.addRow();
            members.setText(row, list, l.objectId);
            members.setText(row, member, nested.objectId);
            members.setOptionalText(row, alias, nested.alias);
            members.setInt(row, type, 2);
        }
        const size_t want = std::min<size_t>(m.users.size(), 2 + rng.below(29));
        const size_t start = rng.below(static_cast<uint32_t>(m.users.size()));
        std::set<size_t> chosen;
        for (size_t j = 0; chosen.size() < want; ++j) {
            const size_t u = (start + j * 7 + j / m.users.size()) % m.users.size();
            if (chosen.insert(u).second) addUser(l, m.users[u]);
        }
    }
    db.tables.push_back(members.take());
}

void addInterviewers(const FamilyContext& ctx, SampleRandom& rng, jet::NewDatabase& db) {
    const DirectoryModel& m = ctx.model;
    TableBuilder t(ctx.variant, "Interviewers");
    const ObjectColumns c = declareObject(t);
    const int recipient = t.column("RecipientObjectID", ColumnType::Text, kObjectIdChars);
    const int recipientType = t.column("RecipientObjectIDType", ColumnType::Integer);
    for (size_t k = 0; k < m.interviewers.size(); ++k) {
        auto& row = fillObject(t, c, m.interviewers[k], k, ctx, rng);
        if (!m.users.empty()) t.setText(row, recipient, m.users[k % m.users.size()].objectId);
        t.setInt(row, recipientType, 1);
    }
    db.tables.push_back(t.take());

    TableBuilder q(ctx.variant, "InterviewQuestions");
    const int parent = q.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
    const int alias = q.column("Alias", ColumnType::Text, 16);
    const int maxLen = q.column("MaxMsgLength", ColumnType::Integer);
    const int stream = q.column("Stream", ColumnType::OLE);
    const int text = q.column("StreamText", ColumnType::Text, 255);
    q.index("PrimaryKey", {"ParentObjectID", "Alias"}, true);
    q.index("ParentObjectID", {"ParentObjectID"});
    static const std::vector<std::string> questions = {
        "Please say your name and the best number to reach you.",
        "Which position are you applying for?",
        "Tell us about your experience with \"on call\" work.", "When could you start?",
        "Is there anything else we should know?"};
    // The second interviewer has no questions; the first holds every recording case.
    for (size_t k = 0; k < m.interviewers.size(); ++k) {
        if (k == 1) continue;
        const size_t count = k == 0 ? 5 : 2 + rng.below(3);
        for (size_t n = 0; n < count; ++n) {
            auto& row = q.addRow();
            q.setText(row, parent, m.interviewers[k].objectId);
            q.setText(row, alias, std::to_string(n + 1));
            if (!(k == 0 && n == 3)) q.setInt(row, maxLen, 30 * static_cast<int32_t>(1 + n % 3));
            if (k == 0 && n == 3) {
                // no recording at all
            } else if (k == 0 && n == 4) {
                q.setBytes(row, stream, ctx.recordings.stub(10));
            } else {
                q.setBytes(row, stream, ctx.recordings.recording(rng, k * 5 + n));
            }
            if (!(k == 0 && n == 4)) q.setText(row, text, questions[n % questions.size()]);
        }
    }
    db.tables.push_back(q.take());
}

void addDirectoryHandlers(const FamilyContext& ctx, SampleRandom& rng, jet::NewDatabase& db) {
    const DirectoryModel& m = ctx.model;
    const bool details = ctx.variant.schemaRevision >= kRevDirectoryHandlerDetails;
    TableBuilder t(ctx.variant, "NameLookupHandlers");
    const ObjectColumns c = declareObject(t, details);
    const int voiceEnabled = t.nullableFlag("VoiceEnabled", details);
    const int byFirstName = t.nullableFlag("SearchByFirstName", details);
    const int maxMatches = t.column("MaxMatches", ColumnType::Integer, 0, details);
    for (size_t k = 0; k < m.directoryHandlers.size(); ++k) {
        auto& row = fillObject(t, c, m.directoryHandlers[k], k, ctx, rng);
        t.setFlag(row, voiceEnabled, k == 2 ? Flag() : Flag(k % 2 == 0));
        t.setFlag(row, byFirstName, Flag(k == 1));
        t.setInt(row, maxMatches, 8);
    }
    db.tables.push_back(t.take());

    if (!ctx.variant.quorin) return;
    TableBuilder g(ctx.variant, "QRN_DirectoryHandlerGreetings");
    const int handler = g.column("DirectoryHandlerObjectID", ColumnType::Text, kObjectIdChars);
    const int language = g.column("LanguageCode", ColumnType::Long);
    const int greeting = g.column("Greeting", ColumnType::OLE);
    g.index("DirectoryHandlerObjectID", {"DirectoryHandlerObjectID"});
    static const std::optional<int32_t> languages[] = {1033, 33801, 1036, 12345};
    for (size_t k = 0; k < m.directoryHandlers.size(); ++k) {
        const size_t count = k == 0 ? 4 : k == 1 ? 0 : 1;
        for (size_t n = 0; n < count; ++n) {
            auto& row = g.addRow();
            g.setText(row, handler, m.directoryHandlers[k].objectId);
            g.setInt(row, language, languages[n]);
            g.setBytes(row, greeting, ctx.recordings.recording(rng, k));
        }
    }
    db.tables.push_back(g.take());
}

void addSchedules(const FamilyContext& ctx, jet::NewDatabase& db) {
    TableBuilder t(ctx.variant, "Schedules");
    const int id = t.column("ObjectID", ColumnType::Text, kObjectIdChars);
    const int alias = t.column("Alias", ColumnType::Text, kAliasChars);
    const int name = t.column("DisplayName", ColumnType::Text, kDisplayNameChars);
    const int holiday = t.nullableFlag("IsHolidaySchedule");
    t.index("PrimaryKey", {"ObjectID"}, true);
    for (size_t k = 0; k < ctx.model.schedules.size(); ++k) {
        const PlannedObject& s = ctx.model.schedules[k];
        auto& row = t.addRow();
        t.setText(row, id, s.objectId);
        t.setText(row, alias, "sched_" + std::to_string(k + 1));
        t.setText(row, name, s.displayName);
        t.setFlag(row, holiday, k == 3);
    }
    db.tables.push_back(t.take());
}

}  // namespace

void addListTables(const FamilyContext& ctx, jet::NewDatabase& db) {
    SampleRandom rng = SampleRandom::forStream(ctx.options.seed, kStreamLists);
    addPublicLists(ctx, rng, db);
    addInterviewers(ctx, rng, db);
    addDirectoryHandlers(ctx, rng, db);
    addSchedules(ctx, db);
}

}  // namespace tdv::sample
