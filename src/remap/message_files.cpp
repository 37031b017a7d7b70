#include "remap/message_files.h"

#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <exception>
#include <filesystem>
#include <limits>
#include <set>
#include <span>
#include <system_error>
#include <thread>

#include "base/text.h"
#include "db/connect_string.h"
#include "db/db_error.h"
#include "db/error_mapping.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "jet/db_check.h"
#include "jet/index_key.h"
#include "jet/page_file.h"
#include "jet/sql/sql.h"
#include "remap/apply_rows.h"
#include "remap/remap_lookups.h"

namespace tdv::remap {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "zerithmessage_backup_";
constexpr long kPathFileAccess = 75;  // the runtime's "Path/File access error"

std::string countLine(int16_t count, const char* column, const std::string& alias,
                      const std::string& path) {
    return "    " + std::to_string(count) + " " + column + " instances found for " + alias +
           " in " + path;
}

// The count as the 16-bit variable holds it; Overflow (6) beyond.
// Half the soft limit of open files, so that the rest of the program keeps room.
size_t maxOpenFiles() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 512;
    return std::max<size_t>(16, static_cast<size_t>(limit.rlim_cur / 2));
}

// The open-file limit raised to its hard limit, once per process: an apply holds every
// message backup of the folder open.
void raiseOpenFileLimit() {
    static const bool raised = [] {
        rlimit limit{};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max)
            return false;
        limit.rlim_cur = limit.rlim_max;
        return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }();
    (void)raised;
}

bool isLink(const std::string& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

// The characters a Text column of that defined size takes; 0 for a column that is no text.
long textSize(const db::Field& field) {
    const int type = field.Type();
    if (type == db::adLongVarWChar) return std::numeric_limits<long>::max();
    return type == db::adVarWChar ? field.DefinedSize() : 0;
}

int16_t asCount(long n) {
    if (n > std::numeric_limits<int16_t>::max() || n < std::numeric_limits<int16_t>::min())
        throw db::overflowError();
    return static_cast<int16_t>(n);
}

}  // namespace

bool isMessageBackupFileName(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    const std::string l = base::asciiLower(fileName);
    return l.ends_with(".mdb") && l.find(kPrefix) != std::string::npos;
}

std::vector<std::string> listMessageBackupFiles(const std::string& folder) {
    std::vector<std::string> out;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::error_code ec;
        if (!entry.is_regular_file(ec)) continue;
        if (isMessageBackupFileName(entry.path().filename().string()))
            out.push_back(entry.path().string());
    }
    return out;
}

std::string folderOf(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    std::error_code ec;
    const fs::path folder = fs::absolute(parent.empty() ? fs::path(".") : parent, ec);
    if (ec) return parent.empty() ? std::string(".") : parent.string();
    fs::path normal = folder.lexically_normal();
    if (!normal.has_filename() && normal.has_relative_path()) normal = normal.parent_path();
    return normal.string();
}

const std::string& MessageBackupFiles::keyOf(const std::string& storedAlias,
                                             jet::JetVersion version) {
    const auto at = std::make_pair(storedAlias, version);
    auto it = keys_.find(at);
    if (it == keys_.end()) it = keys_.emplace(at, lookupTextKey(storedAlias, version)).first;
    return it->second;
}

MessageBackupFiles::MessageBackupFiles(std::string folder, Strategy strategy)
    : folder_(std::move(folder)), strategy_(strategy) {}

MessageBackupFiles::~MessageBackupFiles() = default;

std::vector<std::string> MessageBackupFiles::paths() const {
    std::vector<std::string> out;
    for (const File& f : files_) out.push_back(f.path);
    return out;
}

void MessageBackupFiles::list(ui::Procedure& proc) {
    if (listed_) return;
    listed_ = true;
    proc.step([&] {
        for (std::string& path : listMessageBackupFiles(folder_)) {
            File f;
            f.connect = db::makeConnectString(path);
            f.path = std::move(path);
            files_.push_back(std::move(f));
        }
    });
    // Every file stays open until the apply ends, as far as file descriptors allow.
    cache_ = std::make_unique<db::DatabaseCache>(std::min(files_.size() + 1, maxOpenFiles()));
}

std::shared_ptr<jet::Database> MessageBackupFiles::reopen(File& file) {
    if (isLink(file.path)) throw db::DbError(kPathFileAccess, file.path + " is a symbolic link");
    auto db = cache_->open(file.path, true);
    if (db != file.db.lock()) {
        const bool again = file.loaded && checked_;
        ++fileOpens_;
        // No other program saves to the file while the apply has it open.
        db::translatingEngineErrors([&] { db->pages().holdWriter(); });
        file.db = db;
        // Opened again after it was let go (more files than the process may hold open):
        // checked again under its lock before it is written.
        if (again) {
            const std::string problem = recheck(file, *db);
            if (!problem.empty()) {
                file.db.reset();
                throw db::DbError(kPathFileAccess, file.path + " " + problem);
            }
        }
    }
    return db;
}

void MessageBackupFiles::load(File& file) {
    file.loaded = true;
    try {
        if (isLink(file.path))
            throw db::DbError(kPathFileAccess, "it is a symbolic link; it is not followed");
        const auto db = reopen(file);
        file.version = db->info().version;
        file.counts.clear();
        db::Recordset rs(*cache_);
        rs.Open("SELECT FromAlias, ToAlias FROM Messages", file.connect, db::adOpenKeyset,
                db::adLockReadOnly);
        const db::Field from = rs("FromAlias");
        const db::Field to = rs("ToAlias");
        file.fromSize = textSize(from);
        file.toSize = textSize(to);
        for (; !rs.Eof(); rs.MoveNext()) {
            const db::Variant f = from.Value();
            if (f.is<std::string>())
                ++file.counts[lookupTextKey(f.get<std::string>(), file.version)].from;
            const db::Variant t = to.Value();
            if (t.is<std::string>())
                ++file.counts[lookupTextKey(t.get<std::string>(), file.version)].to;
        }
        rs.Close();
    } catch (...) {
        file.failure = ui::currentErrorInfo();
        file.counts.clear();
    }
}

namespace {

std::string tooNarrow(const char* column, long size, const std::string& alias, int row) {
    if (size == 0) return std::string("its Messages.") + column + " column is not a text column";
    return std::string("its Messages.") + column + " column holds at most " + std::to_string(size) +
           " characters, too few for the new alias " + alias + " (grid row " + std::to_string(row) +
           ")";
}

std::string damage(jet::Database& db) {
    const std::vector<jet::Problem> problems = jet::checkDatabase(db);
    if (problems.empty()) return {};
    return "it is damaged (" + problems.front().describe() +
           (problems.size() > 1 ? ", and " + std::to_string(problems.size() - 1) + " more" : "") +
           ")";
}

}  // namespace

std::string MessageBackupFiles::recheck(File& file, jet::Database& db) {
    if (isLink(file.path)) return "is a symbolic link";
    for (const Planned& p : file.planned) {
        const long chars = static_cast<long>(characterCount(p.storedNew));
        if (p.from > 0 && chars > file.fromSize)
            return tooNarrow("FromAlias", file.fromSize, p.storedNew, p.row);
        if (p.to > 0 && chars > file.toSize)
            return tooNarrow("ToAlias", file.toSize, p.storedNew, p.row);
    }
    return damage(db);
}

std::vector<MessageBackupFiles::FileProblem> MessageBackupFiles::checkBeforeChanges(
    const std::vector<Rename>& renames, ui::Procedure& proc) {
    raiseOpenFileLimit();
    list(proc);
    checked_ = true;
    for (File& file : files_)
        if (!file.loaded) load(file);
    // Which files hold each value, with their counts, as the renames before move them: by
    // the file's version and the value's comparison key, so that each rename looks up only
    // the files it touches.
    std::unordered_map<std::string, std::vector<std::pair<size_t, Counts>>> holders;
    std::set<jet::JetVersion> versions;
    const auto tagged = [](jet::JetVersion v, const std::string& key) {
        return std::string(1, static_cast<char>('0' + static_cast<int>(v))) + key;
    };
    for (size_t i = 0; i < files_.size(); ++i) {
        if (files_[i].failure) continue;
        versions.insert(files_[i].version);
        for (const auto& [key, counts] : files_[i].counts)
            if (counts.from > 0 || counts.to > 0)
                holders[tagged(files_[i].version, key)].emplace_back(i, counts);
    }
    std::vector<bool> changes(files_.size(), false);
    std::vector<FileProblem> narrow(files_.size());
    for (const Rename& r : renames) {
        const std::string storedOld = stored(r.oldAlias);
        const std::string storedNew = stored(r.newAlias);
        const long chars = static_cast<long>(characterCount(storedNew));
        keys_.clear();
        for (const jet::JetVersion v : versions) {
            const auto it = holders.find(tagged(v, keyOf(storedOld, v)));
            if (it == holders.end()) continue;
            const std::vector<std::pair<size_t, Counts>> moving = std::move(it->second);
            holders.erase(it);
            auto& target = holders[tagged(v, keyOf(storedNew, v))];
            for (const auto& [fileIndex, c] : moving) {
                // A named copy: a lambda below cannot capture a structured binding (C++20).
                const auto i = fileIndex;
                const File& file = files_[i];
                changes[i] = true;
                std::string cause;
                if (c.from > 0 && chars > file.fromSize)
                    cause = tooNarrow("FromAlias", file.fromSize, r.newAlias, r.row);
                else if (c.to > 0 && chars > file.toSize)
                    cause = tooNarrow("ToAlias", file.toSize, r.newAlias, r.row);
                if (!cause.empty()) {
                    if (narrow[i].cause.empty()) narrow[i].cause = cause;
                    narrow[i].rows.push_back(r.row);
                }
                const auto same = std::find_if(target.begin(), target.end(),
                                               [&](const auto& h) { return h.first == i; });
                if (same == target.end()) {
                    target.emplace_back(i, c);
                } else {
                    same->second.from += c.from;
                    same->second.to += c.to;
                }
            }
        }
    }
    std::vector<FileProblem> problems;
    for (size_t i = 0; i < files_.size(); ++i) {
        File& file = files_[i];
        if (file.failure) {
            problems.push_back({file.path, file.failure->description, {}});
            continue;
        }
        if (!narrow[i].cause.empty()) {
            narrow[i].path = file.path;
            problems.push_back(std::move(narrow[i]));
            continue;
        }
        if (!changes[i]) continue;
        try {
            const std::string cause = damage(*reopen(file));
            if (!cause.empty()) problems.push_back({file.path, cause, {}});
        } catch (...) {
            problems.push_back({file.path, ui::currentErrorInfo().description, {}});
        }
    }
    // The plain algorithm opens each file through statements of its own: it holds none.
    if (strategy_ == Strategy::PerRowQueries) {
        cache_->clear();
        for (File& file : files_) file.db.reset();
    }
    return problems;
}

void MessageBackupFiles::probe(File& file) {
    if (file.probed) return;
    file.probed = true;
    try {
        db::openDatabase(file.path);
    } catch (...) {
        file.failure = ui::currentErrorInfo();
    }
}

MessageBackupFiles::Outcome MessageBackupFiles::renameAlias(const std::string& oldAlias,
                                                            const std::string& newAlias,
                                                            const LogLine& log,
                                                            ui::Procedure& proc) {
    constexpr int kAlone = -1;
    Outcome outcome = planRename(kAlone, oldAlias, newAlias, log, proc);
    if (strategy_ == Strategy::Counts) {
        outcome = savePlanned(proc)[kAlone];
        for (const std::string& line : outcome.lines) log(line);
    }
    return outcome;
}

MessageBackupFiles::Outcome MessageBackupFiles::planRename(int row, const std::string& oldAlias,
                                                           const std::string& newAlias,
                                                           const LogLine& log,
                                                           ui::Procedure& proc) {
    list(proc);
    keys_.clear();
    Outcome outcome;
    // The count variable keeps its value when a count fails, as the line written after it
    // then shows.
    int16_t count = 0;
    size_t unmatched = 0;  // files without a row of the old alias
    for (File& file : files_) {
        if (strategy_ == Strategy::PerRowQueries) {
            probe(file);
        } else if (!file.loaded) {
            load(file);
        }
        if (file.failure) {
            // Left out of the whole apply, and said so once.
            if (!file.reported) {
                file.reported = true;
                proc.report(*file.failure);
                log("(error) message backup could not be opened or is in use, and is left out of "
                    "this apply:" +
                    file.path + " (" + file.failure->description + ")");
            }
            continue;
        }
        if (strategy_ == Strategy::Counts) {
            if (!planCounted(file, row, oldAlias, newAlias, log, proc, count)) ++unmatched;
            continue;
        }
        try {
            if (renameByQueries(file, oldAlias, newAlias, log, proc, count))
                outcome.changed.push_back(file.path);
        } catch (...) {
            const ui::ErrorInfo error = ui::currentErrorInfo();
            proc.report(error);
            outcome.failure = file.path + " could not be changed (" + error.description + ")";
            break;
        }
    }
    if (matchesOnly_ && strategy_ == Strategy::Counts)
        log("    " + std::to_string(unmatched) + " message backups had no fromAlias or toAlias " +
            "instances of " + oldAlias);
    return outcome;
}

bool MessageBackupFiles::planCounted(File& file, int row, const std::string& oldAlias,
                                     const std::string& newAlias, const LogLine& log,
                                     ui::Procedure& proc, int16_t& count) {
    Planned plan{row, stored(oldAlias), stored(newAlias), 0, 0};
    const auto it = file.counts.find(keyOf(plan.storedOld, file.version));
    if (it != file.counts.end()) {
        plan.from = it->second.from;
        plan.to = it->second.to;
    }
    // Two lines per file and row: built in one buffer kept between them.
    const auto write = [&](const char* column) {
        line_.assign("    ");
        line_.append(std::to_string(count));
        line_.append(" ");
        line_.append(column);
        line_.append(" instances found for ");
        line_.append(oldAlias);
        line_.append(" in ");
        line_.append(file.path);
        log(line_);
    };
    const bool matched = plan.from != 0 || plan.to != 0;
    if (matchesOnly_ && !matched) return false;
    proc.step([&] { count = asCount(plan.from); });
    if (!matchesOnly_ || plan.from != 0) write("fromAlias");
    proc.step([&] { count = asCount(plan.to); });
    if (!matchesOnly_ || plan.to != 0) write("toAlias");
    if (matched) file.planned.push_back(std::move(plan));
    return matched;
}

std::vector<MessageBackupFiles::PlannedIn> MessageBackupFiles::plannedOf(int row) const {
    std::vector<PlannedIn> out;
    for (const File& file : files_)
        for (const Planned& p : file.planned)
            if (p.row == row) out.push_back({file.path, p.from, p.to});
    return out;
}

void MessageBackupFiles::dropPlanned(int row) {
    for (File& file : files_)
        std::erase_if(file.planned, [row](const Planned& p) { return p.row == row; });
}

namespace {

// The statements of planned changes in one file.
std::vector<std::string> statementsOf(std::span<const MessageBackupFiles::Planned> plans) {
    std::vector<std::string> out;
    for (const MessageBackupFiles::Planned& p : plans) {
        const std::pair<const char*, int32_t> columns[] = {{"FromAlias", p.from},
                                                           {"ToAlias", p.to}};
        for (const auto& [name, rows] : columns) {
            if (rows == 0) continue;
            out.push_back(std::string("UPDATE Messages SET ") + name + "=" +
                          sqlQuoted(p.storedNew) + " WHERE " + name + "=" + sqlQuoted(p.storedOld));
        }
    }
    return out;
}

// Runs each file's statements as one save of that file, several files at a time: a save
// waits mostly for the disk, and the disk takes the syncs of several files together.
// The failure of each file (null when it was saved).
std::vector<std::exception_ptr> saveEach(const std::vector<std::shared_ptr<jet::Database>>& dbs,
                                         const std::vector<std::vector<std::string>>& statements) {
    constexpr size_t kAtOnce = 16;
    std::vector<std::exception_ptr> failures(dbs.size());
    std::atomic<size_t> next{0};
    const auto work = [&] {
        for (size_t i = next++; i < dbs.size(); i = next++) {
            try {
                db::runInTransaction(*dbs[i], [&] {
                    for (const std::string& sql : statements[i]) jet::sql::execute(*dbs[i], sql);
                });
            } catch (...) {
                failures[i] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> threads;
    for (size_t t = 1; t < std::min(kAtOnce, dbs.size()); ++t) {
        try {
            threads.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // fewer at once: this thread and those started take every file
        }
    }
    work();
    for (std::thread& t : threads) t.join();
    return failures;
}

}  // namespace

std::map<int, MessageBackupFiles::Outcome> MessageBackupFiles::savePlanned(ui::Procedure& proc) {
    std::map<int, Outcome> outcomes;
    if (dryRun_) {
        // Counted as if saved, nothing written.
        for (File& file : files_) {
            for (const Planned& p : file.planned) counted(file, p);
            for (const Planned& p : file.planned) outcomes[p.row].changed.push_back(file.path);
            file.planned.clear();
        }
        return outcomes;
    }
    const size_t copiesBefore = safety_ ? safety_->copies().size() : 0;
    const bool copied = copyPlanned(outcomes, proc);
    if (syncCopyLog_ && safety_ && safety_->copies().size() > copiesBefore) syncCopyLog_();
    if (!copied) return outcomes;
    const auto failed = [&](File& file, int row, const ui::ErrorInfo& error) {
        proc.report(error);
        outcomes[row].failure = file.path + " could not be changed (" + error.description + ")";
        // The file's counts may no longer match it; read them again when next needed.
        file.loaded = false;
    };
    for (;;) {
        std::vector<File*> pending;
        std::vector<std::shared_ptr<jet::Database>> dbs;
        std::vector<std::vector<std::string>> statements;
        for (File& file : files_) {
            if (file.planned.empty()) continue;
            std::shared_ptr<jet::Database> db;
            try {
                db = reopen(file);
            } catch (...) {
                const ui::ErrorInfo error = ui::currentErrorInfo();
                for (const Planned& p : file.planned) failed(file, p.row, error);
                file.planned.clear();
                continue;
            }
            // A file listed twice (through a link) waits for the next round: one thread at a
            // time uses a database.
            if (std::find(dbs.begin(), dbs.end(), db) != dbs.end()) continue;
            pending.push_back(&file);
            dbs.push_back(std::move(db));
            statements.push_back(statementsOf(file.planned));
        }
        if (pending.empty()) return outcomes;
        const std::vector<std::exception_ptr> failures = saveEach(dbs, statements);
        for (size_t i = 0; i < pending.size(); ++i) {
            File& file = *pending[i];
            if (!failures[i]) {
                ++saves_;
                cache_->noteWritten(*dbs[i]);
                for (const Planned& p : file.planned) counted(file, p);
                for (const Planned& p : file.planned) outcomes[p.row].changed.push_back(file.path);
            } else if (file.planned.size() == 1) {
                try {
                    std::rethrow_exception(failures[i]);
                } catch (...) {
                    failed(file, file.planned[0].row, ui::currentErrorInfo());
                }
            } else {
                // One row's change may be what failed: each row in a save of its own.
                for (const Planned& p : file.planned) {
                    try {
                        db::runInTransaction(*dbs[i], [&] {
                            for (const std::string& sql : statementsOf({&p, 1}))
                                db::translatingEngineErrors(
                                    [&] { jet::sql::execute(*dbs[i], sql); });
                        });
                    } catch (...) {
                        failed(file, p.row, ui::currentErrorInfo());
                        continue;
                    }
                    ++saves_;
                    cache_->noteWritten(*dbs[i]);
                    counted(file, p);
                    outcomes[p.row].changed.push_back(file.path);
                }
            }
            file.planned.clear();
        }
    }
}

// The file's rows now hold the new alias (the same entry when only the case changed).
void MessageBackupFiles::counted(File& file, const Planned& p) {
    Counts& was = file.counts[lookupTextKey(p.storedOld, file.version)];
    was.from -= p.from;
    was.to -= p.to;
    Counts& now = file.counts[lookupTextKey(p.storedNew, file.version)];
    now.from += p.from;
    now.to += p.to;
}

bool MessageBackupFiles::copyPlanned(std::map<int, Outcome>& outcomes, ui::Procedure& proc) {
    if (!safety_ || !safety_->enabled()) return true;
    std::set<int> rows;
    for (const File& file : files_)
        for (const Planned& p : file.planned) rows.insert(p.row);
    for (const int row : rows) {
        for (File& file : files_) {
            if (std::none_of(file.planned.begin(), file.planned.end(),
                             [row](const Planned& p) { return p.row == row; }))
                continue;
            try {
                reopen(file);
                copyBeforeChange(file.path, [&](const std::string& line) {
                    outcomes[row].lines.push_back(line);
                });
            } catch (...) {
                const ui::ErrorInfo error = ui::currentErrorInfo();
                proc.report(error);
                outcomes[row].failure =
                    file.path + " could not be changed (" + error.description + ")";
                // Nothing of this row or of the rows after it is written.
                for (File& f : files_)
                    std::erase_if(f.planned, [row](const Planned& p) { return p.row >= row; });
                return false;
            }
        }
    }
    return true;
}

void MessageBackupFiles::copyBeforeChange(const std::string& path, const LogLine& log) {
    if (!safety_) return;
    const size_t before = safety_->copies().size();
    safety_->beforeChange(path);
    if (safety_->copies().size() <= before) return;
    const std::string line = "    Safety copy of " + path + " written: " + safety_->copies().back();
    if (copyLog_) {
        copyLog_(line);
    } else {
        log(line);
    }
}

bool MessageBackupFiles::renameByQueries(const File& file, const std::string& oldAlias,
                                         const std::string& newAlias, const LogLine& log,
                                         ui::Procedure& proc, int16_t& count) {
    const std::string quoted = sqlQuoted(stored(oldAlias));
    const std::string storedNew = stored(newAlias);
    bool changed = false;
    const auto countOf = [&](const char* column, const char* label) {
        proc.step([&] {
            db::Recordset rs;
            ++fileOpens_;
            rs.Open(std::string("SELECT COUNT(*) FROM Messages WHERE ") + column + "=" + quoted,
                    file.connect);
            count = asCount(rs.Fields(0L).Value().toLong());
        });
        log(countLine(count, label, oldAlias, file.path));
    };
    const auto rewrite = [&](const char* column, const char* field) {
        db::Recordset rs;
        ++fileOpens_;
        rs.Open(std::string("SELECT * FROM Messages WHERE ") + column + "=" + quoted, file.connect,
                db::adOpenKeyset, db::adLockPessimistic);
        for (; !rs.Eof(); rs.MoveNext()) {
            copyBeforeChange(file.path, log);
            rs(field).setValue(db::Variant::fromString(storedNew));
            rs.Update();
            changed = true;
        }
        rs.Close();
    };
    countOf("fromAlias", "fromAlias");
    rewrite("fromAlias", "FromAlias");
    countOf("ToAlias", "toAlias");
    rewrite("ToAlias", "ToAlias");
    return changed;
}

}  // namespace tdv::remap
