// A file system for tests that fails or loses power at a chosen operation.
//
// FaultFileSystem wraps a jet::MemoryFileSystem (the "disk") and counts the operations that
// change it: writeAt, truncate, sync, remove, syncDirectoryOf and an open that creates.
// createFolder and renameNoReplace count as writes too (so failWrite can fail them, and an
// output's every step can be failed in turn); entryAt and list pass through uncounted.
// It keeps, for every file it touched, what is durable (as of the last sync, and for names
// as of the last folder sync) and the changes made since, so it can play a power loss:
//
//   failWrite(n, ENOSPC)  the n-th writeAt/truncate throws jet::Error(Io) ("the disk is full"
//                         or "Input/output error") without changing anything; with
//                         persistent, every later write fails as well (a full disk).
//   crashAt(n, mode)      just before operation n the power fails: the disk is rewritten to
//                         what survives (mode: nothing unsynced survives, everything does, or
//                         a random subset of 512-byte sectors, truncates and name changes,
//                         the operation n's own write included) and that operation and every
//                         later one throws SimulatedCrash. Open files of the dead "machine"
//                         are useless; the test "reboots" by opening the disk again.
//
// Operations are numbered from 1 across all files. A dry run with no fault tells a test how
// many there are (operations(), writes()). Not thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet/file.h"
#include "jet/memory_file.h"

namespace tdv::test {

struct SimulatedCrash : std::runtime_error {
    SimulatedCrash() : std::runtime_error("simulated power loss") {}
};

class FaultFileSystem : public jet::FileSystem {
public:
    enum class Loss { DropUnsynced, KeepUnsynced, RandomSubset };

    explicit FaultFileSystem(jet::MemoryFileSystem& disk) : disk_(disk) {}

    void failWrite(int n, int err, bool persistent = false);
    void crashAt(int n, Loss loss, uint32_t seed = 0);
    bool crashed() const { return crashed_; }
    int operations() const { return operations_; }
    int writes() const { return writes_; }
    int syncs() const { return syncs_; }
    // Every counted operation in order, as "<kind> <path>" with kind one of create, write,
    // truncate, sync, remove, syncdir, mkdir, rename (path: the new name).
    const std::vector<std::string>& log() const { return log_; }

    std::unique_ptr<jet::File> open(const std::string& path, Mode mode) override;
    bool exists(const std::string& path) override;
    void remove(const std::string& path) override;
    void syncDirectoryOf(const std::string& path) override;
    jet::Entry entryAt(const std::string& path) override;
    void createFolder(const std::string& path) override;
    std::vector<std::string> list(const std::string& folder) override;
    void renameNoReplace(const std::string& from, const std::string& to) override;

    // Used by the files this file system hands out.
    void beforeOperation(const std::string& kind, const std::string& path, bool isWrite);
    void recordWrite(const std::string& path, uint64_t offset, const uint8_t* data, size_t n);
    void recordTruncate(const std::string& path, uint64_t size);
    void recordSync(const std::string& path);
    void checkAlive() const;

private:
    struct Change {
        enum Kind { Write, Truncate } kind;
        uint64_t offset = 0;  // Truncate: the new size
        std::vector<uint8_t> bytes;
    };
    struct Tracked {
        bool durableExists = false;
        std::vector<uint8_t> durable;
        std::vector<Change> changes;  // since the last sync
        bool nameChanged = false;     // created or removed since the last folder sync
        bool renamedIn = false;       // the bytes came with a rename: durable ones count
    };
    Tracked& track(const std::string& path);
    void powerLoss();
    std::vector<uint8_t> survivingContents(const Tracked& t, bool existedBefore);

    jet::MemoryFileSystem& disk_;
    std::map<std::string, Tracked> tracked_;
    int operations_ = 0;
    int writes_ = 0;
    int syncs_ = 0;
    int failAt_ = 0;
    int failErrno_ = 0;
    bool failPersistent_ = false;
    int crashAt_ = 0;
    Loss loss_ = Loss::DropUnsynced;
    std::mt19937 random_;
    bool crashed_ = false;
    std::vector<std::string> log_;
};

}  // namespace tdv::test
