// The start-up hook: test.sh in the application folder runs with the version, the home page
// and the title, detached and reaped, and only when it is the user's own and not writable by
// anybody else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "backup/app_state.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "main_state/frm_main.h"
#include "main_window/form_load.h"
#include "support/update_check.h"

namespace tdv::support {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

// Writes a test.sh into dir that writes its arguments, one per line, into `out`.
fs::path writeScript(const fs::path& dir, const fs::path& out, fs::perms perms) {
    const fs::path script = dir / "test.sh";
    std::ofstream(script) << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << out.string()
                          << ".tmp'\nmv '" << out.string() << ".tmp' '" << out.string() << "'\n";
    fs::permissions(script, perms);
    return script;
}

// The file's lines once it exists, waiting at most `limit`; empty when it never came.
std::vector<std::string> awaitLines(const fs::path& file, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(file) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// No child of this process is left, running or dead.
bool noChildLeft() {
    int status = 0;
    return waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

constexpr auto kOwnerOnly = fs::perms::owner_read | fs::perms::owner_write;
const std::string kHome = "http://127.0.0.1:9/Applications/General/TARNIS/TARNIS.html";

TEST(StartUpHook, RunsTheUsersOwnScriptWithVersionHomePageAndTitle) {
    test::TempDir dir;
    const fs::path out = dir.path() / "args.txt";
    writeScript(dir.path(), out, kOwnerOnly | fs::perms::group_read | fs::perms::others_read);
    RunTestBatchFile(dir.path().string(), kHome, kToolTitle);
    EXPECT_TRUE(noChildLeft());
    EXPECT_THAT(awaitLines(out, std::chrono::seconds(10)),
                ElementsAre(TDV_VERSION, kHome, "TARNIS Data Viewer Utility"));
}

TEST(StartUpHook, LeavesOutATitleOfOneCharacter) {
    test::TempDir dir;
    const fs::path out = dir.path() / "args.txt";
    writeScript(dir.path(), out, kOwnerOnly);
    RunTestBatchFile(dir.path().string(), kHome, "X");
    EXPECT_THAT(awaitLines(out, std::chrono::seconds(10)), ElementsAre(TDV_VERSION, kHome));
}

TEST(StartUpHook, SkipsAScriptOthersCanChange) {
    for (const fs::perms extra : {fs::perms::group_write, fs::perms::others_write}) {
        test::TempDir dir;
        const fs::path out = dir.path() / "args.txt";
        const fs::path script = writeScript(dir.path(), out, kOwnerOnly | extra);
        EXPECT_FALSE(bIsTrustedTestScript(script.string()));
        RunTestBatchFile(dir.path().string(), kHome, kToolTitle);
        EXPECT_TRUE(noChildLeft());
        // The trusted twin of this script writes within well under a second.
        EXPECT_TRUE(awaitLines(out, std::chrono::milliseconds(700)).empty());
    }
    test::TempDir dir;
    const fs::path script = writeScript(dir.path(), dir.path() / "args.txt", kOwnerOnly);
    EXPECT_TRUE(bIsTrustedTestScript(script.string()));
    fs::permissions(script, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    EXPECT_FALSE(bIsTrustedTestScript(script.string()));
}

TEST(StartUpHook, SkipsWhatIsNotAPlainFile) {
    test::TempDir dir;
    fs::create_directory(dir.path() / "test.sh");
    EXPECT_FALSE(bIsTrustedTestScript((dir.path() / "test.sh").string()));
    RunTestBatchFile(dir.path().string(), kHome, kToolTitle);

    test::TempDir linked;
    const fs::path out = linked.path() / "args.txt";
    test::TempDir other;
    const fs::path target = writeScript(other.path(), out, kOwnerOnly);
    fs::create_symlink(target, linked.path() / "test.sh");
    EXPECT_FALSE(bIsTrustedTestScript((linked.path() / "test.sh").string()));
    RunTestBatchFile(linked.path().string(), kHome, kToolTitle);
    EXPECT_TRUE(awaitLines(out, std::chrono::milliseconds(700)).empty());
}

TEST(StartUpHook, AMissingScriptOrFolderIsNoFailure) {
    test::TempDir dir;
    RunTestBatchFile(dir.path().string(), kHome, kToolTitle);
    RunTestBatchFile((dir.path() / "no" / "such").string(), kHome, kToolTitle);
    RunTestBatchFile("", kHome, kToolTitle);
    EXPECT_FALSE(bIsTrustedTestScript((dir.path() / "test.sh").string()));
    EXPECT_TRUE(noChildLeft());
}

TEST(StartUpHook, FormLoadRunsItFirstWithTheConfiguredHomePage) {
    test::TempDir dir;
    const fs::path out = dir.path() / "args.txt";
    writeScript(dir.path(), out, kOwnerOnly);
    test::ScriptedUi ui;
    ui.settings["ApplicationSettings/ToolsSiteURL"] = "http://tools.example";
    backup::AppState state;
    state.appFolder = dir.path().string();
    app::FrmMain form(ui, state);
    // The open dialog is cancelled, so start-up ends after the hook has run.
    EXPECT_FALSE(app::Form_Load(form));
    EXPECT_THAT(
        awaitLines(out, std::chrono::seconds(10)),
        ElementsAre(TDV_VERSION, "http://tools.example/Applications/General/TARNIS/TARNIS.html",
                    "TARNIS Data Viewer Utility"));
}

}  // namespace
}  // namespace tdv::support
