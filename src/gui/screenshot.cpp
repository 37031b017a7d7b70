#include "gui/screenshot.h"

// Only the builds with the test hooks have the screenshot aid (screenshot.h).
#ifdef TDV_TEST_HOOKS

#include <QApplication>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "gui/filter_box.h"
#include "gui/grid_view.h"
#include "gui/program.h"
#include "main_window/frm_main_procedures.h"

namespace tdv::gui {

namespace {

// Time for the windows to settle (first paint, column sizes) before and after selecting.
constexpr int kSettleMs = 700;

std::optional<int> number(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

void selectInMainWindow(Program& program, int type, int row) {
    MainWindow& main = program.main;
    app::FrmMain& form = main.form();
    if (type >= 0) {
        app::selectObjectType(form, type);
        main.myGrid->refresh();
    }
    if (row >= 1 && row < form.myGrid.Rows()) {
        form.myGrid.setRow(row);
        main.myGrid->followCurrent();
    }
    main.syncFromForm();
}

// The secondary window to picture; About and Help stay owned by the program.
std::shared_ptr<QWidget> openSecondary(Program& program, const std::string& name) {
    std::shared_ptr<QWidget> window;
    if (name == "about") {
        window = std::shared_ptr<QWidget>(&program.about.window(), [](QWidget*) {});
    } else if (name == "help") {
        window = std::shared_ptr<QWidget>(&program.help.window(), [](QWidget*) {});
    } else if (name == "remap" || name == "smtp-remap") {
        ui::UiPort& ui = program.main.form().ui;
        backup::AppState& state = program.main.form().state;
        window = name == "remap"
                     ? makeExtensionRemapWindow(ui, state, program.remaps.logs(), &program.main)
                     : makeSMTPRemapWindow(ui, state, program.remaps.logs(), &program.main);
    }
    if (window) {
        window->show();
        window->raise();
    }
    return window;
}

}  // namespace

std::optional<ScreenshotRequest> parseScreenshotRequest(const char* path, const char* select,
                                                        const char* window) {
    if (path == nullptr || *path == '\0') return std::nullopt;
    ScreenshotRequest request{path};
    if (window != nullptr) request.window = window;
    if (select == nullptr) return request;
    const std::string_view text(select);
    const size_t comma = text.find(',');
    const auto type = number(text.substr(0, comma));
    const auto row =
        comma == std::string_view::npos ? std::optional<int>(-1) : number(text.substr(comma + 1));
    if (type && row) {
        request.type = *type;
        request.row = *row;
    }
    return request;
}

std::optional<ScreenshotRequest> screenshotRequestFromEnvironment() {
    auto request =
        parseScreenshotRequest(std::getenv("TDV_SCREENSHOT"), std::getenv("TDV_SCREENSHOT_SELECT"),
                               std::getenv("TDV_SCREENSHOT_WINDOW"));
    if (const char* filter = std::getenv("TDV_SCREENSHOT_FILTER"); request && filter != nullptr) {
        request->filter = filter;
    }
    return request;
}

bool saveWindowPicture(QWidget& window, const std::string& path) {
    const QPixmap picture = window.grab();
    return !picture.isNull() && picture.save(QString::fromStdString(path), "PNG");
}

bool scheduleScreenshotFromEnvironment(Program& program) {
    const auto request = screenshotRequestFromEnvironment();
    if (!request) return false;
    QTimer::singleShot(kSettleMs, qApp, [&program, request = *request] {
        if (program.main.isVisible()) selectInMainWindow(program, request.type, request.row);
        if (!request.filter.empty()) {
            FilterBox* box = program.messages.isVisible() ? program.messages.txtFilter()
                                                          : program.main.txtFilter;
            box->setText(QString::fromStdString(request.filter));
        }
        // A secondary window is opened modeless, so that the event loop keeps running.
        std::shared_ptr<QWidget> secondary = openSecondary(program, request.window);
        QTimer::singleShot(kSettleMs, qApp, [&program, request, secondary] {
            QWidget& window = secondary ? *secondary
                              : program.messages.isVisible()
                                  ? static_cast<QWidget&>(program.messages)
                                  : static_cast<QWidget&>(program.main);
            if (!saveWindowPicture(window, request.path)) {
                std::fprintf(stderr, "tarnis-data-viewer: could not save the screenshot %s\n",
                             request.path.c_str());
            }
            QApplication::exit(0);
        });
    });
    return true;
}

}  // namespace tdv::gui

#endif  // TDV_TEST_HOOKS
