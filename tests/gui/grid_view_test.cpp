// The grid view over the grid model: what it shows, the one selection event, check boxes,
// the redraw switch and header sorting.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QHeaderView>
#include <QTest>

#include "gui/grid_view.h"

namespace tdv::gui {
namespace {

class GridViewTest : public ::testing::Test {
protected:
    GridViewTest() {
        grid.setCols(4);
        grid.setTextMatrix(0, 0, "Sel");
        grid.setTextMatrix(0, 1, "Alias");
        grid.setTextMatrix(0, 2, "Ext");
        grid.setTextMatrix(0, 3, "ObjectID");
        grid.setColDataType(0, ui::GridModel::kCheckBoxType);
        grid.setColHidden(3, true);
        grid.setColKey(3, "ObjectID");
        const char* rows[][3] = {
            {"carol", "300", "{C}"}, {"alice", "100", "{A}"}, {"bob", "200", "{B}"}};
        for (const auto& r : rows) {
            grid.AddItem();
            const int row = grid.Rows() - 1;
            for (int c = 0; c < 3; ++c) grid.setTextMatrix(row, c + 1, r[c]);
        }
        grid.onSelectionChanged = [this] { ++selections; };
        view = std::make_unique<GridView>(grid);
        view->resize(400, 300);
        view->show();
        QCoreApplication::processEvents();
    }

    QAbstractItemModel* model() { return view->model(); }
    QString cell(int dataRow, int col) {
        return model()->data(model()->index(dataRow - 1, col)).toString();
    }
    void clickCell(int dataRow, int col) {
        const QModelIndex index = model()->index(dataRow - 1, col);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
        QCoreApplication::processEvents();
    }

    ui::GridModel grid;
    int selections = 0;
    std::unique_ptr<GridView> view;
};

TEST_F(GridViewTest, ShowsDataRowsUnderTheHeaderRowAndHidesHiddenColumns) {
    EXPECT_EQ(model()->rowCount(), 3);
    EXPECT_EQ(model()->columnCount(), 4);
    EXPECT_EQ(model()->headerData(1, Qt::Horizontal).toString(), "Alias");
    EXPECT_EQ(cell(1, 1), "carol");
    EXPECT_EQ(cell(3, 2), "200");
    EXPECT_TRUE(view->isColumnHidden(3));
    EXPECT_FALSE(view->isColumnHidden(1));
    // The first data row became current when rows were added; the view shows it.
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(view->currentIndex().row(), 0);
}

TEST_F(GridViewTest, AClickOnAnotherCellFiresOneSelectionEvent) {
    selections = 0;
    clickCell(3, 2);
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 2);
    EXPECT_EQ(selections, 1);
    int clicks = 0;
    view->clicked = [&] { ++clicks; };
    clickCell(3, 1);  // same row, other column: one event for the column move
    EXPECT_EQ(selections, 2);
    EXPECT_EQ(clicks, 1);
    clickCell(3, 1);  // the current cell again: a click but no selection change
    EXPECT_EQ(selections, 2);
    EXPECT_EQ(clicks, 2);
}

TEST_F(GridViewTest, ProgramChangesAreFollowedWithoutASecondEvent) {
    selections = 0;
    grid.setRow(2);
    EXPECT_EQ(selections, 1);
    view->followCurrent();
    EXPECT_EQ(view->currentIndex().row(), 1);
    EXPECT_EQ(selections, 1);
}

TEST_F(GridViewTest, CheckBoxesToggleOnlyWhereEditingIsAllowed) {
    const QModelIndex box = model()->index(1, 0);
    EXPECT_EQ(model()->data(box, Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_FALSE(model()->flags(box) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model()->setData(box, Qt::Checked, Qt::CheckStateRole));
    EXPECT_FALSE(grid.isChecked(2, 0));

    view->canEdit = [](int col) { return col == 0; };
    EXPECT_TRUE(model()->flags(box) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model()->flags(model()->index(1, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(model()->setData(box, Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(grid.isChecked(2, 0));
    grid.setCellChecked(3, 0, ui::GridModel::kChecked);
    EXPECT_EQ(model()->data(model()->index(2, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
    // Text columns carry no check state.
    EXPECT_FALSE(model()->data(model()->index(1, 1), Qt::CheckStateRole).isValid());
}

TEST_F(GridViewTest, NothingChangesOnScreenWhileRedrawIsOff) {
    grid.setRedraw(0);
    grid.AddItem();
    grid.setTextMatrix(4, 1, "dave");
    QCoreApplication::processEvents();
    EXPECT_EQ(model()->rowCount(), 3);
    grid.setRedraw(2);
    QCoreApplication::processEvents();
    EXPECT_EQ(model()->rowCount(), 4);
    EXPECT_EQ(cell(4, 1), "dave");

    // Emptying to the header row empties the view.
    grid.setRows(1);
    QCoreApplication::processEvents();
    EXPECT_EQ(model()->rowCount(), 0);
}

TEST_F(GridViewTest, WidthsComeFromTwipsAndAutoSizeFitsTheText) {
    grid.setColWidth(2, 1440);
    grid.setTextMatrix(1, 1, "a-very-long-alias-that-needs-room");
    grid.AutoSize(1, 1);
    view->refresh();
    EXPECT_EQ(view->columnWidth(2), twipsToPixels(1440, view.get()));
    EXPECT_GE(view->columnWidth(1),
              view->fontMetrics().horizontalAdvance("a-very-long-alias-that-needs-room"));
    EXPECT_EQ(twipsToPixels(1440, view.get()), view->logicalDpiX());
    EXPECT_EQ(pixelsToTwips(view->logicalDpiX(), view.get()), 1440);
}

TEST_F(GridViewTest, HeaderSortingReordersTheShownRowsAndKeepsTheCurrentData) {
    // Off by default: a header click changes nothing.
    view->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(cell(1, 1), "carol");

    grid.setRow(3);  // "bob"
    grid.setCellChecked(3, 0, ui::GridModel::kChecked);
    view->setHeaderSorting(true);
    selections = 0;
    view->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(cell(1, 1), "alice");
    EXPECT_EQ(cell(2, 1), "bob");
    EXPECT_EQ(cell(3, 1), "carol");
    EXPECT_EQ(cell(2, 3), "{B}");  // hidden columns move with their rows
    EXPECT_EQ(model()->data(model()->index(1, 0), Qt::CheckStateRole).toInt(), Qt::Checked);
    // The model keeps its order; the view's current row stays on the same data.
    EXPECT_EQ(grid.TextMatrix(3, 1), "bob");
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(view->currentIndex().row(), 1);
    EXPECT_EQ(selections, 0);

    view->horizontalHeader()->sectionClicked(1);  // again: descending
    EXPECT_EQ(cell(1, 1), "carol");
    EXPECT_EQ(cell(3, 1), "alice");

    // Selecting a sorted row makes its model row current.
    clickCell(3, 1);
    EXPECT_EQ(grid.Row(), 2);
    EXPECT_EQ(grid.TextMatrix(grid.Row(), 1), "alice");

    // A check-box column sorts by its state: unticked first, ticked first when reversed.
    view->horizontalHeader()->sectionClicked(0);
    EXPECT_EQ(cell(1, 1), "carol");
    EXPECT_EQ(cell(2, 1), "alice");
    EXPECT_EQ(cell(3, 1), "bob");
    view->horizontalHeader()->sectionClicked(0);
    EXPECT_EQ(cell(1, 1), "bob");
}

TEST_F(GridViewTest, ExtensionsSortAsNumbersAndTextIgnoresCaseAndAccents) {
    grid.setTextMatrix(1, 2, "1000");          // carol: above 200 and 100 as a number, not as text
    grid.setTextMatrix(2, 1, "\xC3\x89mile");  // "Emile" with an accent
    grid.AddItem();
    grid.setTextMatrix(4, 1, "dave");
    grid.setTextMatrix(4, 2, "");
    view->refresh();
    view->setHeaderSorting(true);
    view->horizontalHeader()->sectionClicked(2);
    EXPECT_EQ(cell(1, 2), "");  // no extension first
    EXPECT_EQ(cell(2, 2), "100");
    EXPECT_EQ(cell(3, 2), "200");
    EXPECT_EQ(cell(4, 2), "1000");
    view->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(cell(1, 1), "bob");
    EXPECT_EQ(cell(3, 1), "dave");
    EXPECT_EQ(cell(4, 1), "\xC3\x89mile");  // between "dave" and "f...", as e
}

TEST_F(GridViewTest, TheFilterShowsRowsContainingTheTextInAShownColumn) {
    grid.setTextMatrix(2, 1,
                       "Al\xC3\xAD"
                       "ce O'Brien");
    view->refresh();
    grid.setRow(1);  // carol
    selections = 0;
    view->setFilterText("ALICE OBRI");  // case, accent and apostrophe ignored
    EXPECT_EQ(model()->rowCount(), 1);
    EXPECT_EQ(cell(1, 1),
              "Al\xC3\xAD"
              "ce O'Brien");
    EXPECT_EQ(view->shownRows(), 1);
    EXPECT_EQ(view->totalRows(), 3);
    // The current row is hidden: the view selects nothing and the model keeps its row.
    EXPECT_FALSE(view->currentIndex().isValid());
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_TRUE(view->currentRowHidden());
    EXPECT_EQ(selections, 0);
    // The typographic apostrophe, as pasted from mail, is left out like the plain one.
    view->setFilterText(QString::fromUtf8("o\u2019bri"));
    EXPECT_EQ(model()->rowCount(), 1);

    view->setFilterText("{B}");  // hidden columns are not searched
    EXPECT_EQ(model()->rowCount(), 0);
    view->setFilterText("00");
    EXPECT_EQ(model()->rowCount(), 3);
    view->setFilterText("");
    EXPECT_EQ(model()->rowCount(), 3);
    EXPECT_EQ(view->currentIndex().row(), 0);
    EXPECT_FALSE(view->currentRowHidden());

    // A window that asks for it gets the first shown row made current.
    view->selectFirstShownRow = true;
    view->setFilterText("bob");
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(view->currentIndex().row(), 0);
    EXPECT_EQ(selections, 1);

    // A new fill keeps the filter.
    grid.setTextMatrix(1, 1, "bobby");
    view->refresh();
    EXPECT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(cell(1, 1), "bobby");
}

}  // namespace
}  // namespace tdv::gui
