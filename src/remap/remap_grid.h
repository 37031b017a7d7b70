// The grid of planned changes that both remap windows show: its columns, and the three ways
// a row's Selected box changes (select all, a click on the row, the box's own editing).
#pragma once

#include <string>
#include <vector>

#include "ui/grid_model.h"

namespace tdv::remap {

struct GridColumn {
    std::string key;
    std::string caption;
    int width;  // twips
    bool hidden;
};

// Header row only, with the columns in order; column 0 ("Selected") is the check-box column.
void setUpRemapGrid(ui::GridModel& grid, const std::vector<GridColumn>& columns);
// Ticks (or unticks) the Selected box of every data row.
void setAllSelected(ui::GridModel& grid, bool ticked);
// A click on the current cell: toggles the row's Selected box for a data row when the
// current column lies beyond column 1; other cells change nothing.
void toggleSelectedOnClick(ui::GridModel& grid);
// Appends a data row with an unticked Selected box and the given texts by column key.
void appendRemapRow(ui::GridModel& grid,
                    const std::vector<std::pair<const char*, std::string>>& texts);

}  // namespace tdv::remap
