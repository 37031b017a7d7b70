// The remap preview: what "Apply Changes" would do with the ticked rows of a remap window,
// without changing any file.
//
// The preview runs the window's own apply, row by row in grid order, on a scratch copy of
// the directory backup (in a temporary folder, removed afterwards) with the message backups
// of the backup's folder in a dry run (MessageBackupFiles::setDryRun: counted and renamed in
// memory only). Every check, refusal and failure of the apply therefore happens as it would;
// the preview reads each row's outcome from that run's log. Before each row it counts the
// records the row's statements would change in the backup as it stands after the rows
// before it. The counts are those of the apply when the files do not change in between.
//
// JSON form (tdv remap --preview, the "preview" member):
//   {"rows": [{"row": N, "csvLine": TEXT, "action": TEXT, "applies": BOOL, "problem": TEXT,
//              "records": {"users": N, "callHandlers": N, "alternateExtensions": N,
//                          "distributionListMembers": N, "privateListMembers": N},
//              "messages": [{"file": PATH, "fromAlias": N, "toAlias": N}]}],
//    "totals": {"rows": N, "applies": N, "users": N, ..., "messages": N}}
// "records" are zero for a row that does not apply; "messages" lists the message backups
// whose FromAlias or ToAlias the row changes, with the counts the run log's count lines give.
#pragma once

#include <string>
#include <vector>

#include "remap/frm_extension_remap.h"
#include "remap/frm_smtp_address_remap.h"

namespace tdv::remap {

struct PreviewRecords {
    long users = 0;                    // Subscribers rows
    long callHandlers = 0;             // CallHandlers rows
    long alternateExtensions = 0;      // DTMFAccessID rows
    long distributionListMembers = 0;  // PublicDistributionListMembers rows
    long privateListMembers = 0;       // PrivateListMembers rows
};

struct PreviewMessages {
    std::string file;
    long fromAlias = 0;
    long toAlias = 0;
};

struct PreviewRow {
    int row = 0;  // grid row (1 = first data row)
    std::string csvLine, action;
    bool applies = false;
    std::string problem;  // why it does not apply (the run log's first "(error)" line)
    PreviewRecords records;
    std::vector<PreviewMessages> messages;
};

struct RemapPreview {
    std::vector<PreviewRow> rows;
    // Set when the preview itself could not run (no scratch copy, say); rows are empty then.
    std::string failure;
};

RemapPreview previewExtensionRemap(FrmExtensionRemap& form);
RemapPreview previewSMTPRemap(FrmSMTPAddressRemap& form);

}  // namespace tdv::remap
