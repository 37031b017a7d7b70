#include "gui/grid_view.h"

#include <QAbstractTableModel>
#include <QEvent>
#include <QHeaderView>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

namespace tdv::gui {

// The Qt model over the grid model. Row and column counts are taken at each reset, so that
// a model growing between two refreshes never shows the view rows it does not know yet;
// cell texts are read live (reading outside the grid gives "").
class GridView::Adapter : public QAbstractTableModel {
public:
    Adapter(GridView& view, ui::GridModel& model) : view_(view), model_(model) {}

    void reset() {
        beginResetModel();
        rows_ = view_.shownRows();
        cols_ = model_.Cols();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : cols_;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) return {};
        const int row = view_.modelRow(index.row());
        const int col = index.column();
        const bool checkBox = model_.ColDataType(col) == ui::GridModel::kCheckBoxType;
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            return QString::fromStdString(model_.TextMatrix(row, col));
        }
        if (role == Qt::CheckStateRole && checkBox) {
            return model_.isChecked(row, col) ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (orientation == Qt::Horizontal) {
            return QString::fromStdString(model_.TextMatrix(0, section));
        }
        return section + 1;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        if (!index.isValid()) return Qt::NoItemFlags;
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        const int col = index.column();
        if (model_.ColDataType(col) == ui::GridModel::kCheckBoxType && view_.canEdit &&
            view_.canEdit(col)) {
            f |= Qt::ItemIsUserCheckable;
        }
        return f;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (!index.isValid() || role != Qt::CheckStateRole) return false;
        const int row = view_.modelRow(index.row());
        if (row < 1) return false;
        const int col = index.column();
        if (row >= model_.Rows() || col >= model_.Cols()) return false;
        if (!view_.canEdit || !view_.canEdit(col)) return false;
        const bool on = value.toInt() == Qt::Checked;
        model_.setCellChecked(row, col, on ? ui::GridModel::kChecked : ui::GridModel::kUnchecked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }

private:
    GridView& view_;
    ui::GridModel& model_;
    int rows_ = 0;
    int cols_ = 0;
};

GridView::GridView(ui::GridModel& model, QWidget* parent)
    : QTableView(parent), model_(model), adapter_(new Adapter(*this, model)) {
    adapter_->setParent(this);
    setModel(adapter_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTabKeyNavigation(false);
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    connect(this, &QTableView::clicked, this, [this] {
        if (clicked) clicked();
    });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int col) { sortRowsBy(col); });
    model_.onChanged = [this] { scheduleRefresh(); };
    refresh();
}

GridView::~GridView() {
    model_.onChanged = nullptr;
}

void GridView::scheduleRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        if (refreshQueued_) refresh();
    });
}

void GridView::refresh() {
    refreshQueued_ = false;
    indexStale_ = true;
    showRows(true);
}

void GridView::showRows(bool sizeColumns) {
    const bool redraw = model_.Redraw() != 0;
    updateShownRows();
    // A filter or a sort keeps the widths the fill gave: sizing columns to their contents
    // reads a thousand rows per column, too slow for every key press.
    std::vector<int> widths;
    if (!sizeColumns) {
        for (int c = 0; c < model_.Cols(); ++c) widths.push_back(columnWidth(c));
    }
    syncing_ = true;
    adapter_->reset();
    // A grid without rows has no header row either (Backup Details, the export log).
    horizontalHeader()->setVisible(model_.Rows() > 0);
    for (int c = 0; c < model_.Cols(); ++c) {
        setColumnHidden(c, model_.ColHidden(c));
        if (model_.ColHidden(c)) continue;
        if (!sizeColumns) {
            if (c < static_cast<int>(widths.size()) && widths[static_cast<size_t>(c)] > 0) {
                setColumnWidth(c, widths[static_cast<size_t>(c)]);
            }
        } else if (model_.isAutoSized(c)) {
            resizeColumnToContents(c);
        } else if (model_.ColWidth(c) > 0) {
            setColumnWidth(c, twipsToPixels(model_.ColWidth(c), this));
        }
    }
    syncing_ = false;
    followCurrent();
    if (redraw) viewport()->update();
    // The filter hid the current row: the first shown row becomes current, so that the
    // details shown are those of a row in the list.
    if (selectFirstShownRow && redraw && mapped_ && shownRows() > 0 && viewRow(model_.Row()) < 0) {
        model_.setRow(modelRow(0));
        followCurrent();
    }
    // Told last, so that the window sees the current row the view settled on.
    emit shownRowsChanged();
}

bool GridView::currentRowHidden() const {
    const int row = model_.Row();
    return row >= 1 && row < model_.Rows() && viewRow(row) < 0;
}

void GridView::followCurrent() {
    const int row = viewRow(model_.Row());
    const int col = std::clamp(model_.Col(), 0, std::max(model_.Cols() - 1, 0));
    syncing_ = true;
    if (row >= 0 && row < adapter_->rowCount({}) && col < adapter_->columnCount({})) {
        const QModelIndex index = adapter_->index(row, col);
        selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    syncing_ = false;
}

void GridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (syncing_ || !current.isValid()) return;
    const int row = modelRow(current.row());
    if (row < 1) return;
    const int col = current.column();
    if (row >= model_.Rows() || col >= model_.Cols()) return;
    if (row == model_.Row() && col == model_.Col()) return;
    // One selection event per change: the column moves quietly, the row move (or, within
    // the same row, the column move) fires the handler once.
    const bool rowMoves = row != model_.Row();
    if (rowMoves) {
        auto handler = std::exchange(model_.onSelectionChanged, nullptr);
        model_.setCol(col);
        model_.onSelectionChanged = std::move(handler);
        model_.setRow(row);
    } else {
        model_.setCol(col);
    }
}

bool GridView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Paint && model_.Redraw() == 0) return true;
    return QTableView::viewportEvent(event);
}

void GridView::setHeaderSorting(bool on) {
    horizontalHeader()->setSectionsClickable(on);
    horizontalHeader()->setSortIndicatorShown(on);
    if (sortColumn_ < 0) horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    if (!on && sortColumn_ >= 0) {
        sortColumn_ = -1;
        showRows(false);
    }
}

// Sorts the shown rows by one column (a second click reverses the order). The model keeps
// its rows; the current row stays on the same data, with no new selection event.
void GridView::sortRowsBy(int col) {
    if (!horizontalHeader()->sectionsClickable() || col < 0 || col >= model_.Cols()) return;
    sortAscending_ = sortColumn_ == col ? !sortAscending_ : true;
    sortColumn_ = col;
    horizontalHeader()->setSortIndicator(col,
                                         sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    showRows(false);
}

void GridView::setFilterText(const QString& text) {
    if (text == filterText_) return;
    filterText_ = text;
    showRows(false);
}

void GridView::updateShownRows() {
    if (filterText_.isEmpty() && sortColumn_ < 0) {
        mapped_ = false;
        shown_.clear();
        viewRowOf_.clear();
        return;
    }
    if (indexStale_) {
        index_.index(model_);
        indexStale_ = false;
    }
    shown_ = index_.match(filterText_.toStdString());
    if (sortColumn_ >= 0) index_.sort(shown_, sortColumn_, sortAscending_);
    viewRowOf_.assign(static_cast<size_t>(index_.dataRows()) + 1, -1);
    for (size_t i = 0; i < shown_.size(); ++i) {
        viewRowOf_[static_cast<size_t>(shown_[i])] = static_cast<int>(i);
    }
    mapped_ = true;
}

int GridView::shownRows() const {
    return mapped_ ? static_cast<int>(shown_.size()) : totalRows();
}

int GridView::totalRows() const {
    return std::max(model_.Rows() - 1, 0);
}

int GridView::modelRow(int viewRow) const {
    if (viewRow < 0) return -1;
    if (!mapped_) return viewRow + 1;
    return viewRow < static_cast<int>(shown_.size()) ? shown_[static_cast<size_t>(viewRow)] : -1;
}

int GridView::viewRow(int modelRow) const {
    if (modelRow < 1) return -1;
    if (!mapped_) return modelRow - 1;
    return modelRow < static_cast<int>(viewRowOf_.size())
               ? viewRowOf_[static_cast<size_t>(modelRow)]
               : -1;
}

int twipsToPixels(int twips, const QWidget* widget) {
    const int dpi = widget != nullptr ? widget->logicalDpiX() : 96;
    return static_cast<int>((static_cast<long long>(twips) * dpi + 720) / 1440);
}

int pixelsToTwips(int pixels, const QWidget* widget) {
    const int dpi = widget != nullptr && widget->logicalDpiX() > 0 ? widget->logicalDpiX() : 96;
    return static_cast<int>((static_cast<long long>(pixels) * 1440 + dpi / 2) / dpi);
}

}  // namespace tdv::gui
