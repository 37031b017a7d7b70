#include "gui/splash.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "gui/grid_view.h"
#include "ui/ui_port.h"

namespace tdv::gui {

Splash::Splash(QWidget* parent)
    : QFrame(parent, Qt::Window | Qt::SplashScreen | Qt::WindowStaysOnTopHint) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(2);
    setObjectName("frmSplash");
    setWindowTitle(ui::kAppTitle);
    auto* label = new QLabel(kSplashText, this);
    label->setObjectName("lblLoading");
    label->setAlignment(Qt::AlignCenter);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    label->setFont(font);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->addWidget(label);
    setMinimumSize(twipsToPixels(4800, this), twipsToPixels(1400, this));
    adjustSize();
    // In the middle of the screen, where the program's window will come up.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect place = rect();
        place.moveCenter(screen->availableGeometry().center());
        move(place.topLeft());
    }
}

}  // namespace tdv::gui
