#include "commands/user_export.h"

#include <cstdio>
#include <optional>

#include "backup/backed_up_version.h"
#include "main_state/code_page.h"
#include "main_state/common_values.h"
#include "ui/output_file.h"
#include "ui/procedure.h"

namespace tdv::commands {

namespace {

constexpr const char* kNewHeader =
    "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, OLD_SMTP_ADDRESS, NEW_SMTP_ADDRESS";
constexpr const char* kOldHeader = "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION";
constexpr const char* kNewQuery = "SELECT Alias, DTMFAccessID, SMTPAddress from Subscribers";
constexpr const char* kOldQuery = "SELECT Alias, DTMFAccessID from Subscribers";
constexpr int kSmtpRevision = 20;

// The output file's lines, converted to the ANSI code page and written in large pieces.
class AnsiLines {
public:
    explicit AnsiLines(ui::OutputFile& file) : file_(file) {}
    void writeLine(const std::string& line) {
        buffer_ += app::strUnicodeToMultiByte(line, app::kAnsiCodePage);
        buffer_ += "\r\n";
        if (buffer_.size() >= kFlushBytes) flush();
    }
    void flush() {
        file_.write(buffer_);
        buffer_.clear();
    }

private:
    static constexpr size_t kFlushBytes = 64 * 1024;
    ui::OutputFile& file_;
    std::string buffer_;
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

bool mnuExportUsers_Click(app::FrmMain& form) {
    ui::UiPort& ui = form.ui;
    auto& state = form.state;
    ui::Procedure proc(ui, "mnuExportUsers_Click", "frmMain", ui::ErrorStyle::standard());

    const std::string path = ui.saveFileDialog(exportDialog());
    if (path.empty()) return false;

    if (ui::entryExists(ui, path) &&
        ui.messageBox("Overwrite file?", ui::Buttons::YesNo) != ui::Answer::Yes)
        return false;

    // Creating the file removes the earlier one first (also a read-only one; a link is
    // removed, not followed). A file that cannot be created ends the command: every line
    // would fail the same way.
    std::optional<ui::OutputFile> file;
    if (!proc.step([&] { file.emplace(ui, path); })) return false;
    AnsiLines out(*file);

    auto rs = state.newRecordset();
    const bool newer = backup::bIsMDBVersionGreaterThanOrEqualTo(state, kSmtpRevision);
    proc.step([&] { out.writeLine(newer ? kNewHeader : kOldHeader); });
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] {
        rs.Open(newer ? kNewQuery : kOldQuery, state.strMDBConnectString, db::adOpenKeyset,
                db::adLockReadOnly);
    });

    long count = -1;
    proc.step([&] { count = rs.RecordCount(); });
    if (count < 1) {
        if (!proc.failed()) ui.messageBox("No subscribers found in backup!");
        proc.step([&] { rs.Close(); });
        // The file keeps its header line, unless something failed on the way.
        proc.step([&] { out.flush(); });
        proc.keep(*file);
        return false;
    }

    // A subscriber whose Alias or DTMFAccessID is Null costs its line after its box, and the
    // export goes on: that is the row's, not the file's failure. A line that cannot be
    // written (a full disk) ends the export with one box; the half-written file is removed.
    ui::Procedure rows(ui, "mnuExportUsers_Click", "frmMain", ui::ErrorStyle::standard());
    proc.loop([&] { return !rs.Eof(); }, [&] { rs.MoveNext(); },
              [&] {
                  std::string line;
                  const bool built = rows.step([&] {
                      line =
                          rs("Alias").Value().toText() + "," + rs("DTMFAccessID").Value().toText();
                      if (backup::bIsMDBVersionGreaterThanOrEqualTo(state, kSmtpRevision)) {
                          line += ",,," + app::strGetFieldText(rs, "SMTPAddress", state) + ",";
                      } else {
                          line += ",,";
                      }
                  });
                  if (built) proc.step([&] { out.writeLine(line); });
              });
    proc.step([&] { out.flush(); });
    proc.step([&] { rs.Close(); });
    if (!proc.keep(*file)) return false;

    if (ui.messageBox("Export complete.  View output file now?", ui::Buttons::YesNo) ==
        ui::Answer::Yes) {
        ui.openWithDesktop(path);
    }
    return true;
}

}  // namespace tdv::commands
