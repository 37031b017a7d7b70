// The safety copy: before a command first changes a backup file in a run (a remap apply, the
// e-mail remap, clearing the mapping table, the pager scrub), the file is copied beside
// itself as NAME.mdb.YYYYMMDD-HHMMSS.bak (local time of the run's first copy), so that the
// user keeps the file as it was whatever the run does to it.
//
// Promises:
//   - the copy is taken while this program holds the file's writer lock, and the lock stays
//     held until the run ends (the SafetyCopies object goes), so the copy equals the file
//     just before the run's first change and nobody else saves in between;
//   - an existing entry is never overwritten and a link is never followed: when the name is
//     taken, "-2", "-3", ... go before ".bak"; the copy is written under a temporary name
//     beside it (O_EXCL|O_NOFOLLOW) through the safe output files of the UI port, gets no
//     wider permissions than the original, is synced to disk and only then takes its name,
//     without replacing anything;
//   - a copy that cannot be written whole is removed, and the failure (a DbError naming the
//     file and the cause) tells the caller to change nothing;
//   - each file is copied at most once per run.
//
// The setting "SafetyCopy" of the settings section ("0" off, anything else on; on by
// default) switches it off; `tdv --no-safety-copy` sets it for one run.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/database_cache.h"
#include "db/transaction.h"
#include "ui/ui_port.h"

namespace tdv::backup {

inline constexpr const char* kSafetyCopySettingKey = "SafetyCopy";

bool safetyCopyEnabled(ui::UiPort& ui);
void setSafetyCopyEnabled(ui::UiPort& ui, bool enabled);

// The name of the copy of path made at that time (before any "-N" for a taken name).
std::string safetyCopyName(const std::string& path, std::chrono::system_clock::time_point when);

class SafetyCopies {
public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    // Reads the setting once: the whole run copies or none of it does.
    explicit SafetyCopies(
        ui::UiPort& ui, Clock clock = [] { return std::chrono::system_clock::now(); });
    ~SafetyCopies();
    SafetyCopies(const SafetyCopies&) = delete;
    SafetyCopies& operator=(const SafetyCopies&) = delete;

    bool enabled() const { return enabled_; }

    // Before the first change of the database file of the connect string: holds its writer
    // lock (through the cache the changes go through) and copies it, once per run. Throws
    // DbError when the lock cannot be had or the copy cannot be written; nothing is changed
    // then. Does nothing when switched off.
    void beforeChange(db::DatabaseCache& cache, const std::string& connectString);
    // As above for a file whose writer lock the caller already holds.
    void beforeChange(const std::string& path);

    // Whether a copy (or the lock for one) failed in this run: the run stops there.
    bool failed() const { return failed_; }
    // The copies written so far, in order.
    const std::vector<std::string>& copies() const { return copies_; }
    // "Safety copy of the file as it was before: PATH" (copies, plural, for several); empty
    // when no copy was made.
    std::string summary() const;
    // The original of a copy written in this run (copies() and originals() pair up).
    const std::vector<std::string>& originals() const { return originals_; }

    // At the end of a run: removes the copy of every file whose bytes still equal the copy's
    // (the run left it unchanged) and forgets it; returns the removed copies, each with its
    // original. A copy that cannot be compared or removed is kept.
    std::vector<std::pair<std::string, std::string>> removeUnchanged();

private:
    ui::UiPort& ui_;
    Clock clock_;
    bool enabled_;
    bool failed_ = false;
    std::string stamp_;  // of the run's first copy
    std::vector<std::string> originals_;
    std::vector<std::string> copies_;
    std::vector<std::unique_ptr<db::WriterHold>> holds_;
};

}  // namespace tdv::backup
