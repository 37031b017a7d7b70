// Filtering and ordering the rows of a grid as the windows show them.
//
// Text is compared as the engine compares it: each character becomes the primary part of
// its sort key in the General Legacy order, so letter case and accents do not count, and
// the characters the key leaves out (apostrophe, hyphen, control characters, combining
// marks) are left out here too, and so is the typographic apostrophe U+2019. Characters the order
// has no code for compare by their case-folded code point.
//
// A RowFilter folds every cell of a grid once (index); each filter text is then one
// substring search per row over the folded shown cells, so a list of tens of thousands
// of rows narrows with every key press without reading the grid again.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/grid_model.h"

namespace tdv::catalog {

// The folded form of a text, for matching and ordering.
std::u32string foldForFilter(std::string_view utf8);

class RowFilter {
public:
    // Reads and folds every data row of the grid (rows 1..Rows()-1).
    void index(const ui::GridModel& grid);
    int dataRows() const { return static_cast<int>(rowText_.size()); }

    // The grid rows (from 1) of which a shown column contains the text, in grid order;
    // every row when the text folds to nothing.
    std::vector<int> match(std::string_view text) const;

    // Orders grid rows (from 1) by one column: a check-box column by its check state
    // (unticked first), numerically when every non-empty cell of the column is a whole
    // number (extensions), otherwise by folded text; descending when asked. Rows that compare equal
    // keep their grid order.
    void sort(std::vector<int>& rows, int col, bool ascending) const;

private:
    std::u32string_view cell(int row, int col) const;

    int cols_ = 0;
    // Per data row: the shown cells joined by a separator, then the hidden ones.
    std::vector<std::u32string> rowText_;
    // Per data row and column: where the cell starts in its row text (cols_ + 1 entries
    // per row, the last one the end of the shown part).
    std::vector<uint32_t> starts_;
    std::vector<uint32_t> ends_;
    std::vector<uint32_t> shownEnd_;
    // Per column: whether every non-empty cell is a whole number; per cell its value.
    std::vector<bool> numeric_;
    std::vector<long long> numbers_;
    std::vector<bool> empty_;
};

}  // namespace tdv::catalog
