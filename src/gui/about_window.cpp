#include "gui/about_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <charconv>

#include "ui/ui_port.h"

#ifndef TDV_VERSION
#define TDV_VERSION "0.0.0"
#endif

// The logos live in the gui library's resources; a static library needs their registration
// pulled in explicitly.
static void initGuiResources() {
    Q_INIT_RESOURCE(gui);
}

namespace tdv::gui {

ProgramVersion parseProgramVersion(const std::string& text) {
    int parts[3] = {0, 0, 0};
    const char* p = text.data();
    const char* end = p + text.size();
    for (int i = 0; i < 3 && p < end; ++i) {
        int value = 0;
        auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc()) break;
        parts[i] = value;
        p = next;
        if (p < end && *p == '.')
            ++p;
        else
            break;
    }
    return {parts[0], parts[1], parts[2]};
}

ProgramVersion programVersion() {
    return parseProgramVersion(TDV_VERSION);
}

namespace {

// The runtime's number-to-text rule: a blank before a non-negative number, the minus sign
// in its place otherwise.
std::string numberText(int value) {
    return (value >= 0 ? " " : "") + std::to_string(value);
}

QLabel* logo(const QString& resource, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(QPixmap(resource));
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

std::string aboutVersionText(const ProgramVersion& version) {
    return numberText(version.major) + "." + std::to_string(version.minor) + " Build" +
           numberText(version.revision);
}

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    initGuiResources();
    setWindowTitle(ui::kAppTitle);
    setModal(true);

    auto* title = new QLabel(ui::kAppTitle, this);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
    titleFont.setBold(true);
    title->setFont(titleFont);

    lblVersionTitle_ = new QLabel("Version:", this);
    lblVersion_ = new QLabel(this);
    lblVersion_->setObjectName("lblVersion");
    // Load: the version is set once, when the window is built.
    lblVersion_->setText(QString::fromStdString(aboutVersionText(programVersion())));

    cmdOK_ = new QPushButton("OK", this);
    cmdOK_->setDefault(true);
    connect(cmdOK_, &QPushButton::clicked, this, &QDialog::accept);

    auto* versionRow = new QHBoxLayout;
    versionRow->addWidget(lblVersionTitle_);
    versionRow->addWidget(lblVersion_);
    versionRow->addStretch();

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addLayout(versionRow);
    text->addWidget(
        new QLabel("Browses, extracts from and corrects Zerith and\n"
                   "Zerith Quorin backup files.",
                   this));
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(logo(":/tdv/logo_product.png", this), 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(logo(":/tdv/logo_wordmark.png", this));
    bottom->addStretch();
    bottom->addWidget(cmdOK_, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(bottom);
    setFixedSize(sizeHint());
}

AboutWindow& AboutHolder::window() {
    if (!window_) window_ = std::make_unique<AboutWindow>();
    return *window_;
}

void AboutHolder::showModal() {
    window().exec();
}

}  // namespace tdv::gui
