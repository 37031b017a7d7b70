#include "cli/grid_json.h"

#include "cli/json_values.h"

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

bool appendGridJson(std::string& out, const ui::GridModel& grid) {
    const size_t start = out.size();
    bool valid = true;
    auto text = [&](const std::string& s) {
        valid = isValidUtf8(s);
        if (valid) appendJsonString(out, s);
    };
    out += "\"columns\":[";
    for (int c = 0; c < grid.Cols() && valid; ++c) {
        if (c) out += ',';
        out += "{\"caption\":";
        text(grid.TextMatrix(0, c));
        out += grid.ColHidden(c) ? ",\"hidden\":true}" : ",\"hidden\":false}";
    }
    out += "],\"rows\":[";
    for (int r = 1; r < grid.Rows() && valid; ++r) {
        out += r > 1 ? ",[" : "[";
        for (int c = 0; c < grid.Cols() && valid; ++c) {
            if (c) out += ',';
            if (grid.ColDataType(c) == ui::GridModel::kCheckBoxType) {
                out += grid.isChecked(r, c) ? "true" : "false";
            } else {
                text(grid.cellText(r, c));
            }
        }
        out += ']';
    }
    out += ']';
    if (!valid) out.resize(start);
    return valid;
}

}  // namespace tdv::cli
