// The version facts of the open backup (module BackedUpZerithVersion; errors are reported
// under the module name modBackedUpZerithVersion).
//
// The loaders reset their part of AppState::version, read VersionInfo or MDBVersion (one
// row each) and show the fixed messages when the table cannot be read or does not hold
// exactly one row. The tests compare lexicographically (server: major, minor, rev, build;
// tool: major, minor, rev) as signed 16-bit numbers.
#pragma once

#include <cstdint>

#include "backup/app_state.h"
#include "ui/ui_port.h"

namespace tdv::backup {

void BackedUpZerithVer(ui::UiPort& ui, AppState& state);
void BackedUpAppVersion(ui::UiPort& ui, AppState& state);
void LoadMDBVersion(ui::UiPort& ui, AppState& state);

// False whenever the backup's product differs from bQuorin.
bool bIsBackedUpZerithVersionGreaterThanOrEqualTo(ui::UiPort& ui, const AppState& state,
                                                  int16_t major, int16_t minor, int16_t rev,
                                                  int16_t build, bool bQuorin);
bool bIsBackedUpAppVersionGreaterThanOrEqualTo(const AppState& state, int16_t major, int16_t minor,
                                               int16_t rev);
bool bIsMDBVersionGreaterThanOrEqualTo(const AppState& state, int16_t revision);

}  // namespace tdv::backup
