// Writing a binary column of the current record to a file (module Module1, whose errors are
// reported under the module name modZerithDB). The one routine that writes stored files
// (recordings, the export log archive, message attachments) to disk: verbatim, in chunks of
// at most 5000 bytes read with GetChunk.
#pragma once

#include <string>

#include "db/recordset.h"
#include "ui/ui_port.h"

namespace tdv::extract {

inline constexpr long kUnpackChunkSize = 5000;

// True when the routine ran to its end (the file was written); false when it stopped early
// (path shorter than 3 characters, Null value, column lookup failed).
bool bunPackWAVFile(ui::UiPort& ui, db::Recordset& rs, const std::string& columnName,
                    const std::string& targetPath);

}  // namespace tdv::extract
