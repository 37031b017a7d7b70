#include "jet/crash_point.h"

// Only the builds with the test hooks (TDV_TEST_HOOKS, given to the files that hold a point)
// have crash points: elsewhere no point is called or named and nothing reads TDV_CRASH_AT,
// so a program built for use cannot be made to die through its environment.
#ifdef TDV_TEST_HOOKS

#include <unistd.h>

#include <cstdlib>

namespace jet {

CrashPoints::CrashPoints(std::string_view setting) {
    auto colon = setting.find(':');
    point_ = std::string(setting.substr(0, colon));
    if (colon != std::string_view::npos) {
        std::string count(setting.substr(colon + 1));
        char* end = nullptr;
        long n = std::strtol(count.c_str(), &end, 10);
        wanted_ = (end && *end == '\0' && n > 0) ? n : 1;
    }
}

CrashPoints CrashPoints::fromEnvironment() {
    const char* setting = std::getenv("TDV_CRASH_AT");
    return setting && *setting ? CrashPoints(setting) : CrashPoints();
}

void CrashPoints::reached(std::string_view point) {
    if (point_.empty() || point != point_) return;
    if (++seen_ == wanted_) ::_exit(kExitCode);
}

}  // namespace jet

#endif  // TDV_TEST_HOOKS
