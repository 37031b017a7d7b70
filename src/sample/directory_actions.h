// Where callers are sent: the action code, conversation name and target ObjectID stored in
// exit actions, after-message actions, menu entries and message rules.
//
// actionCases() lists one case of every action code (valid, invalid, Null) and every
// conversation the viewer names, with targets that exist (a stand-alone call handler, a
// user's primary call handler, an interview or directory handler), a primary handler no
// user owns, and targets that exist nowhere; the first objects of a directory get these
// cases in order, so every sample holds each of them whatever the seed. randomAction() gives
// the realistic mix for the rest.
#pragma once

#include <optional>
#include <string>

#include "sample/directory_model.h"
#include "sample/directory_random.h"

namespace tdv::sample {

struct StoredAction {
    std::optional<int32_t> action;
    std::optional<std::string> conversation;
    std::optional<std::string> objectId;
};

// Number of fixed cases.
size_t actionCaseCount();
// Fixed case k (0 <= k < actionCaseCount()) with targets taken from the model (an object
// missing from a small model falls back to an ObjectID that no table holds).
StoredAction actionCase(size_t k, const DirectoryModel& model);
// A typical action: mostly take a message, hang up, or go to a handler's greeting.
StoredAction randomAction(SampleRandom& rng, const DirectoryModel& model);

}  // namespace tdv::sample
