// The scripted UI port for window tests: ScriptedUi (records message boxes and window
// switches, answers from queues, keeps settings and clipboard in memory) that also shows and
// hides the registered Qt windows, so a test sees the windows the program would show, and
// never blocks on a modal dialog. It notes whether the splash was up under each box.
// SilentOutput stands in for the sound output of the Play buttons.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gui/play_button.h"
#include "helpers/scripted_ui.h"

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

    // Whether the splash was on screen when each message box came.
    std::vector<bool> splashUpAtBox;
    ui::Answer messageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override {
        const auto splash = windows_.find(ui::Window::Splash);
        splashUpAtBox.push_back(splash != windows_.end() && !splash->second.isNull() &&
                                splash->second->isVisible());
        return ScriptedUi::messageBox(text, buttons, icon, title);
    }

private:
    std::map<ui::Window, QPointer<QWidget>> windows_;
};

// A sound output that plays nothing: it keeps what it was given and ends when told (the
// machines that run the tests have no sound card).
class SilentOutput : public gui::AudioOutput {
public:
    bool play(const extract::PcmAudio& audio, QString*) override {
        played.push_back(audio);
        playing_ = true;
        return true;
    }
    void stop() override { playing_ = false; }
    bool playing() const override { return playing_; }
    void end() {
        playing_ = false;
        emit finished();
    }
    std::vector<extract::PcmAudio> played;

private:
    bool playing_ = false;
};

// Puts a silent output into a Play button and returns it.
inline SilentOutput* silence(gui::PlayButton& button) {
    auto output = std::make_unique<SilentOutput>();
    SilentOutput* raw = output.get();
    button.setOutput(std::move(output));
    return raw;
}

}  // namespace tdv::test
