// A grid as JSON, the form `tdv list`, `tdv messages` and `tdv remap` print:
//   "columns": [{"caption": "...", "hidden": false}, ...]   from the header row
//   "rows":    [["cell", true, ...], ...]                    data rows; check boxes as booleans
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "ui/grid_model.h"

namespace tdv::cli {

// Adds the "columns" and "rows" members to `out`, after what it already holds.
void addGridJson(nlohmann::ordered_json& out, const ui::GridModel& grid);

// Appends the same two members as compact JSON text ("columns":[...],"rows":[...]), written
// straight from the grid (a large list need not become a JSON tree first). Returns false,
// with `out` unchanged, when a text is not valid UTF-8: nlohmann's replacement of bad bytes
// then applies, through addGridJson.
bool appendGridJson(std::string& out, const ui::GridModel& grid);

}  // namespace tdv::cli
