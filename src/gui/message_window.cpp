#include "gui/message_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>

#include "gui/filter_box.h"
#include "gui/grid_view.h"
#include "gui/play_button.h"

namespace tdv::gui {

namespace {

QRect pixels(const messages::Rect& r, const QWidget* widget) {
    return {twipsToPixels(r.left, widget), twipsToPixels(r.top, widget),
            twipsToPixels(r.width, widget), twipsToPixels(r.height, widget)};
}

messages::Size twips(const QSize& size, const QWidget* widget) {
    return {pixelsToTwips(size.width(), widget), pixelsToTwips(size.height(), widget)};
}

}  // namespace

MessageWindow::MessageWindow(ui::UiPort& ui, backup::AppState& state, app::FrmMain& main,
                             QWidget* parent)
    : QMainWindow(parent), form_(ui, state), main_(main) {
    setWindowTitle(messages::kCaption);
    setObjectName("frmMessages");

    client_ = new QWidget(this);
    setCentralWidget(client_);
    grid_ = new GridView(form_.gridMessages, client_);
    grid_->setObjectName("gridMessages");
    // Subject, the last shown column, takes the room the sized columns leave.
    grid_->horizontalHeader()->setStretchLastSection(true);
    cmdExtract_ = new QPushButton(messages::kExtractCaption, client_);
    cmdExit_ = new QPushButton(messages::kExitCaption, client_);
    cmdPlay_ = new PlayButton(
        ui, [this] { return extract::messageRecording(form_); }, client_);
    cmdPlay_->setObjectName("cmdPlay");
    lblTotal_ = new QLabel(messages::kTotalRowsCaption, client_);
    lblTotal_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtCount_ = new QLineEdit(QString::fromStdString(form_.txtMessagesInGrid), client_);
    txtCount_->setReadOnly(true);
    grid_->setHeaderSorting(true);
    txtFilter_ = new FilterBox(*grid_, client_);
    txtFilter_->setObjectName("txtFilter");
    connect(grid_, &GridView::shownRowsChanged, this, [this] {
        showCount();
        enableRowActions();
    });
    buildMenus();

    // The form's own selection handler extracts; the window notes that it ran so that the
    // click which follows a row change does not extract a second time.
    auto extractOnSelection = std::move(form_.gridMessages.onSelectionChanged);
    form_.gridMessages.onSelectionChanged = [this, extractOnSelection] {
        selectionFiredSincePress_ = true;
        enableRowActions();
        // A row the filter hides is never extracted.
        if (extractOnSelection && rowShown()) extractOnSelection();
    };
    grid_->viewport()->installEventFilter(this);
    grid_->clicked = [this] {
        const bool fired = std::exchange(selectionFiredSincePress_, false);
        if (!fired && form_.gridMessages.Row() >= 1) messages::cmdExtractWAVFile_Click(form_);
    };
    connect(cmdExtract_, &QPushButton::clicked, this, [this] {
        if (rowShown()) messages::cmdExtractWAVFile_Click(form_);
    });
    connect(cmdExit_, &QPushButton::clicked, this, [this] {
        unloading_ = true;
        messages::cmdExit_Click(form_);
    });

    client_->installEventFilter(this);
    setMinimumSize(twipsToPixels(messages::kMinWidth, this),
                   twipsToPixels(messages::kMinHeight, this));
    resize(twipsToPixels(messages::kDesignSize.width, this),
           twipsToPixels(messages::kDesignSize.height, this));
}

MessageWindow::~MessageWindow() {
    // The grid view reads the form's grid model, which goes before the base class deletes
    // the child widgets.
    grid_->viewport()->removeEventFilter(this);
    client_->removeEventFilter(this);
    delete grid_;
    grid_ = nullptr;
}

void MessageWindow::buildMenus() {
    auto addMenu = [this](const char* caption, const auto& items) {
        QMenu* menu = menuBar()->addMenu(caption);
        std::vector<QAction*> actions;
        for (const messages::MenuItem& item : items) {
            if (item.name[0] == '\0') {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(item.caption);
            action->setObjectName(item.name);
            actions.push_back(action);
        }
        return actions;
    };
    const auto file = addMenu(messages::kFileMenuCaption, messages::kFileMenu);
    const auto help = addMenu(messages::kHelpMenuCaption, messages::kHelpMenu);
    mnuLoadDatabase_ = file.at(0);
    mnuExit_ = file.at(1);
    mnuHelp_ = help.at(0);
    mnuAbout_ = help.at(1);

    mnuLoadDatabase_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuExit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    mnuHelp_->setShortcut(QKeySequence(Qt::Key_F1));
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFilter_->setFocus(Qt::ShortcutFocusReason);
        txtFilter_->selectAll();
    });
    connect(mnuLoadDatabase_, &QAction::triggered, this,
            [this] { messages::mnuLoadDatabase_Click(form_, main_); });
    connect(mnuExit_, &QAction::triggered, this, [this] {
        unloading_ = true;
        messages::mnuExit_Click(form_);
    });
    connect(mnuHelp_, &QAction::triggered, this, [this] { messages::mnuHelp_Click(form_); });
    connect(mnuAbout_, &QAction::triggered, this, [this] { messages::mnuAbout_Click(form_); });
}

void MessageWindow::initAndShow() {
    messages::InitForm(form_);
    showFormState();
    widenToShowSubjects();
    show();
    raise();
    activateWindow();
}

void MessageWindow::widenToShowSubjects() {
    // The sized columns take most of the designed width; widen the window (within the
    // screen) so that the subjects can be read too.
    const QHeaderView* header = grid_->horizontalHeader();
    int columns = 0;
    int lastShown = -1;
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c)) continue;
        lastShown = c;
    }
    if (lastShown < 0) return;
    for (int c = 0; c < lastShown; ++c) {
        if (!header->isSectionHidden(c)) columns += header->sectionSize(c);
    }
    int lastWidth = header->sectionSizeHint(lastShown);
    const QFontMetrics metrics = grid_->fontMetrics();
    for (int r = 1; r < form_.gridMessages.Rows(); ++r) {
        const QString text = QString::fromStdString(form_.gridMessages.TextMatrix(r, lastShown));
        lastWidth =
            std::max(lastWidth, metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth());
    }
    columns += lastWidth;
    const int chrome = twipsToPixels(135, this) + 2 * grid_->frameWidth() +
                       grid_->verticalScrollBar()->sizeHint().width();
    // The client area spans the window's width (a main window has no side margins).
    int wanted = columns + chrome;
    if (const QScreen* s = screen()) {
        wanted = std::min(wanted, s->availableGeometry().width() * 9 / 10);
    }
    if (wanted > width()) resize(wanted, height());
}

void MessageWindow::showFormState() {
    grid_->refresh();
    showCount();
}

void MessageWindow::showCount() {
    txtCount_->setText(shownCountText(*grid_, QString::fromStdString(form_.txtMessagesInGrid)));
}

bool MessageWindow::rowShown() const {
    return !grid_->currentRowHidden();
}

void MessageWindow::enableRowActions() {
    const bool shown = rowShown();
    cmdExtract_->setEnabled(shown);
    cmdPlay_->setEnabled(shown);
    if (!shown) cmdPlay_->stop();
}

void MessageWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    // Closing the window ends the program; the program's shutdown closes this window again,
    // which must not start a second shutdown.
    if (std::exchange(unloading_, true)) return;
    messages::Form_Unload(form_);
}

bool MessageWindow::eventFilter(QObject* watched, QEvent* event) {
    if (grid_ == nullptr) return false;
    if (watched == grid_->viewport() && event->type() == QEvent::MouseButtonPress) {
        selectionFiredSincePress_ = false;
    } else if (watched == client_ && event->type() == QEvent::Resize) {
        layoutControls();
    }
    return QMainWindow::eventFilter(watched, event);
}

void MessageWindow::layoutControls() {
    const bool minimized = isMinimized();
    const messages::Size outer = twips(frameGeometry().size(), this);
    if (const auto grow = messages::Form_Resize_minimumSize(outer, minimized)) {
        // Smaller than the minimum: grow the window; the resize that follows lays it out.
        const QSize frame = frameGeometry().size() - size();
        resize(twipsToPixels(grow->width, this) - frame.width(),
               twipsToPixels(grow->height, this) - frame.height());
        return;
    }
    const auto layout = messages::Form_Resize(outer, twips(client_->size(), this), minimized);
    if (!layout) return;
    // The filter box takes the top of the grid's place.
    QRect grid = pixels(layout->gridMessages, this);
    const int filterHeight = txtFilter_->sizeHint().height();
    txtFilter_->setGeometry(grid.left(), grid.top(), grid.width(), filterHeight);
    grid.setTop(grid.top() + filterHeight + twipsToPixels(60, this));
    grid_->setGeometry(grid);
    cmdExit_->setGeometry(pixels(layout->cmdExit, this));
    // The row's left positions are the designed ones, widened where this platform's font
    // needs more room than the design gave, so that no caption is cut off.
    const int gap = twipsToPixels(60, this);
    QRect extract = pixels(layout->cmdExtractWAVFile, this);
    extract.setWidth(std::max(extract.width(), cmdExtract_->sizeHint().width()));
    QRect play(extract.right() + gap, extract.top(), cmdPlay_->sizeHint().width(),
               extract.height());
    QRect label = pixels(layout->lblTotalGridRows, this);
    label.moveLeft(std::max(label.left(), play.right() + gap));
    label.setWidth(std::max(label.width(), lblTotal_->sizeHint().width()));
    label.setHeight(extract.height());
    QRect count = pixels(layout->txtMessagesInGrid, this);
    count.moveLeft(std::max(count.left(), label.right() + gap));
    count.setHeight(std::max(count.height(), txtCount_->sizeHint().height()));
    // Room for "N of M" while a filter is on.
    count.setWidth(std::max(
        count.width(),
        txtCount_->fontMetrics().horizontalAdvance("00000 of 00000") + twipsToPixels(180, this)));
    cmdExtract_->setGeometry(extract);
    cmdPlay_->setGeometry(play);
    lblTotal_->setGeometry(label);
    txtCount_->setGeometry(count);
}

}  // namespace tdv::gui
