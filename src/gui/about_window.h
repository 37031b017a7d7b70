// frmAbout: the product title, the running version and two logos, shown modal from the Help
// menus of the main window and the message browser.
//
// The window is a single instance: it is built (and its version label set) once, the first
// time it is asked for, and "OK" only hides it, so a later show reuses it as it was.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

class QLabel;
class QPushButton;

namespace tdv::gui {

// The program's own version (major, minor, revision), from the build's version number.
struct ProgramVersion {
    int major = 0, minor = 0, revision = 0;
};
ProgramVersion programVersion();
// Parses "major.minor.revision" (missing or unreadable parts are 0).
ProgramVersion parseProgramVersion(const std::string& text);

// The version label's text: the major version with the blank that the number-to-text rule
// puts before a non-negative number, ".", the minor version, " Build", and the revision
// with its blank again: 1.0.35 gives " 1.0 Build 35".
std::string aboutVersionText(const ProgramVersion& version);

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    QLabel* lblVersionTitle() const { return lblVersionTitle_; }
    QLabel* lblVersion() const { return lblVersion_; }
    QPushButton* cmdOK() const { return cmdOK_; }

private:
    QLabel* lblVersionTitle_;
    QLabel* lblVersion_;
    QPushButton* cmdOK_;
};

// The one About window of the program, built on first use.
class AboutHolder {
public:
    AboutWindow& window();
    // Shows the window modal and returns when it is hidden again.
    void showModal();
    bool loaded() const { return window_ != nullptr; }

private:
    std::unique_ptr<AboutWindow> window_;
};

}  // namespace tdv::gui
