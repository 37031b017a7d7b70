// The splash window frmSplash: a small top-most window captioned "TARNIS Data Viewer" with
// the one line "Loading data, please wait...", shown while a backup is probed and its first
// list loaded. It has no behaviour of its own; the UI port shows and hides it.
#pragma once

#include <QFrame>

namespace tdv::gui {

inline constexpr const char* kSplashText = "Loading data, please wait...";

class Splash : public QFrame {
    Q_OBJECT
public:
    explicit Splash(QWidget* parent = nullptr);
};

}  // namespace tdv::gui
