#include "gui/filter_box.h"

#include <QKeyEvent>

#include "gui/grid_view.h"

namespace tdv::gui {

FilterBox::FilterBox(GridView& grid, QWidget* parent) : QLineEdit(parent) {
    setPlaceholderText("Filter");
    setClearButtonEnabled(true);
    setToolTip(
        "Shows only the rows containing this text (case and accents ignored); "
        "Escape clears it");
    connect(this, &QLineEdit::textChanged, &grid,
            [&grid](const QString& text) { grid.setFilterText(text.trimmed()); });
}

void FilterBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && !text().isEmpty()) {
        clear();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

QString shownCountText(const GridView& grid, const QString& total) {
    if (grid.filterText().isEmpty() || !grid.hasList()) return total;
    return QString("%1 of %2").arg(grid.shownRows()).arg(grid.totalRows());
}

}  // namespace tdv::gui
