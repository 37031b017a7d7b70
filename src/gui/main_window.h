// The main window frmMain: the type list, the object grid, the report text box, the four
// buttons and the menus, over the UI-neutral app::FrmMain.
//
// Every event is forwarded to the core procedure that handles it (selectObjectType,
// myGrid_SelChange, cmdCopyToClipboard_Click, the extraction and command procedures), after
// which the widgets are brought up to date from the FrmMain state (syncFromForm). Geometry
// follows the designed twips, converted with the screen's logical DPI; Form_Resize keeps the
// outer size at 11000 x 5700 twips at least and moves the text box, the grid's bottom and
// the button row with the client area.
//
// A filter box beside the count narrows the grid's rows (the count then reads "N of M"),
// and a header click sorts the list; both change only what the grid shows. "&Play" plays
// the selected object's recordings from memory. A current row the filter hides is never
// acted on: the report is emptied and Copy, the extraction buttons and Play are disabled
// until a row is shown selected again. The report box is read-only; Ctrl+F goes to the
// filter box, Ctrl+O opens, Ctrl+Q exits and F1 shows the help.
//
// Windows that belong to other parts of the program are reached through hooks set by the
// program: the remap windows (their menu entries are hidden while the hook is empty), Help,
// About and the message browser. Every way out goes through exitApplication().
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>

#include "main_state/frm_main.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace tdv::gui {

class FilterBox;
class GridView;
class PlayButton;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(ui::UiPort& ui, backup::AppState& state, QWidget* parent = nullptr);
    ~MainWindow() override;

    app::FrmMain& form() { return *form_; }

    // Form_Load at start-up: false when the program ends (exitApplication has then run).
    bool startUp();
    // "&Open database": Form_Load again; a rejected file ends the program.
    void mnuOpenDB_Click();
    // ExitApplication: closes every window, lets pending events run, waits 50 ms and ends
    // the program through endProcess.
    void exitApplication();
    bool isExiting() const { return exiting_; }

    // Shows the FrmMain state: type list, count, report text, button and menu visibility.
    void syncFromForm();
    // Shows or hides the hooked menu entries by whether their hook is set.
    void updateMenus();

    // Hooks the program fills in.
    std::function<void()> openExtensionRemap;  // frmExtensionRemap, modal
    std::function<void()> openSMTPRemap;       // frmSMTPAddressRemap, modal
    std::function<void()> showHelp;            // frmHelp, modeless
    std::function<void()> showAbout;           // frmAbout, modal
    // Ends the process; by default leaves the event loop (the program's main returns).
    std::function<void()> endProcess;

    // The controls, by their design names.
    QComboBox* cmbObjectType = nullptr;
    QPushButton* cmdLoadData = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* txtObjectCount = nullptr;
    QLabel* Label1 = nullptr;
    GridView* myGrid = nullptr;
    // Beside the count, above the grid: narrows the list as the user types.
    FilterBox* txtFilter = nullptr;
    QPlainTextEdit* txtInfo = nullptr;
    QPushButton* cmdCopyToClipboard = nullptr;
    QPushButton* cmdFetchAllWAVFiles = nullptr;
    QPushButton* cmdPrivateListDump = nullptr;
    // Beside the extraction buttons, shown with them: plays the object's recordings.
    PlayButton* cmdPlay = nullptr;
    QPushButton* cmdExit = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuOpenDB = nullptr;
    QAction* seperator2 = nullptr;
    QAction* mnuExit = nullptr;
    QMenu* mnuCSVEdits = nullptr;
    QAction* mnuAliasorExtensionRemap = nullptr;
    QAction* mnuSMTPRemap = nullptr;
    QAction* seperator5 = nullptr;
    QAction* mnuExportUsers = nullptr;
    QAction* seperator3 = nullptr;
    QAction* mnuClearMappingMemory = nullptr;
    QAction* seperatorStQuellis = nullptr;
    QAction* mnuStQuellisPagerScrub = nullptr;
    QAction* seperatorSafetyCopy = nullptr;
    QAction* mnuSafetyCopy = nullptr;  // checkable: the safety copy setting
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpItem = nullptr;
    QAction* seperator = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* seperator4 = nullptr;
    QAction* mnuCheckForUpdates = nullptr;

    // The minimum outer size in pixels (11000 x 5700 twips).
    QSize minimumOuterSize() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void placeControls();  // Form_Resize
    // The filter box takes the room between the count and the grid's right edge.
    void placeFilterBox();
    void showObjectCount();
    // After the shown rows changed: a hidden current row empties the report and disables
    // the row actions; shown again, its report returns.
    void followShownRow();
    // Runs a row action only while the current row is shown.
    void runOnShownRow(const std::function<void()>& procedure);
    void setDesigned(QWidget* widget, int left, int top, int width, int height);
    // Runs a core procedure and shows its outcome.
    void run(const std::function<void()>& procedure);
    void cmdLoadData_Click();
    void mnuSMTPRemap_Click();
    void mnuAliasorExtensionRemap_Click();

    ui::UiPort& ui_;
    std::unique_ptr<app::FrmMain> form_;
    QWidget* client_ = nullptr;
    bool exiting_ = false;
    bool rowShown_ = true;
};

}  // namespace tdv::gui
