// The message browser's window parts: the grid's layout, the menu and button handlers that
// only hand over to the front end, "Open database", and the resize rule.
#include "messages/frm_messages.h"

#include <algorithm>

#include "ui/procedure.h"

namespace tdv::messages {

namespace {

constexpr int kHeaderRows = 1;

void setUpGrid(ui::GridModel& grid) {
    constexpr int cols = static_cast<int>(std::size(kGridColumns));
    grid.setCols(cols);
    grid.setRows(kHeaderRows);
    grid.setFixedRows(kHeaderRows);
    grid.setFixedCols(0);
    for (int c = 0; c < cols; ++c) {
        const GridColumn& column = kGridColumns[c];
        grid.setTextMatrix(0, c, column.caption);
        grid.setColKey(c, column.key);
        grid.setColWidth(c, column.width);
        grid.setColHidden(c, column.hidden);
        if (column.checkBox) grid.setColDataType(c, ui::GridModel::kCheckBoxType);
    }
}

void call(const std::function<void()>& callback) {
    if (callback) callback();
}

}  // namespace

FrmMessages::FrmMessages(ui::UiPort& ui_, backup::AppState& state_) : ui(ui_), state(state_) {
    setUpGrid(gridMessages);
    gridMessages.onSelectionChanged = [this] { gridMessages_SelChange(*this); };
}

void cmdExit_Click(FrmMessages& form) {
    call(form.exitApplication);
}

void mnuExit_Click(FrmMessages& form) {
    call(form.exitApplication);
}

void Form_Unload(FrmMessages& form) {
    call(form.exitApplication);
}

void mnuHelp_Click(FrmMessages& form) {
    call(form.showHelp);
}

void mnuAbout_Click(FrmMessages& form) {
    call(form.showAbout);
}

bool mnuLoadDatabase_Click(FrmMessages& form, app::FrmMain& main) {
    ui::Procedure proc(form.ui, "mnuLoadDatabase_Click", "frmMessages", ui::ErrorStyle::silent());
    proc.step([&] { form.ui.setWindowVisible(ui::Window::Messages, false); });
    // ConnectToMDBFile publishes a connect string only for a backup it shows, and leaves it
    // alone when its dialog is cancelled: emptied first, it tells afterwards whether a
    // window now shows a backup.
    form.state.strMDBConnectString.clear();
    proc.step([&] {
        if (main.connectToMDBFile) main.connectToMDBFile();
    });
    if (!form.state.strMDBConnectString.empty()) return true;
    call(form.noBackupOpened);
    return false;
}

std::optional<Size> Form_Resize_minimumSize(Size outer, bool minimized) {
    if (minimized) return std::nullopt;
    if (outer.width >= kMinWidth && outer.height >= kMinHeight) return std::nullopt;
    return Size{std::max(outer.width, kMinWidth), std::max(outer.height, kMinHeight)};
}

std::optional<MessagesLayout> Form_Resize(Size outer, Size inner, bool minimized) {
    if (minimized || Form_Resize_minimumSize(outer, minimized)) return std::nullopt;
    // Designed places; the resize rule moves the buttons' row and stretches the grid.
    constexpr int kMargin = 60, kButtonHeight = 375;
    const int buttonsTop = inner.height - 495;
    MessagesLayout layout;
    layout.gridMessages = {kMargin, kMargin, inner.width - 135, inner.height - 715};
    layout.cmdExit = {inner.width - 1150, buttonsTop, 1095, kButtonHeight};
    layout.cmdExtractWAVFile = {kMargin, buttonsTop, 1695, kButtonHeight};
    layout.lblTotalGridRows = {1920, buttonsTop, 1335, 255};
    layout.txtMessagesInGrid = {3300, buttonsTop, 855, 315};
    return layout;
}

}  // namespace tdv::messages
