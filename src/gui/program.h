// The desktop program's windows, built and wired together: the splash, the main window, the
// message browser, About, Help and the two remap windows. The program's main() and the GUI
// tests build the same set; only the UI port differs (Qt dialogs, or a scripted port).
//
// Each window that the features show or hide by name is handed to registerWindow (the UI
// port's window table). The main window's hooks open About, Help, the remap windows and the
// message browser; the message browser's hooks open About and Help, end the program through
// the main window's exitApplication, and, when its "Open database" ends with no backup
// shown, run the main window's opening sequence again.
#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "backup/app_state.h"
#include "gui/about_window.h"
#include "gui/help_window.h"
#include "gui/main_window.h"
#include "gui/message_window.h"
#include "gui/remap_window.h"
#include "gui/splash.h"
#include "ui/ui_port.h"

namespace tdv::gui {

using WindowRegistration = std::function<void(ui::Window, QWidget*)>;

class Program {
public:
    Program(ui::UiPort& ui, backup::AppState& state, const WindowRegistration& registerWindow);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Splash splash;
    MainWindow main;
    MessageWindow messages;
    AboutHolder about;
    HelpHolder help;
    RemapWindows remaps;
};

// The command line after the program name, as one text: the arguments joined by blanks.
std::string joinCommandLine(int argc, char** argv);

// What "--help" or "--version" as the only argument prints (before any window or dialog:
// the program then ends with status 0); nullopt for any other command line.
std::optional<std::string> commandLineInfo(int argc, char** argv);

}  // namespace tdv::gui
