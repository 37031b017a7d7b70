#include "ui/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/runtime_error.h"
#include "jet/error.h"
#include "jet/file.h"
#include "ui/ui_port.h"

namespace tdv::ui {

namespace {

[[noreturn]] void throwIo(const std::string& what, const std::string& path, int err) {
    const std::string reason = err == ENOSPC   ? "the disk is full"
                               : err == EDQUOT ? "the disk quota is exhausted"
                                               : std::strerror(err);
    throw jet::Error(jet::ErrorKind::Io, jet::errnum::kIo, what + " '" + path + "': " + reason);
}

// Creating or removing a name fails as the runtime's file statements did: 75.
[[noreturn]] void throwPathError(const std::string& what, const std::string& path, int err) {
    throw std::filesystem::filesystem_error(what, path,
                                            std::error_code(err, std::generic_category()));
}

// A failed write or close, with the runtime's numbers: a full disk is 61, anything else 57.
// The file system promises "the disk is full" in the text of a full disk's error.
[[noreturn]] void throwWriteError(const jet::Error& e) {
    const std::string text = e.description();
    if (text.find("the disk is full") != std::string::npos ||
        text.find("quota") != std::string::npos)
        throw db::DbError(61, "Disk full");
    throw db::DbError(57, "Device I/O error");
}

[[noreturn]] void badFileName() {
    throw db::DbError(64, "Bad file name");
}

// A file created new on the real file system; only what an output needs.
class CreatedFile : public jet::File {
public:
    explicit CreatedFile(const std::string& path) : path_(path) {
        // O_EXCL with O_CREAT never follows a link at the name, dangling or not;
        // O_NOFOLLOW says the same for older kernels' sake.
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd_ < 0) throwPathError("Cannot create", path, errno);
    }
    ~CreatedFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    uint64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) throwIo("Cannot read the size of", path_, errno);
        return static_cast<uint64_t>(st.st_size);
    }
    void readAt(uint64_t, uint8_t*, size_t) override {
        throw jet::Error(jet::ErrorKind::Io, jet::errnum::kIo,
                         "Cannot read '" + path_ + "': opened for writing only");
    }
    void writeAt(uint64_t offset, const uint8_t* data, size_t n) override {
        size_t done = 0;
        while (done < n) {
            const ssize_t r =
                ::pwrite(fd_, data + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                throwIo("Cannot write", path_, errno);
            }
            if (r == 0) throwIo("Cannot write", path_, ENOSPC);
            done += static_cast<size_t>(r);
        }
    }
    void sync() override {
        if (::fsync(fd_) != 0) throwIo("Cannot write", path_, errno);
        const int fd = fd_;
        fd_ = -1;
        // The close is checked too: some file systems report a failed write only here.
        if (::close(fd) != 0 && errno != EINTR) throwIo("Cannot close", path_, errno);
    }
    void truncate(uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            throwIo("Cannot truncate", path_, errno);
    }

private:
    std::string path_;
    int fd_ = -1;
};

// The first byte of the UTF-8 character that holds byte `at`.
size_t characterStart(const std::string& text, size_t at) {
    while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
    return at;
}

// Cuts `name` to the byte limit, keeping a short extension whole.
std::string cutToLimit(const std::string& name, size_t limit) {
    if (name.size() <= limit) return name;
    std::string extension;
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= 16)
        extension = name.substr(dot);
    const std::string stem = name.substr(0, name.size() - extension.size());
    const size_t keep = characterStart(stem, limit - extension.size());
    return stem.substr(0, keep) + extension;
}

}  // namespace

std::string safeFileName(const std::string& name) {
    std::string safe = name;
    for (char& c : safe)
        if (c == '/' || c == '\0') c = '_';
    safe = cutToLimit(safe, kMaxFileNameBytes);
    if (safe.empty() || safe == "." || safe == "..") badFileName();
    return safe;
}

std::string FileNames::unique(const std::string& name) {
    const std::string safe = safeFileName(name);
    std::string candidate = safe;
    for (int n = 2; used_.count(candidate) != 0; ++n) {
        const std::string suffix = "_" + std::to_string(n);
        const size_t dot = safe.find_last_of('.');
        const size_t split = dot == std::string::npos || dot == 0 ? safe.size() : dot;
        std::string stem = safe.substr(0, split);
        const std::string extension = safe.substr(split);
        const size_t room = kMaxFileNameBytes - suffix.size() - extension.size();
        if (stem.size() > room) stem = stem.substr(0, characterStart(stem, room));
        candidate = stem + suffix + extension;
    }
    used_.insert(candidate);
    return candidate;
}

void removeEntry(UiPort& ui, const std::string& path) {
    if (jet::FileSystem* fs = ui.outputFileSystem()) {
        if (fs->exists(path)) fs->remove(path);
        return;
    }
    // unlink removes the name itself: a link goes, whatever it points to stays untouched,
    // and a read-only file needs no change of its permissions.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throwPathError("Cannot remove", path, errno);
}

bool entryExists(UiPort& ui, const std::string& path) {
    if (jet::FileSystem* fs = ui.outputFileSystem()) return fs->exists(path);
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

OutputFile::OutputFile(UiPort& ui, std::string path) : ui_(ui), path_(std::move(path)) {
    removeEntry(ui_, path_);
    if (jet::FileSystem* fs = ui_.outputFileSystem()) {
        try {
            file_ = fs->open(path_, jet::FileSystem::Mode::CreateReadWrite);
        } catch (const jet::Error&) {
            throwPathError("Cannot create", path_, EIO);
        }
    } else {
        file_ = std::make_unique<CreatedFile>(path_);
    }
}

OutputFile::~OutputFile() {
    if (!closed_) discard();
}

void OutputFile::write(const uint8_t* data, size_t size) {
    if (!file_) throw db::DbError(52, "Bad file name or number");
    if (size == 0) return;
    try {
        file_->writeAt(offset_, data, size);
    } catch (const jet::Error& e) {
        throwWriteError(e);
    }
    offset_ += size;
}

void OutputFile::write(std::string_view text) {
    write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void OutputFile::close() {
    if (closed_) return;
    if (!file_) throw db::DbError(52, "Bad file name or number");
    try {
        file_->sync();
        file_.reset();
    } catch (const jet::Error& e) {
        discard();
        throwWriteError(e);
    } catch (...) {
        discard();
        throw;
    }
    closed_ = true;
}

void OutputFile::discard() {
    file_.reset();
    closed_ = true;
    try {
        removeEntry(ui_, path_);
    } catch (...) {
        // Nothing more can be done about a file that cannot be removed; the failure that
        // led here is what the user is told.
    }
}

}  // namespace tdv::ui
