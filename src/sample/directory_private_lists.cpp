// Users' private distribution lists and their members (users and public lists).
#include <algorithm>

#include "sample/directory_families.h"
#include "sample/directory_table.h"

namespace tdv::sample {

namespace {

using jet::ColumnType;

struct Member {
    std::string objectId, alias;
    int32_t type;  // 1 user, 2 public list
};

Member randomMember(SampleRandom& rng, const DirectoryModel& m) {
    if (!m.publicLists.empty() && rng.percent(15)) {
        const PlannedObject& l = rng.pick(m.publicLists);
        return {l.objectId, l.alias.value_or(l.displayName), 2};
    }
    const PlannedUser& u = rng.pick(m.users);
    return {u.objectId, u.alias, 1};
}

}  // namespace

void addPrivateListTables(const FamilyContext& ctx, jet::NewDatabase& db) {
    SampleRandom rng = SampleRandom::forStream(ctx.options.seed, kStreamUsers + 200);
    const DirectoryModel& m = ctx.model;

    TableBuilder lists(ctx.variant, "PrivateLists");
    const int id = lists.column("ObjectID", ColumnType::Text, kObjectIdChars);
    const int owner = lists.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
    const int alias = lists.column("Alias", ColumnType::Text, kAliasChars);
    const int name = lists.column("DisplayName", ColumnType::Text, kDisplayNameChars);
    const int number = lists.column("DTMFAccessID", ColumnType::Text, kExtensionChars);
    const int voice = lists.column("VoiceName", ColumnType::OLE);
    lists.index("PrimaryKey", {"ObjectID"}, true);
    lists.index("ParentObjectID", {"ParentObjectID"});

    TableBuilder members(ctx.variant, "PrivateListMembers");
    const int list = members.column("ParentObjectID", ColumnType::Text, kObjectIdChars);
    const int memberId = members.column("MemberObjectID", ColumnType::Text, kObjectIdChars);
    const int memberAlias = members.column("Alias", ColumnType::Text, kAliasChars);
    const int memberType = members.column("ObjectIDType", ColumnType::Integer);
    members.index("PrimaryKey", {"ParentObjectID", "MemberObjectID"}, true);
    members.index("ParentObjectID", {"ParentObjectID"});
    members.index("Alias", {"Alias"});

    static const std::vector<std::string> listNames = {"Team Leads", "Family", "Project Crew",
                                                       "Night Shift", "Friends"};
    for (size_t i = 0; i < m.users.size(); ++i) {
        const PlannedUser& u = m.users[i];
        const size_t count = i == kRichUser ? 2 : i == kBareUser ? 0 : rng.percent(12) ? 1 : 0;
        for (size_t k = 0; k < count; ++k) {
            const std::string listId = rng.guidText();
            const std::string& listName = i == kRichUser ? listNames[k] : rng.pick(listNames);
            auto& row = lists.addRow();
            lists.setText(row, id, listId);
            lists.setText(row, owner, u.objectId);
            lists.setText(row, alias, u.alias + "_pl" + std::to_string(k + 1));
            lists.setText(row, name, listName);
            lists.setText(row, number, std::to_string(k + 1));
            if (rng.percent(30)) lists.setBytes(row, voice, ctx.recordings.recording(rng, i));

            // The rich user's lists hold three and two members: users and a public list.
            std::vector<Member> chosen;
            if (i == kRichUser) {
                const size_t n = k == 0 ? 3 : 2;
                for (size_t j = 0; j < n && j + 1 < m.users.size(); ++j)
                    chosen.push_back({m.users[j + 1].objectId, m.users[j + 1].alias, 1});
                if (k == 1 && !m.publicLists.empty()) {
                    const PlannedObject& pl = m.publicLists[0];
                    if (!chosen.empty()) chosen.pop_back();
                    chosen.push_back({pl.objectId, pl.alias.value_or(pl.displayName), 2});
                }
            } else {
                const uint32_t n = 1 + rng.below(4);
                for (uint32_t j = 0; j < n; ++j) chosen.push_back(randomMember(rng, m));
            }
            std::vector<std::string> seen;
            for (const Member& mem : chosen) {
                if (std::find(seen.begin(), seen.end(), mem.objectId) != seen.end()) continue;
                seen.push_back(mem.objectId);
                auto& mrow = members.addRow();
                members.setText(mrow, list, listId);
                members.setText(mrow, memberId, mem.objectId);
                members.setText(mrow, memberAlias, mem.alias);
                members.setInt(mrow, memberType, mem.type);
            }
        }
    }
    db.tables.push_back(lists.take());
    db.tables.push_back(members.take());
}

}  // namespace tdv::sample
