// Taking a lock on a File with a bounded wait.
//
// acquireLock retries File::tryLock with a short, growing sleep until the lock is granted or
// the timeout passes; then it throws Error(Busy, errnum::kBusy) with a message that names the
// file and says another program is using it. A zero timeout tries once.
// LockHolder releases (or restores) a lock when it goes out of scope, so an exception between
// taking and giving back a lock never leaves it held.
#pragma once

#include <chrono>
#include <string>

#include "jet/file.h"

namespace jet {

void acquireLock(File& file, LockRange range, LockMode mode, std::chrono::milliseconds timeout,
                 const std::string& path);

class LockHolder {
public:
    // Takes range in mode (bounded wait); on destruction sets it back to `restore`.
    LockHolder(File& file, LockRange range, LockMode mode, LockMode restore,
               std::chrono::milliseconds timeout, const std::string& path);
    ~LockHolder();
    // Keeps the lock held after this object goes away (its new owner releases it).
    void keep() { owned_ = false; }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

private:
    File& file_;
    LockRange range_;
    LockMode restore_;
    bool owned_ = true;
};

}  // namespace jet
