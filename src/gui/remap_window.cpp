#include "gui/remap_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/about_window.h"
#include "gui/grid_view.h"
#include "gui/main_window.h"

namespace tdv::gui {

const RemapDesign kExtensionRemapDesign = {remap::kExtensionRemapTitle,
                                           12420,
                                           6075,
                                           {60, 180, 1575, 315},
                                           {1680, 180, 10635, 315},
                                           {120, 720, 195, 195},
                                           {60, 660, 12315, 4755},
                                           {9900, 5580, 1335, 405},
                                           {11400, 5580, 915, 405}};

const RemapDesign kSMTPRemapDesign = {remap::kSMTPRemapTitle,
                                      12375,
                                      6000,
                                      {0, 120, 1575, 315},
                                      {1620, 120, 10635, 315},
                                      {60, 660, 195, 195},
                                      {0, 600, 12315, 4755},
                                      {9840, 5520, 1335, 405},
                                      {11340, 5520, 915, 405}};

namespace {

// Below this client size the controls would overlap; the resize rule itself has no minimum.
constexpr int kMinClientWidth = 5000;
constexpr int kMinClientHeight = 2500;

remap::RemapPreview previewOf(remap::FrmExtensionRemap& form) {
    return remap::previewExtensionRemap(form);
}
remap::RemapPreview previewOf(remap::FrmSMTPAddressRemap& form) {
    return remap::previewSMTPRemap(form);
}

// Gap between the preview button and the apply button, twips.
constexpr int kButtonGap = 120;

// One adapter for both forms: they share member and procedure names.
template <class F>
class FormAdapter : public RemapWindow::Form {
public:
    template <class... Args>
    explicit FormAdapter(Args&&... args) : form_(std::forward<Args>(args)...) {}

    F& form() { return form_; }
    std::string& txtCSVPath() override { return form_.txtCSVPath; }
    bool& chkSelectAll() override { return form_.chkSelectAll; }
    ui::GridModel& myGrid() override { return form_.myGrid; }
    bool closed() const override { return form_.closed; }
    std::function<void(int, int)>& progress() override { return form_.progress; }
    void InitForm() override { remap::InitForm(form_); }
    void cmdOpenCSVFile_Click() override { remap::cmdOpenCSVFile_Click(form_); }
    void chkSelectAll_Click() override { remap::chkSelectAll_Click(form_); }
    void myGrid_Click() override { remap::myGrid_Click(form_); }
    bool myGrid_CanEdit(int col) const override { return remap::myGrid_CanEdit(form_, col); }
    void cmdRemap_Click() override { remap::cmdRemap_Click(form_); }
    remap::RemapPreview preview() override { return previewOf(form_); }
    bool* logMatchesOnly() override {
        if constexpr (requires { form_.logMatchesOnly; }) {
            return &form_.logMatchesOnly;
        } else {
            return nullptr;
        }
    }
    void cmdCancel_Click() override { remap::cmdCancel_Click(form_); }
    void Form_Unload() override { remap::Form_Unload(form_); }

private:
    F form_;
};

}  // namespace

RemapWindow::RemapWindow(const RemapDesign& design, std::unique_ptr<Form> form, QWidget* parent)
    : QDialog(parent), design_(design), form_(std::move(form)) {
    setWindowTitle(design.title);
    setModal(true);
    setSizeGripEnabled(true);

    cmdOpenCSVFile_ = new QPushButton("&Select CSV File", this);
    cmdOpenCSVFile_->setObjectName("cmdOpenCSVFile");
    cmdOpenCSVFile_->setAutoDefault(false);
    txtCSVPath_ = new QLineEdit(this);
    txtCSVPath_->setObjectName("txtCSVPath");
    txtCSVPath_->setReadOnly(true);
    myGrid_ = new GridView(form_->myGrid(), this);
    myGrid_->setObjectName("myGrid");
    // Info, the last shown column, takes the room the sized columns leave.
    myGrid_->horizontalHeader()->setStretchLastSection(true);
    // The box sits over the grid's header cell of the Selected column, so it comes after
    // the grid in the stacking order.
    chkSelectAll_ = new QCheckBox(this);
    chkSelectAll_->setObjectName("chkSelectAll");
    chkSelectAll_->setToolTip("Select or clear every row");
    cmdRemap_ = new QPushButton("&Apply Changes", this);
    cmdRemap_->setObjectName("cmdRemap");
    cmdRemap_->setAutoDefault(false);
    cmdPreview_ = new QPushButton("&Preview", this);
    cmdPreview_->setObjectName("cmdPreview");
    cmdPreview_->setAutoDefault(false);
    cmdPreview_->setToolTip("What applying the ticked rows would change; no file is changed");
    cmdCancel_ = new QPushButton("&Cancel", this);
    cmdCancel_->setObjectName("cmdCancel");
    cmdCancel_->setAutoDefault(false);
    if (bool* matchesOnly = form_->logMatchesOnly()) {
        chkLogMatchesOnly_ = new QCheckBox("Log only message backups with matches", this);
        chkLogMatchesOnly_->setObjectName("chkLogMatchesOnly");
        chkLogMatchesOnly_->setToolTip(
            "The run log gets count lines only for message backups whose count is not zero, "
            "and one line per row with the number of message backups that had none");
        chkLogMatchesOnly_->setChecked(*matchesOnly);
        connect(chkLogMatchesOnly_, &QCheckBox::toggled, this,
                [matchesOnly](bool checked) { *matchesOnly = checked; });
    }
    progress_ = new QProgressBar(this);
    progress_->setObjectName("progress");
    progress_->hide();

    myGrid_->canEdit = [this](int col) { return form_->myGrid_CanEdit(col); };
    myGrid_->clicked = [this] { forward([this] { form_->myGrid_Click(); }); };
    form_->progress() = [this](int done, int total) { showProgress(done, total); };

    connect(cmdOpenCSVFile_, &QPushButton::clicked, this, [this] {
        forward([this] { form_->cmdOpenCSVFile_Click(); });
        widenToShowInfo();
    });
    connect(chkSelectAll_, &QCheckBox::clicked, this, [this](bool checked) {
        forward([this, checked] {
            form_->chkSelectAll() = checked;
            form_->chkSelectAll_Click();
        });
    });
    connect(cmdRemap_, &QPushButton::clicked, this,
            [this] { forward([this] { form_->cmdRemap_Click(); }); });
    connect(cmdPreview_, &QPushButton::clicked, this, [this] { showPreview(); });
    connect(cmdCancel_, &QPushButton::clicked, this,
            [this] { forward([this] { form_->cmdCancel_Click(); }); });

    showFormState();
    for (auto [widget, rect] :
         {std::pair{static_cast<QWidget*>(cmdOpenCSVFile_), design.cmdOpenCSVFile},
          {txtCSVPath_, design.txtCSVPath},
          {chkSelectAll_, design.chkSelectAll},
          {myGrid_, design.myGrid},
          {cmdRemap_, design.cmdRemap},
          {cmdCancel_, design.cmdCancel}}) {
        place(widget, rect);
    }
    placePreviewButton();
    setMinimumSize(twipsToPixels(kMinClientWidth, this), twipsToPixels(kMinClientHeight, this));
    resize(twipsToPixels(design.clientWidth, this), twipsToPixels(design.clientHeight, this));
}

RemapWindow::~RemapWindow() {
    if (!std::exchange(unloaded_, true)) form_->Form_Unload();
    form_->progress() = nullptr;
    // The grid view reads the form's grid model, which goes before the base class deletes
    // the child widgets.
    delete myGrid_;
}

void RemapWindow::place(QWidget* widget, const int rect[4]) {
    const int width = twipsToPixels(rect[2], this);
    const int wanted =
        qobject_cast<QPushButton*>(widget) != nullptr ? widget->sizeHint().width() : 0;
    widget->setGeometry(twipsToPixels(rect[0], this), twipsToPixels(rect[1], this),
                        std::max(width, wanted), twipsToPixels(rect[3], this));
}

void RemapWindow::placePreviewButton() {
    const int width = std::max(cmdPreview_->sizeHint().width(), cmdCancel_->width());
    cmdPreview_->setGeometry(cmdRemap_->x() - twipsToPixels(kButtonGap, this) - width,
                             cmdRemap_->y(), width, cmdRemap_->height());
    // The run log setting on the buttons' row, at the grid's left edge.
    if (chkLogMatchesOnly_)
        chkLogMatchesOnly_->setGeometry(myGrid_->x(), cmdRemap_->y(),
                                        chkLogMatchesOnly_->sizeHint().width(),
                                        cmdRemap_->height());
}

void RemapWindow::showPreview() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const remap::RemapPreview preview = form_->preview();
    QApplication::restoreOverrideCursor();
    if (!preview.failure.empty()) {
        QMessageBox::warning(
            this, windowTitle(),
            "The preview could not be made: " + QString::fromStdString(preview.failure));
        return;
    }
    RemapPreviewDialog dialog(preview, this);
    dialog.exec();
}

void RemapWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (initialised_) return;
    initialised_ = true;
    // Activation: the lookups are opened once the window is up, so that a window that
    // closes itself at once (no users) closes from inside its own event loop.
    QTimer::singleShot(0, this, [this] { forward([this] { form_->InitForm(); }); });
}

void RemapWindow::forward(const std::function<void()>& procedure) {
    procedure();
    showFormState();
    if (form_->closed() && isVisible()) accept();
}

void RemapWindow::showFormState() {
    txtCSVPath_->setText(QString::fromStdString(form_->txtCSVPath()));
    chkSelectAll_->setChecked(form_->chkSelectAll());
    myGrid_->refresh();
    // The designed widths are too narrow for some captions in this platform's font: no
    // header is cut off.
    QHeaderView* header = myGrid_->horizontalHeader();
    for (int c = 0; c < header->count(); ++c) {
        if (!header->isSectionHidden(c) && header->sectionSize(c) < header->sectionSizeHint(c)) {
            header->resizeSection(c, header->sectionSizeHint(c));
        }
    }
}

void RemapWindow::widenToShowInfo() {
    // The Info texts are long and the designed width is small: widen the window (within
    // the screen) so that the planned actions can be read.
    const QHeaderView* header = myGrid_->horizontalHeader();
    int lastShown = -1;
    int columns = 0;
    for (int c = 0; c < header->count(); ++c) {
        if (header->isSectionHidden(c)) continue;
        if (lastShown >= 0) columns += header->sectionSize(lastShown);
        lastShown = c;
    }
    if (lastShown < 0) return;
    const ui::GridModel& grid = form_->myGrid();
    const QFontMetrics metrics = myGrid_->fontMetrics();
    int lastWidth = header->sectionSizeHint(lastShown);
    for (int r = 1; r < grid.Rows(); ++r) {
        const QString text = QString::fromStdString(grid.TextMatrix(r, lastShown));
        lastWidth =
            std::max(lastWidth, metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth());
    }
    int wanted = myGrid_->x() + columns + lastWidth + 2 * myGrid_->frameWidth() +
                 myGrid_->verticalScrollBar()->sizeHint().width() + twipsToPixels(105, this);
    if (const QScreen* screen = this->screen()) {
        wanted = std::min(wanted, screen->availableGeometry().width() * 9 / 10);
    }
    if (wanted > width()) resize(wanted, height());
}

void RemapWindow::showProgress(int done, int total) {
    if (total <= kProgressBarMinRows) return;
    if (done >= total) {
        progress_->hide();
        return;
    }
    progress_->setRange(0, total);
    progress_->setValue(done);
    if (!progress_->isVisible()) {
        // Left of the buttons, on their row.
        const int left = myGrid_->x();
        const int right = cmdPreview_->x() - twipsToPixels(120, this);
        progress_->setGeometry(left, cmdRemap_->y(), std::max(right - left, 0),
                               cmdRemap_->height());
        progress_->show();
    }
}

void RemapWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const auto l = remap::remapLayout(pixelsToTwips(event->size().width(), this),
                                      pixelsToTwips(event->size().height(), this));
    if (!l) return;
    auto px = [this](int twips) { return twipsToPixels(twips, this); };
    myGrid_->resize(px(l->gridWidth), px(l->gridHeight));
    // A button wider than designed (for its caption) grows to the left, and so moves the
    // button beside it: the right edges keep their designed distances.
    const int cancelGrowth = cmdCancel_->width() - px(design_.cmdCancel[2]);
    const int remapGrowth = cmdRemap_->width() - px(design_.cmdRemap[2]);
    cmdCancel_->move(px(l->cmdCancelLeft) - cancelGrowth, px(l->cmdCancelTop));
    cmdRemap_->move(px(l->cmdRemapLeft) - cancelGrowth - remapGrowth, px(l->cmdRemapTop));
    txtCSVPath_->resize(px(l->txtCSVPathWidth), txtCSVPath_->height());
    placePreviewButton();
    if (progress_->isVisible()) {
        progress_->setGeometry(myGrid_->x(), cmdRemap_->y(),
                               std::max(cmdPreview_->x() - px(120) - myGrid_->x(), 0),
                               cmdRemap_->height());
    }
}

void RemapWindow::done(int result) {
    // Closing by any way (the title bar's close, Escape, the form's own closing) unloads
    // the form: its lookups are closed.
    if (!std::exchange(unloaded_, true)) form_->Form_Unload();
    QDialog::done(result);
}

RemapPreviewDialog::RemapPreviewDialog(const remap::RemapPreview& preview, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle("Preview of the changes");
    setModal(true);
    setSizeGripEnabled(true);
    auto* layout = new QVBoxLayout(this);
    totals_ = new QLabel(this);
    totals_->setObjectName("totals");
    totals_->setWordWrap(true);
    layout->addWidget(totals_);
    list_ = new QTreeWidget(this);
    list_->setObjectName("list");
    list_->setHeaderLabels({"Row", "CSV File Line / Message backup", "Result", "Users",
                            "Call handlers", "Alternate extensions", "List members",
                            "Private list members", "Messages"});
    list_->setRootIsDecorated(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(list_);

    long applies = 0, users = 0, handlers = 0, alternates = 0, members = 0, privates = 0,
         messages = 0;
    for (const remap::PreviewRow& row : preview.rows) {
        const remap::PreviewRecords& n = row.records;
        long rowMessages = 0;
        for (const remap::PreviewMessages& m : row.messages) rowMessages += m.fromAlias + m.toAlias;
        auto* item = new QTreeWidgetItem(
            list_,
            {QString::number(row.row), QString::fromStdString(row.csvLine),
             row.applies ? QString("Applies: ") + QString::fromStdString(row.action)
                         : QString("Not applied: ") + QString::fromStdString(row.problem),
             QString::number(n.users), QString::number(n.callHandlers),
             QString::number(n.alternateExtensions), QString::number(n.distributionListMembers),
             QString::number(n.privateListMembers), QString::number(rowMessages)});
        for (const remap::PreviewMessages& m : row.messages) {
            auto* file = new QTreeWidgetItem(item);
            file->setText(1, QString::fromStdString(m.file));
            file->setText(8, QString("%1 (from %2, to %3)")
                                 .arg(m.fromAlias + m.toAlias)
                                 .arg(m.fromAlias)
                                 .arg(m.toAlias));
        }
        applies += row.applies;
        users += n.users;
        handlers += n.callHandlers;
        alternates += n.alternateExtensions;
        members += n.distributionListMembers;
        privates += n.privateListMembers;
        messages += rowMessages;
    }
    list_->expandAll();
    for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
    totals_->setText(QString("%1 ticked rows, %2 would be applied. Records changed in the "
                             "backup: %3 users, %4 call handlers, %5 alternate extensions, %6 "
                             "list members, %7 private list members; %8 message fields in the "
                             "message backups. Nothing has been changed yet.")
                         .arg(preview.rows.size())
                         .arg(applies)
                         .arg(users)
                         .arg(handlers)
                         .arg(alternates)
                         .arg(members)
                         .arg(privates)
                         .arg(messages));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    // Wide enough for every column, within the screen.
    int wanted = 2 * list_->frameWidth() + 40;
    for (int c = 0; c < list_->columnCount(); ++c) wanted += list_->columnWidth(c);
    if (const QScreen* screen = this->screen())
        wanted = std::min(wanted, screen->availableGeometry().width() * 9 / 10);
    resize(std::max(wanted, 600), 400);
}

std::unique_ptr<RemapWindow> makeExtensionRemapWindow(ui::UiPort& ui, backup::AppState& state,
                                                      logging::ModLogging& logs, QWidget* parent) {
    return std::make_unique<RemapWindow>(
        kExtensionRemapDesign,
        std::make_unique<FormAdapter<remap::FrmExtensionRemap>>(ui, state, logs), parent);
}

std::unique_ptr<RemapWindow> makeSMTPRemapWindow(ui::UiPort& ui, backup::AppState& state,
                                                 logging::ModLogging& logs, QWidget* parent) {
    return std::make_unique<RemapWindow>(
        kSMTPRemapDesign,
        std::make_unique<FormAdapter<remap::FrmSMTPAddressRemap>>(ui, state, logs), parent);
}

logging::ProgramIdentity programIdentity() {
    std::string exe = "tarnis-data-viewer";
    if (QCoreApplication::instance() != nullptr) {
        const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        if (!name.isEmpty()) exe = name.toStdString();
    }
    const ProgramVersion v = programVersion();
    return {exe, v.major, v.minor, v.revision};
}

RemapWindows::RemapWindows(ui::UiPort& ui, backup::AppState& state)
    : ui_(ui), state_(state), logs_(ui, state.appFolder, programIdentity()) {}

void RemapWindows::openExtensionRemap(QWidget* parent) {
    makeExtensionRemapWindow(ui_, state_, logs_, parent)->exec();
}

void RemapWindows::openSMTPRemap(QWidget* parent) {
    makeSMTPRemapWindow(ui_, state_, logs_, parent)->exec();
}

void RemapWindows::install(MainWindow& main) {
    main.openExtensionRemap = [this, &main] { openExtensionRemap(&main); };
    main.openSMTPRemap = [this, &main] { openSMTPRemap(&main); };
    main.updateMenus();
}

}  // namespace tdv::gui
