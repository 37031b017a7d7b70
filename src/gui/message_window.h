// The message browser window "TARNIS Message Viewer" (frmMessages) over the UI-neutral
// messages::FrmMessages: the message grid with its check-box columns, the count box,
// "&Extract Message", "E&xit", the File and Help menus, and the resize rule.
//
// A filter box above the grid narrows its rows (the count box then reads "N of M") and a
// header click sorts them; neither selects a row, so neither extracts anything. "&Play"
// beside "&Extract Message" plays the selected message from memory.
//
// The window owns the form state; its widgets show that state and forward their events to
// the form's procedures. Filling the grid is not a selection: InitForm fills with
// repainting off and nothing is extracted until the user selects a row (or clicks the row
// that is already current) or presses the button.
//
// The creator sets the form's showHelp, showAbout, exitApplication and noBackupOpened
// callbacks and registers the window with the UI port as ui::Window::Messages.
#pragma once

#include <QMainWindow>

#include "messages/frm_messages.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QAction;

namespace tdv::gui {

class FilterBox;
class GridView;
class PlayButton;

class MessageWindow : public QMainWindow {
    Q_OBJECT
public:
    MessageWindow(ui::UiPort& ui, backup::AppState& state, app::FrmMain& main,
                  QWidget* parent = nullptr);
    ~MessageWindow() override;

    messages::FrmMessages& form() { return form_; }

    // What the main window's ConnectToMDBFile asks for after opening a message backup: the
    // form's InitForm, then the window shown.
    void initAndShow();

    GridView* gridMessages() const { return grid_; }
    QPushButton* cmdExtractWAVFile() const { return cmdExtract_; }
    QPushButton* cmdExit() const { return cmdExit_; }
    PlayButton* cmdPlay() const { return cmdPlay_; }
    QLabel* lblTotalGridRows() const { return lblTotal_; }
    QLineEdit* txtMessagesInGrid() const { return txtCount_; }
    FilterBox* txtFilter() const { return txtFilter_; }
    QAction* mnuLoadDatabase() const { return mnuLoadDatabase_; }
    QAction* mnuExit() const { return mnuExit_; }
    QAction* mnuHelp() const { return mnuHelp_; }
    QAction* mnuAbout() const { return mnuAbout_; }

    // Re-reads the form's state into the widgets (grid, count).
    void showFormState();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void layoutControls();
    void widenToShowSubjects();
    void showCount();
    // Extract Message and Play act on the current row only while the filter shows it.
    void enableRowActions();
    bool rowShown() const;

    messages::FrmMessages form_;
    app::FrmMain& main_;
    QWidget* client_;
    GridView* grid_;
    QPushButton* cmdExtract_;
    QPushButton* cmdExit_;
    PlayButton* cmdPlay_;
    QLabel* lblTotal_;
    QLineEdit* txtCount_;
    FilterBox* txtFilter_;
    QAction* mnuLoadDatabase_ = nullptr;
    QAction* mnuExit_ = nullptr;
    QAction* mnuHelp_ = nullptr;
    QAction* mnuAbout_ = nullptr;
    // Set by the grid's selection event between a mouse press and the click that follows,
    // so that a click on the row that is already current still extracts it, once.
    bool selectionFiredSincePress_ = false;
    bool unloading_ = false;
};

}  // namespace tdv::gui
