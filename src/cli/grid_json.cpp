#include "cli/grid_json.h"

namespace tdv::cli {

void addGridJson(nlohmann::ordered_json& out, const ui::GridModel& grid) {
    out["columns"] = nlohmann::ordered_json::array();
    for (int c = 0; c < grid.Cols(); ++c) {
        out["columns"].push_back(
            {{"caption", grid.TextMatrix(0, c)}, {"hidden", grid.ColHidden(c)}});
    }
    out["rows"] = nlohmann::ordered_json::array();
    for (int r = 1; r < grid.Rows(); ++r) {
        auto row = nlohmann::ordered_json::array();
        for (int c = 0; c < grid.Cols(); ++c) {
            if (grid.ColDataType(c) == ui::GridModel::kCheckBoxType) {
                row.push_back(grid.isChecked(r, c));
            } else {
                row.push_back(grid.TextMatrix(r, c));
            }
        }
        out["rows"].push_back(std::move(row));
    }
}

}  // namespace tdv::cli
