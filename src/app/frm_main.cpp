#include "app/frm_main.h"

namespace tdv::app {

FrmMain::FrmMain(ui::UiPort& ui_, backup::AppState& state_) : ui(ui_), state(state_) {
    myGrid.onSelectionChanged = [this] { myGrid_SelChange(*this); };
}

}  // namespace tdv::app
