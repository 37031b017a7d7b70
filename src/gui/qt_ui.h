// The UI port of the desktop program: message boxes, file dialogs, the desktop's file
// manager and browser, the clipboard, the hourglass pointer, per-user settings (QSettings
// under the application's name) and the visibility of the program's top-level windows.
//
// The windows register themselves (setWindow) so that the features can show and hide them
// by name; message boxes are owned by the active window.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>

#include "ui/ui_port.h"

namespace tdv::gui {

class QtUi : public ui::UiPort {
public:
    QtUi();

    ui::Answer messageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override;
    std::string openFileDialog(const ui::FileDialog& dialog) override;
    std::string saveFileDialog(const ui::FileDialog& dialog) override;
    void openWithDesktop(const std::string& path) override;
    void openUrl(const std::string& url) override;
    void setClipboardText(const std::string& text) override;
    void setBusy(bool busy) override;
    void processEvents() override;
    void sleepMs(int milliseconds) override;
    std::string setting(const std::string& section, const std::string& key,
                        const std::string& defaultValue) override;
    void saveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override;
    void setWindowVisible(ui::Window window, bool visible) override;

    void setWindow(ui::Window window, QWidget* widget);

private:
    std::map<ui::Window, QPointer<QWidget>> windows_;
    int busyDepth_ = 0;
};

}  // namespace tdv::gui
