// The real file system: POSIX calls, errors turned into jet::Error.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "jet/error.h"
#include "jet/fault_injection.h"
#include "jet/file.h"

namespace jet {

void throwOsError(const std::string& what, const std::string& path, int err) {
    std::string reason = err == ENOSPC   ? "the disk is full"
                         : err == EDQUOT ? "the disk quota is exhausted"
                                         : std::strerror(err);
    throw Error(ErrorKind::Io, errnum::kIo, what + " '" + path + "': " + reason);
}

namespace {

[[noreturn]] void throwIo(const std::string& what, const std::string& path) {
    throwOsError(what, path, errno);
}

FileIdentity identityFromStat(const struct stat& st) {
    FileIdentity id;
    id.size = static_cast<uint64_t>(st.st_size);
    id.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    return id;
}

[[noreturn]] void throwReadOnly(const std::string& path) {
    throw Error(ErrorKind::ReadOnly, errnum::kReadOnly,
                "Cannot open '" + path + "' for writing: the file is read-only");
}

// The lock ranges are single bytes far beyond any Access file (Jet files stop at 2 GiB), so
// they never cover data and never collide with locks other programs take on file contents.
constexpr off_t kLockBase = off_t{1} << 62;

class PosixFile : public File {
public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }

    uint64_t size() override { return identity().size; }

    void readAt(uint64_t offset, uint8_t* out, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                throwIo("Cannot read", path_);
            }
            if (r == 0)
                throw Error(ErrorKind::Corrupt, errnum::kCorrupt,
                            "Damaged database: unexpected end of file in '" + path_ + "'");
            done += static_cast<size_t>(r);
        }
    }

    void writeAt(uint64_t offset, const uint8_t* data, size_t n) override {
        size_t done = 0;
        while (done < n) {
            ssize_t r = ::pwrite(fd_, data + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) continue;
                throwIo("Cannot write", path_);
            }
            done += static_cast<size_t>(r);
        }
    }

    void sync() override {
        if (::fsync(fd_) != 0) throwIo("Cannot sync", path_);
    }

    void truncate(uint64_t size) override {
        if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throwIo("Cannot truncate", path_);
    }

    // Open-file-description locks: they belong to this File, so two Files of one process
    // conflict as two processes do (classic fcntl locks would not), and closing another
    // descriptor of the same file does not drop them.
    bool tryLock(LockRange range, LockMode mode) override {
        struct flock fl {};
        fl.l_type = mode == LockMode::Exclusive ? F_WRLCK
                    : mode == LockMode::Shared  ? F_RDLCK
                                                : F_UNLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = kLockBase + static_cast<off_t>(range);
        fl.l_len = 1;
        while (::fcntl(fd_, F_OFD_SETLK, &fl) != 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EACCES) return false;
            throwIo("Cannot lock", path_);
        }
        return true;
    }

    FileIdentity identity() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) throwIo("Cannot read the attributes of", path_);
        return identityFromStat(st);
    }

    void setModificationTime(int64_t mtimeNs) override {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = static_cast<time_t>(mtimeNs / 1000000000);
        times[1].tv_nsec = static_cast<long>(mtimeNs % 1000000000);
        if (::futimens(fd_, times) != 0) throwIo("Cannot set the modification time of", path_);
    }

private:
    int fd_;
    std::string path_;
};

class PosixFileSystem : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, Mode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
            case Mode::ReadOnly:
                flags |= O_RDONLY;
                break;
            case Mode::ReadWrite:
                flags |= O_RDWR;
                break;
            case Mode::CreateReadWrite:
                flags |= O_RDWR | O_CREAT | O_TRUNC;
                break;
            case Mode::CreateNew:
                // O_EXCL with O_CREAT never follows a link at the name, dangling or not.
                flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW;
                break;
        }
        // A file without any write permission bit is read-only for this program even when
        // the user could override that (root): someone marked it so on purpose.
        struct stat before {};
        if (mode != Mode::ReadOnly && mode != Mode::CreateNew &&
            ::stat(path.c_str(), &before) == 0 && S_ISREG(before.st_mode) &&
            (before.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throwReadOnly(path);
        int fd = ::open(path.c_str(), flags, 0644);
        if (fd < 0) {
            if ((mode == Mode::ReadWrite || mode == Mode::CreateReadWrite) &&
                (errno == EACCES || errno == EROFS || errno == EPERM))
                throwReadOnly(path);
            if (mode == Mode::CreateNew) throwIo("Cannot create", path);
            throwIo("Cannot open", path);
        }
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = EISDIR;
            throwIo("Cannot open", path);
        }
        return std::make_unique<PosixFile>(fd, path);
    }

    FileIdentity identityOf(const std::string& path) override {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) throwIo("Cannot read the attributes of", path);
        return identityFromStat(st);
    }

    bool exists(const std::string& path) override { return ::access(path.c_str(), F_OK) == 0; }

    Entry entryAt(const std::string& path) override {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return {};
            throwIo("Cannot read the attributes of", path);
        }
        Entry e;
        e.identity = identityFromStat(st);
        e.kind = S_ISLNK(st.st_mode)   ? EntryKind::Link
                 : S_ISREG(st.st_mode) ? EntryKind::File
                 : S_ISDIR(st.st_mode) ? EntryKind::Folder
                                       : EntryKind::Other;
        return e;
    }

    void createFolder(const std::string& path) override {
        if (path.empty()) return;
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
        auto slash = path.find_last_of('/');
        if (slash != std::string::npos && slash > 0) createFolder(path.substr(0, slash));
        if (::mkdir(path.c_str(), 0755) == 0) return;
        int err = errno;
        if (err == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return;
        errno = err == EEXIST ? ENOTDIR : err;
        throwIo("Cannot create the folder", path);
    }

    std::vector<std::string> list(const std::string& folder) override {
        DIR* dir = ::opendir(folder.c_str());
        if (!dir) throwIo("Cannot list the folder", folder);
        std::vector<std::string> names;
        while (const dirent* d = ::readdir(dir)) {
            std::string name = d->d_name;
            if (name != "." && name != "..") names.push_back(std::move(name));
        }
        ::closedir(dir);
        return names;
    }

    void renameNoReplace(const std::string& from, const std::string& to) override {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return;
        if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) throwIo("Cannot name", to);
        // A file system without that rename: a second name that cannot replace anything,
        // then the first name goes.
        if (::link(from.c_str(), to.c_str()) != 0) throwIo("Cannot name", to);
        if (::unlink(from.c_str()) != 0) throwIo("Cannot remove", from);
    }

    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) throwIo("Cannot remove", path);
    }

    void syncDirectoryOf(const std::string& path) override {
        auto slash = path.find_last_of('/');
        std::string dir = slash == std::string::npos ? "."
                          : slash == 0               ? "/"
                                                     : path.substr(0, slash);
        int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) throwIo("Cannot open the folder", dir);
        int rc = ::fsync(fd);
        int err = errno;
        ::close(fd);
        // Some file systems cannot sync a directory; there is nothing more to do on them.
        if (rc != 0 && err != EINVAL && err != ENOTSUP) {
            errno = err;
            throwIo("Cannot sync the folder", dir);
        }
    }
};

}  // namespace

FileSystem& FileSystem::real() {
    static PosixFileSystem posix;  // stateless
    // Test builds may put a wrapper in front that injects failures (fault_injection.h).
    static FileSystem* const fs = faultInjectionFromEnvironment(posix);
    return fs ? *fs : posix;
}

}  // namespace jet
