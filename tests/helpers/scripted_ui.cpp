#include "helpers/scripted_ui.h"

namespace tdv::test {

std::vector<std::string> ScriptedUi::texts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes) out.push_back(b.text);
    return out;
}

ui::Answer ScriptedUi::messageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                                  const std::string& title) {
    boxes.push_back({text, buttons, icon, title});
    if (buttons == ui::Buttons::Ok) return ui::Answer::Ok;
    if (!answers.empty()) {
        ui::Answer a = answers.front();
        answers.pop_front();
        return a;
    }
    return buttons == ui::Buttons::OkCancel ? ui::Answer::Cancel : ui::Answer::No;
}

std::string ScriptedUi::openFileDialog(const ui::FileDialog& dialog) {
    dialogs.push_back(dialog);
    if (openPaths.empty()) return {};
    std::string p = openPaths.front();
    openPaths.pop_front();
    return p;
}

std::string ScriptedUi::saveFileDialog(const ui::FileDialog& dialog) {
    dialogs.push_back(dialog);
    if (savePaths.empty()) return {};
    std::string p = savePaths.front();
    savePaths.pop_front();
    return p;
}

std::string ScriptedUi::setting(const std::string& section, const std::string& key,
                                const std::string& defaultValue) {
    auto it = settings.find(section + "/" + key);
    return it == settings.end() ? defaultValue : it->second;
}

void ScriptedUi::saveSetting(const std::string& section, const std::string& key,
                             const std::string& value) {
    settings[section + "/" + key] = value;
}

void ScriptedUi::setWindowVisible(ui::Window window, bool visible) {
    static const char* names[] = {"Main", "Messages", "Splash"};
    events.push_back(std::string(visible ? "show " : "hide ") + names[static_cast<int>(window)]);
}

}  // namespace tdv::test
