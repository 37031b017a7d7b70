// Finding one object of a list type by what a user names it, without filling the list.
//
// A list row is named by its ObjectID, or by its alias or display name when exactly one row
// has it. Filling a list to look for that row reads and sorts every object of the type;
// this asks the table for the rows whose ObjectID, alias or display name equals the name
// (the ObjectID and alias through their indexes) and keeps those whose cell, as the list
// would show it, satisfies `same` (the caller's rule for equal names).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "main_state/frm_main.h"

namespace tdv::catalog {

struct ObjectLookup {
    // false: a query failed; nothing can be concluded (the caller fills the list instead).
    bool answered = false;
    // ObjectIDs of the rows whose ObjectID matches, or when there is none, of the rows whose
    // alias or display name matches (each once, in table order of the first match).
    std::vector<std::string> objectIds;
};

ObjectLookup findObjects(app::FrmMain& form, int type, const std::string& name,
                         const std::function<bool(const std::string& cell)>& same);

}  // namespace tdv::catalog
