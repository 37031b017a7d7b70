// The grid as a plain model: a table of text cells addressed by row and column from 0.
//
// Row 0 is the fixed header row with the captions; data rows start at 1. A column may be
// hidden (it still holds data, typically an ObjectID), may carry a key by which the code
// finds it (letter case ignored), and may be a check-box column (data type 11) whose cells
// carry a check state. The Qt grid is a view of this model; `tdv` prints it as JSON.
//
// Current cell: Row()/Col(). Setting them, and every change of the row count that moves the
// current row, fires the selection handler, also for changes made by the program (the main
// window tells fills from user selections by the redraw switch). After rows are added to a
// grid without a current data row, the first data row becomes current.
//
// Redraw: 0 (off, a list is being filled) or 2 (on, buffered). A view repaints when the
// model reports a change while redraw is on, and when redraw is switched on.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tdv::ui {

class GridModel {
public:
    static constexpr int kCheckBoxType = 11;
    static constexpr int kChecked = 1;  // also read back as ticked: -1
    static constexpr int kUnchecked = 0;

    int Rows() const { return static_cast<int>(cells_.size()); }
    // Shrinks or grows (new rows empty); 1 leaves the header row only, 0 not even that.
    void setRows(int rows);
    int Cols() const { return static_cast<int>(columns_.size()); }
    void setCols(int cols);
    int FixedRows() const { return fixedRows_; }
    void setFixedRows(int rows) { fixedRows_ = rows; }
    int FixedCols() const { return fixedCols_; }
    void setFixedCols(int cols) { fixedCols_ = cols; }

    // Cell text; reading outside the grid gives "", writing outside throws DbError 381
    // ("Subscript out of range"), as the control did.
    std::string TextMatrix(int row, int col) const;
    // The same text without a copy; valid until the grid changes.
    const std::string& cellText(int row, int col) const;
    void setTextMatrix(int row, int col, std::string text);
    // Check state of a cell of a check-box column: kChecked or kUnchecked.
    int CellChecked(int row, int col) const;
    void setCellChecked(int row, int col, int state);
    bool isChecked(int row, int col) const { return CellChecked(row, col) != kUnchecked; }

    // Appends an empty row at the end.
    void AddItem();
    // Makes room for this many rows in all, so a long fill of AddItem calls does not move
    // the rows again and again; changes nothing the grid shows.
    void reserveRows(int rows) { cells_.reserve(static_cast<size_t>(std::max(rows, 0))); }

    bool ColHidden(int col) const;
    void setColHidden(int col, bool hidden);
    std::string ColKey(int col) const;
    void setColKey(int col, std::string key);
    // Index of the column with that key (case ignored), -1 when none.
    int ColIndex(std::string_view key) const;
    int ColDataType(int col) const;
    void setColDataType(int col, int type);
    // Designed width in twips (0 = the view's default).
    int ColWidth(int col) const;
    void setColWidth(int col, int twips);
    // Asks the view to size columns first..last to their contents.
    void AutoSize(int first, int last);
    bool isAutoSized(int col) const;

    int Row() const { return row_; }
    void setRow(int row);
    int Col() const { return col_; }
    void setCol(int col);

    int Redraw() const { return redraw_; }
    void setRedraw(int mode);

    // The two presentation properties the main window sets after a fill (a boolean and a
    // number); their effect is the view's.
    bool presentationFlag = false;
    int presentationMode = 0;

    // Fired when the current cell changes (user or program).
    std::function<void()> onSelectionChanged;
    // Fired after any change while redraw is on, and when redraw is switched on.
    std::function<void()> onChanged;

private:
    struct Column {
        bool hidden = false;
        std::string key;
        int dataType = 0;
        int width = 0;
        bool autoSized = false;
    };
    struct Cell {
        std::string text;
        int checked = kUnchecked;
    };
    Cell& cellAt(int row, int col);
    void changed();
    void moveCurrent(int row, int col);

    std::vector<std::vector<Cell>> cells_{std::vector<Cell>{}};
    std::vector<Column> columns_;
    int fixedRows_ = 1;
    int fixedCols_ = 0;
    int row_ = 0;
    int col_ = 0;
    int redraw_ = 2;
};

}  // namespace tdv::ui
