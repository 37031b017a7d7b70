#include "gui/program.h"

namespace tdv::gui {

Program::Program(ui::UiPort& ui, backup::AppState& state, const WindowRegistration& registerWindow)
    : main(ui, state), messages(ui, state, main.form()), help(state.exeFolder), remaps(ui, state) {
    registerWindow(ui::Window::Splash, &splash);
    registerWindow(ui::Window::Main, &main);
    registerWindow(ui::Window::Messages, &messages);

    main.form().showMessageBrowser = [this] { messages.initAndShow(); };
    main.showAbout = [this] { about.showModal(); };
    main.showHelp = [this] { help.show(); };
    remaps.install(main);
    main.updateMenus();

    messages::FrmMessages& browser = messages.form();
    browser.showAbout = [this] { about.showModal(); };
    browser.showHelp = [this] { help.show(); };
    browser.exitApplication = [this] { main.exitApplication(); };
    browser.noBackupOpened = [this] { main.mnuOpenDB_Click(); };
}

std::string joinCommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

}  // namespace tdv::gui
