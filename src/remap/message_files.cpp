#include "remap/message_files.h"

#include <sys/resource.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

#include "db/connect_string.h"
#include "db/db_error.h"
#include "db/error_mapping.h"
#include "db/recordset.h"
#include "db/transaction.h"
#include "jet/index_key.h"
#include "jet/page_file.h"
#include "remap/apply_rows.h"
#include "remap/remap_lookups.h"

namespace tdv::remap {
namespace fs = std::filesystem;

namespace {

constexpr const char* kPrefix = "zerithmessage_backup_";

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

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

int16_t asCount(long n) {
    if (n > std::numeric_limits<int16_t>::max() || n < std::numeric_limits<int16_t>::min())
        throw db::overflowError();
    return static_cast<int16_t>(n);
}

}  // namespace

bool isMessageBackupFileName(const std::string& fileName) {
    if (fileName.size() < 4) return false;
    const std::string l = lower(fileName);
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
    auto db = cache_->open(file.path, true);
    if (db != file.db.lock()) {
        ++fileOpens_;
        // No other program saves to the file while the apply has it open.
        db::translatingEngineErrors([&] { db->pages().holdWriter(); });
        file.db = db;
    }
    return db;
}

void MessageBackupFiles::load(File& file) {
    file.loaded = true;
    try {
        const auto db = reopen(file);
        file.version = db->info().version;
        file.counts.clear();
        db::Recordset rs(*cache_);
        rs.Open("SELECT FromAlias, ToAlias FROM Messages", file.connect, db::adOpenKeyset,
                db::adLockReadOnly);
        const db::Field from = rs("FromAlias");
        const db::Field to = rs("ToAlias");
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
    list(proc);
    keys_.clear();
    Outcome outcome;
    if (!copyFilesToChange(oldAlias, log, proc, outcome)) return outcome;
    // The count variable keeps its value when a count fails, as the line written after it
    // then shows.
    int16_t count = 0;
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
        try {
            const bool changed = strategy_ == Strategy::PerRowQueries
                                     ? renameByQueries(file, oldAlias, newAlias, log, proc, count)
                                     : renameCounted(file, oldAlias, newAlias, log, proc, count);
            if (changed) outcome.changed.push_back(file.path);
        } catch (...) {
            const ui::ErrorInfo error = ui::currentErrorInfo();
            proc.report(error);
            outcome.failure = file.path + " could not be changed (" + error.description + ")";
            // The file's counts may no longer match it; read them again when next needed.
            file.loaded = false;
            break;
        }
    }
    return outcome;
}

bool MessageBackupFiles::renameCounted(File& file, const std::string& oldAlias,
                                       const std::string& newAlias, const LogLine& log,
                                       ui::Procedure& proc, int16_t& count) {
    const std::string storedOld = stored(oldAlias);
    const std::string storedNew = stored(newAlias);
    const std::string& key = keyOf(storedOld, file.version);
    const auto it = file.counts.find(key);
    const int32_t from = it == file.counts.end() ? 0 : it->second.from;
    const int32_t to = it == file.counts.end() ? 0 : it->second.to;
    proc.step([&] { count = asCount(from); });
    log(countLine(count, "fromAlias", oldAlias, file.path));
    proc.step([&] { count = asCount(to); });
    log(countLine(count, "toAlias", oldAlias, file.path));
    if (from == 0 && to == 0) return false;
    if (!dryRun_) writeRename(file, storedOld, storedNew, from, to, log);
    // The rows now hold the new alias (the same entry when only the case changed).
    Counts& was = file.counts[key];
    was.from -= from;
    was.to -= to;
    Counts& now = file.counts[keyOf(storedNew, file.version)];
    now.from += from;
    now.to += to;
    return true;
}

void MessageBackupFiles::writeRename(File& file, const std::string& storedOld,
                                     const std::string& storedNew, int32_t from, int32_t to,
                                     const LogLine& log) {
    // Both columns change in one save of the file.
    reopen(file);
    copyBeforeChange(file.path, log);
    db::runInTransaction(*cache_, file.connect, [&] {
        const std::pair<const char*, int32_t> columns[] = {{"FromAlias", from}, {"ToAlias", to}};
        for (const auto& [name, rows] : columns) {
            if (rows == 0) continue;
            db::Recordset rs(*cache_);
            rs.Open(std::string("UPDATE Messages SET ") + name + "=" + sqlQuoted(storedNew) +
                        " WHERE " + name + "=" + sqlQuoted(storedOld),
                    file.connect, db::adOpenKeyset, db::adLockOptimistic);
        }
    });
}

bool MessageBackupFiles::copyFilesToChange(const std::string& oldAlias, const LogLine& log,
                                           ui::Procedure& proc, Outcome& outcome) {
    if (!safety_ || !safety_->enabled() || strategy_ != Strategy::Counts || dryRun_) return true;
    for (File& file : files_) {
        if (!file.loaded) load(file);
        if (file.failure) continue;
        const std::string& key = keyOf(stored(oldAlias), file.version);
        const auto it = file.counts.find(key);
        if (it == file.counts.end() || (it->second.from == 0 && it->second.to == 0)) continue;
        try {
            reopen(file);
            copyBeforeChange(file.path, log);
        } catch (...) {
            const ui::ErrorInfo error = ui::currentErrorInfo();
            proc.report(error);
            outcome.failure = file.path + " could not be changed (" + error.description + ")";
            return false;
        }
    }
    return true;
}

void MessageBackupFiles::copyBeforeChange(const std::string& path, const LogLine& log) {
    if (!safety_) return;
    const size_t before = safety_->copies().size();
    safety_->beforeChange(path);
    if (safety_->copies().size() > before)
        log("    Safety copy of " + path + " written: " + safety_->copies().back());
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
