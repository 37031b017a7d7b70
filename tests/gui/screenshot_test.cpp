// The screenshot switch of scripts/screenshots.sh: its environment values, and a whole run
// of the event loop that selects a type and row, saves the picture and ends the loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "gui/gui_test_ui.h"
#include "gui/program.h"
#include "gui/screenshot.h"
#include "helpers/testdata.h"
#include "sample/sample.h"

namespace tdv::gui {
namespace {

namespace fs = std::filesystem;

TEST(ScreenshotRequest, ReadsPathSelectionAndWindow) {
    EXPECT_FALSE(parseScreenshotRequest(nullptr, "1,2").has_value());
    EXPECT_FALSE(parseScreenshotRequest("", "1,2").has_value());

    const auto plain = parseScreenshotRequest("/tmp/a.png", nullptr);
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->path, "/tmp/a.png");
    EXPECT_EQ(plain->type, -1);
    EXPECT_EQ(plain->row, -1);
    EXPECT_EQ(plain->window, "");

    const auto both = parseScreenshotRequest("/tmp/a.png", "1,3", "about");
    EXPECT_EQ(both->type, 1);
    EXPECT_EQ(both->row, 3);
    EXPECT_EQ(both->window, "about");

    const auto typeOnly = parseScreenshotRequest("/tmp/a.png", "6");
    EXPECT_EQ(typeOnly->type, 6);
    EXPECT_EQ(typeOnly->row, -1);

    for (const char* bad : {"", "x", "1,", "1,y", "1;2", " 1,2"}) {
        const auto r = parseScreenshotRequest("/tmp/a.png", bad);
        EXPECT_EQ(r->type, -1) << bad;
        EXPECT_EQ(r->row, -1) << bad;
    }
}

TEST(Screenshot, SelectsSavesThePictureAndEndsTheEventLoop) {
    test::TempDir home;
    sample::SampleOptions options;
    options.users = 8;
    options.messages = 4;
    const auto written = sample::writeSample((home.path() / "sample").string(),
                                             sample::sampleVariants().front(), options);
    test::GuiTestUi ui;
    backup::AppState state;
    state.appFolder = (home.path() / "app").string();
    state.exeFolder = home.path().string();
    state.commandLine = written.directoryBackup;
    auto program = std::make_unique<Program>(
        ui, state, [&ui](ui::Window w, QWidget* widget) { ui.setWindow(w, widget); });
    program->main.endProcess = [] {};
    ASSERT_TRUE(program->main.startUp());

    const fs::path picture = home.path() / "shot.png";
    setenv("TDV_SCREENSHOT", picture.c_str(), 1);
    setenv("TDV_SCREENSHOT_SELECT", "1,2", 1);
    const bool scheduled = scheduleScreenshotFromEnvironment(*program);
    unsetenv("TDV_SCREENSHOT");
    unsetenv("TDV_SCREENSHOT_SELECT");
    ASSERT_TRUE(scheduled);

    bool timedOut = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        timedOut = true;
        QApplication::exit(1);
    });
    guard.start(20000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(timedOut);

    EXPECT_EQ(program->main.cmbObjectType->currentIndex(), 1);
    EXPECT_EQ(program->main.form().myGrid.Row(), 2);
    const QImage image(QString::fromStdString(picture.string()));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), program->main.width() * program->main.devicePixelRatio());
    EXPECT_FALSE(scheduleScreenshotFromEnvironment(*program));
}

}  // namespace
}  // namespace tdv::gui
