// The main window's start-up sequence (Form_Load), without its window parts.
//
// It runs at start-up and again for "&Open database": the start-up hook (test.sh in the
// application folder, when it is the user's own), the start-up file check, opening a backup
// (ConnectToMDBFile), the process priority and the "/StQuellis" switch. Ending the
// program is the front end's: Form_Load returns false when the program should end (the file
// check failed after its message, or no backup is open).
#pragma once

#include <string>

#include "main_state/frm_main.h"

namespace tdv::app {

// The test file's name in the application folder.
inline constexpr const char* kStartupTestFileName = "TARNIS_MDBViewer_Test_temp.txt";

bool Form_Load(FrmMain& form);

// Creates the application folder when missing, writes the test file there and deletes it
// again; true when all of this worked.
bool bCanCreateTestFile(const std::string& appFolder);
// Lowers the own process to below-normal priority (a niceness of at least 5); true on
// success.
bool bSetProcessPriority();
// True when the command line holds "/StQuellis" anywhere, letter case ignored.
bool hasStQuellisSwitch(const std::string& commandLine);

}  // namespace tdv::app
