// A main window over a small hand-made backup, for the list and report tests: the scripted
// UI, the process state pointed at the written file, and the window state they fill.
#pragma once

#include <string>

#include "backup/app_state.h"
#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "main_state/frm_main.h"
#include "main_window/frm_main_procedures.h"

namespace tdv::test {

struct FormHarness {
    TempDir dir;
    ScriptedUi ui;
    backup::AppState state;
    app::FrmMain form{ui, state};

    FormHarness() { app::connectMainWindow(form); }

    // Writes the backup and opens it as the current one (schema revision 20, older product,
    // tool 7.0.29 unless a test says otherwise).
    void open(const BackupFixture& db) {
        state.strMDBFilePath = db.write(dir.path(), "ZerithDBData_Backup_test.mdb");
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + state.strMDBFilePath;
        state.version.mdbVersion = 20;
        olderProduct(7, 0, 29);
    }
    void olderProduct(int16_t major, int16_t minor, int16_t rev) {
        auto& v = state.version;
        v.bIsQuorinBackup = false;
        v.serverMajor = 5, v.serverMinor = 0, v.serverRev = 3, v.serverBuild = 2105;
        v.strBackedUpZerithVersion = "5.0(3.2105)";
        tool(major, minor, rev);
    }
    void newerProduct(int16_t serverMajor, int16_t serverMinor, int16_t toolMajor,
                      int16_t toolMinor, int16_t toolRev) {
        auto& v = state.version;
        v.bIsQuorinBackup = true;
        v.serverMajor = serverMajor, v.serverMinor = serverMinor, v.serverRev = 0;
        v.serverBuild = 310;
        v.strBackedUpZerithVersion =
            std::to_string(serverMajor) + "." + std::to_string(serverMinor) + "(0.310)";
        tool(toolMajor, toolMinor, toolRev);
    }
    void tool(int16_t major, int16_t minor, int16_t rev) {
        auto& v = state.version;
        v.appMajor = major, v.appMinor = minor, v.appRev = rev;
        v.strBackedUpAppVersion =
            std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(rev);
    }

    // The grid's row as cells.
    std::vector<std::string> row(int r) const {
        std::vector<std::string> cells;
        for (int c = 0; c < form.myGrid.Cols(); ++c) cells.push_back(form.myGrid.TextMatrix(r, c));
        return cells;
    }
    std::vector<bool> hiddenColumns() const {
        std::vector<bool> hidden;
        for (int c = 0; c < form.myGrid.Cols(); ++c) hidden.push_back(form.myGrid.ColHidden(c));
        return hidden;
    }
    int eventCount(const std::string& event) const {
        int n = 0;
        for (const auto& e : ui.events) n += e == event ? 1 : 0;
        return n;
    }
};

}  // namespace tdv::test
