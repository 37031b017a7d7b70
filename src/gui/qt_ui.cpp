#include "gui/qt_ui.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QUrl>
#include <algorithm>

namespace tdv::gui {

namespace {

QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

// The parent of a dialog: the window the user works in, else any visible window of ours.
QWidget* dialogParent() {
    if (QWidget* active = QApplication::activeWindow()) return active;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && !(w->windowFlags() & Qt::SplashScreen)) return w;
    }
    return nullptr;
}

QMessageBox::Icon qtIcon(ui::Icon icon) {
    switch (icon) {
        case ui::Icon::Information:
            return QMessageBox::Information;
        case ui::Icon::Question:
            return QMessageBox::Question;
        case ui::Icon::Exclamation:
            return QMessageBox::Warning;
        case ui::Icon::Critical:
            return QMessageBox::Critical;
        case ui::Icon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// "Access Databases (*.mdb)"; an empty filter shows every file.
QString nameFilter(const ui::FileDialog& dialog) {
    if (dialog.filterPattern.empty()) return {};
    const std::string description =
        dialog.filterDescription.empty() ? dialog.filterPattern : dialog.filterDescription;
    return qs(description + " (" + dialog.filterPattern + ")");
}

QString startPath(const ui::FileDialog& dialog) {
    if (dialog.fileName.empty()) return qs(dialog.initialFolder);
    if (dialog.initialFolder.empty()) return qs(dialog.fileName);
    return QDir(qs(dialog.initialFolder)).filePath(qs(dialog.fileName));
}

}  // namespace

QtUi::QtUi() = default;

ui::Answer QtUi::messageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                            const std::string& title) {
    // The splash stays on top of everything: were it up, it could cover the box.
    setWindowVisible(ui::Window::Splash, false);
    QMessageBox box(dialogParent());
    box.setWindowTitle(qs(title.empty() ? std::string(ui::kAppTitle) : title));
    box.setText(qs(text));
    box.setIcon(qtIcon(icon));
    switch (buttons) {
        case ui::Buttons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case ui::Buttons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case ui::Buttons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::No);
            break;
        case ui::Buttons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setDefaultButton(QMessageBox::Yes);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    // A message box must be seen even while the splash is up.
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.exec();
    // Closing the box without a button (title bar, window manager) is its negative answer.
    const QMessageBox::StandardButton pressed = box.clickedButton() != nullptr
                                                    ? box.standardButton(box.clickedButton())
                                                    : QMessageBox::NoButton;
    switch (pressed) {
        case QMessageBox::Ok:
            return ui::Answer::Ok;
        case QMessageBox::Yes:
            return ui::Answer::Yes;
        case QMessageBox::No:
            return ui::Answer::No;
        case QMessageBox::Cancel:
            return ui::Answer::Cancel;
        default:
            break;
    }
    switch (buttons) {
        case ui::Buttons::Ok:
            return ui::Answer::Ok;
        case ui::Buttons::YesNo:
            return ui::Answer::No;
        case ui::Buttons::OkCancel:
        case ui::Buttons::YesNoCancel:
            break;
    }
    return ui::Answer::Cancel;
}

std::string QtUi::openFileDialog(const ui::FileDialog& dialog) {
    const QString chosen = QFileDialog::getOpenFileName(dialogParent(), qs(dialog.title),
                                                        startPath(dialog), nameFilter(dialog));
    return chosen.toStdString();
}

std::string QtUi::saveFileDialog(const ui::FileDialog& dialog) {
    QFileDialog fileDialog(dialogParent(), qs(dialog.title));
    fileDialog.setAcceptMode(QFileDialog::AcceptSave);
    fileDialog.setFileMode(QFileDialog::AnyFile);
    if (!dialog.initialFolder.empty()) fileDialog.setDirectory(qs(dialog.initialFolder));
    if (!dialog.fileName.empty()) fileDialog.selectFile(qs(dialog.fileName));
    const QString filter = nameFilter(dialog);
    if (!filter.isEmpty()) fileDialog.setNameFilter(filter);
    if (!dialog.defaultExtension.empty()) fileDialog.setDefaultSuffix(qs(dialog.defaultExtension));
    if (fileDialog.exec() != QDialog::Accepted) return {};
    const QStringList files = fileDialog.selectedFiles();
    return files.isEmpty() ? std::string() : files.first().toStdString();
}

void QtUi::openWithDesktop(const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(qs(path)));
}

void QtUi::openUrl(const std::string& url) {
    QDesktopServices::openUrl(QUrl(qs(url)));
}

void QtUi::setClipboardText(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    if (!text.empty()) clipboard->setText(qs(text));
}

void QtUi::setBusy(bool busy) {
    // One pointer state, as the program had: on sets the hourglass, off restores the normal
    // pointer whatever was set before.
    if (busy) {
        if (busyDepth_ == 0) QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        busyDepth_ = 1;
    } else {
        while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
        busyDepth_ = 0;
    }
}

void QtUi::processEvents() {
    QCoreApplication::processEvents();
}

void QtUi::sleepMs(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const qint64 left = milliseconds - timer.elapsed();
        if (left > 0) QThread::msleep(static_cast<unsigned long>(std::min<qint64>(left, 10)));
    }
}

std::string QtUi::setting(const std::string& section, const std::string& key,
                          const std::string& defaultValue) {
    QSettings settings(QCoreApplication::applicationName(), QCoreApplication::applicationName());
    return settings.value(qs(section + "/" + key), qs(defaultValue)).toString().toStdString();
}

void QtUi::saveSetting(const std::string& section, const std::string& key,
                       const std::string& value) {
    QSettings settings(QCoreApplication::applicationName(), QCoreApplication::applicationName());
    settings.setValue(qs(section + "/" + key), qs(value));
    settings.sync();
}

void QtUi::setWindowVisible(ui::Window window, bool visible) {
    const auto it = windows_.find(window);
    if (it == windows_.end() || it->second.isNull()) return;
    QWidget* widget = it->second.data();
    if (!visible) {
        widget->hide();
        return;
    }
    widget->show();
    widget->raise();
    if (window == ui::Window::Splash) {
        widget->repaint();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    } else {
        widget->activateWindow();
    }
}

void QtUi::setWindow(ui::Window window, QWidget* widget) {
    windows_[window] = widget;
}

}  // namespace tdv::gui
