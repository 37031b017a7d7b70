#include "ui/grid_model.h"

#include <algorithm>
#include <cctype>

#include "base/runtime_error.h"
#include "base/text.h"

namespace tdv::ui {

namespace {

db::DbError subscriptOutOfRange() {
    return db::DbError(381, "Subscript out of range");
}

}  // namespace

void GridModel::setRows(int rows) {
    rows = std::max(rows, 0);
    // New rows are built in place: one allocation each, no copy of a blank row.
    if (static_cast<size_t>(rows) <= cells_.size()) {
        cells_.resize(static_cast<size_t>(rows));
    } else {
        while (cells_.size() < static_cast<size_t>(rows)) cells_.emplace_back(columns_.size());
    }
    if (row_ >= rows || (row_ < fixedRows_ && rows > fixedRows_)) {
        moveCurrent(rows > fixedRows_ ? fixedRows_ : std::max(rows - 1, 0), col_);
    }
    changed();
}

void GridModel::setCols(int cols) {
    cols = std::max(cols, 0);
    columns_.resize(static_cast<size_t>(cols));
    for (auto& row : cells_) row.resize(static_cast<size_t>(cols));
    if (col_ >= cols) col_ = std::max(cols - 1, 0);
    changed();
}

std::string GridModel::TextMatrix(int row, int col) const {
    if (row < 0 || col < 0 || row >= Rows() || col >= Cols()) return {};
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].text;
}

const std::string& GridModel::cellText(int row, int col) const {
    static const std::string kNone;
    if (row < 0 || col < 0 || row >= Rows() || col >= Cols()) return kNone;
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].text;
}

GridModel::Cell& GridModel::cellAt(int row, int col) {
    if (row < 0 || col < 0 || row >= Rows() || col >= Cols()) throw subscriptOutOfRange();
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)];
}

void GridModel::setTextMatrix(int row, int col, std::string text) {
    cellAt(row, col).text = std::move(text);
    changed();
}

int GridModel::CellChecked(int row, int col) const {
    if (row < 0 || col < 0 || row >= Rows() || col >= Cols()) return kUnchecked;
    return cells_[static_cast<size_t>(row)][static_cast<size_t>(col)].checked;
}

void GridModel::setCellChecked(int row, int col, int state) {
    cellAt(row, col).checked = state == kUnchecked ? kUnchecked : kChecked;
    changed();
}

void GridModel::AddItem() {
    setRows(Rows() + 1);
}

bool GridModel::ColHidden(int col) const {
    return col >= 0 && col < Cols() && columns_[static_cast<size_t>(col)].hidden;
}

void GridModel::setColHidden(int col, bool hidden) {
    if (col < 0 || col >= Cols()) throw subscriptOutOfRange();
    columns_[static_cast<size_t>(col)].hidden = hidden;
    changed();
}

std::string GridModel::ColKey(int col) const {
    return col >= 0 && col < Cols() ? columns_[static_cast<size_t>(col)].key : std::string();
}

void GridModel::setColKey(int col, std::string key) {
    if (col < 0 || col >= Cols()) throw subscriptOutOfRange();
    columns_[static_cast<size_t>(col)].key = std::move(key);
}

int GridModel::ColIndex(std::string_view key) const {
    for (int c = 0; c < Cols(); ++c) {
        if (base::equalsIgnoringCase(columns_[static_cast<size_t>(c)].key, key)) return c;
    }
    return -1;
}

int GridModel::ColDataType(int col) const {
    return col >= 0 && col < Cols() ? columns_[static_cast<size_t>(col)].dataType : 0;
}

void GridModel::setColDataType(int col, int type) {
    if (col < 0 || col >= Cols()) throw subscriptOutOfRange();
    columns_[static_cast<size_t>(col)].dataType = type;
    changed();
}

int GridModel::ColWidth(int col) const {
    return col >= 0 && col < Cols() ? columns_[static_cast<size_t>(col)].width : 0;
}

void GridModel::setColWidth(int col, int twips) {
    if (col < 0 || col >= Cols()) throw subscriptOutOfRange();
    columns_[static_cast<size_t>(col)].width = twips;
    changed();
}

void GridModel::AutoSize(int first, int last) {
    if (first < 0 || last >= Cols() || first > last) throw subscriptOutOfRange();
    for (int c = first; c <= last; ++c) columns_[static_cast<size_t>(c)].autoSized = true;
    changed();
}

bool GridModel::isAutoSized(int col) const {
    return col >= 0 && col < Cols() && columns_[static_cast<size_t>(col)].autoSized;
}

void GridModel::setRow(int row) {
    if (row < 0 || row >= Rows()) throw subscriptOutOfRange();
    moveCurrent(row, col_);
}

void GridModel::setCol(int col) {
    if (col < 0 || col >= Cols()) throw subscriptOutOfRange();
    moveCurrent(row_, col);
}

void GridModel::setRedraw(int mode) {
    redraw_ = mode;
    changed();
}

void GridModel::moveCurrent(int row, int col) {
    const bool moved = row != row_ || col != col_;
    row_ = row;
    col_ = col;
    if (moved && onSelectionChanged) onSelectionChanged();
}

void GridModel::changed() {
    if (redraw_ != 0 && onChanged) onChanged();
}

}  // namespace tdv::ui
