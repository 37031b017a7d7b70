// The message backup files beside an open directory backup, and the alias change in them.
//
// A message backup file is a file of the backup's folder whose name is at least 4 characters
// long, ends in ".MDB" and contains "ZerithMessage_Backup_" (letter case ignored throughout).
//
// MessageBackupFiles serves one apply of the alias remap window: it lists the folder once (on
// first use, in the order the file system gives), and renameAlias() then changes FromAlias
// and ToAlias of the table Messages in every listed file, writing one count line per column
// and file in listing order:
//   "    N fromAlias instances found for OLD in PATH"
//   "    N toAlias instances found for OLD in PATH"
// N is the number of rows whose column equals the old alias under Jet's text comparison
// (letter case ignored), held as a 16-bit signed number: a larger count is an Overflow
// failure and the line repeats the count held before. Both aliases are compared and stored
// in the form the files keep text in (setStoredForm; as given by default), and every value
// reaches SQL through sqlQuoted, so every alias round-trips exactly.
//
// A file that cannot be opened or read is reported once per apply (one failure through the
// Procedure and one "(error)" line naming it) and left out of every alias change.
//
// Two strategies give the same files and the same lines:
//  - PerRowQueries runs, per file and alias change, the four statements of the plain
//    algorithm (count, rewrite by record, count, rewrite by record), each opening the file;
//  - Counts (the default) opens every file once per apply and keeps it open (up to half the
//    process's file descriptor limit; beyond that the least recently used are closed and
//    opened again when written), reads each
//    file's FromAlias and ToAlias values once into counts keyed by Jet's text comparison,
//    keeps those counts current as aliases are renamed (A->B then B->C), and runs an UPDATE
//    only on a file whose count is not zero.
// Every change of a file is one atomic save. Failures are reported through the given
// Procedure; the result of a change names the files changed and the first failure, so that
// the caller leaves the directory backup as it was for that change.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "backup/safety_copy.h"
#include "db/database_cache.h"
#include "jet/database.h"
#include "ui/procedure.h"

namespace tdv::remap {

// The name test above, on a file name without its folder.
bool isMessageBackupFileName(const std::string& fileName);
// The full paths of the message backup files in folder, in the order the file system gives.
// Throws std::filesystem::filesystem_error when the folder cannot be listed.
std::vector<std::string> listMessageBackupFiles(const std::string& folder);
// The folder part of a database path, made absolute (the current folder for a bare file
// name), so that the run log names every message backup by its full path.
std::string folderOf(const std::string& path);

class MessageBackupFiles {
public:
    enum class Strategy { Counts, PerRowQueries };
    using LogLine = std::function<void(const std::string&)>;

    explicit MessageBackupFiles(std::string folder, Strategy strategy = Strategy::Counts);
    MessageBackupFiles(const MessageBackupFiles&) = delete;
    MessageBackupFiles& operator=(const MessageBackupFiles&) = delete;
    ~MessageBackupFiles();

    // What one alias change did: the files whose rows it changed, and the failure that
    // stopped it (empty when none).
    struct Outcome {
        std::vector<std::string> changed;
        std::string failure;
        // Lines for the change's log: the safety copies written for it.
        std::vector<std::string> lines;
    };
    // Changes oldAlias to newAlias in every message backup file (see above). A failure to
    // list the folder is reported once and leaves nothing to change.
    Outcome renameAlias(const std::string& oldAlias, const std::string& newAlias,
                        const LogLine& log, ui::Procedure& proc);

    // The same in two steps, for an apply that saves several rows of the backup at once:
    // planRename writes the count lines of the change of `row` and (Counts) only plans the
    // change; savePlanned then writes every planned change, each file in one save holding
    // the changes of all planned rows (several files at a time: a save mostly waits for the
    // disk), and gives each row's outcome. When such a save fails, each of its rows is tried
    // again in a save of its own, so that one row's failure is not another's. The aliases of
    // rows planned together must differ (no row's old or new alias another's), since their
    // changes are made in any order. PerRowQueries writes at once, as renameAlias does.
    // Before anything is written, every file to change gets its safety copy (copyPlanned);
    // a dry run only moves the counts, as the saves would.
    Outcome planRename(int row, const std::string& oldAlias, const std::string& newAlias,
                       const LogLine& log, ui::Procedure& proc);
    std::map<int, Outcome> savePlanned(ui::Procedure& proc);
    // Forgets the planned changes of a row that will not be applied.
    void dropPlanned(int row);
    // The files a row's planned changes touch, in listing order, with their counts.
    struct PlannedIn {
        std::string path;
        int32_t from = 0, to = 0;
    };
    std::vector<PlannedIn> plannedOf(int row) const;

    // Before the first change of a run, for the renames that will be made (in grid order):
    // lists the folder, opens and holds (writer lock) every message backup, reads it, and
    // checks that each rename's new alias fits the FromAlias and ToAlias columns of every
    // file whose rows it will change (following the counts from rename to rename), and that
    // each file to be changed passes the checker. One problem per file that cannot be
    // changed safely (a link, not openable, in use, damaged, too narrow); none when every
    // file may be changed. The open-file limit is raised to its hard limit first.
    struct Rename {
        int row;
        std::string oldAlias, newAlias;
    };
    struct FileProblem {
        std::string path;
        std::string cause;
        std::vector<int> rows;  // the rows whose values the file cannot take (if that is why)
    };
    std::vector<FileProblem> checkBeforeChanges(const std::vector<Rename>& renames,
                                                ui::Procedure& proc);

    // One planned change in one file.
    struct Planned {
        int row;
        std::string storedOld, storedNew;
        int32_t from = 0, to = 0;  // rows of each column that change
    };
    // The form text takes in the files (the directory backup's: see storedText).
    void setStoredForm(std::function<std::string(const std::string&)> stored) {
        stored_ = std::move(stored);
    }

    // The run's safety copies: a file is copied just before its first change (while the
    // apply holds it), and a line "    Safety copy of PATH written: COPY" goes to the log.
    // A copy that fails is a failure of the file's change: nothing of it is changed.
    void setSafetyCopies(backup::SafetyCopies* safety) { safety_ = safety; }
    // Where the safety copy lines go the moment a copy is made (instead of the row's lines),
    // and what makes them durable before the first write after the copies, so that a run
    // killed later still names every copy in its log.
    void setCopyLog(LogLine log, std::function<void()> sync) {
        copyLog_ = std::move(log);
        syncCopyLog_ = std::move(sync);
    }
    // Only count lines with a non-zero count, and one line per rename with the number of
    // message backups that had none.
    void setMatchesOnly(bool matchesOnly) { matchesOnly_ = matchesOnly; }
    // A dry run (the preview) counts and logs as the apply does, and keeps the counts
    // current from change to change, but writes nothing (Counts strategy).
    void setDryRun(bool dryRun) { dryRun_ = dryRun; }
    // Whether a safety copy failed: the apply stops after the row it failed for.
    bool safetyCopyFailed() const { return safety_ && safety_->failed(); }

    // The files found (empty until the first renameAlias).
    std::vector<std::string> paths() const;
    // How many times a message backup file was opened so far.
    long fileOpens() const { return fileOpens_; }
    // How many saves of message backup files were made so far.
    long saves() const { return saves_; }

private:
    struct Counts {
        int32_t from = 0;
        int32_t to = 0;
    };
    struct File {
        std::string path;
        std::string connect;
        std::weak_ptr<jet::Database> db;  // the cache holds it open
        bool loaded = false;
        bool probed = false;                   // opened once (PerRowQueries)
        bool reported = false;                 // its failure was reported in this apply
        std::optional<ui::ErrorInfo> failure;  // why the file could not be read
        jet::JetVersion version = jet::JetVersion::Jet4;
        // The characters FromAlias and ToAlias hold (0: not a text column).
        long fromSize = 0, toSize = 0;
        // By the value's comparison key (lookupTextKey): equal for values Jet finds equal.
        std::unordered_map<std::string, Counts> counts;
        std::vector<Planned> planned;
    };

    void list(ui::Procedure& proc);
    void load(File& file);
    // Why the file cannot take the planned changes as it is now (empty when it can): a link,
    // columns too narrow for a new alias, or the checker's problems.
    std::string recheck(File& file, jet::Database& db);
    // The file's database from the cache, counting the opens.
    std::shared_ptr<jet::Database> reopen(File& file);
    void probe(File& file);
    // Writes the count lines of the change in the file and plans the change when it has rows
    // (whether it has).
    bool planCounted(File& file, int row, const std::string& oldAlias, const std::string& newAlias,
                     const LogLine& log, ui::Procedure& proc, int16_t& count);
    // Moves the counts of a saved change to the new alias.
    void counted(File& file, const Planned& plan);
    // The comparison key of a stored alias under a file's version, worked out once per
    // alias change (an apply looks it up in every file).
    const std::string& keyOf(const std::string& storedAlias, jet::JetVersion version);
    // Whether the file's rows changed; throws what stopped it.
    bool renameByQueries(const File& file, const std::string& oldAlias, const std::string& newAlias,
                         const LogLine& log, ui::Procedure& proc, int16_t& count);
    std::string stored(const std::string& text) const { return stored_ ? stored_(text) : text; }
    // The safety copy of the file before its first change, its line given to log.
    void copyBeforeChange(const std::string& path, const LogLine& log);
    // The safety copies of the files of the planned changes, before any of them is written:
    // row by row in grid order, all the files of a row before the next row's. When a copy
    // fails, that row gets the failure (reported), the planned changes of that row and of the
    // rows after it are forgotten, nothing is written, and false is returned.
    bool copyPlanned(std::map<int, Outcome>& outcomes, ui::Procedure& proc);

    std::string folder_;
    Strategy strategy_;
    bool listed_ = false;
    std::vector<File> files_;
    std::unique_ptr<db::DatabaseCache> cache_;
    long fileOpens_ = 0;
    long saves_ = 0;
    std::string line_;  // the count line being written
    std::function<std::string(const std::string&)> stored_;
    backup::SafetyCopies* safety_ = nullptr;
    bool dryRun_ = false;
    bool matchesOnly_ = false;
    bool checked_ = false;  // checkBeforeChanges ran: every file read was checked
    LogLine copyLog_;
    std::function<void()> syncCopyLog_;  // makes the copy lines durable before any write
    std::map<std::pair<std::string, jet::JetVersion>, std::string> keys_;  // of this change
};

struct FrmExtensionRemap;

// UpdateAliasForMessageFiles of the alias remap window over the files of one apply: the
// version gate, then files.renameAlias with the window's error rule, its lines given to
// `log` (the apply holds them until the row's save in the backup ends; by default they go
// straight to the run log). cmdRemap_Click keeps one set for all the rows it applies.
MessageBackupFiles::Outcome UpdateAliasForMessageFiles(FrmExtensionRemap& form,
                                                       const std::string& oldAlias,
                                                       const std::string& newAlias,
                                                       MessageBackupFiles& files,
                                                       const MessageBackupFiles::LogLine& log = {});
// cmdRemap_Click over a given set of message backup files (of the backup's folder): the
// benchmark and the tests choose its strategy and read its count of file opens.
void cmdRemap_Click(FrmExtensionRemap& form, MessageBackupFiles& files);

}  // namespace tdv::remap
