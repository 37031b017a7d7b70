#include "jet/fault_injection.h"

// Only builds with the test hooks (TDV_TEST_HOOKS, given to the files that hold a hook) can
// inject failures: elsewhere nothing reads TDV_FAULT_LOG or TDV_FAIL_AT.
#ifdef TDV_TEST_HOOKS

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "jet/error.h"

namespace jet {
namespace {

class FaultInjectingFileSystem;

class FaultInjectingFile : public File {
public:
    FaultInjectingFile(FaultInjectingFileSystem& fs, std::unique_ptr<File> inner, std::string path)
        : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}

    uint64_t size() override { return inner_->size(); }
    void readAt(uint64_t offset, uint8_t* out, size_t n) override;
    void writeAt(uint64_t offset, const uint8_t* data, size_t n) override;
    void sync() override;
    void truncate(uint64_t size) override;
    bool tryLock(LockRange range, LockMode mode) override;
    FileIdentity identity() override { return inner_->identity(); }
    void setModificationTime(int64_t mtimeNs) override { inner_->setModificationTime(mtimeNs); }

private:
    FaultInjectingFileSystem& fs_;
    std::unique_ptr<File> inner_;
    std::string path_;
};

class FaultInjectingFileSystem : public FileSystem {
public:
    FaultInjectingFileSystem(FileSystem& inner, const char* log, const char* failAt)
        : inner_(inner), log_(log ? log : "") {
        if (!failAt) return;
        const char* colon = std::strchr(failAt, ':');
        failAt_ = std::atol(failAt);
        const std::string kind = colon ? colon + 1 : "EIO";
        failErrno_ = kind == "ENOSPC" ? ENOSPC : kind == "EACCES" ? EACCES : EIO;
    }

    // Counts one call; throws the injected failure when it is the chosen one.
    void counted(const char* kind, const std::string& path, const char* what) {
        const long n = ++count_;
        if (!log_.empty()) {
            if (std::FILE* f = std::fopen(log_.c_str(), "a")) {
                std::fprintf(f, "%ld %s %s\n", n, kind, path.c_str());
                std::fclose(f);
            }
        }
        if (n != failAt_) return;
        if (std::strcmp(kind, "lock") == 0) throwOsError(what, path, EIO);
        throwOsError(what, path, failErrno_);
    }
    // The first read of each path counts; later ones pass.
    void firstRead(const std::string& path) {
        if (read_.insert(path).second) counted("read", path, "Cannot read");
    }

    std::unique_ptr<File> open(const std::string& path, Mode mode) override {
        if (mode == Mode::CreateReadWrite || mode == Mode::CreateNew)
            counted("create", path, mode == Mode::CreateNew ? "Cannot create" : "Cannot open");
        return std::make_unique<FaultInjectingFile>(*this, inner_.open(path, mode), path);
    }
    bool exists(const std::string& path) override { return inner_.exists(path); }
    void remove(const std::string& path) override {
        counted("remove", path, "Cannot remove");
        inner_.remove(path);
    }
    void syncDirectoryOf(const std::string& path) override {
        counted("syncdir", path, "Cannot sync the folder of");
        inner_.syncDirectoryOf(path);
    }
    FileIdentity identityOf(const std::string& path) override { return inner_.identityOf(path); }
    Entry entryAt(const std::string& path) override { return inner_.entryAt(path); }
    void createFolder(const std::string& path) override {
        counted("mkdir", path, "Cannot create the folder");
        inner_.createFolder(path);
    }
    std::vector<std::string> list(const std::string& folder) override {
        return inner_.list(folder);
    }
    void renameNoReplace(const std::string& from, const std::string& to) override {
        counted("rename", to, "Cannot name");
        inner_.renameNoReplace(from, to);
    }

private:
    FileSystem& inner_;
    std::string log_;
    long failAt_ = 0;
    int failErrno_ = EIO;
    long count_ = 0;
    std::set<std::string> read_;
};

void FaultInjectingFile::readAt(uint64_t offset, uint8_t* out, size_t n) {
    fs_.firstRead(path_);
    inner_->readAt(offset, out, n);
}
void FaultInjectingFile::writeAt(uint64_t offset, const uint8_t* data, size_t n) {
    fs_.counted("write", path_, "Cannot write");
    inner_->writeAt(offset, data, n);
}
void FaultInjectingFile::sync() {
    fs_.counted("sync", path_, "Cannot sync");
    inner_->sync();
}
void FaultInjectingFile::truncate(uint64_t size) {
    fs_.counted("truncate", path_, "Cannot truncate");
    inner_->truncate(size);
}
bool FaultInjectingFile::tryLock(LockRange range, LockMode mode) {
    // Releasing a lock cannot fail in a way anyone handles (it runs in destructors): only
    // taking one counts.
    if (mode != LockMode::Unlocked) fs_.counted("lock", path_, "Cannot lock");
    return inner_->tryLock(range, mode);
}

}  // namespace

FileSystem* faultInjectionFromEnvironment(FileSystem& real) {
    const char* log = std::getenv("TDV_FAULT_LOG");
    const char* failAt = std::getenv("TDV_FAIL_AT");
    if ((!log || !*log) && (!failAt || !*failAt)) return nullptr;
    static FaultInjectingFileSystem fs(real, log && *log ? log : nullptr,
                                       failAt && *failAt ? failAt : nullptr);
    return &fs;
}

}  // namespace jet

#else

namespace jet {
FileSystem* faultInjectionFromEnvironment(FileSystem&) {
    return nullptr;
}
}  // namespace jet

#endif  // TDV_TEST_HOOKS
