#include "ui/grid_model.h"

#include <gtest/gtest.h>

#include "db/db_error.h"

namespace tdv::ui {
namespace {

TEST(GridModel, AddingRowsMakesTheFirstDataRowCurrentAndFiresSelection) {
    GridModel g;
    int fired = 0;
    g.onSelectionChanged = [&] { ++fired; };
    g.setCols(3);
    g.setRows(1);
    EXPECT_EQ(g.Row(), 0);
    g.AddItem();
    EXPECT_EQ(g.Row(), 1);
    EXPECT_EQ(fired, 1);
    g.AddItem();
    EXPECT_EQ(g.Row(), 1);
    g.setRow(2);
    EXPECT_EQ(fired, 2);
    g.setRows(1);  // back to the header row
    EXPECT_EQ(g.Row(), 0);
    EXPECT_EQ(fired, 3);
    g.setRows(0);
    EXPECT_EQ(g.Rows(), 0);
}

TEST(GridModel, CellsKeysHiddenColumnsAndCheckStates) {
    GridModel g;
    g.setCols(3);
    g.setRows(2);
    g.setTextMatrix(1, 2, "{GUID}");
    EXPECT_EQ(g.TextMatrix(1, 2), "{GUID}");
    EXPECT_EQ(g.TextMatrix(5, 5), "");
    EXPECT_THROW(g.setTextMatrix(2, 0, "x"), db::DbError);
    g.setColKey(0, "Selected");
    g.setColDataType(0, GridModel::kCheckBoxType);
    EXPECT_EQ(g.ColIndex("SELECTED"), 0);
    EXPECT_EQ(g.ColIndex("ObjectID"), -1);
    g.setCellChecked(1, 0, -1);
    EXPECT_TRUE(g.isChecked(1, 0));
    g.setCellChecked(1, 0, GridModel::kUnchecked);
    EXPECT_FALSE(g.isChecked(1, 0));
    g.setColHidden(2, true);
    EXPECT_TRUE(g.ColHidden(2));
    g.setCols(2);  // shrinking drops the column and its cells
    EXPECT_EQ(g.TextMatrix(1, 2), "");
}

TEST(GridModel, ChangesAreAnnouncedOnlyWhileRedrawIsOn) {
    GridModel g;
    int changes = 0;
    g.onChanged = [&] { ++changes; };
    g.setCols(1);
    g.setRedraw(0);
    const int before = changes;
    g.setRows(5);
    g.setTextMatrix(1, 0, "a");
    EXPECT_EQ(changes, before);
    g.setRedraw(2);
    EXPECT_EQ(changes, before + 1);
}

}  // namespace
}  // namespace tdv::ui
