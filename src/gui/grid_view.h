// The grid control: a Qt table view over a ui::GridModel.
//
// Row 0 of the model is the header row; the view shows it as the horizontal header and data
// rows 1.. as its rows. Hidden columns are hidden, check-box columns show check boxes, the
// designed widths (twips) become pixels, AutoSize sizes columns to their contents, and
// nothing repaints while the model's redraw is off. Selecting a row (by the user or by the
// program through the model's Row/Col) sets the model's current cell, which fires its
// onSelectionChanged; a click fires `clicked`. Editing is allowed only where `canEdit`
// says so (by default nowhere), and then only the check state.
//
// The view takes the model's onChanged for itself (and clears it when it goes); the model's
// onSelectionChanged stays the window's.
#pragma once

#include <QTableView>
#include <functional>

#include "ui/grid_model.h"

namespace tdv::gui {

class GridView : public QTableView {
    Q_OBJECT
public:
    GridView(ui::GridModel& model, QWidget* parent = nullptr);
    ~GridView() override;

    // Re-reads the model (after a fill with redraw off, or any change). Changes the model
    // reports while redraw is on are picked up by a refresh queued on the event loop.
    void refresh();
    // Moves the view's current cell to the model's Row/Col (after the program set them),
    // without firing the model's selection handler again.
    void followCurrent();

    std::function<bool(int col)> canEdit;
    std::function<void()> clicked;
    // Sorting by a header click; off by default.
    void setHeaderSorting(bool on);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Paints nothing while the model's redraw is off: the screen keeps the last picture.
    bool viewportEvent(QEvent* event) override;

private:
    class Adapter;
    void sortRowsBy(int col);
    void scheduleRefresh();
    bool syncing_ = false;
    bool refreshQueued_ = false;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    ui::GridModel& model_;
    Adapter* adapter_;
};

// Twips to pixels from the screen's logical DPI (1440 twips per inch).
int twipsToPixels(int twips, const QWidget* widget);
int pixelsToTwips(int pixels, const QWidget* widget);

}  // namespace tdv::gui
