// The two remap windows as Qt dialogs: "TARNIS Data Extension Remapper" (frmExtensionRemap)
// and "TARNIS Data Email Address Remapper" (frmSMTPAddressRemap), over the UI-neutral forms
// of src/remap.
//
// Both windows have the same controls at slightly different designed places: "&Select CSV
// File", the path box, the select-all box over the header cell of the Selected column, the
// grid (only the Selected column is editable; a click further right toggles the row), and
// "&Apply Changes" / "&Cancel" at the bottom right, moved by the shared resize rule
// (remap::remapLayout), with "&Preview" left of them (a read-only list of what applying
// the ticked rows would change). Loads and applies of more than a few hundred rows show a progress
// bar. The window runs the form's InitForm when it is first shown, forwards every event to
// the form, and closes as soon as the form says it closed (empty backup, cancel, apply).
//
// RemapWindows owns the run and CSV error logs of the desktop program and opens the
// windows modally from the main window's Edit menu (its hooks); the main window reloads its
// list when they close.
#pragma once

#include <QDialog>
#include <memory>

#include "backup/app_state.h"
#include "logging/mod_logging.h"
#include "remap/frm_extension_remap.h"
#include "remap/frm_smtp_address_remap.h"
#include "remap/remap_preview.h"
#include "ui/ui_port.h"

class QCheckBox;
class QLineEdit;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace tdv::gui {

class GridView;
class MainWindow;

// Designed geometry of one remap window, twips (left, top, width, height).
struct RemapDesign {
    const char* title;
    int clientWidth, clientHeight;
    int cmdOpenCSVFile[4], txtCSVPath[4], chkSelectAll[4], myGrid[4], cmdRemap[4], cmdCancel[4];
};
extern const RemapDesign kExtensionRemapDesign;
extern const RemapDesign kSMTPRemapDesign;

// Loads or applies of more rows than this show the progress bar.
inline constexpr int kProgressBarMinRows = 300;

class RemapWindow : public QDialog {
    Q_OBJECT
public:
    // The form's procedures as the window calls them; one adapter per form type.
    class Form {
    public:
        virtual ~Form() = default;
        virtual std::string& txtCSVPath() = 0;
        virtual bool& chkSelectAll() = 0;
        virtual ui::GridModel& myGrid() = 0;
        virtual bool closed() const = 0;
        virtual std::function<void(int, int)>& progress() = 0;
        virtual void InitForm() = 0;
        virtual void cmdOpenCSVFile_Click() = 0;
        virtual void chkSelectAll_Click() = 0;
        virtual void myGrid_Click() = 0;
        virtual bool myGrid_CanEdit(int col) const = 0;
        virtual void cmdRemap_Click() = 0;
        // What applying the ticked rows would change (remap/remap_preview.h).
        virtual remap::RemapPreview preview() = 0;
        // The run log setting of the alias window (null for a window without count lines).
        virtual bool* logMatchesOnly() { return nullptr; }
        virtual void cmdCancel_Click() = 0;
        virtual void Form_Unload() = 0;
    };

    RemapWindow(const RemapDesign& design, std::unique_ptr<Form> form, QWidget* parent = nullptr);
    ~RemapWindow() override;

    Form& form() { return *form_; }

    QPushButton* cmdOpenCSVFile() const { return cmdOpenCSVFile_; }
    QLineEdit* txtCSVPath() const { return txtCSVPath_; }
    QCheckBox* chkSelectAll() const { return chkSelectAll_; }
    GridView* myGrid() const { return myGrid_; }
    QPushButton* cmdRemap() const { return cmdRemap_; }
    QPushButton* cmdPreview() const { return cmdPreview_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }
    QProgressBar* progressBar() const { return progress_; }
    // Whether InitForm has run (it runs once, on the first show).
    bool initialised() const { return initialised_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void done(int result) override;

private:
    // Runs one of the form's procedures, then shows its state and closes when it closed.
    void forward(const std::function<void()>& procedure);
    void showFormState();
    void showProgress(int done, int total);
    void showPreview();
    void placePreviewButton();
    void widenToShowInfo();
    void place(QWidget* widget, const int rect[4]);

    const RemapDesign& design_;
    std::unique_ptr<Form> form_;
    QPushButton* cmdOpenCSVFile_;
    QLineEdit* txtCSVPath_;
    GridView* myGrid_;
    QCheckBox* chkSelectAll_;
    QPushButton* cmdRemap_;
    QPushButton* cmdPreview_;
    QPushButton* cmdCancel_;
    QCheckBox* chkLogMatchesOnly_ = nullptr;
    QProgressBar* progress_;
    bool initialised_ = false;
    bool unloaded_ = false;
};

// The read-only list a remap window's "&Preview" button opens: one line per ticked row
// (its CSV line, whether it would apply or why not, the records it changes in the backup,
// the messages it changes) with one line per message backup under it, and the totals above.
class RemapPreviewDialog : public QDialog {
    Q_OBJECT
public:
    RemapPreviewDialog(const remap::RemapPreview& preview, QWidget* parent = nullptr);

    QLabel* totals() const { return totals_; }
    QTreeWidget* list() const { return list_; }

private:
    QLabel* totals_;
    QTreeWidget* list_;
};

std::unique_ptr<RemapWindow> makeExtensionRemapWindow(ui::UiPort& ui, backup::AppState& state,
                                                      logging::ModLogging& logs,
                                                      QWidget* parent = nullptr);
std::unique_ptr<RemapWindow> makeSMTPRemapWindow(ui::UiPort& ui, backup::AppState& state,
                                                 logging::ModLogging& logs,
                                                 QWidget* parent = nullptr);

// The program's remap windows and their logs.
class RemapWindows {
public:
    RemapWindows(ui::UiPort& ui, backup::AppState& state);

    // Shows each window modal and returns when it has closed.
    void openExtensionRemap(QWidget* parent);
    void openSMTPRemap(QWidget* parent);
    // Fills the main window's two Edit menu hooks.
    void install(MainWindow& main);

    logging::ModLogging& logs() { return logs_; }

private:
    ui::UiPort& ui_;
    backup::AppState& state_;
    logging::ModLogging logs_;
};

// The executable's name without extension and the program's version, for the run log.
logging::ProgramIdentity programIdentity();

}  // namespace tdv::gui
