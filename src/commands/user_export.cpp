#include "commands/user_export.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/code_page.h"
#include "app/common_values.h"
#include "db/backup/backed_up_version.h"
#include "db/db_error.h"
#include "ui/procedure.h"

namespace tdv::commands {

namespace {

constexpr const char* kNewHeader =
    "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, OLD_SMTP_ADDRESS, NEW_SMTP_ADDRESS";
constexpr const char* kOldHeader = "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION";
constexpr const char* kNewQuery = "SELECT Alias, DTMFAccessID, SMTPAddress from Subscribers";
constexpr const char* kOldQuery = "SELECT Alias, DTMFAccessID from Subscribers";
constexpr int kSmtpRevision = 20;

// The output file; writing to one that could not be created fails as the runtime's
// "Bad file name or number" does, so each such step reports once and the command goes on.
class AnsiFile {
public:
    void create(const std::string& path) {
        out_.emplace(path, std::ios::binary | std::ios::trunc);
        if (!*out_) {
            out_.reset();
            throw db::DbError(75, "Path/File access error");
        }
    }
    void writeLine(const std::string& line) {
        if (!out_) throw db::DbError(52, "Bad file name or number");
        *out_ << app::strUnicodeToMultiByte(line, app::kAnsiCodePage) << "\r\n";
        if (!*out_) throw db::DbError(57, "Device I/O error");
    }
    void close() { out_.reset(); }

private:
    std::optional<std::ofstream> out_;
};

ui::FileDialog exportDialog() {
    ui::FileDialog d;
    d.title = "File to save user data to";
    d.fileName = strDefaultUserExportName(std::time(nullptr));
    d.filterDescription = "CSV file";
    d.filterPattern = "*.CSV";
    d.defaultExtension = "CSV";
    return d;
}

}  // namespace

std::string strDefaultUserExportName(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char date[48];
    std::snprintf(date, sizeof date, "%02d_%02d_%02d", local.tm_year % 100, local.tm_mon + 1,
                  local.tm_mday);
    return std::string("TARNISMDBView_User_Export_") + date;
}

void mnuExportUsers_Click(app::FrmMain& form) {
    ui::UiPort& ui = form.ui;
    auto& state = form.state;
    ui::Procedure proc(ui, "mnuExportUsers_Click", "frmMain", ui::ErrorStyle::standard());

    const std::string path = ui.saveFileDialog(exportDialog());
    if (path.empty()) return;

    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        if (ui.messageBox("Overwrite file?", ui::Buttons::YesNo) != ui::Answer::Yes) return;
        // Removing a directory entry needs no write permission on the file itself, so a
        // read-only file goes as well.
        proc.step([&] { std::filesystem::remove(path); });
    }

    AnsiFile file;
    proc.step([&] { file.create(path); });

    auto rs = state.newRecordset();
    const bool newer = backup::bIsMDBVersionGreaterThanOrEqualTo(state, kSmtpRevision);
    proc.step([&] { file.writeLine(newer ? kNewHeader : kOldHeader); });
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] {
        rs.Open(newer ? kNewQuery : kOldQuery, state.strMDBConnectString, db::adOpenKeyset,
                db::adLockReadOnly);
    });

    long count = -1;
    proc.step([&] { count = rs.RecordCount(); });
    if (count < 1) {
        ui.messageBox("No subscribers found in backup!");
        proc.step([&] { rs.Close(); });
        file.close();
        return;
    }

    for (;;) {
        bool atEnd = true;
        if (!proc.step([&] { atEnd = rs.Eof(); }) || atEnd) break;
        proc.step([&] {
            // The line is built whole before writing: a Null alias or extension costs the
            // line and leaves nothing half-written.
            std::string line =
                rs("Alias").Value().toText() + "," + rs("DTMFAccessID").Value().toText();
            if (backup::bIsMDBVersionGreaterThanOrEqualTo(state, kSmtpRevision)) {
                line += ",,," + app::strGetFieldText(rs, "SMTPAddress", state) + ",";
            } else {
                line += ",,";
            }
            file.writeLine(line);
        });
        if (!proc.step([&] { rs.MoveNext(); })) break;
    }

    file.close();
    proc.step([&] { rs.Close(); });

    if (ui.messageBox("Export complete.  View output file now?", ui::Buttons::YesNo) ==
        ui::Answer::Yes) {
        ui.openWithDesktop(path);
    }
}

}  // namespace tdv::commands
