// Readable texts for coded references: an action (code, conversation name, target ObjectID)
// and an owner or recipient (ObjectID, ObjectID type). Both look the target up in the open
// backup and append the raw reference in square brackets.
#pragma once

#include <cstdint>
#include <string>

#include "main_state/frm_main.h"

namespace tdv::reports {

std::string strConstructActionString(app::FrmMain& form, int16_t action,
                                     const std::string& conversationName,
                                     const std::string& objectID);
std::string strGetOwnerOrRecipient(app::FrmMain& form, const std::string& objectID,
                                   int16_t objectIDType);

// A 16-bit number with a leading blank when zero or positive ("-1", " 1").
std::string signPositionNumber(int16_t value);

}  // namespace tdv::reports
