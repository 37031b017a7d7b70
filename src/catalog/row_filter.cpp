#include "catalog/row_filter.h"

#include <unicode/uchar.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#include <numeric>

#include "jet/sort_order.h"
#include "jet/text_key.h"

namespace tdv::catalog {
namespace {

// Units of a folded text: a chunk of up to three primary key bytes, or a case-folded code
// point for a character without a code; 0 separates cells and never occurs otherwise.
constexpr char32_t kPrimaryTag = 0x01000000;
constexpr char32_t kCodePointTag = 0x02000000;

// The folded units of every UTF-16 unit, built once: (first unit, second unit or 0).
struct FoldTable {
    std::array<std::array<char32_t, 2>, 0x10000> units{};
    FoldTable() {
        for (uint32_t c = 0; c < 0x10000; ++c) {
            const auto code = jet::sortorder::generalLegacyCode(static_cast<char16_t>(c));
            auto& out = units[c];
            switch (code.kind) {
                case jet::sortorder::CharKind::Ignored:
                case jet::sortorder::CharKind::Unprintable:
                case jet::sortorder::CharKind::ModifierExt:
                    break;  // not part of the compared text
                case jet::sortorder::CharKind::Unknown:
                    out[0] = kCodePointTag | static_cast<char32_t>(u_foldCase(
                                                 static_cast<UChar32>(c), U_FOLD_CASE_DEFAULT));
                    break;
                default: {
                    if (code.primaryLen == 0) break;
                    for (int chunk = 0; chunk < 2 && chunk * 3 < code.primaryLen; ++chunk) {
                        char32_t v = 0;
                        for (int i = 0; i < 3; ++i) {
                            const int at = chunk * 3 + i;
                            v = v << 8 | (at < code.primaryLen ? code.primary[at] : 0);
                        }
                        out[chunk] = kPrimaryTag | v;
                    }
                }
            }
        }
        // The typographic apostrophe (as mail programs write "O’Brien") is left out like
        // the plain one, so that either finds the other.
        units[0x2019] = units[u'\''];
    }
};

const FoldTable& foldTable() {
    static const auto table = std::make_unique<FoldTable>();
    return *table;
}

void appendFolded(std::u32string& out, std::string_view utf8) {
    const FoldTable& table = foldTable();
    // Plain ASCII needs no conversion to UTF-16 first.
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char ch) { return static_cast<unsigned char>(ch) < 0x80; });
    auto add = [&](char16_t unit) {
        const auto& u = table.units[unit];
        if (u[0] != 0) out.push_back(u[0]);
        if (u[1] != 0) out.push_back(u[1]);
    };
    if (ascii) {
        for (char ch : utf8) add(static_cast<char16_t>(ch));
    } else {
        for (char16_t unit : jet::utf8ToUtf16(utf8)) add(unit);
    }
}

// A whole number (an optional minus sign and up to 18 digits), after trimming spaces.
bool parseWhole(std::string_view s, long long* value) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.empty() || s.size() > 19) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *value);
    return ec == std::errc() && end == s.data() + s.size();
}

}  // namespace

std::u32string foldForFilter(std::string_view utf8) {
    std::u32string out;
    appendFolded(out, utf8);
    return out;
}

void RowFilter::index(const ui::GridModel& grid) {
    cols_ = grid.Cols();
    const int rows = std::max(grid.Rows() - 1, 0);
    rowText_.assign(static_cast<size_t>(rows), {});
    starts_.assign(static_cast<size_t>(rows) * cols_, 0);
    ends_.assign(static_cast<size_t>(rows) * cols_, 0);
    shownEnd_.assign(static_cast<size_t>(rows), 0);
    numbers_.assign(static_cast<size_t>(rows) * cols_, 0);
    empty_.assign(static_cast<size_t>(rows) * cols_, true);
    numeric_.assign(static_cast<size_t>(cols_), true);
    std::vector<int> shownFirst(static_cast<size_t>(cols_));
    std::iota(shownFirst.begin(), shownFirst.end(), 0);
    std::stable_partition(shownFirst.begin(), shownFirst.end(),
                          [&](int c) { return !grid.ColHidden(c); });
    for (int r = 0; r < rows; ++r) {
        std::u32string& text = rowText_[static_cast<size_t>(r)];
        bool hiddenPart = false;
        for (int c : shownFirst) {
            if (!hiddenPart && grid.ColHidden(c)) {
                shownEnd_[static_cast<size_t>(r)] = static_cast<uint32_t>(text.size());
                hiddenPart = true;
            }
            const size_t at = static_cast<size_t>(r) * cols_ + static_cast<size_t>(c);
            const std::string value = grid.TextMatrix(r + 1, c);
            starts_[at] = static_cast<uint32_t>(text.size());
            appendFolded(text, value);
            ends_[at] = static_cast<uint32_t>(text.size());
            text.push_back(0);
            // A check-box column orders by its check state: unticked (0) before ticked (1).
            if (grid.ColDataType(c) == ui::GridModel::kCheckBoxType) {
                numbers_[at] = grid.isChecked(r + 1, c) ? 1 : 0;
                empty_[at] = false;
                continue;
            }
            if (value.find_first_not_of(' ') == std::string::npos) continue;
            empty_[at] = false;
            if (numeric_[static_cast<size_t>(c)] && !parseWhole(value, &numbers_[at])) {
                numeric_[static_cast<size_t>(c)] = false;
            }
        }
        if (!hiddenPart) shownEnd_[static_cast<size_t>(r)] = static_cast<uint32_t>(text.size());
    }
}

std::u32string_view RowFilter::cell(int row, int col) const {
    const size_t at = static_cast<size_t>(row - 1) * cols_ + static_cast<size_t>(col);
    return std::u32string_view(rowText_[static_cast<size_t>(row - 1)])
        .substr(starts_[at], ends_[at] - starts_[at]);
}

std::vector<int> RowFilter::match(std::string_view text) const {
    const std::u32string needle = foldForFilter(text);
    std::vector<int> rows;
    rows.reserve(rowText_.size());
    for (size_t r = 0; r < rowText_.size(); ++r) {
        const std::u32string_view shown = std::u32string_view(rowText_[r]).substr(0, shownEnd_[r]);
        if (needle.empty() || shown.find(needle) != std::u32string_view::npos) {
            rows.push_back(static_cast<int>(r) + 1);
        }
    }
    return rows;
}

void RowFilter::sort(std::vector<int>& rows, int col, bool ascending) const {
    if (col < 0 || col >= cols_) return;
    auto valid = [&](int r) { return r >= 1 && r <= dataRows(); };
    if (!std::all_of(rows.begin(), rows.end(), valid)) return;
    auto at = [&](int r) { return static_cast<size_t>(r - 1) * cols_ + static_cast<size_t>(col); };
    // -1, 0, 1 as a is before, with or after b in ascending order.
    auto order = [&](int a, int b) -> int {
        if (numeric_[static_cast<size_t>(col)]) {
            const bool ea = empty_[at(a)];
            const bool eb = empty_[at(b)];
            if (ea || eb) return ea == eb ? 0 : ea ? -1 : 1;
            const long long x = numbers_[at(a)];
            const long long y = numbers_[at(b)];
            return x < y ? -1 : x > y ? 1 : 0;
        }
        const int c = cell(a, col).compare(cell(b, col));
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    };
    std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) {
        const int o = order(a, b);
        return ascending ? o < 0 : o > 0;
    });
}

}  // namespace tdv::catalog
