// The start-up hook RunTestBatchFile: "test.sh" in the application folder, run at each start
// with the running version, the home page address and the title.
//
// The script runs detached: the program forks a child that forks the script's process and
// exits at once; the program reaps the child, and the orphaned script is adopted by init, so
// nothing waits on it and no zombie stays behind. Between fork and exec only
// async-signal-safe calls are made (the program may have other threads).
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "support/update_check.h"

namespace tdv::support {

namespace {

constexpr const char* kShell = "/bin/sh";

// In the script's process: a session of its own, no terminal streams, then the shell.
[[noreturn]] void execScript(char* const argv[]) {
    setsid();
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        if (devNull > STDERR_FILENO) close(devNull);
    }
    execv(kShell, argv);
    _exit(127);
}

void startDetached(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) return;
    if (child == 0) {
        const pid_t script = fork();
        if (script == 0) execScript(argv.data());
        _exit(script < 0 ? 1 : 0);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

bool bIsTrustedTestScript(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return false;
    if (!S_ISREG(info.st_mode)) return false;
    if (info.st_uid != geteuid()) return false;
    return (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void RunTestBatchFile(const std::string& appFolder, const std::string& homePage,
                      const std::string& title) {
    try {
        const std::string script = (std::filesystem::path(appFolder) / kTestScriptName).string();
        if (!bIsTrustedTestScript(script)) return;
        std::vector<std::string> args = {kShell, script, strRunningVersion(), homePage};
        if (title.size() > 1) args.push_back(title);
        startDetached(args);
    } catch (...) {
        // The hook is optional: whatever goes wrong, start-up goes on.
    }
}

}  // namespace tdv::support
