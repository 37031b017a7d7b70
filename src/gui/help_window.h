// frmHelp: the help page "TARNISDataViewer.htm" in a text browser, shown modeless from the
// Help menus of the main window and the message browser.
//
// The page is looked up in the installed program's share folder
// (<prefix>/share/tarnis-data-viewer) and, when the program runs from its build tree, in the
// source tree's share folder. A missing page is shown as the browser's own error page; the
// window reports nothing else. The window is a single instance, built on first use; a later
// show brings the same window back.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QTextBrowser;

namespace tdv::gui {

inline constexpr const char* kHelpFileName = "TARNISDataViewer.htm";

// The folders searched for the help page, in order: the install folder beside the
// executable's bin folder, then the source tree's share folder of this build.
std::vector<std::string> helpFolders(const std::string& executableFolder);
// The first existing help page in those folders; the install location when none exists.
std::string helpFilePath(const std::string& executableFolder);

class HelpWindow : public QWidget {
    Q_OBJECT
public:
    // Navigates to the help page at `path` (the load step).
    explicit HelpWindow(const std::string& path, QWidget* parent = nullptr);

    QTextBrowser* browserHelp() const { return browserHelp_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QTextBrowser* browserHelp_;
};

// Minimum outer size of the help window and the browser's place, in twips.
inline constexpr int kHelpMinWidth = 2500;
inline constexpr int kHelpMinHeight = 2400;
struct HelpBrowserRect {
    int left, top, width, height;
};
// The browser's place for the window's outer size (left 100, top 1, width - 200,
// height - 400).
HelpBrowserRect helpBrowserRect(int outerWidthTwips, int outerHeightTwips);

// The one help window of the program.
class HelpHolder {
public:
    explicit HelpHolder(std::string executableFolder);
    HelpWindow& window();
    // Shows the window modeless and raises it.
    void show();
    bool loaded() const { return window_ != nullptr; }

private:
    std::string executableFolder_;
    std::unique_ptr<HelpWindow> window_;
};

}  // namespace tdv::gui
