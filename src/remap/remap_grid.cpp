#include "remap/remap_grid.h"

namespace tdv::remap {

void setUpRemapGrid(ui::GridModel& grid, const std::vector<GridColumn>& columns) {
    grid.setCols(static_cast<int>(columns.size()));
    grid.setRows(1);
    grid.setFixedRows(1);
    grid.setFixedCols(0);
    for (size_t i = 0; i < columns.size(); ++i) {
        const int col = static_cast<int>(i);
        grid.setColKey(col, columns[i].key);
        grid.setTextMatrix(0, col, columns[i].caption);
        grid.setColWidth(col, columns[i].width);
        grid.setColHidden(col, columns[i].hidden);
    }
    grid.setColDataType(grid.ColIndex("Selected"), ui::GridModel::kCheckBoxType);
}

void setAllSelected(ui::GridModel& grid, bool ticked) {
    const int sel = grid.ColIndex("Selected");
    for (int row = 1; row < grid.Rows(); ++row) {
        grid.setCellChecked(row, sel, ticked ? ui::GridModel::kChecked : ui::GridModel::kUnchecked);
    }
}

void toggleSelectedOnClick(ui::GridModel& grid) {
    const int row = grid.Row();
    if (row < 1 || row >= grid.Rows() || grid.Col() <= 1) return;
    const int sel = grid.ColIndex("Selected");
    grid.setCellChecked(row, sel,
                        grid.CellChecked(row, sel) == ui::GridModel::kChecked
                            ? ui::GridModel::kUnchecked
                            : ui::GridModel::kChecked);
}

void appendRemapRow(ui::GridModel& grid,
                    const std::vector<std::pair<const char*, std::string>>& texts) {
    grid.AddItem();
    const int row = grid.Rows() - 1;
    grid.setCellChecked(row, grid.ColIndex("Selected"), ui::GridModel::kUnchecked);
    for (const auto& [key, text] : texts) grid.setTextMatrix(row, grid.ColIndex(key), text);
}

}  // namespace tdv::remap
