// The Qt UI port: message boxes (title, icon, buttons, answers), the clipboard, the
// hourglass, settings and window visibility.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "gui/qt_ui.h"

namespace tdv::gui {
namespace {

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Answers the next message box with `press` (or Escape when NoButton) and records it.
void answerNextBox(SeenBox& seen, QMessageBox::StandardButton press) {
    QTimer::singleShot(0, [&seen, press] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr || !box->isVisible()) continue;
            seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
            if (press == QMessageBox::NoButton) {
                box->reject();
            } else {
                box->button(press)->click();
            }
            return;
        }
    });
}

TEST(QtUi, MessageBoxesCarryTitleIconAndButtonsAndReturnTheAnswer) {
    QtUi ui;
    SeenBox seen;
    answerNextBox(seen, QMessageBox::Ok);
    EXPECT_EQ(ui.messageBox("Done.", ui::Buttons::Ok, ui::Icon::None, ""), ui::Answer::Ok);
    EXPECT_EQ(seen.title, "TARNIS Data Viewer");
    EXPECT_EQ(seen.text, "Done.");
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    answerNextBox(seen, QMessageBox::No);
    EXPECT_EQ(ui.messageBox("Sure?", ui::Buttons::YesNo, ui::Icon::Question, "Remap"),
              ui::Answer::No);
    EXPECT_EQ(seen.title, "Remap");
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);

    answerNextBox(seen, QMessageBox::Yes);
    EXPECT_EQ(ui.messageBox("Sure?", ui::Buttons::YesNoCancel, ui::Icon::Exclamation, ""),
              ui::Answer::Yes);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);

    // Escape is the negative answer of each kind of box.
    answerNextBox(seen, QMessageBox::NoButton);
    EXPECT_EQ(ui.messageBox("Go?", ui::Buttons::OkCancel, ui::Icon::Critical, ""),
              ui::Answer::Cancel);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    answerNextBox(seen, QMessageBox::NoButton);
    EXPECT_EQ(ui.messageBox("Go?", ui::Buttons::YesNo, ui::Icon::Information, ""), ui::Answer::No);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
}

TEST(QtUi, ClipboardTakesTheTextOrIsEmptied) {
    QtUi ui;
    ui.setClipboardText("line 1\r\nline 2\r\n");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "line 1\r\nline 2\r\n");
    ui.setClipboardText("");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
}

TEST(QtUi, HourglassOnAndOffWhateverTheNesting) {
    QtUi ui;
    ui.setBusy(true);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setBusy(true);
    ui.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ui.setBusy(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUi, SettingsRoundTripWithTheirDefault) {
    QStandardPaths::setTestModeEnabled(true);
    QtUi ui;
    ui.saveSetting("ApplicationSettings", "LastMDBFolderPath", "");
    EXPECT_EQ(ui.setting("ApplicationSettings", "Missing-Key", "/opt/x"), "/opt/x");
    ui.saveSetting("ApplicationSettings", "LastMDBFolderPath", "/srv/backups/ä");
    EXPECT_EQ(ui.setting("ApplicationSettings", "LastMDBFolderPath", "/d"), "/srv/backups/ä");
    QStandardPaths::setTestModeEnabled(false);
}

TEST(QtUi, RegisteredWindowsAreShownAndHidden) {
    QtUi ui;
    QWidget main;
    QWidget splash(nullptr, Qt::SplashScreen);
    ui.setWindow(ui::Window::Main, &main);
    ui.setWindow(ui::Window::Splash, &splash);
    ui.setWindowVisible(ui::Window::Splash, true);
    EXPECT_TRUE(splash.isVisible());
    ui.setWindowVisible(ui::Window::Main, true);
    EXPECT_TRUE(main.isVisible());
    ui.setWindowVisible(ui::Window::Splash, false);
    ui.setWindowVisible(ui::Window::Main, false);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_FALSE(main.isVisible());
    // A window nobody registered is ignored.
    ui.setWindowVisible(ui::Window::Messages, true);

    // The stay-on-top splash is gone before any message box comes up.
    ui.setWindowVisible(ui::Window::Splash, true);
    bool splashUpUnderBox = true;
    QTimer::singleShot(0, [&] { splashUpUnderBox = splash.isVisible(); });
    SeenBox seen;
    answerNextBox(seen, QMessageBox::Ok);
    ui.messageBox("Could not open.", ui::Buttons::Ok, ui::Icon::None, "");
    EXPECT_EQ(seen.text, "Could not open.");
    EXPECT_FALSE(splashUpUnderBox);
}

TEST(QtUi, SleepKeepsTheEventLoopTurning) {
    QtUi ui;
    bool fired = false;
    QTimer::singleShot(5, [&] { fired = true; });
    ui.sleepMs(60);
    EXPECT_TRUE(fired);
}

}  // namespace
}  // namespace tdv::gui
