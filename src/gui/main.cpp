// tarnis-data-viewer: the desktop program. The command line is a backup path (quotes
// removed; spaces allowed) and/or the "/StQuellis" switch, or --help or --version alone.
#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "gui/program.h"
#include "gui/qt_ui.h"
#ifdef TDV_TEST_HOOKS
#include "gui/screenshot.h"
#endif

namespace {

// Without a display Qt would abort; say so plainly instead.
bool displayAvailable() {
    auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer on stdout, with or without a display.
    if (const auto info = tdv::gui::commandLineInfo(argc, argv)) {
        std::fputs(info->c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "tarnis-data-viewer: no display available (neither DISPLAY nor "
                     "WAYLAND_DISPLAY is set). Run it in a desktop session, or use the "
                     "command-line tool tdv.\n");
        return 2;
    }
    Q_INIT_RESOURCE(gui);
    QApplication app(argc, argv);
    QApplication::setApplicationName("tarnis-data-viewer");
    QApplication::setOrganizationName("tarnis-data-viewer");
    QApplication::setWindowIcon(QIcon(":/tdv/app_icon.png"));

    tdv::backup::AppState state;
    state.commandLine = tdv::gui::joinCommandLine(argc, argv);
    state.exeFolder = QCoreApplication::applicationDirPath().toStdString();
    state.appFolder = tdv::backup::defaultAppFolder();

    tdv::gui::QtUi ui;
    tdv::gui::Program program(ui, state, [&ui](tdv::ui::Window window, QWidget* widget) {
        ui.setWindow(window, widget);
    });
    if (!program.main.startUp()) return 0;
#ifdef TDV_TEST_HOOKS
    // A picture of the first window for scripts/screenshots.sh, when asked for.
    tdv::gui::scheduleScreenshotFromEnvironment(program);
#endif
    return QApplication::exec();
}
