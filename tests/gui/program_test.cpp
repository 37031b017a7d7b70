// The program as a whole: its command line, the start without a display, and a real start
// on a sample backup (offscreen) that shows the main window and ends cleanly.
#include <gtest/gtest.h>

#include <filesystem>

#include "gui/program.h"
#include "helpers/testdata.h"
#include "sample/sample.h"

namespace tdv::gui {
namespace {

namespace fs = std::filesystem;

TEST(Program, CommandLineIsTheArgumentsJoinedByBlanks) {
    char name[] = "tarnis-data-viewer";
    char path[] = "/srv/My Backups/ZerithDBData_Backup_x.mdb";
    char sw[] = "/StQuellis";
    char* none[] = {name};
    char* one[] = {name, path};
    char* two[] = {name, path, sw};
    EXPECT_EQ(joinCommandLine(1, none), "");
    EXPECT_EQ(joinCommandLine(2, one), "/srv/My Backups/ZerithDBData_Backup_x.mdb");
    EXPECT_EQ(joinCommandLine(3, two), "/srv/My Backups/ZerithDBData_Backup_x.mdb /StQuellis");
}

TEST(Program, WithoutADisplayItSaysSoAndEnds) {
    const auto result = test::runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                         test::shellQuote(TDV_VIEWER_BINARY) + " x.mdb");
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("no display available"), std::string::npos) << result.err;
}

TEST(Program, HelpAndVersionPrintAndEndBeforeAnyWindow) {
    // Without a display: the answer comes before Qt is started at all.
    const std::string run = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                            test::shellQuote(TDV_VIEWER_BINARY);
    const auto help = test::runCommand(run + " --help");
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_TRUE(help.out.starts_with("Usage: tarnis-data-viewer [BACKUP]")) << help.out;
    const auto version = test::runCommand(run + " --version");
    EXPECT_EQ(version.status, 0) << version.err;
    EXPECT_EQ(version.out, std::string("tarnis-data-viewer ") + TDV_VERSION + "\n");
    EXPECT_TRUE(version.err.empty()) << version.err;
}

TEST(Program, StartsOnASampleBackupAndShowsTheMainWindow) {
    test::TempDir dir;
    sample::SampleOptions options;
    options.users = 5;
    options.messages = 2;
    const auto sample =
        sample::writeSample((dir.path() / "s").string(), sample::sampleVariants().front(), options);
    const fs::path picture = dir.path() / "main.png";
    const auto result = test::runCommand(
        "cd " + test::shellQuote(dir.path().string()) + " && QT_QPA_PLATFORM=offscreen TDV_HOME=" +
        test::shellQuote((dir.path() / "home").string()) +
        " XDG_CONFIG_HOME=" + test::shellQuote((dir.path() / "config").string()) +
        " TDV_SCREENSHOT=" + test::shellQuote(picture.string()) + " timeout 60 " +
        test::shellQuote(TDV_VIEWER_BINARY) + " " + test::shellQuote(sample.directoryBackup));
    EXPECT_EQ(result.status, 0) << result.err;
    ASSERT_TRUE(fs::exists(picture));
    EXPECT_GT(fs::file_size(picture), 1000u);
}

}  // namespace
}  // namespace tdv::gui
