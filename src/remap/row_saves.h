// Ticked rows saved several at a time in the backup, each row still all or nothing.
//
// One save of the backup costs a few syncs of the disk, far more than the statements of a
// row, so an apply of thousands of rows puts several whole rows into one save
// (db::runInTransaction). What holds for one row holds for every row of a save:
//  - prepare() runs inside the open save, so the row is checked against the backup as the
//    rows before it in the save leave it. A row that fails here is left out; its lines say
//    why.
//  - stage() runs the row's statements in the save. When they fail, the save is rolled back
//    and made again without that row (the others keep their checks), so one row never takes
//    the others down.
//  - beforeCommit() then makes the changes of the save's rows that must reach the disk
//    before the backup's (the message backups, each file in saves of its own); a row that
//    fails there is left out the same way, the others keep what was done for them.
//  - once the save is committed, saved() writes the "set to" lines of each of its rows; when
//    the commit itself fails, its rows are saved again one per save, so that every row gets
//    its own outcome. notSaved() writes the lines of a row whose save failed.
// A crash at any moment leaves every row of the unfinished save unapplied in the backup, and
// running the same CSV file again completes them. A row that must not share a save with the
// rows before it (mayJoin false) starts the next save.
//
// Each row's lines ("********", "CSV File Line=", "Action=", then what the steps add) are
// held until its save ends, then written to the run log in grid order.
#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/database_cache.h"
#include "db/transaction.h"
#include "logging/mod_logging.h"
#include "ui/grid_model.h"
#include "ui/procedure.h"

namespace tdv::remap {

// The run log lines of one row, held as the text they make in the log (each line ended by
// CR LF), so that thousands of count lines per row cost no allocation each.
class Lines {
public:
    Lines() = default;
    Lines(std::initializer_list<std::string_view> lines) {
        for (std::string_view line : lines) push_back(line);
    }
    void push_back(std::string_view line) {
        text_.append(line);
        text_.append("\r\n");
        ++count_;
    }
    size_t size() const { return count_; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    size_t count_ = 0;
};

struct RowSteps {
    // Whether the row goes on to its statements; false when it failed (said in `lines`).
    std::function<bool(int row, Lines& lines)> prepare;
    // The row's statements, inside the save; throws what stopped them.
    std::function<void(int row)> stage;
    // Inside the save, after the statements of its rows and before its commit: makes the
    // changes of those rows that must reach the disk before the backup's (empty: none).
    // Returns the rows that failed there, each with its cause; the save is then made again
    // without them.
    std::function<std::vector<std::pair<int, std::string>>(std::span<const int> rows)> beforeCommit;
    // The lines of a row whose save was committed.
    std::function<void(int row, Lines& lines)> saved;
    // The lines of a row whose save failed for `cause`.
    std::function<void(int row, Lines& lines, const std::string& cause)> notSaved;
    // Whether the row may share a save with `rowsInSave` (the rows before it); empty: always.
    std::function<bool(int row, std::span<const int> rowsInSave)> mayJoin;
    // Whether the apply stops after the first row that failed before the commit (a safety
    // copy could not be made for it); empty: never. The rows of the save after that row
    // are then left out: not saved, not logged and not taken.
    std::function<bool()> stopsApply;
};

// Rows of one save at most: enough that the syncs of a save weigh little per row, few enough
// that a save stays short and the lines held for it stay small.
inline constexpr size_t kMaxRowsPerSave = 64;

struct RowSaveContext {
    ui::GridModel& grid;
    logging::ModLogging& logs;
    ui::Procedure& proc;  // shows each failure once
    db::DatabaseCache& cache;
    std::string_view connectString;
};

struct SaveOutcome {
    size_t taken = 0;  // rows from the front of the ones given, at least one
    int applied = 0;
};

// Saves rows from the front of `rows` (grid rows, in order) in one save of the backup, as
// described above, and writes their lines to the run log.
SaveOutcome saveSomeRows(const RowSaveContext& context, std::span<const int> rows,
                         const RowSteps& steps);

// The first lines of every applied row.
Lines rowHeader(const ui::GridModel& grid, int row);

// The backup held for writing for a whole apply, taken at its first row, so that no other
// program saves between two of the apply's saves. A failure to take it is shown once and kept
// for the run log's lines of every row.
class ApplyHold {
public:
    ApplyHold(db::DatabaseCache& cache, const std::string& connect)
        : cache_(cache), connect_(connect) {}
    // Whether the backup is held (tried on the first call only).
    bool held(ui::Procedure& proc);
    // The run log's line for a row the apply could not touch because the backup is not held.
    std::string refusal() const {
        return "(error) the backup could not be held for writing; nothing was changed for this "
               "record: " +
               failure_;
    }

private:
    db::DatabaseCache& cache_;
    const std::string& connect_;
    std::optional<db::WriterHold> hold_;
    bool tried_ = false;
    std::string failure_;
};

}  // namespace tdv::remap
