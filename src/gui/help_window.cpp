#include "gui/help_window.h"

#include <QDir>
#include <QFileInfo>
#include <QResizeEvent>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

#include "gui/grid_view.h"
#include "ui/ui_port.h"

namespace tdv::gui {

namespace {

// The design's size of the help window (outer, twips).
constexpr int kHelpDesignWidth = 11500;
constexpr int kHelpDesignHeight = 9000;

bool isFile(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).isFile();
}

}  // namespace

std::vector<std::string> helpFolders(const std::string& executableFolder) {
    std::vector<std::string> folders;
    const QString installed =
        QDir::cleanPath(QString::fromStdString(executableFolder) + "/../share/tarnis-data-viewer");
    folders.push_back(installed.toStdString());
#ifdef TDV_SOURCE_SHARE_DIR
    folders.push_back(TDV_SOURCE_SHARE_DIR);
#endif
    return folders;
}

std::string helpFilePath(const std::string& executableFolder) {
    const auto folders = helpFolders(executableFolder);
    for (const auto& folder : folders) {
        const std::string path = folder + "/" + kHelpFileName;
        if (isFile(path)) return path;
    }
    return folders.front() + "/" + kHelpFileName;
}

HelpBrowserRect helpBrowserRect(int outerWidthTwips, int outerHeightTwips) {
    return {100, 1, outerWidthTwips - 200, outerHeightTwips - 400};
}

HelpWindow::HelpWindow(const std::string& path, QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(ui::kAppTitle);
    browserHelp_ = new QTextBrowser(this);
    browserHelp_->setObjectName("browserHelp");
    browserHelp_->setOpenExternalLinks(true);
    // Escape and Ctrl+W close the window, as in other viewers.
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, &QWidget::close);
    }
    setMinimumSize(twipsToPixels(kHelpMinWidth, this), twipsToPixels(kHelpMinHeight, this));
    resize(twipsToPixels(kHelpDesignWidth, this), twipsToPixels(kHelpDesignHeight, this));

    // Load: navigate to the page. A page that is not there gets the browser's error page.
    const QString file = QString::fromStdString(path);
    if (QFileInfo(file).isFile()) {
        browserHelp_->setSource(QUrl::fromLocalFile(file));
    } else {
        browserHelp_->setHtml("<h3>The page cannot be displayed</h3><p>The help file <tt>" +
                              file.toHtmlEscaped() + "</tt> was not found.</p>");
    }
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isMinimized()) return;
    // The rule works on the outer size; the frame adds to the client size where the window
    // manager gives one.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize outer = event->size() + (frame.isValid() ? frame : QSize(0, 0));
    const HelpBrowserRect r =
        helpBrowserRect(pixelsToTwips(outer.width(), this), pixelsToTwips(outer.height(), this));
    browserHelp_->setGeometry(twipsToPixels(r.left, this), twipsToPixels(r.top, this),
                              std::max(0, twipsToPixels(r.width, this)),
                              std::max(0, twipsToPixels(r.height, this)));
}

HelpHolder::HelpHolder(std::string executableFolder)
    : executableFolder_(std::move(executableFolder)) {}

HelpWindow& HelpHolder::window() {
    if (!window_) window_ = std::make_unique<HelpWindow>(helpFilePath(executableFolder_));
    return *window_;
}

void HelpHolder::show() {
    HelpWindow& help = window();
    help.show();
    help.raise();
    help.activateWindow();
}

}  // namespace tdv::gui
