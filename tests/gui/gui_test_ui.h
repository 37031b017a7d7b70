// The scripted UI port for window tests: ScriptedUi (records message boxes and window
// switches, answers from queues, keeps settings and clipboard in memory) that also shows and
// hides the registered Qt windows, so a test sees the windows the program would show, and
// never blocks on a modal dialog.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>

#include "support/scripted_ui.h"

namespace tdv::test {

class GuiTestUi : public ScriptedUi {
public:
    void setWindowVisible(ui::Window window, bool visible) override {
        ScriptedUi::setWindowVisible(window, visible);
        const auto it = windows_.find(window);
        if (it == windows_.end() || it->second.isNull()) return;
        it->second->setVisible(visible);
    }
    void setWindow(ui::Window window, QWidget* widget) { windows_[window] = widget; }

private:
    std::map<ui::Window, QPointer<QWidget>> windows_;
};

}  // namespace tdv::test
