// The frame that both remap windows' "Apply Changes" share: the refusals of an empty grid and
// of a grid without ticked rows, the warning, the run log around the ticked rows (in grid
// order), and the closing question that offers the run log.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "backup/app_state.h"
#include "backup/safety_copy.h"
#include "db/recordset.h"
#include "logging/mod_logging.h"
#include "remap/row_saves.h"
#include "ui/grid_model.h"
#include "ui/ui_port.h"

namespace tdv::remap {

struct ApplyFrame {
    ui::UiPort& ui;
    logging::ModLogging& logs;
    ui::GridModel& grid;
    const std::function<void(int done, int total)>& progress;
    // The run's safety copies, with the open backup they start from (none when null): the
    // backup is copied after the warning and before the run log starts; a copy that cannot
    // be made shows one message and nothing is written. A later copy (of a message backup)
    // that fails stops the apply after its row.
    backup::SafetyCopies* safety = nullptr;
    backup::AppState* state = nullptr;
    // Rows given to one applySome at most (0: no limit). The preview gives one, so that the
    // progress after each save is the progress after each row.
    size_t rowsPerSave = 0;
    // Where to tell how many ticked rows were not applied (failed, or left after a stop).
    int* rowsNotApplied = nullptr;
};

// Applies the ticked data rows (in grid order) between the start and the end of a new run
// log: applySome(rows) applies rows from the front of the ones not yet applied, at least
// one, and says how many it took and how many of those were applied (see saveSomeRows).
// Returns false when the apply stopped before the run log (nothing written); the window
// then stays open. Returns true after the closing question, which says how many rows were
// applied and how many failed; the window then closes.
bool applyTickedRows(const ApplyFrame& frame, const std::string& warning,
                     const std::function<SaveOutcome(std::span<const int> rows)>& applySome);
// The closing question of an apply.
std::string reviewQuestion(int applied, int failed);

// The grid cell of the row in the column with that key, trimmed of spaces.
std::string trimmedCell(const ui::GridModel& grid, int row, const char* key);
// Number of characters of UTF-8 text (continuation bytes not counted).
size_t characterCount(const std::string& text);
// The grid cell as it stands.
std::string cell(const ui::GridModel& grid, int row, const char* key);
// The text as a Jet SQL literal: in apostrophes, every apostrophe inside doubled, nothing
// else changed. Every value the remap puts into a statement goes through here, so that every
// value (x' OR 'a'='a included) is compared and stored exactly as it is.
std::string sqlQuoted(const std::string& text);
// The text in the form the backup stores it. Newer-product 7.x backups keep each byte of
// a text's UTF-8 form as one Windows-1252 character (the viewer repairs it when reading);
// other backups keep the text itself.
std::string storedText(const std::string& text, bool utf8Bytes);
// Closes the recordset, abandoning a pending edit; failures are ignored (whatever happened to
// a row, its recordset is closed before the next row).
void closeQuietly(db::Recordset& rs);

}  // namespace tdv::remap
