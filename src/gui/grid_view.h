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
//
// Filtering and sorting change only what the view shows: the view's rows map to the
// model's rows, so the model keeps its order and the current row stays on the same data.
#pragma once

#include <QTableView>
#include <functional>

#include "catalog/row_filter.h"
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
    // Sorting by a header click (a second click on the same column reverses); off by
    // default.
    void setHeaderSorting(bool on);
    // Shows only the rows of which a shown column contains the text (case and accents
    // ignored); an empty text shows every row.
    void setFilterText(const QString& text);
    QString filterText() const { return filterText_; }
    // Rows shown and rows in the model (data rows).
    int shownRows() const;
    int totalRows() const;
    // The model row (from 1) a view row shows, -1 when none.
    int modelRow(int viewRow) const;
    // The model's current data row is one the filter hides: nothing shown is selected, so
    // nothing may be acted on.
    bool currentRowHidden() const;
    // The model has a header row (a list, possibly empty); Backup Details and the export
    // log have none, so a filter has nothing to count there.
    bool hasList() const { return model_.Rows() > 0; }
    // When the filter hides the current row, makes the first shown row current (a
    // selection event, so the window shows its details). Off by default.
    bool selectFirstShownRow = false;

signals:
    // The shown rows changed (filter, sort or a new fill).
    void shownRowsChanged();

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    // Paints nothing while the model's redraw is off: the screen keeps the last picture.
    bool viewportEvent(QEvent* event) override;

private:
    class Adapter;
    void sortRowsBy(int col);
    // Shows the rows again (the filter and the sort applied) and follows the current row;
    // sizes the columns as the model asks, or keeps their widths.
    void showRows(bool sizeColumns);
    // Recomputes the shown rows from the filter text and the sort column.
    void updateShownRows();
    int viewRow(int modelRow) const;
    void scheduleRefresh();
    bool syncing_ = false;
    bool refreshQueued_ = false;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
    QString filterText_;
    catalog::RowFilter index_;
    bool indexStale_ = true;
    // View row to model row while a filter or a sort is on (empty: the model's order).
    std::vector<int> shown_;
    std::vector<int> viewRowOf_;
    bool mapped_ = false;
    ui::GridModel& model_;
    Adapter* adapter_;
};

// Twips to pixels from the screen's logical DPI (1440 twips per inch).
int twipsToPixels(int twips, const QWidget* widget);
int pixelsToTwips(int pixels, const QWidget* widget);

}  // namespace tdv::gui
