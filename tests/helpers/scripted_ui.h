// A UI port for tests: records every message box and window switch, answers questions from
// a queue, returns scripted dialog results, keeps settings and the clipboard in memory.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "ui/ui_port.h"

namespace tdv::test {

class ScriptedUi : public ui::UiPort {
public:
    struct Box {
        std::string text;
        ui::Buttons buttons;
        ui::Icon icon;
        std::string title;
    };

    // Recorded calls.
    std::vector<Box> boxes;
    std::vector<std::string> opened;  // openWithDesktop and openUrl, in order
    std::vector<std::string> events;  // "show Main", "hide Splash", "busy on", ...
    std::string clipboard;
    std::map<std::string, std::string> settings;  // "section/key" -> value

    // Scripted answers: questions take the next answer (default: the first button's
    // negative, i.e. No or Cancel; Ok for an OK-only box); dialogs the next path ("" cancels).
    std::deque<ui::Answer> answers;
    std::deque<std::string> openPaths;
    std::deque<std::string> savePaths;
    std::vector<ui::FileDialog> dialogs;
    // Output files are written through this file system when set (fault injection).
    jet::FileSystem* files = nullptr;

    // The texts of all message boxes so far.
    std::vector<std::string> texts() const;

    ui::Answer messageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override;
    std::string openFileDialog(const ui::FileDialog& dialog) override;
    std::string saveFileDialog(const ui::FileDialog& dialog) override;
    void openWithDesktop(const std::string& path) override { opened.push_back(path); }
    void openUrl(const std::string& url) override { opened.push_back(url); }
    void setClipboardText(const std::string& text) override { clipboard = text; }
    void setBusy(bool busy) override { events.push_back(busy ? "busy on" : "busy off"); }
    void processEvents() override { events.push_back("events"); }
    void sleepMs(int) override {}
    std::string setting(const std::string& section, const std::string& key,
                        const std::string& defaultValue) override;
    void saveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override;
    void setWindowVisible(ui::Window window, bool visible) override;
    jet::FileSystem* outputFileSystem() override { return files; }
};

}  // namespace tdv::test
