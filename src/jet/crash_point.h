// Named points in a save at which a test can make the writing process die.
//
// A process-kill test runs a writer as a child with TDV_CRASH_AT=<point>[:<n>] in its
// environment (or passes the same text in PageFileOptions::crashAt); when the writer reaches
// the n-th occurrence (default 1st) of that point it calls _exit(CrashPoints::kExitCode)
// at once: no destructor, no flush, no unlock but the kernel's. The points, in order:
//   journal-written     every original page is in the journal, not yet synced
//   journal-synced      the journal and its folder entry are durable
//   page-written        one database page was overwritten (n counts pages)
//   database-synced     every new page is durable, the journal still exists
//   journal-removed     the journal is gone, its folder not yet synced
//   recovery-page-written / recovery-synced   the same while rolling a journal back
// Without a setting every call is a no-op. Only builds with TDV_TEST_HOOKS have the points.
#pragma once

#include <string>
#include <string_view>

namespace jet {

class CrashPoints {
public:
    static constexpr int kExitCode = 86;

    CrashPoints() = default;
    explicit CrashPoints(std::string_view setting);
    // The setting from TDV_CRASH_AT, or none.
    static CrashPoints fromEnvironment();

    void reached(std::string_view point);
    bool armed() const { return !point_.empty(); }

private:
    std::string point_;
    long wanted_ = 1;
    long seen_ = 0;
};

}  // namespace jet
