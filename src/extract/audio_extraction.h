// Audio extraction per object: the main window's "&Extract all WAV Files" button.
//
// Each Pull...WAVFiles procedure empties the folder application folder + "/WAVExtraction",
// writes the selected object's recorded voice name and its greetings or interview questions
// there (recordings of 10 bytes or less count as none), and opens the folder with the
// desktop. A failed write shows "Error unpacking WAV file from MDB database"; any other
// failure shows "Error in <procedure>:" + the description, and the procedure goes on.
//
// Names built from the backup's data (aliases, greeting names, language codes) are made one
// safe file name inside the folder, unique within the run and cut in the object's base name
// only (ui::FileNames). A recording that cannot be written ends the loop over the greetings
// or questions (the next would fail the same way); each failure is told once, and the folder
// is opened only when nothing failed. A folder that is a link or no folder is refused before
// anything is deleted or written. The older product's missing directory handler greetings
// table is told in a box but is no failure: the voice name is the whole result.
#pragma once

#include <string>
#include <vector>

#include "main_state/frm_main.h"

namespace tdv::extract {

// The object's text made safe as a file name: the text without TAB/CR/LF, a doubled quote
// pair kept as a pair and every other quote doubled, trimmed, "/", "\" and blanks removed,
// "?" and "*" replaced by "_". (Control characters become "_" when the name is formed.)
std::string wavBaseName(const std::string& text);

// application folder + "/WAVExtraction".
std::string wavExtractionFolder(const backup::AppState& state);

// Prepares the folder (ui::prepareOwnFolder: created when missing, refused with DbError 75
// when it is a link or not a folder) and deletes the recordings directly in it
// (ui::clearOwnFolder: ".wav" files only; never the open backup or one beside it, a link, a
// folder, a read-only file or an Access file). Failures to delete one file are skipped.
void ClearWAVExtractionFolder(ui::UiPort& ui, const backup::AppState& state);

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
