// The UI port of `tdv`: message boxes become lines on stderr, questions are answered from the
// command line, and the window parts do nothing visible.
//
//   message box (OK only)   "message: TEXT"
//   question                "question: TEXT -> ANSWER"   ANSWER: Yes, No, OK or Cancel
//
// Line breaks inside a text are written as the two characters "\n", other control
// characters as "\xNN", so every box is one line and no data reaches the terminal raw. With
// answerYes every question is answered Yes (or OK); otherwise No (or Cancel). File dialogs return
// the paths the command line gave, in order ("" once they run out, which is a cancelled dialog).
// Opening a folder or file with the desktop prints "open: PATH" on stderr. Settings and the
// clipboard live in memory for the one run.
#pragma once

#include <deque>
#include <map>
#include <ostream>
#include <string>

#include "ui/ui_port.h"

namespace tdv::cli {

class CliUi : public ui::UiPort {
public:
    explicit CliUi(std::ostream& err, bool answerYes = false) : err_(err), answerYes_(answerYes) {}

    std::deque<std::string> openPaths;
    std::deque<std::string> savePaths;
    std::string clipboard;
    // The texts of the boxes shown so far, in order.
    std::deque<std::string> shown;

    ui::Answer messageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon,
                          const std::string& title) override;
    std::string openFileDialog(const ui::FileDialog& dialog) override;
    std::string saveFileDialog(const ui::FileDialog& dialog) override;
    void openWithDesktop(const std::string& path) override;
    void openUrl(const std::string& url) override;
    void setClipboardText(const std::string& text) override { clipboard = text; }
    void setBusy(bool) override {}
    void processEvents() override {}
    // No window repaints meanwhile, so there is nothing to wait for.
    void sleepMs(int) override {}
    std::string setting(const std::string& section, const std::string& key,
                        const std::string& defaultValue) override;
    void saveSetting(const std::string& section, const std::string& key,
                     const std::string& value) override;
    void setWindowVisible(ui::Window, bool) override {}

    // The text with CR LF, LF and CR each written as the two characters "\n", and every
    // other control character as "\xNN".
    static std::string oneLine(const std::string& text);

private:
    std::ostream& err_;
    bool answerYes_;
    std::map<std::string, std::string> settings_;
};

}  // namespace tdv::cli
