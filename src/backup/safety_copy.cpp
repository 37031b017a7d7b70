#include "backup/safety_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <ctime>
#include <vector>

#include "backup/app_state.h"
#include "db/connect_string.h"
#include "db/db_error.h"
#include "jet/file.h"
#include "ui/output_file.h"
#include "ui/procedure.h"

namespace tdv::backup {
namespace {

// The number the runtime gave a file that could not be created or written.
constexpr long kPathFileAccessError = 75;

std::string timeStamp(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// A failure that already names the copy and its cause.
struct CopyError : db::DbError {
    using db::DbError::DbError;
};

[[noreturn]] void copyFailed(const std::string& path, const std::string& cause) {
    throw CopyError(kPathFileAccessError, "The safety copy of " + path + " could not be written (" +
                                              cause + "); nothing was changed.");
}

// The original, opened for reading.
class Source {
public:
    explicit Source(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        if (fd_ < 0) copyFailed(path, std::strerror(errno));
        if (::fstat(fd_, &st_) != 0) copyFailed(path, std::strerror(errno));
    }
    ~Source() { ::close(fd_); }
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    int fd() const { return fd_; }
    const struct stat& status() const { return st_; }

private:
    int fd_;
    struct stat st_ {};
};

void copyInto(const Source& source, ui::OutputFile& out, const std::string& path) {
    std::vector<uint8_t> buffer(1 << 20);
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(source.fd(), buffer.data(), buffer.size(), offset);
        if (n < 0) {
            if (errno == EINTR) continue;
            copyFailed(path, std::strerror(errno));
        }
        if (n == 0) break;
        out.write(buffer.data(), static_cast<size_t>(n));
        offset += n;
    }
    if (offset != source.status().st_size)
        copyFailed(path, "the file changed size while it was copied");
}

// The copy gets no permission the original lacks (a backup holds the whole directory).
void narrowPermissions(const std::string& copy, mode_t original) {
    const int fd = ::open(copy.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) == 0) ::fchmod(fd, st.st_mode & original & 07777);
    ::close(fd);
}

}  // namespace

bool safetyCopyEnabled(ui::UiPort& ui) {
    return ui.setting(kSettingsSection, kSafetyCopySettingKey, "1") != "0";
}

void setSafetyCopyEnabled(ui::UiPort& ui, bool enabled) {
    ui.saveSetting(kSettingsSection, kSafetyCopySettingKey, enabled ? "1" : "0");
}

std::string safetyCopyName(const std::string& path, std::chrono::system_clock::time_point when) {
    return path + "." + timeStamp(when) + ".bak";
}

SafetyCopies::SafetyCopies(ui::UiPort& ui, Clock clock)
    : ui_(ui), clock_(std::move(clock)), enabled_(safetyCopyEnabled(ui)) {}

SafetyCopies::~SafetyCopies() = default;

void SafetyCopies::beforeChange(db::DatabaseCache& cache, const std::string& connectString) {
    if (!enabled_) return;
    const std::string path = db::dataSourceOf(connectString);
    if (std::find(originals_.begin(), originals_.end(), path) != originals_.end()) return;
    try {
        holds_.push_back(std::make_unique<db::WriterHold>(cache, connectString));
    } catch (...) {
        failed_ = true;
        throw;
    }
    beforeChange(path);
}

void SafetyCopies::beforeChange(const std::string& path) {
    if (!enabled_) return;
    if (std::find(originals_.begin(), originals_.end(), path) != originals_.end()) return;
    if (stamp_.empty()) stamp_ = timeStamp(clock_());
    std::string copy;
    try {
        const Source source(path);
        // A name already taken (a copy of an earlier run in the same second, or anything
        // else) is left alone.
        copy = path + "." + stamp_ + ".bak";
        for (int n = 2; ui::entryExists(ui_, copy); ++n)
            copy = path + "." + stamp_ + "-" + std::to_string(n) + ".bak";
        // Written under a temporary name beside it, and named only once whole and synced.
        ui::OutputFile out(ui_, copy);
        copyInto(source, out, path);
        if (!ui_.outputFileSystem())
            narrowPermissions(out.temporaryPath(), source.status().st_mode);
        out.close();
    } catch (const CopyError&) {
        failed_ = true;
        throw;
    } catch (...) {
        failed_ = true;
        copyFailed(path, ui::currentErrorInfo().description);
    }
    originals_.push_back(path);
    copies_.push_back(copy);
}

std::string SafetyCopies::summary() const {
    if (copies_.empty()) return {};
    std::string list;
    for (const std::string& c : copies_) list += (list.empty() ? "" : ", ") + c;
    return (copies_.size() == 1 ? "Safety copy of the file as it was before: "
                                : "Safety copies of the files as they were before: ") +
           list;
}

namespace {

// Whether the two files hold the same bytes (false when either cannot be read).
bool sameBytes(const std::string& a, const std::string& b) {
    const int fa = ::open(a.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int fb = ::open(b.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    bool same = fa >= 0 && fb >= 0;
    struct stat sa {
    }, sb{};
    if (same) same = ::fstat(fa, &sa) == 0 && ::fstat(fb, &sb) == 0 && sa.st_size == sb.st_size;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    for (off_t offset = 0; same && offset < sa.st_size;) {
        const ssize_t na = ::pread(fa, ba.data(), ba.size(), offset);
        const ssize_t nb = ::pread(fb, bb.data(), bb.size(), offset);
        same =
            na > 0 && na == nb && std::memcmp(ba.data(), bb.data(), static_cast<size_t>(na)) == 0;
        offset += na;
    }
    if (fa >= 0) ::close(fa);
    if (fb >= 0) ::close(fb);
    return same;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> SafetyCopies::removeUnchanged() {
    std::vector<std::pair<std::string, std::string>> removed;
    if (ui_.outputFileSystem()) return removed;
    for (size_t i = 0; i < copies_.size();) {
        if (!sameBytes(copies_[i], originals_[i]) || ::unlink(copies_[i].c_str()) != 0) {
            ++i;
            continue;
        }
        jet::FileSystem::real().syncDirectoryOf(copies_[i]);
        removed.emplace_back(copies_[i], originals_[i]);
        copies_.erase(copies_.begin() + static_cast<std::ptrdiff_t>(i));
        originals_.erase(originals_.begin() + static_cast<std::ptrdiff_t>(i));
    }
    return removed;
}

}  // namespace tdv::backup
