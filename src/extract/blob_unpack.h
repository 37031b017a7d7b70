// Writing a binary column of the current record to a file (module Module1, whose errors are
// reported under the module name modZerithDB). The one routine that writes stored files
// (recordings, the export log archive, message attachments) to disk: verbatim, in chunks of
// at most 5000 bytes read with GetChunk.
#pragma once

#include <string>

#include "db/recordset.h"
#include "ui/output_file.h"
#include "ui/ui_port.h"

namespace tdv::extract {

inline constexpr long kUnpackChunkSize = 5000;

// What one unpacking did: whether the file was written whole, and whether a failure was
// already shown (the caller then shows no box of its own: one failure, one message).
struct Unpacked {
    bool written = false;
    bool reported = false;
};

// Written when the file is whole under its name. Not written: path shorter than 3
// characters, Null value, or a failure (shown once as "(error) N (D) in procedure
// bunPackWAVFile of Module modZerithDB", D naming the file and the cause; the loop ends at a
// failing chunk). The earlier file of that name is removed itself (a link is not followed;
// a protected input is refused), and the new one is written under a temporary name that
// becomes its name only once it is whole (ui::OutputFile).
Unpacked unpackBlob(ui::UiPort& ui, db::Recordset& rs, const std::string& columnName,
                    const std::string& targetPath, const ui::ProtectedFiles* inputs = nullptr);

// The same, as the one Boolean of the design.
bool bunPackWAVFile(ui::UiPort& ui, db::Recordset& rs, const std::string& columnName,
                    const std::string& targetPath);

}  // namespace tdv::extract
