#include "jet/memory_file.h"

#include <cstring>

#include "jet/error.h"

namespace jet {
namespace {

// Files grow only through writes the engine decides on; this bound keeps a damaged offset
// from asking for an absurd allocation.
constexpr uint64_t kMaxMemoryFileSize = uint64_t{1} << 34;  // 16 GiB

[[noreturn]] void throwIo(const std::string& what) {
    throw Error(ErrorKind::Io, errnum::kIo, what);
}

void checkRange(uint64_t offset, size_t n, const std::string& name) {
    if (offset > kMaxMemoryFileSize || n > kMaxMemoryFileSize - offset)
        throwIo("Cannot write '" + name + "': offset beyond the largest in-memory file");
}

}  // namespace

MemoryFile::MemoryFile(std::vector<uint8_t> bytes, bool writable)
    : data_(std::make_shared<MemoryFileData>()), name_("<memory>"), writable_(writable) {
    data_->bytes = std::move(bytes);
}

MemoryFile::MemoryFile(std::shared_ptr<MemoryFileData> data, std::string name, bool writable)
    : data_(std::move(data)), name_(std::move(name)), writable_(writable) {}

MemoryFile::~MemoryFile() {
    tryLock(LockRange::Writer, LockMode::Unlocked);
    tryLock(LockRange::Pages, LockMode::Unlocked);
}

uint64_t MemoryFile::size() {
    std::lock_guard<std::mutex> guard(data_->mutex);
    return data_->bytes.size();
}

void MemoryFile::readAt(uint64_t offset, uint8_t* out, size_t n) {
    std::lock_guard<std::mutex> guard(data_->mutex);
    const auto& b = data_->bytes;
    if (offset > b.size() || n > b.size() - offset)
        throw Error(ErrorKind::Corrupt, errnum::kCorrupt,
                    "Damaged database: unexpected end of file in '" + name_ + "'");
    if (n > 0) std::memcpy(out, b.data() + offset, n);
}

void MemoryFile::writeAt(uint64_t offset, const uint8_t* data, size_t n) {
    if (!writable_) throwIo("Cannot write '" + name_ + "': the file is open for reading only");
    checkRange(offset, n, name_);
    std::lock_guard<std::mutex> guard(data_->mutex);
    auto& b = data_->bytes;
    if (offset + n > b.size()) b.resize(offset + n);
    if (n > 0) std::memcpy(b.data() + offset, data, n);
    ++data_->version;
}

void MemoryFile::truncate(uint64_t size) {
    if (!writable_) throwIo("Cannot truncate '" + name_ + "': the file is open for reading only");
    checkRange(size, 0, name_);
    std::lock_guard<std::mutex> guard(data_->mutex);
    data_->bytes.resize(size);
    ++data_->version;
}

bool MemoryFile::tryLock(LockRange range, LockMode mode) {
    std::lock_guard<std::mutex> guard(data_->mutex);
    auto r = static_cast<size_t>(range);
    LockMode& held = held_[r];
    if (mode == held) return true;
    // What the other Files hold, once this File's own lock is set aside.
    int othersShared = data_->sharedLocks[r] - (held == LockMode::Shared ? 1 : 0);
    bool othersExclusive = data_->exclusiveLock[r] && held != LockMode::Exclusive;
    if (mode == LockMode::Shared && othersExclusive) return false;
    if (mode == LockMode::Exclusive && (othersExclusive || othersShared > 0)) return false;
    if (held == LockMode::Shared) --data_->sharedLocks[r];
    if (held == LockMode::Exclusive) data_->exclusiveLock[r] = false;
    if (mode == LockMode::Shared) ++data_->sharedLocks[r];
    if (mode == LockMode::Exclusive) data_->exclusiveLock[r] = true;
    held = mode;
    return true;
}

FileIdentity MemoryFile::identity() {
    std::lock_guard<std::mutex> guard(data_->mutex);
    FileIdentity id;
    id.size = data_->bytes.size();
    id.mtimeNs = static_cast<int64_t>(data_->version);
    id.inode = reinterpret_cast<uintptr_t>(data_.get());
    return id;
}

// The version counter already moves forward with every write.
void MemoryFile::setModificationTime(int64_t) {}

std::vector<uint8_t> MemoryFile::bytes() const {
    std::lock_guard<std::mutex> guard(data_->mutex);
    return data_->bytes;
}

void MemoryFileSystem::addFile(const std::string& path, std::vector<uint8_t> bytes) {
    auto data = std::make_shared<MemoryFileData>();
    data->bytes = std::move(bytes);
    std::lock_guard<std::mutex> guard(mutex_);
    files_[path] = Named{std::move(data), false};
}

std::vector<uint8_t> MemoryFileSystem::bytes(const std::string& path) const {
    std::shared_ptr<MemoryFileData> data;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        auto it = files_.find(path);
        if (it == files_.end()) throwIo("Cannot open '" + path + "': No such file or directory");
        data = it->second.data;
    }
    std::lock_guard<std::mutex> guard(data->mutex);
    return data->bytes;
}

void MemoryFileSystem::setReadOnly(const std::string& path, bool readOnly) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = files_.find(path);
    if (it == files_.end()) throwIo("Cannot open '" + path + "': No such file or directory");
    it->second.readOnly = readOnly;
}

std::vector<std::string> MemoryFileSystem::names() const {
    std::lock_guard<std::mutex> guard(mutex_);
    std::vector<std::string> out;
    for (const auto& [name, entry] : files_) out.push_back(name);
    return out;
}

std::unique_ptr<File> MemoryFileSystem::open(const std::string& path, Mode mode) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = files_.find(path);
    if (mode == Mode::CreateNew) {
        if (it != files_.end() || isFolder(path))
            throwIo("Cannot create '" + path + "': File exists");
        it = files_.emplace(path, Named{std::make_shared<MemoryFileData>(), false}).first;
        return std::make_unique<MemoryFile>(it->second.data, path, true);
    }
    if (mode == Mode::CreateReadWrite) {
        if (it != files_.end() && it->second.readOnly)
            throw Error(ErrorKind::ReadOnly, errnum::kReadOnly,
                        "Cannot write '" + path + "': the file is read-only");
        if (it == files_.end()) {
            it = files_.emplace(path, Named{std::make_shared<MemoryFileData>(), false}).first;
        } else {
            std::lock_guard<std::mutex> dataGuard(it->second.data->mutex);
            it->second.data->bytes.clear();
            ++it->second.data->version;
        }
        return std::make_unique<MemoryFile>(it->second.data, path, true);
    }
    if (it == files_.end()) throwIo("Cannot open '" + path + "': No such file or directory");
    if (mode == Mode::ReadWrite && it->second.readOnly)
        throw Error(ErrorKind::ReadOnly, errnum::kReadOnly,
                    "Cannot open '" + path + "' for writing: the file is read-only");
    return std::make_unique<MemoryFile>(it->second.data, path, mode == Mode::ReadWrite);
}

bool MemoryFileSystem::exists(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    return files_.count(path) != 0;
}

void MemoryFileSystem::remove(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    files_.erase(path);
}

bool MemoryFileSystem::isFolder(const std::string& path) const {
    if (folders_.count(path) != 0) return true;
    auto it = files_.lower_bound(path + "/");
    return it != files_.end() && it->first.compare(0, path.size() + 1, path + "/") == 0;
}

Entry MemoryFileSystem::entryAt(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    Entry e;
    auto it = files_.find(path);
    if (it != files_.end()) {
        e.kind = EntryKind::File;
        std::lock_guard<std::mutex> dataGuard(it->second.data->mutex);
        e.identity.size = it->second.data->bytes.size();
        e.identity.mtimeNs = static_cast<int64_t>(it->second.data->version);
        e.identity.inode = reinterpret_cast<uintptr_t>(it->second.data.get());
    } else if (isFolder(path)) {
        e.kind = EntryKind::Folder;
    }
    return e;
}

void MemoryFileSystem::createFolder(const std::string& path) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (files_.count(path) != 0)
        throwIo("Cannot create the folder '" + path + "': Not a directory");
    for (size_t slash = path.find('/', 1); slash != std::string::npos;
         slash = path.find('/', slash + 1))
        folders_.insert(path.substr(0, slash));
    folders_.insert(path);
}

std::vector<std::string> MemoryFileSystem::list(const std::string& folder) {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!isFolder(folder))
        throwIo("Cannot list the folder '" + folder + "': No such file or directory");
    const std::string prefix = folder + "/";
    std::set<std::string> names;
    for (auto it = files_.lower_bound(prefix);
         it != files_.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
        names.insert(
            it->first.substr(prefix.size(), it->first.find('/', prefix.size()) - prefix.size()));
    for (const std::string& f : folders_)
        if (f.size() > prefix.size() && f.compare(0, prefix.size(), prefix) == 0 &&
            f.find('/', prefix.size()) == std::string::npos)
            names.insert(f.substr(prefix.size()));
    return {names.begin(), names.end()};
}

void MemoryFileSystem::renameNoReplace(const std::string& from, const std::string& to) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = files_.find(from);
    if (it == files_.end()) throwIo("Cannot name '" + to + "': No such file or directory");
    if (files_.count(to) != 0 || isFolder(to)) throwIo("Cannot name '" + to + "': File exists");
    Named moved = it->second;
    files_.erase(it);
    files_.emplace(to, std::move(moved));
}

}  // namespace jet
