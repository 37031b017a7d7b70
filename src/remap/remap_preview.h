// The remap preview: what "Apply Changes" would do with the ticked rows of a remap window,
// without changing any file.
//
// The preview runs the apply's own checks against the files as they are, changing nothing and
// writing nothing (no copy, no run log): first the check the apply makes of every message
// backup before its first change (a link, a file that cannot be opened, in use, damaged, or
// too narrow for a row's new alias: the apply then changes nothing), then each ticked row's
// own checks in grid order against the backup, and the count of the records its statements
// would change. The message backups are counted as the apply counts them, in memory, the
// counts moving from row to row as the apply's saves would move them. Rows are checked
// against the backup as it is before the apply: a row whose check depends on an earlier
// row's change (the load already refuses such pairs of lines) may be judged differently.
//
// JSON form (tdv remap --preview, the "preview" member):
//   {"rows": [{"row": N, "csvLine": TEXT, "action": TEXT, "applies": BOOL, "problem": TEXT,
//              "records": {"users": N, "callHandlers": N, "alternateExtensions": N,
//                          "distributionListMembers": N, "privateListMembers": N},
//              "messages": [{"file": PATH, "fromAlias": N, "toAlias": N}]}],
//    "messageBackupProblems": [{"file": PATH, "problem": TEXT, "rows": [N]}],
//    "totals": {"rows": N, "applies": N, "users": N, ..., "messages": N}}
// "records" are zero for a row that does not apply; "messages" lists the message backups
// whose FromAlias or ToAlias the row changes, with the counts the run log's count lines give.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "remap/frm_extension_remap.h"
#include "remap/frm_smtp_address_remap.h"
#include "remap/message_files.h"
#include "remap/row_saves.h"

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
    // The message backups that stop the apply before any change.
    std::vector<MessageBackupFiles::FileProblem> messageBackupProblems;
    // Set when the preview itself could not run (the folder or the backup could not be read:
    // the text names it and the cause); rows are empty then.
    std::string failure;
};

RemapPreview previewExtensionRemap(FrmExtensionRemap& form);
RemapPreview previewSMTPRemap(FrmSMTPAddressRemap& form);

// The apply's own checks, for the preview (defined beside each apply).
//
// The alias and extension apply's: the check of every message backup before the first change,
// and each row's checks, its planned message backup changes then counted as made (a dry run
// of `files`).
class ExtensionChecks {
public:
    ExtensionChecks(FrmExtensionRemap& form, MessageBackupFiles& files);
    ~ExtensionChecks();
    std::vector<MessageBackupFiles::FileProblem> messageProblems(std::span<const int> ticked);
    // The row's lines as the apply writes them before its save; whether the row applies.
    bool check(int row, Lines& lines, std::vector<MessageBackupFiles::PlannedIn>& messages);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
// The e-mail apply's check of one row: whether it applies, its "(error)" line otherwise.
bool checkAddressRow(FrmSMTPAddressRemap& form, int row, Lines& lines);

}  // namespace tdv::remap
