// The recordings of one object or one message, read into memory for playing them in the
// window (no file is written).
//
// An object's recordings are those the extraction button writes (its voice name, then its
// greetings or interview questions; ten bytes or less count as none), each with a label
// for the chooser. A message's recording is its attachment, unless the message is secure
// or an e-mail archive.
#pragma once

#include <string>
#include <vector>

#include "main_state/frm_main.h"
#include "messages/frm_messages.h"

namespace tdv::extract {

struct Recording {
    std::string label;  // "Voice name", "Greeting Standard", "Question 2", ...
    std::vector<uint8_t> bytes;
};

struct Recordings {
    std::vector<Recording> items;
    std::string error;  // why there is nothing to play, when items is empty
};

// The recordings of the main window's current row (the first five object types).
Recordings objectRecordings(app::FrmMain& form);

// The recording of the message browser's current row.
Recordings messageRecording(messages::FrmMessages& form);

}  // namespace tdv::extract
