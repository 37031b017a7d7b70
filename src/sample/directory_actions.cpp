#include "sample/directory_actions.h"

#include <vector>

namespace tdv::sample {

namespace {

enum class Target {
    None,
    Handler,        // a stand-alone call handler
    UserPrimary,    // a user's primary call handler
    OrphanPrimary,  // a primary call handler that no user owns
    Interviewer,
    DirectoryHandler,
    Missing  // an ObjectID held by no table
};

struct Case {
    std::optional<int32_t> action;
    const char* conversation;  // nullptr: Null
    Target target;
};

const std::vector<Case>& cases() {
    static const std::vector<Case> c = {
        {0, nullptr, Target::None},
        {1, "", Target::None},
        {4, nullptr, Target::None},
        {5, "", Target::None},
        {3, nullptr, Target::None},
        {-1, nullptr, Target::None},
        {6, "", Target::None},
        {std::nullopt, "PHGreeting", Target::Handler},
        {2, "PHGreeting", Target::Handler},
        {2, "PHGreeting", Target::UserPrimary},
        {2, "phgreeting", Target::Missing},
        {2, "PHGreeting", Target::OrphanPrimary},
        {2, "PHTransfer", Target::Handler},
        {2, "PHTransfer", Target::UserPrimary},
        {2, "PHTRANSFER", Target::Missing},
        {2, "chInterview", Target::Interviewer},
        {2, "PHInterview", Target::Interviewer},
        {2, "PHInterview", Target::Missing},
        {2, "AD", Target::DirectoryHandler},
        {2, "ad", Target::Missing},
        {2, "SubSignIn", Target::None},
        {2, "GreetingsAdministrator", Target::None},
        {2, "BroadcastMessageAdministrator", Target::None},
        {2, "AvConvSubSystemTransfer", Target::None},
        {2, "AvConvSystemTransfer", Target::None},
        {2, "ConvHotelCheckedOut", Target::None},
        {2, "ConvCVMMBoxReset", Target::None},
        {2, "AvConvEasySignIn", Target::None},
        {2, "TRANSFERALTCONTACTNUMBER", Target::None},
        {2, "REVERSETRAP", Target::None},
        {2, "CONVUTILSLIVERECORD", Target::None},
        {2, "SUBSYSTRANSFER", Target::None},
        {2, "SYSTEMTRANSFER", Target::None},
        {2, "SUBSIGNINARCHIVEDMAILBOX", Target::None},
        {2, "EasySignIn", Target::None},
        {2, "Foo", Target::None},
        {2, nullptr, Target::None},
    };
    return c;
}

std::string pickTarget(Target t, const DirectoryModel& m, size_t k) {
    auto from = [&](const auto& objects, size_t skip) -> std::string {
        if (objects.empty()) return m.missingObjectId;
        return objects[(k + skip) % objects.size()].objectId;
    };
    switch (t) {
        case Target::Handler:
            return from(m.callHandlers, 0);
        case Target::UserPrimary:
            // Skip the user whose primary handler is missing.
            if (m.users.empty()) return m.missingObjectId;
            return m.users[k % m.users.size() == kNoPrimaryHandler ? 0 : k % m.users.size()]
                .callHandlerId;
        case Target::OrphanPrimary:
            return m.orphanPrimaryHandlerId;
        case Target::Interviewer:
            return from(m.interviewers, 0);
        case Target::DirectoryHandler:
            return from(m.directoryHandlers, 0);
        case Target::Missing:
            return m.missingObjectId;
        case Target::None:
            break;
    }
    return "";
}

}  // namespace

size_t actionCaseCount() {
    return cases().size();
}

StoredAction actionCase(size_t k, const DirectoryModel& model) {
    const Case& c = cases()[k % cases().size()];
    StoredAction out;
    out.action = c.action;
    if (c.conversation) out.conversation = c.conversation;
    if (c.target != Target::None) out.objectId = pickTarget(c.target, model, k);
    return out;
}

StoredAction randomAction(SampleRandom& rng, const DirectoryModel& model) {
    const uint32_t roll = rng.below(100);
    if (roll < 45) return {4, std::nullopt, std::nullopt};
    if (roll < 65) return {1, std::string(), std::nullopt};
    if (roll < 75 && !model.callHandlers.empty())
        return {2, std::string("PHGreeting"), rng.pick(model.callHandlers).objectId};
    if (roll < 82 && !model.users.empty())
        return {2, std::string("PHTransfer"), rng.pick(model.users).callHandlerId};
    if (roll < 88) return {2, std::string("SubSignIn"), std::nullopt};
    if (roll < 92 && !model.directoryHandlers.empty())
        return {2, std::string("AD"), rng.pick(model.directoryHandlers).objectId};
    if (roll < 95 && !model.interviewers.empty())
        return {2, std::string("PHInterview"), rng.pick(model.interviewers).objectId};
    return {0, std::nullopt, std::nullopt};
}

}  // namespace tdv::sample
