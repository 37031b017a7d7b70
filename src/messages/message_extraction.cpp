// Extracting the selected message: cmdExtractWAVFile_Click and the grid's selection event.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/text.h"
#include "extract/blob_unpack.h"
#include "messages/frm_messages.h"
#include "ui/output_file.h"
#include "ui/procedure.h"

namespace tdv::messages {

namespace {

namespace fs = std::filesystem;

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

bool pathExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

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
    // A folder that cannot be made holds no message: one failure, one box.
    if (!proc.step([&] {
            if (!pathExists(form.strTempMsgFolder + "/"))
                fs::create_directories(form.strTempMsgFolder);
            // A file of that name is no folder: nothing could be written into it.
            if (!fs::is_directory(form.strTempMsgFolder))
                throw fs::filesystem_error("create_directories", form.strTempMsgFolder,
                                           std::make_error_code(std::errc::not_a_directory));
        }))
        return {};
    const std::string target = targetFilePath(form);
    // The earlier file goes, also a read-only one; a link is removed, not followed. What
    // cannot be removed raises, and the check below finds it still there.
    proc.step([&] { ui::removeEntry(ui, target); });
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
            bool unpacked = false;
            proc.step(
                [&] { unpacked = extract::bunPackWAVFile(ui, rs, "MessageAttachment", target); });
            if (unpacked && !proc.failed()) {
                written = target;
                proc.step([&] { ui.openWithDesktop(form.strTempMsgFolder); });
            } else {
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
