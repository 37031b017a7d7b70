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

// True when the file was written whole. False when nothing was written: path shorter than
// 3 characters, Null value, or a failure (shown once as "(error) N (D) in procedure
// bunPackWAVFile of Module modZerithDB"; the loop ends at a failing chunk and a partly
// written file is removed). The earlier file of that name is removed itself (a link is not
// followed) and the new one created without following links.
bool bunPackWAVFile(ui::UiPort& ui, db::Recordset& rs, const std::string& columnName,
                    const std::string& targetPath);

}  // namespace tdv::extract
