#include "remap/row_saves.h"

#include <optional>

#include "db/transaction.h"
#include "remap/apply_rows.h"

namespace tdv::remap {
namespace {

// Bytes of run log lines held for one save: a row holds two count lines per message backup
// file (2,000 files make half a megabyte).
constexpr size_t kMaxHeldBytesPerSave = 64 << 20;

enum class State { New, Ready, Failed, Saved };

struct HeldRow {
    int row;
    Lines lines;
    State state = State::New;
};

class OneSave {
public:
    OneSave(const RowSaveContext& c, std::span<const int> rows, const RowSteps& steps)
        : c_(c), rows_(rows), steps_(steps) {}

    SaveOutcome run() {
        while (!attempt()) {
        }
        SaveOutcome outcome{held_.size(), 0};
        for (HeldRow& r : held_) {
            if (r.state == State::Saved) ++outcome.applied;
            c_.logs.MyLogLines(r.lines.text());
        }
        return outcome;
    }

private:
    // Rolls the save back to make it again without the rows that failed before its commit.
    struct SaveAgain {};

    // One try at the save. False when a row failed in its statements or before the commit:
    // that row is out and the save is made again with the others.
    bool attempt() {
        std::optional<size_t> staging;
        try {
            db::runInTransaction(c_.cache, c_.connectString, [&] {
                for (size_t i = 0; i < held_.size() || takeNext(); ++i) {
                    if (!prepared(held_[i])) continue;
                    staging = i;
                    steps_.stage(held_[i].row);
                    staging.reset();
                }
                std::vector<int> ready;
                for (const HeldRow& r : held_)
                    if (r.state == State::Ready) ready.push_back(r.row);
                begins(ready);
                if (!steps_.beforeCommit) return;
                const auto failures = steps_.beforeCommit(ready);
                for (const auto& [row, cause] : failures) {
                    for (HeldRow& r : held_) {
                        if (r.row != row) continue;
                        steps_.notSaved(r.row, r.lines, cause);
                        r.state = State::Failed;
                    }
                }
                if (failures.empty()) return;
                if (steps_.stopsApply && steps_.stopsApply()) endAtFirstOf(failures);
                c_.logs.MyLog(
                    "Save rolled back: it is made again without the records that "
                    "failed");
                throw SaveAgain{};
            });
        } catch (const SaveAgain&) {
            return false;
        } catch (...) {
            const ui::ErrorInfo error = ui::currentErrorInfo();
            if (staging) {
                fail(held_[*staging], error);
                return false;
            }
            begun_ = false;
            saveOneByOne(error);
            return true;
        }
        size_t saved = 0;
        for (HeldRow& r : held_) {
            if (r.state != State::Ready) continue;
            r.state = State::Saved;
            steps_.saved(r.row, r.lines);
            ++saved;
        }
        committed(saved);
        return true;
    }

    // Names the rows of a save in the run log, durably, before any of its files changes: a
    // crash after the commit leaves them named even though their own lines never came.
    void begins(std::span<const int> rows) {
        if (rows.empty()) return;
        std::string line = "Save begins for " + std::to_string(rows.size()) + " records: ";
        for (size_t i = 0; i < rows.size(); ++i)
            line += (i == 0 ? "" : " | ") + cell(c_.grid, rows[i], "OriginalLine");
        c_.logs.MyLog(line);
        c_.logs.syncLog();
        begun_ = true;
    }
    // Confirms the save named by begins().
    void committed(size_t rows) {
        if (!begun_) return;
        begun_ = false;
        c_.logs.MyLog("Save committed for those " + std::to_string(rows) + " records");
    }

    // The save ends with the first of the failed rows: the rows after it are left out.
    void endAtFirstOf(const std::vector<std::pair<int, std::string>>& failures) {
        ended_ = true;
        for (size_t i = 0; i < held_.size(); ++i) {
            for (const auto& failure : failures) {
                if (failure.first != held_[i].row) continue;
                held_.resize(i + 1);
                return;
            }
        }
    }

    // Adds the next row to the save when it may join; whether it did.
    bool takeNext() {
        if (ended_ || held_.size() == rows_.size() || held_.size() >= kMaxRowsPerSave ||
            heldBytes_ >= kMaxHeldBytesPerSave)
            return false;
        const int row = rows_[held_.size()];
        if (!held_.empty() && steps_.mayJoin && !steps_.mayJoin(row, rows_.first(held_.size())))
            return false;
        held_.push_back(HeldRow{row, rowHeader(c_.grid, row)});
        return true;
    }

    // Prepares the row when it is new; whether it goes on to its statements.
    bool prepared(HeldRow& r) {
        if (r.state == State::New) {
            bool ready = false;
            try {
                ready = steps_.prepare(r.row, r.lines);
            } catch (...) {
                fail(r, ui::currentErrorInfo());
                return false;
            }
            r.state = ready ? State::Ready : State::Failed;
            heldBytes_ += r.lines.text().size();
        }
        return r.state == State::Ready;
    }

    void fail(HeldRow& r, const ui::ErrorInfo& error) {
        c_.proc.report(error);
        steps_.notSaved(r.row, r.lines, error.description);
        r.state = State::Failed;
    }

    // The save could not begin or be committed: each of its rows is tried in a save of its
    // own, so that every row gets its own outcome.
    void saveOneByOne(const ui::ErrorInfo& error) {
        if (held_.empty()) {
            // Nothing began: the first row carries the failure, the rest come in later saves.
            held_.push_back(HeldRow{rows_[0], rowHeader(c_.grid, rows_[0])});
            fail(held_[0], error);
            return;
        }
        size_t ready = 0;
        for (const HeldRow& r : held_) ready += r.state == State::Ready ? 1 : 0;
        for (HeldRow& r : held_) {
            if (r.state != State::Ready) continue;
            if (ready == 1) {
                fail(r, error);
                continue;
            }
            try {
                db::runInTransaction(c_.cache, c_.connectString, [&] {
                    steps_.stage(r.row);
                    begins({&r.row, 1});
                });
            } catch (...) {
                begun_ = false;
                fail(r, ui::currentErrorInfo());
                continue;
            }
            r.state = State::Saved;
            steps_.saved(r.row, r.lines);
            committed(1);
        }
    }

    const RowSaveContext& c_;
    std::span<const int> rows_;
    const RowSteps& steps_;
    std::vector<HeldRow> held_;
    size_t heldBytes_ = 0;
    bool ended_ = false;  // no more rows join
    bool begun_ = false;  // a save was named in the log and not yet confirmed
};

}  // namespace

Lines rowHeader(const ui::GridModel& grid, int row) {
    return Lines{"********", "CSV File Line=" + cell(grid, row, "OriginalLine"),
                 "Action=" + cell(grid, row, "Info")};
}

SaveOutcome saveSomeRows(const RowSaveContext& context, std::span<const int> rows,
                         const RowSteps& steps) {
    if (rows.empty()) return {};
    return OneSave(context, rows, steps).run();
}

bool ApplyHold::held(ui::Procedure& proc) {
    if (!tried_) {
        tried_ = true;
        try {
            hold_.emplace(cache_, connect_);
        } catch (...) {
            const ui::ErrorInfo error = ui::currentErrorInfo();
            proc.report(error);
            failure_ = error.description;
        }
    }
    return hold_.has_value();
}

}  // namespace tdv::remap
