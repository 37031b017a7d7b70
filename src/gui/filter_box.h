// The filter box above a grid: typing narrows the grid's rows to those containing the
// text (GridView::setFilterText); Escape clears it.
#pragma once

#include <QLineEdit>

namespace tdv::gui {

class GridView;

class FilterBox : public QLineEdit {
    Q_OBJECT
public:
    FilterBox(GridView& grid, QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The count a window shows for its grid: the total, or "N of M" while a filter is on.
QString shownCountText(const GridView& grid, const QString& total);

}  // namespace tdv::gui
