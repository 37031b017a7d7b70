#include "main_state/frm_main.h"

namespace tdv::app {

FrmMain::FrmMain(ui::UiPort& ui_, backup::AppState& state_) : ui(ui_), state(state_) {}

}  // namespace tdv::app
