// Screenshots of the running program, for scripts/screenshots.sh (a test aid, off unless
// asked for through the environment):
//
//   TDV_SCREENSHOT=FILE.png        once the program's first window is up, save a picture of
//                                  the visible window to FILE.png and quit;
//   TDV_SCREENSHOT_SELECT=TYPE,ROW first select that entry of the main window's type list
//                                  (0 to 7) and that grid row (1 for the first data row);
//   TDV_SCREENSHOT_WINDOW=NAME     picture another window instead: "about", "help",
//                                  "remap" (alias and extension) or "smtp-remap", opened
//                                  modeless for the picture;
//   TDV_SCREENSHOT_FILTER=TEXT     type TEXT into the filter box of the visible window.
//
// The picture is taken with QWidget::grab, so it needs no window manager or screen-capture
// tool; the script runs the program under Xvfb.
//
// Compiled only into builds with the test hooks (TDV_TEST_HOOKS); the programs built for
// use and for the package have no such aid.
#pragma once

#include <optional>
#include <string>

class QWidget;

namespace tdv::gui {

class Program;

struct ScreenshotRequest {
    std::string path;
    int type = -1;       // type list entry to select, -1 for none
    int row = -1;        // grid row to select, -1 for none
    std::string window;  // "" for the visible window, or about, help, remap, smtp-remap
    std::string filter;  // typed into the visible window's filter box, when not empty
};

// The request from the two variables' values (either may be null); nullopt without a path.
// A SELECT value that is not "TYPE" or "TYPE,ROW" with numbers selects nothing.
std::optional<ScreenshotRequest> parseScreenshotRequest(const char* path, const char* select,
                                                        const char* window = nullptr);
std::optional<ScreenshotRequest> screenshotRequestFromEnvironment();

// Saves a picture of the window (with its menu bar) as PNG; false when it cannot be written.
bool saveWindowPicture(QWidget& window, const std::string& path);

// When the environment asks for a screenshot: schedules the selection, the picture of the
// visible window (the message browser when it is shown, else the main window) and the end
// of the program on the event loop. Returns whether a screenshot was scheduled.
bool scheduleScreenshotFromEnvironment(Program& program);

}  // namespace tdv::gui
