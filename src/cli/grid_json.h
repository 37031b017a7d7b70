// A grid as JSON, the form `tdv list`, `tdv messages` and `tdv remap` print:
//   "columns": [{"caption": "...", "hidden": false}, ...]   from the header row
//   "rows":    [["cell", true, ...], ...]                    data rows; check boxes as booleans
#pragma once

#include <nlohmann/json.hpp>

#include "ui/grid_model.h"

namespace tdv::cli {

// Adds the "columns" and "rows" members to `out`, after what it already holds.
void addGridJson(nlohmann::ordered_json& out, const ui::GridModel& grid);

}  // namespace tdv::cli
