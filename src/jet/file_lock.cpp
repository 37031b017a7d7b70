#include "jet/file_lock.h"

#include <algorithm>
#include <thread>

#include "jet/error.h"

namespace jet {

void acquireLock(File& file, LockRange range, LockMode mode, std::chrono::milliseconds timeout,
                 const std::string& path) {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + timeout;
    auto pause = std::chrono::milliseconds(1);
    while (!file.tryLock(range, mode)) {
        auto now = Clock::now();
        if (now >= deadline) {
            // Only a writer holds Writer or Pages exclusively; readers hold Pages shared.
            std::string what = range == LockRange::Pages && mode == LockMode::Exclusive
                                   ? "another program is reading it"
                                   : "another program is saving changes to it";
            throw Error(ErrorKind::Busy, errnum::kBusy,
                        "The database '" + path + "' is locked: " + what + ". Try again later.");
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
}

LockHolder::LockHolder(File& file, LockRange range, LockMode mode, LockMode restore,
                       std::chrono::milliseconds timeout, const std::string& path)
    : file_(file), range_(range), restore_(restore) {
    acquireLock(file, range, mode, timeout, path);
}

LockHolder::~LockHolder() {
    if (!owned_) return;
    try {
        // Going back to a weaker lock (or none) never conflicts.
        file_.tryLock(range_, restore_);
    } catch (...) {
        // A lock that cannot be released is released by the kernel when the file closes.
    }
}

}  // namespace jet
