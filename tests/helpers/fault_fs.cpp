#include "helpers/fault_fs.h"

#include <cerrno>
#include <cstring>

#include "jet/error.h"

namespace tdv::test {
namespace {

constexpr size_t kSector = 512;

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class FaultFile : public jet::File {
public:
    FaultFile(FaultFileSystem& fs, std::unique_ptr<jet::File> inner, std::string path)
        : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}

    uint64_t size() override {
        fs_.checkAlive();
        return inner_->size();
    }
    void readAt(uint64_t offset, uint8_t* out, size_t n) override {
        fs_.checkAlive();
        inner_->readAt(offset, out, n);
    }
    void writeAt(uint64_t offset, const uint8_t* data, size_t n) override {
        fs_.recordWrite(path_, offset, data, n);  // checks faults first
        inner_->writeAt(offset, data, n);
    }
    void sync() override {
        fs_.beforeOperation("sync", path_, false);
        fs_.recordSync(path_);
    }
    void truncate(uint64_t size) override {
        fs_.recordTruncate(path_, size);
        inner_->truncate(size);
    }
    bool tryLock(jet::LockRange range, jet::LockMode mode) override {
        fs_.checkAlive();
        return inner_->tryLock(range, mode);
    }
    jet::FileIdentity identity() override {
        fs_.checkAlive();
        return inner_->identity();
    }

private:
    FaultFileSystem& fs_;
    std::unique_ptr<jet::File> inner_;
    std::string path_;
};

}  // namespace

void FaultFileSystem::failWrite(int n, int err, bool persistent) {
    failAt_ = n;
    failErrno_ = err;
    failPersistent_ = persistent;
}

void FaultFileSystem::crashAt(int n, Loss loss, uint32_t seed) {
    crashAt_ = n;
    loss_ = loss;
    random_.seed(seed);
}

void FaultFileSystem::checkAlive() const {
    if (crashed_) throw SimulatedCrash();
}

FaultFileSystem::Tracked& FaultFileSystem::track(const std::string& path) {
    auto it = tracked_.find(path);
    if (it != tracked_.end()) return it->second;
    Tracked t;
    // Whatever was on the disk before this file system saw it counts as durable.
    t.durableExists = disk_.exists(path);
    if (t.durableExists) t.durable = disk_.bytes(path);
    return tracked_.emplace(path, std::move(t)).first->second;
}

void FaultFileSystem::beforeOperation(const std::string& kind, const std::string& path,
                                      bool isWrite) {
    checkAlive();
    ++operations_;
    log_.push_back(kind + " " + path);
    if (isWrite) ++writes_;
    if (!isWrite) ++syncs_;
    if (isWrite && failAt_ > 0 && (writes_ == failAt_ || (failPersistent_ && writes_ > failAt_))) {
        std::string reason = failErrno_ == ENOSPC ? "the disk is full" : std::strerror(failErrno_);
        throw jet::Error(jet::ErrorKind::Io, jet::errnum::kIo,
                         "Cannot write '" + path + "': " + reason);
    }
    if (crashAt_ > 0 && operations_ == crashAt_) {
        powerLoss();
        throw SimulatedCrash();
    }
}

void FaultFileSystem::recordWrite(const std::string& path, uint64_t offset, const uint8_t* data,
                                  size_t n) {
    Tracked& t = track(path);
    Change c{Change::Write, offset, std::vector<uint8_t>(data, data + n)};
    // The write under way when the power fails may reach the disk in part.
    if (crashAt_ > 0 && operations_ + 1 == crashAt_ && !crashed_) t.changes.push_back(c);
    beforeOperation("write", path, true);
    t.changes.push_back(std::move(c));
}

void FaultFileSystem::recordTruncate(const std::string& path, uint64_t size) {
    Tracked& t = track(path);
    Change c{Change::Truncate, size, {}};
    if (crashAt_ > 0 && operations_ + 1 == crashAt_ && !crashed_) t.changes.push_back(c);
    beforeOperation("truncate", path, true);
    t.changes.push_back(std::move(c));
}

void FaultFileSystem::recordSync(const std::string& path) {
    Tracked& t = track(path);
    if (!disk_.exists(path)) return;  // removed while open; nothing of it to keep
    t.durable = disk_.bytes(path);
    t.changes.clear();
}

std::unique_ptr<jet::File> FaultFileSystem::open(const std::string& path, Mode mode) {
    checkAlive();
    if (mode == Mode::CreateReadWrite || mode == Mode::CreateNew) {
        Tracked& t = track(path);
        bool existed = disk_.exists(path);
        beforeOperation("create", path, true);
        if (existed)
            t.changes.push_back(Change{Change::Truncate, 0, {}});
        else
            t.nameChanged = true;
    }
    auto inner = disk_.open(path, mode);
    return std::make_unique<FaultFile>(*this, std::move(inner), path);
}

bool FaultFileSystem::exists(const std::string& path) {
    checkAlive();
    return disk_.exists(path);
}

void FaultFileSystem::remove(const std::string& path) {
    Tracked& t = track(path);
    beforeOperation("remove", path, false);
    if (disk_.exists(path)) t.nameChanged = true;
    disk_.remove(path);
}

jet::Entry FaultFileSystem::entryAt(const std::string& path) {
    checkAlive();
    return disk_.entryAt(path);
}

void FaultFileSystem::createFolder(const std::string& path) {
    beforeOperation("mkdir", path, true);
    disk_.createFolder(path);
}

std::vector<std::string> FaultFileSystem::list(const std::string& folder) {
    checkAlive();
    return disk_.list(folder);
}

void FaultFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
    Tracked& source = track(from);
    track(to);
    beforeOperation("rename", to, true);
    disk_.renameNoReplace(from, to);
    Tracked moved = source;
    moved.durableExists = false;
    moved.renamedIn = true;
    moved.nameChanged = true;
    tracked_[to] = std::move(moved);
    Tracked& left = tracked_[from];
    left.nameChanged = true;
}

void FaultFileSystem::syncDirectoryOf(const std::string& path) {
    beforeOperation("syncdir", path, false);
    std::string folder = folderOf(path);
    for (auto& [name, t] : tracked_) {
        if (folderOf(name) != folder || !t.nameChanged) continue;
        t.nameChanged = false;
        t.durableExists = disk_.exists(name);
        if (!t.durableExists) {
            t.durable.clear();
            t.changes.clear();
        }
    }
}

std::vector<uint8_t> FaultFileSystem::survivingContents(const Tracked& t, bool existedBefore) {
    std::vector<uint8_t> out = existedBefore ? t.durable : std::vector<uint8_t>();
    for (const Change& c : t.changes) {
        bool keepAll = loss_ == Loss::KeepUnsynced;
        bool random = loss_ == Loss::RandomSubset;
        if (c.kind == Change::Truncate) {
            if (keepAll || (random && (random_() & 1))) out.resize(c.offset);
            continue;
        }
        for (size_t s = 0; s < c.bytes.size(); s += kSector) {
            if (!keepAll && !(random && (random_() & 1))) continue;
            size_t len = std::min(kSector, c.bytes.size() - s);
            if (out.size() < c.offset + s + len) out.resize(c.offset + s + len);
            std::memcpy(out.data() + c.offset + s, c.bytes.data() + s, len);
        }
    }
    return out;
}

void FaultFileSystem::powerLoss() {
    crashed_ = true;
    for (auto& [name, t] : tracked_) {
        bool existsNow = disk_.exists(name);
        bool exists = t.durableExists;
        if (t.nameChanged &&
            (loss_ == Loss::KeepUnsynced || (loss_ == Loss::RandomSubset && (random_() & 1))))
            exists = existsNow;
        if (!exists) {
            disk_.remove(name);
            continue;
        }
        // A name that survives only because its removal was lost keeps its durable bytes.
        disk_.addFile(name, survivingContents(t, t.durableExists || t.renamedIn));
    }
}

}  // namespace tdv::test
