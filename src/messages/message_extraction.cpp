// Extracting the selected message: cmdExtractWAVFile_Click and the grid's selection event.
#include <algorithm>

#include "base/text.h"
#include "extract/blob_unpack.h"
#include "messages/frm_messages.h"
#include "ui/output_file.h"
#include "ui/procedure.h"

namespace tdv::messages {

namespace {

constexpr int kRedrawOff = 0;
constexpr const char* kNoMessageSelected = "No message selected";
constexpr const char* kSecureMessage =
    "That message is marked secure and is encrypted in the backup - it cannot be extracted "
    "using the Data Viewer Tool, it can only be restored as a secure message onto a voice mail "
    "server.";
constexpr const char* kFileInUse =
    "Cannot extract the message file - the target file is being held open by another "
    "application:";
constexpr const char* kNoIndex = "Error finding message index in database";
constexpr const char* kUnpackFailed = "Error exporting WAV file binary from database";

}  // namespace

std::string targetFilePath(const FrmMessages& form) {
    return form.strTempMsgFolder + "/" + (form.bEMLZipMessages ? kEmlZipFileName : kWavFileName);
}

std::string cmdExtractWAVFile_Click(FrmMessages& form) {
    ui::UiPort& ui = form.ui;
    ui::GridModel& grid = form.gridMessages;
    ui::Procedure proc(ui, "cmdExtractWAVFile_Click", "frmMessages", ui::ErrorStyle::standard());

    const int row = grid.Row();
    if (row < 1) {
        ui.messageBox(kNoMessageSelected, ui::Buttons::Ok);
        return {};
    }
    bool secure = false;
    proc.step([&] { secure = grid.isChecked(row, grid.ColIndex("Secure")); });
    if (secure) {
        ui.messageBox(kSecureMessage, ui::Buttons::Ok);
        return {};
    }
    // InitForm names the folder; a window driven without it still writes under appFolder.
    if (form.strTempMsgFolder.empty()) form.strTempMsgFolder = form.state.appFolder + "/temp_msg";
    // A folder that cannot be made, or that is not the program's own (a link, a file),
    // holds no message: one failure, one box, nothing removed.
    if (!proc.step([&] { ui::prepareOwnFolder(ui, form.strTempMsgFolder); })) return {};
    const std::string target = targetFilePath(form);
    const ui::ProtectedFiles inputs = ui::ProtectedFiles::forBackup(ui, form.state.strMDBFilePath);
    // The earlier file goes, also a read-only one; a link is removed, not followed. What
    // cannot be removed (a read-only folder, an input) is told once with its cause. A name
    // still there after a removal that succeeded is held by another program.
    if (!proc.step([&] { ui::removeEntry(ui, target, &inputs); })) return {};
    if (ui::entryExists(ui, target)) {
        ui.messageBox(kFileInUse + target, ui::Buttons::Ok);
        return {};
    }

    std::string written;
    db::Recordset rs = form.state.newRecordset();
    std::string index;
    proc.step([&] { index = base::trimSpaces(grid.TextMatrix(row, grid.ColIndex("index"))); });
    if (index.empty()) {
        proc.step([&] { ui.messageBox(kNoIndex, ui::Buttons::Ok); });
    } else {
        proc.step([&] {
            rs.setCursorLocation(db::adUseClient);
            // The index is a number: no quotes.
            rs.Open("SELECT * FROM Messages WHERE index=" + index, form.state.strMDBConnectString,
                    db::adOpenKeyset, db::adLockReadOnly);
        });
        long count = -1;
        proc.step([&] { count = rs.RecordCount(); });
        if (count == 1) {
            extract::Unpacked done;
            proc.step(
                [&] { done = extract::unpackBlob(ui, rs, "MessageAttachment", target, &inputs); });
            if (done.written && !proc.failed()) {
                written = target;
                proc.step([&] { ui.openWithDesktop(form.strTempMsgFolder); });
            } else if (!done.reported) {
                // A failure the unpacking told already (with the file and the cause) is
                // not told twice.
                proc.step([&] { ui.messageBox(kUnpackFailed, ui::Buttons::Ok); });
            }
        } else if (count == 0) {
            proc.step(
                [&] { ui.messageBox("No record found using Index=" + index, ui::Buttons::Ok); });
        } else if (count > 1) {
            proc.step([&] {
                ui.messageBox("More than one record found using Index=" + index, ui::Buttons::Ok);
            });
        }
    }
    try {
        if (rs.State() != db::adStateClosed) rs.Close();
    } catch (...) {
        // Closing and releasing the recordset ignores its errors.
    }
    return written;
}

void gridMessages_SelChange(FrmMessages& form) {
    // Repainting is off while the grid is filled: a fill is not a selection.
    if (form.gridMessages.Redraw() == kRedrawOff) return;
    if (form.gridMessages.Row() >= 1) cmdExtractWAVFile_Click(form);
}

}  // namespace tdv::messages
