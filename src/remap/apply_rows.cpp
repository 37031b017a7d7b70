#include "remap/apply_rows.h"

#include <algorithm>
#include <vector>

#include "base/cp1252.h"
#include "base/text.h"
#include "base/utf8.h"
#include "main_state/common_values.h"
#include "ui/procedure.h"

namespace tdv::remap {
namespace {

constexpr const char* kNoRows =
    "You must first load some values from a CSV file to apply.  See help file for more details";
constexpr const char* kNoneTicked =
    "You must select at least one row in the grid to apply to the database.";

bool isTicked(const ui::GridModel& grid, int row, int selected) {
    return selected >= 0 && grid.isChecked(row, selected);
}

// The open backup's safety copy, before anything of the run is written; false (after one
// message) when it cannot be made.
bool copyBackupFirst(const ApplyFrame& frame) {
    if (!frame.safety || !frame.state) return true;
    try {
        frame.safety->beforeChange(frame.state->cache, frame.state->strMDBConnectString);
    } catch (...) {
        frame.ui.messageBox(ui::currentErrorInfo().description);
        return false;
    }
    return true;
}

}  // namespace

size_t characterCount(const std::string& text) {
    return base::utf8CharacterCount(text);
}

std::string cell(const ui::GridModel& grid, int row, const char* key) {
    return grid.TextMatrix(row, grid.ColIndex(key));
}

std::string trimmedCell(const ui::GridModel& grid, int row, const char* key) {
    return base::trimSpaces(cell(grid, row, key));
}

bool applyTickedRows(const ApplyFrame& frame, const std::string& warning,
                     const std::function<SaveOutcome(std::span<const int> rows)>& applySome) {
    ui::GridModel& grid = frame.grid;
    if (grid.Rows() <= 1) {
        frame.ui.messageBox(kNoRows);
        return false;
    }
    const int selected = grid.ColIndex("Selected");
    std::vector<int> ticked;
    for (int r = 1; r < grid.Rows(); ++r)
        if (isTicked(grid, r, selected)) ticked.push_back(r);
    if (ticked.empty()) {
        frame.ui.messageBox(kNoneTicked);
        return false;
    }
    if (frame.ui.messageBox(warning, ui::Buttons::YesNo) != ui::Answer::Yes) return false;
    if (!copyBackupFirst(frame)) return false;

    frame.logs.GenerateNewLogFileName();
    frame.logs.startLogging();
    const int total = static_cast<int>(ticked.size());
    size_t done = 0;
    int applied = 0;
    while (done < ticked.size()) {
        std::span<const int> rest = std::span<const int>(ticked).subspan(done);
        if (frame.rowsPerSave != 0 && rest.size() > frame.rowsPerSave)
            rest = rest.first(frame.rowsPerSave);
        const SaveOutcome outcome = applySome(rest);
        done += std::max<size_t>(outcome.taken, 1);
        applied += outcome.applied;
        frame.logs.flushLog();
        if (frame.progress) frame.progress(static_cast<int>(std::min(done, ticked.size())), total);
        if (frame.safety && frame.safety->failed()) {
            frame.logs.MyLog(
                "(error) a safety copy could not be written; the apply stopped "
                "here and the rows after this one were not applied");
            break;
        }
    }
    const std::string copies = frame.safety ? frame.safety->summary() : std::string();
    if (!copies.empty()) frame.logs.MyLog(copies);
    frame.logs.stopLogging();

    const int tried = static_cast<int>(std::min(done, ticked.size()));
    if (frame.rowsNotApplied) *frame.rowsNotApplied = total - applied;
    const std::string question = reviewQuestion(applied, tried - applied);
    if (frame.ui.messageBox(copies.empty() ? question : copies + "\n" + question,
                            ui::Buttons::YesNo) == ui::Answer::Yes)
        frame.ui.openWithDesktop(frame.logs.runLogPath());
    return true;
}

std::string reviewQuestion(int applied, int failed) {
    return "Updates complete: " + std::to_string(applied) + " rows applied, " +
           std::to_string(failed) + " failed - review log file now?";
}

std::string sqlQuoted(const std::string& text) {
    return app::sqlQuoted(text);
}

std::string storedText(const std::string& text, bool utf8Bytes) {
    return utf8Bytes ? base::cp1252ToUtf8(text) : text;
}

void closeQuietly(db::Recordset& rs) {
    try {
        if (rs.State() == db::adStateClosed) return;
        rs.CancelUpdate();
        rs.Close();
    } catch (...) {
    }
}

}  // namespace tdv::remap
