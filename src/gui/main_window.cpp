#include "gui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "backup/safety_copy.h"
#include "commands/maintenance.h"
#include "commands/user_export.h"
#include "extract/audio_extraction.h"
#include "extract/recordings.h"
#include "gui/filter_box.h"
#include "gui/grid_view.h"
#include "gui/play_button.h"
#include "main_window/form_load.h"
#include "main_window/frm_main_procedures.h"
#include "remap/frm_smtp_address_remap.h"
#include "reports/private_list_dump.h"
#include "support/update_check.h"

namespace tdv::gui {

namespace {

// Designed client area and the resize rules, in twips.
constexpr int kMinOuterWidth = 11000;
constexpr int kMinOuterHeight = 5700;
constexpr int kTextBoxWidthMargin = 7140;
constexpr int kTextBoxHeightMargin = 1120;
constexpr int kGridHeightMargin = 510;
constexpr int kGridTop = 600;
constexpr int kGridBottomGap = 30;  // the designed gap under the grid
constexpr int kExitTopMargin = 465;
constexpr int kExitLeftMargin = 950;
constexpr int kDesignedClientWidth = 14115;
constexpr int kDesignedClientHeight = 6285;
constexpr int kFilterLeft = 5280;  // the filter box: from here to the grid's right edge

// The report text as the text box shows it (lines end with "\n" in Qt), and back.
QString toDisplayText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace("\r\n", "\n");
    return s;
}

}  // namespace

MainWindow::MainWindow(ui::UiPort& ui, backup::AppState& state, QWidget* parent)
    : QMainWindow(parent), ui_(ui), form_(std::make_unique<app::FrmMain>(ui, state)) {
    app::connectMainWindow(*form_);
    setObjectName("frmMain");
    setWindowTitle(ui::kAppTitle);
    // The design's proportions hold for a font of the size the design used.
    QFont designFont = font();
    designFont.setPointSize(8);
    setFont(designFont);

    endProcess = [] { QCoreApplication::exit(0); };
    buildControls();
    buildMenus();

    // One selection signal: the core's handler runs (the report, unless a list is being
    // filled), then the window shows its outcome and the grid follows the current row.
    auto handler = form_->myGrid.onSelectionChanged;
    form_->myGrid.onSelectionChanged = [this, handler] {
        // The handler shows the new row's report; followShownRow takes it away again when
        // the filter hides that row.
        rowShown_ = true;
        if (handler) handler();
        if (form_->myGrid.Redraw() != 0) {
            myGrid->followCurrent();
            followShownRow();
        }
    };

    resize(twipsToPixels(kDesignedClientWidth, this),
           twipsToPixels(kDesignedClientHeight, this) + menuBar()->sizeHint().height());
    updateMenus();
    syncFromForm();
}

MainWindow::~MainWindow() {
    // The widgets that talk to the FrmMain let go of it before it goes.
    txtInfo->disconnect(this);
    delete myGrid;
    myGrid = nullptr;
}

void MainWindow::setDesigned(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsToPixels(left, this), twipsToPixels(top, this),
                        twipsToPixels(width, this), twipsToPixels(height, this));
}

void MainWindow::buildControls() {
    client_ = new QWidget(this);
    setCentralWidget(client_);

    cmbObjectType = new QComboBox(client_);
    cmbObjectType->setObjectName("cmbObjectType");
    for (const char* entry : app::kObjectTypeEntries) cmbObjectType->addItem(entry);
    cmbObjectType->setCurrentIndex(-1);
    cmbObjectType->setEditable(false);
    cmbObjectType->setMaxVisibleItems(8);
    setDesigned(cmbObjectType, 60, 120, 2835, 315);
    connect(cmbObjectType, &QComboBox::activated, this, [this](int) { cmdLoadData_Click(); });
    cmbObjectType->installEventFilter(this);

    cmdLoadData = new QPushButton("&Load", client_);
    cmdLoadData->setObjectName("cmdLoadData");
    setDesigned(cmdLoadData, 12900, 60, 1155, 315);
    cmdLoadData->hide();
    connect(cmdLoadData, &QPushButton::clicked, this, [this] { cmdLoadData_Click(); });

    // Labels keep their designed place and grow to their text where the font needs it.
    auto label = [this](const char* name, const char* text, int left, int top, int width,
                        int height) {
        auto* l = new QLabel(text, client_);
        l->setObjectName(name);
        setDesigned(l, left, top, width, height);
        const QSize hint = l->sizeHint();
        l->resize(std::max(l->width(), hint.width()), std::max(l->height(), hint.height()));
        return l;
    };
    Label2 = label("Label2", "Object Count:", 2940, 180, 975, 195);
    txtObjectCount = label("txtObjectCount", "0", 4020, 180, 1215, 195);
    txtObjectCount->move(std::max(txtObjectCount->x(), Label2->geometry().right() + 4),
                         txtObjectCount->y());
    Label1 = label("Label1", "Object Details:", 7080, 120, 1275, 225);

    myGrid = new GridView(form_->myGrid, client_);
    myGrid->setObjectName("myGrid");
    setDesigned(myGrid, 60, kGridTop, 6915, 5655);
    myGrid->setHeaderSorting(true);
    myGrid->selectFirstShownRow = true;
    txtFilter = new FilterBox(*myGrid, client_);
    txtFilter->setObjectName("txtFilter");
    setDesigned(txtFilter, kFilterLeft, 120, 6975 - kFilterLeft, 315);
    connect(myGrid, &GridView::shownRowsChanged, this, [this] { followShownRow(); });

    txtInfo = new QPlainTextEdit(client_);
    txtInfo->setObjectName("txtInfo");
    txtInfo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The report is read-only: it can be selected and copied, and Tab moves on.
    txtInfo->setReadOnly(true);
    txtInfo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    txtInfo->setTabChangesFocus(true);
    txtInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setDesigned(txtInfo, 7080, 600, 6975, 5055);

    auto button = [this](const char* name, const char* caption, int left, int width) {
        auto* b = new QPushButton(caption, client_);
        b->setObjectName(name);
        setDesigned(b, left, 5820, width, 405);
        return b;
    };
    cmdCopyToClipboard = button("cmdCopyToClipboard", "&Copy", 7080, 915);
    cmdFetchAllWAVFiles = button("cmdFetchAllWAVFiles", "&Extract all WAV Files", 8100, 1665);
    cmdPrivateListDump = button("cmdPrivateListDump", "Private List Dump", 9840, 1665);
    cmdExit = button("cmdExit", "E&xit", 13200, 915);
    cmdPlay = new PlayButton(
        ui_, [this] { return extract::objectRecordings(*form_); }, client_);
    cmdPlay->setObjectName("cmdPlay");
    setDesigned(cmdPlay, 11520, 5820, 915, 405);
    // A caption wider than its designed button widens it; the buttons to its right move
    // along so that none covers another.
    int right = 0;
    for (QPushButton* b : {cmdCopyToClipboard, cmdFetchAllWAVFiles, cmdPrivateListDump,
                           static_cast<QPushButton*>(cmdPlay)}) {
        b->resize(std::max(b->width(), b->sizeHint().width()), b->height());
        b->move(std::max(b->x(), right + 6), b->y());
        right = b->geometry().right();
    }
    cmdFetchAllWAVFiles->hide();
    cmdPrivateListDump->hide();
    cmdPlay->hide();

    connect(cmdCopyToClipboard, &QPushButton::clicked, this,
            [this] { runOnShownRow([this] { app::cmdCopyToClipboard_Click(*form_); }); });
    connect(cmdFetchAllWAVFiles, &QPushButton::clicked, this,
            [this] { runOnShownRow([this] { extract::cmdFetchAllWAVFiles_Click(*form_); }); });
    connect(cmdPrivateListDump, &QPushButton::clicked, this,
            [this] { runOnShownRow([this] { reports::cmdPrivateListDump_Click(*form_); }); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { exitApplication(); });

    setTabOrder(cmbObjectType, txtFilter);
    setTabOrder(txtFilter, myGrid);
    setTabOrder(myGrid, txtInfo);
    setTabOrder(txtInfo, cmdCopyToClipboard);
    setTabOrder(cmdCopyToClipboard, cmdFetchAllWAVFiles);
    setTabOrder(cmdFetchAllWAVFiles, cmdPrivateListDump);
    setTabOrder(cmdPrivateListDump, cmdPlay);
    setTabOrder(cmdPlay, cmdExit);
}

void MainWindow::buildMenus() {
    auto item = [this](QMenu* menu, const char* name, const char* caption,
                       std::function<void()> action) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, [action = std::move(action)] { action(); });
        return a;
    };
    auto separatorIn = [](QMenu* menu, const char* name) {
        QAction* a = menu->addSeparator();
        a->setObjectName(name);
        return a;
    };

    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuOpenDB = item(mnuFile, "mnuOpenDB", "&Open database", [this] { mnuOpenDB_Click(); });
    seperator2 = separatorIn(mnuFile, "seperator2");
    mnuExit = item(mnuFile, "mnuExit", "&Exit", [this] { exitApplication(); });
    mnuOpenDB->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    // Ctrl+F goes to the filter box.
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    connect(find, &QShortcut::activated, this, [this] {
        txtFilter->setFocus(Qt::ShortcutFocusReason);
        txtFilter->selectAll();
    });

    mnuCSVEdits = menuBar()->addMenu("E&dit");
    mnuCSVEdits->setObjectName("mnuCSVEdits");
    mnuAliasorExtensionRemap =
        item(mnuCSVEdits, "mnuAliasorExtensionRemap", "&Remap subscriber alias or extension",
             [this] { mnuAliasorExtensionRemap_Click(); });
    mnuSMTPRemap = item(mnuCSVEdits, "mnuSMTPRemap", "Remap subscriber email addresses",
                        [this] { mnuSMTPRemap_Click(); });
    seperator5 = separatorIn(mnuCSVEdits, "seperator5");
    mnuExportUsers = item(mnuCSVEdits, "mnuExportUsers", "Ex&port users in backup to CSV",
                          [this] { run([this] { commands::mnuExportUsers_Click(*form_); }); });
    seperator3 = separatorIn(mnuCSVEdits, "seperator3");
    mnuClearMappingMemory =
        item(mnuCSVEdits, "mnuClearMappingMemory", "Clear object mapping table",
             [this] { run([this] { commands::mnuClearMappingMemory_Click(*form_); }); });
    seperatorStQuellis = separatorIn(mnuCSVEdits, "seperatorStQuellis");
    mnuStQuellisPagerScrub =
        item(mnuCSVEdits, "mnuStQuellisPagerScrub", "Saint Quellis Pager Scrub",
             [this] { run([this] { commands::mnuStQuellisPagerScrub_Click(*form_); }); });
    // The setting every command that changes a backup reads (backup/safety_copy.h).
    seperatorSafetyCopy = separatorIn(mnuCSVEdits, "seperatorSafetyCopy");
    mnuSafetyCopy = mnuCSVEdits->addAction("Make a &safety copy before changing a backup");
    mnuSafetyCopy->setObjectName("mnuSafetyCopy");
    mnuSafetyCopy->setCheckable(true);
    mnuSafetyCopy->setChecked(backup::safetyCopyEnabled(ui_));
    connect(mnuSafetyCopy, &QAction::toggled, this,
            [this](bool on) { backup::setSafetyCopyEnabled(ui_, on); });
    connect(mnuCSVEdits, &QMenu::aboutToShow, this, [this] { updateMenus(); });

    mnuHelp = menuBar()->addMenu("&Help");
    mnuHelp->setObjectName("mnuHelp");
    mnuHelpItem = item(mnuHelp, "mnuHelpItem", "Help", [this] {
        if (showHelp) showHelp();
    });
    mnuHelpItem->setShortcut(QKeySequence(Qt::Key_F1));
    seperator = separatorIn(mnuHelp, "seperator");
    mnuAbout = item(mnuHelp, "mnuAbout", "&About", [this] {
        if (showAbout) showAbout();
    });
    seperator4 = separatorIn(mnuHelp, "seperator4");
    mnuCheckForUpdates = item(mnuHelp, "mnuCheckForUpdates", "Chec&k for updated version", [this] {
        run([this] { support::mnuCheckForUpdates_Click(*form_); });
    });
    connect(mnuHelp, &QMenu::aboutToShow, this, [this] { updateMenus(); });
}

void MainWindow::updateMenus() {
    mnuAliasorExtensionRemap->setVisible(static_cast<bool>(openExtensionRemap));
    mnuSMTPRemap->setVisible(static_cast<bool>(openSMTPRemap));
    seperator5->setVisible(openExtensionRemap || openSMTPRemap);
    mnuHelpItem->setVisible(static_cast<bool>(showHelp));
    seperator->setVisible(static_cast<bool>(showHelp));
    mnuAbout->setVisible(static_cast<bool>(showAbout));
    seperator4->setVisible(static_cast<bool>(showAbout));
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // cmbObjectType_KeyPress: any character key reloads the list, after the list has moved
    // to the entry the key chose.
    if (watched == cmbObjectType && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint()) {
            QTimer::singleShot(0, this, [this] { cmdLoadData_Click(); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::run(const std::function<void()>& procedure) {
    procedure();
    myGrid->refresh();
    syncFromForm();
}

void MainWindow::runOnShownRow(const std::function<void()>& procedure) {
    if (!rowShown_) return;
    run(procedure);
}

void MainWindow::followShownRow() {
    const bool shown = !myGrid->currentRowHidden();
    const bool wasShown = std::exchange(rowShown_, shown);
    if (!shown || !wasShown) app::showDetailsOfShownRow(*form_, shown);
    syncFromForm();
}

void MainWindow::cmdLoadData_Click() {
    // The previous type's report goes at once: a list that fails shows its message box
    // over an empty report, not over the report of an object no longer listed.
    txtInfo->clear();
    run([this] { app::selectObjectType(*form_, cmbObjectType->currentIndex()); });
}

void MainWindow::mnuAliasorExtensionRemap_Click() {
    if (!openExtensionRemap) return;
    openExtensionRemap();
    run([this] { app::LoadObjectList(*form_); });
}

void MainWindow::mnuSMTPRemap_Click() {
    if (!openSMTPRemap) return;
    // Below schema revision 20 the core says the backup is too old, and nothing opens.
    if (!remap::mnuSMTPRemap_CanOpen(*form_)) return;
    openSMTPRemap();
    run([this] { app::LoadObjectList(*form_); });
}

void MainWindow::syncFromForm() {
    const app::FrmMain& f = *form_;
    if (cmbObjectType->currentIndex() != f.cmbObjectType) {
        cmbObjectType->setCurrentIndex(f.cmbObjectType);
    }
    showObjectCount();
    const QString text = toDisplayText(f.txtInfo.Text);
    if (txtInfo->toPlainText() != text) txtInfo->setPlainText(text);
    cmdFetchAllWAVFiles->setVisible(f.cmdFetchAllWAVFilesVisible);
    // The objects that have recordings to extract have them to play.
    cmdPlay->setVisible(f.cmdFetchAllWAVFilesVisible);
    if (!f.cmdFetchAllWAVFilesVisible) cmdPlay->stop();
    cmdPrivateListDump->setVisible(f.cmdPrivateListDumpVisible);
    // A row the filter hides is never acted on.
    for (QWidget* action :
         {static_cast<QWidget*>(cmdFetchAllWAVFiles), static_cast<QWidget*>(cmdPlay),
          static_cast<QWidget*>(cmdPrivateListDump), static_cast<QWidget*>(cmdCopyToClipboard)}) {
        action->setEnabled(rowShown_);
    }
    if (!rowShown_) cmdPlay->stop();
    seperatorStQuellis->setVisible(f.pagerScrubMenuVisible);
    mnuStQuellisPagerScrub->setVisible(f.pagerScrubMenuVisible);
}

void MainWindow::showObjectCount() {
    txtObjectCount->setText(shownCountText(*myGrid, QString::fromStdString(form_->txtObjectCount)));
    txtObjectCount->adjustSize();
    placeFilterBox();
}

void MainWindow::placeFilterBox() {
    const int gap = twipsToPixels(60, this);
    const int left =
        std::max(twipsToPixels(kFilterLeft, this), txtObjectCount->geometry().right() + gap);
    const int right = myGrid->geometry().right();
    txtFilter->setGeometry(left, txtFilter->y(), std::max(right - left + 1, 0),
                           txtFilter->height());
}

bool MainWindow::startUp() {
    bool loaded = false;
    run([&] { loaded = app::Form_Load(*form_); });
    if (!loaded) exitApplication();
    return loaded;
}

void MainWindow::mnuOpenDB_Click() {
    startUp();
}

void MainWindow::exitApplication() {
    if (exiting_) return;
    exiting_ = true;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible()) w->close();
    }
    hide();
    ui_.processEvents();
    ui_.sleepMs(50);
    if (endProcess) endProcess();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Form_Unload
    event->accept();
    exitApplication();
}

QSize MainWindow::minimumOuterSize() const {
    return {twipsToPixels(kMinOuterWidth, this), twipsToPixels(kMinOuterHeight, this)};
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isMinimized()) return;
    // The outer size includes the window manager's frame, where there is one.
    const QSize frame = frameGeometry().size() - geometry().size();
    const QSize minimum = minimumOuterSize() - frame;
    if (minimumSize() != minimum) setMinimumSize(minimum);
    if (width() < minimum.width() || height() < minimum.height()) {
        resize(std::max(width(), minimum.width()), std::max(height(), minimum.height()));
        return;
    }
    placeControls();
}

void MainWindow::placeControls() {
    const int clientWidth = pixelsToTwips(client_->width(), this);
    const int clientHeight = pixelsToTwips(client_->height(), this);
    auto px = [this](int twips) { return twipsToPixels(std::max(twips, 0), this); };

    txtInfo->resize(px(clientWidth - kTextBoxWidthMargin), px(clientHeight - kTextBoxHeightMargin));
    // The grid's bottom stays inside the client area.
    const int gridHeight =
        std::min(clientHeight - kGridHeightMargin, clientHeight - kGridTop - kGridBottomGap);
    myGrid->resize(myGrid->width(), px(gridHeight));
    const int exitTop = clientHeight - kExitTopMargin;
    cmdExit->move(px(clientWidth - kExitLeftMargin), px(exitTop));
    for (QPushButton* b : {cmdCopyToClipboard, cmdFetchAllWAVFiles, cmdPrivateListDump,
                           static_cast<QPushButton*>(cmdPlay)}) {
        b->move(b->x(), px(exitTop));
    }
}

}  // namespace tdv::gui
