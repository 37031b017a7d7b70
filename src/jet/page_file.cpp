#include "jet/page_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "jet/error.h"

namespace jet {
namespace {

[[noreturn]] void throwIo(const std::string& what, const std::string& path) {
    throw Error(ErrorKind::Io, errnum::kIo, what + " '" + path + "': " + std::strerror(errno));
}

class PosixFile : public File {
public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override { ::close(fd_); }

    uint64_t size() override {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) throwIo("Cannot read the size of", path_);
        return static_cast<uint64_t>(st.st_size);
    }

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

private:
    int fd_;
    std::string path_;
};

class PosixFileSystem : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, Mode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
            case Mode::ReadOnly: flags |= O_RDONLY; break;
            case Mode::ReadWrite: flags |= O_RDWR; break;
            case Mode::CreateReadWrite: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        }
        int fd = ::open(path.c_str(), flags, 0644);
        if (fd < 0) throwIo("Cannot open", path);
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = EISDIR;
            throwIo("Cannot open", path);
        }
        return std::make_unique<PosixFile>(fd, path);
    }
    bool exists(const std::string& path) override { return ::access(path.c_str(), F_OK) == 0; }
    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) throwIo("Cannot remove", path);
    }
};

constexpr size_t kCachePages = 64;

}  // namespace

FileSystem& FileSystem::real() {
    static PosixFileSystem fs;
    return fs;
}

PageFile::PageFile(std::unique_ptr<File> file, uint32_t pageSize)
    : file_(std::move(file)), pageSize_(pageSize), fileSize_(file_->size()) {}

void PageFile::setPageSize(uint32_t pageSize) {
    pageSize_ = pageSize;
    dropCache();
}

uint32_t PageFile::pageCount() const {
    return pageSize_ == 0 ? 0 : static_cast<uint32_t>(fileSize_ / pageSize_);
}

Page PageFile::read(uint32_t n) {
    if (auto it = cache_.find(n); it != cache_.end()) return it->second;
    if (pageSize_ == 0 || n >= pageCount())
        throw Error(ErrorKind::Corrupt, errnum::kCorrupt,
                    "Damaged database: page " + std::to_string(n) + " is beyond the end of the file");
    auto buf = std::make_shared<std::vector<uint8_t>>(pageSize_);
    file_->readAt(static_cast<uint64_t>(n) * pageSize_, buf->data(), pageSize_);
    if (cache_.size() >= kCachePages) {
        cache_.erase(cacheOrder_.front());
        cacheOrder_.erase(cacheOrder_.begin());
    }
    cache_.emplace(n, buf);
    cacheOrder_.push_back(n);
    return buf;
}

void PageFile::readRaw(uint64_t offset, uint8_t* out, size_t n) {
    if (offset + n > fileSize_)
        throw Error(ErrorKind::Corrupt, errnum::kCorrupt,
                    "Damaged database: the file is shorter than its header");
    file_->readAt(offset, out, n);
}

void PageFile::dropCache() {
    cache_.clear();
    cacheOrder_.clear();
    fileSize_ = file_->size();
}

}  // namespace jet
