// Audio extraction per object: the main window's "&Extract all WAV Files" button.
//
// Each Pull...WAVFiles procedure empties the folder application folder + "/WAVExtraction",
// writes the selected object's recorded voice name and its greetings or interview questions
// there (recordings of 10 bytes or less count as none), and opens the folder with the
// desktop. A failed write shows "Error unpacking WAV file from MDB database"; any other
// failure shows "Error in <procedure>:" + the description, and the procedure goes on.
//
// Names built from the backup's data (aliases, greeting names, language codes) are made one
// safe file name inside the folder, unique within the run (ui::FileNames). A recording that
// cannot be written ends the loop over the greetings or questions (the next would fail the
// same way), and the folder is opened only when nothing failed.
#pragma once

#include <string>
#include <vector>

#include "main_state/frm_main.h"

namespace tdv::extract {

// The object's text made safe as a file name: UTF-8 bytes without TAB/CR/LF, quotes doubled,
// trimmed, "/", "\" and blanks removed, "?" and "*" replaced by "_".
std::string wavBaseName(const std::string& text);

// application folder + "/WAVExtraction".
std::string wavExtractionFolder(const backup::AppState& state);

// Creates the folder if needed and deletes the files directly in it; errors are skipped.
void ClearWAVExtractionFolder(const backup::AppState& state);

// What one extraction did: the files it wrote (full paths, in order) and whether anything
// failed (a failure was shown; the folder was then not opened).
struct WavExtraction {
    std::vector<std::string> written;
    bool failed = false;
};

WavExtraction PullSubscriberWAVFiles(app::FrmMain& form, const std::string& objectId);
WavExtraction PullHandlerWAVFiles(app::FrmMain& form, const std::string& objectId);
WavExtraction PullNameLookupWAVFiles(app::FrmMain& form, const std::string& objectId);
WavExtraction PullInterviewerWAVFiles(app::FrmMain& form, const std::string& objectId);
WavExtraction PullDistributionListWAVFiles(app::FrmMain& form, const std::string& objectId);

// The button: the procedure of the selected object type for the current row's ObjectID;
// "Invalid object type for WAV file extraction!" (failed) for any other type.
WavExtraction cmdFetchAllWAVFiles_Click(app::FrmMain& form);

}  // namespace tdv::extract
