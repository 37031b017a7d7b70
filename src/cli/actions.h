// The window procedures tdv drives, under names that say what each does. The procedures keep
// the names of the design they implement (the button or menu entry that runs them, such as
// mnuExportUsers_Click) so they can be held against it; the commands call them only through
// these actions. Each takes the form the procedure works on and returns what it returns.
#pragma once

#include "commands/maintenance.h"
#include "commands/user_export.h"
#include "extract/audio_extraction.h"
#include "messages/frm_messages.h"
#include "remap/frm_extension_remap.h"
#include "remap/frm_smtp_address_remap.h"
#include "reports/private_list_dump.h"
#include "support/update_check.h"

namespace tdv::cli::actions {

// The main window's procedures.

// Writes every recording of the selected object into the extraction folder ("Extract all WAV
// Files").
inline auto extractObjectRecordings(auto& mainForm) {
    return extract::cmdFetchAllWAVFiles_Click(mainForm);
}
// Lists every member of every private list of the selected user in the text box ("Private
// List Dump"); false when the dump failed.
inline bool dumpPrivateLists(auto& mainForm) {
    return reports::cmdPrivateListDump_Click(mainForm);
}
// Exports the users to a CSV file; false when cancelled, declined or failed.
inline bool exportUsers(auto& mainForm) {
    return commands::mnuExportUsers_Click(mainForm);
}
// Empties the object mapping table; false when refused, declined or failed.
inline bool clearMappingMemory(auto& mainForm) {
    return commands::mnuClearMappingMemory_Click(mainForm);
}
// The pager scrub of an older-product directory backup; false when refused, declined or
// failed.
inline bool scrubPagers(auto& mainForm) {
    return commands::mnuStQuellisPagerScrub_Click(mainForm);
}
// Looks for a newer version and tells the user what it found.
inline void checkForUpdates(auto& mainForm) {
    support::mnuCheckForUpdates_Click(mainForm);
}

// The message browser's procedure.

// Writes the selected message's recording to a WAV file; the path written, or "" for none.
inline std::string extractMessage(auto& messagesForm) {
    return messages::cmdExtractWAVFile_Click(messagesForm);
}

// The two remap windows' procedures (alias and extension, or e-mail address).

// Reads the chosen CSV file into the remap window's grid.
inline void loadRemapCsv(auto& remapForm) {
    remap::cmdOpenCSVFile_Click(remapForm);
}
// Applies the ticked rows of the grid to the backup and its message backups.
inline void applyRemap(auto& remapForm) {
    remap::cmdRemap_Click(remapForm);
}

}  // namespace tdv::cli::actions
