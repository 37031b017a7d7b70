#include "gui/program.h"

#include <string_view>

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

std::optional<std::string> commandLineInfo(int argc, char** argv) {
    if (argc != 2) return std::nullopt;
    const std::string_view argument = argv[1];
    if (argument == "--version") return std::string("tarnis-data-viewer ") + TDV_VERSION + "\n";
    if (argument != "--help" && argument != "-h") return std::nullopt;
    return "Usage: tarnis-data-viewer [BACKUP] [/StQuellis]\n"
           "       tarnis-data-viewer --help | --version\n"
           "\n"
           "TARNIS Data Viewer: shows the users, call handlers, lists, reports and recordings of\n"
           "a directory backup (.mdb), or the messages of a message backup, in a window.\n"
           "\n"
           "  BACKUP       the backup file to open (spaces allowed); without it the program\n"
           "               asks for one\n"
           "  /StQuellis   offers the Saint Quellis pager scrub in the Edit menu\n"
           "  --help       prints this text and ends\n"
           "  --version    prints the version and ends\n"
           "\n"
           "The same features on the command line: tdv --help. Manual: man tarnis-data-viewer.\n";
}

}  // namespace tdv::gui
