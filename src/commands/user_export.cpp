#include "commands/user_export.h"

#include <cstdio>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "backup/backed_up_version.h"
#include "base/cp1252.h"
#include "base/utf8.h"
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

// Whether every character of the text has a Windows-1252 byte.
bool fitsAnsi(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        if (base::charToCp1252(base::nextUtf8(text, i)) < 0) return false;
    }
    return true;
}

// The remap load splits a line at every comma and drops double quotes, and a line break
// ends the line: a value holding one of them would load back as another user's row.
std::string unsafeCharacter(const std::string& value) {
    if (value.find(',') != std::string::npos) return "a comma";
    if (value.find('"') != std::string::npos) return "a double quote";
    if (value.find_first_of("\r\n") != std::string::npos) return "a line break";
    return {};
}

// What the export did, for the closing message.
struct Tally {
    long exported = 0;
    long withoutExtension = 0;
    long lostToErrors = 0;
    std::vector<std::pair<std::string, std::string>> leftOut;  // (what holds what, alias)
};

std::string closingText(const Tally& t) {
    std::string text =
        std::to_string(t.exported) + (t.exported == 1 ? " user" : " users") + " exported";
    if (t.withoutExtension > 0)
        text += ", " + std::to_string(t.withoutExtension) + " without an extension";
    for (const auto& [why, alias] : t.leftOut) text += "; left out, " + why + ": " + alias;
    if (t.lostToErrors > 0)
        text += "; " + std::to_string(t.lostToErrors) + " left out after an error";
    return text;
}

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

    // The export never takes the place of the backup it reads (or one beside it), whatever
    // the path's spelling: refused before the overwrite question, nothing changed.
    const ui::ProtectedFiles inputs = ui::ProtectedFiles::forBackup(ui, state.strMDBFilePath);
    if (!proc.step([&] { ui::refuseInputTarget(ui, path, &inputs); })) return false;
    if (ui::entryExists(ui, path) &&
        ui.messageBox("Overwrite file?", ui::Buttons::YesNo) != ui::Answer::Yes)
        return false;

    // The file is written under a temporary name and replaces the earlier one (a link is
    // removed, not followed) only once it is whole. A file that cannot be created ends the
    // command: every line would fail the same way.
    std::optional<ui::OutputFile> file;
    if (!proc.step([&] { file.emplace(ui, path, &inputs); })) return false;

    auto rs = state.newRecordset();
    const bool newer = backup::bIsMDBVersionGreaterThanOrEqualTo(state, kSmtpRevision);
    std::vector<std::string> lines{newer ? kNewHeader : kOldHeader};
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] {
        rs.Open(newer ? kNewQuery : kOldQuery, state.strMDBConnectString, db::adOpenKeyset,
                db::adLockReadOnly);
    });

    long count = -1;
    proc.step([&] { count = rs.RecordCount(); });
    Tally tally;
    if (count < 1) {
        if (!proc.failed()) ui.messageBox("No subscribers found in backup!");
    } else {
        // A subscriber whose Alias is Null costs its line after its box, and the export goes
        // on: that is the row's, not the file's failure; the closing message counts it. A
        // Null extension is an empty field.
        ui::Procedure rows(ui, "mnuExportUsers_Click", "frmMain", ui::ErrorStyle::standard());
        proc.loop([&] { return !rs.Eof(); }, [&] { rs.MoveNext(); },
                  [&] {
                      std::string alias, extension, smtp, line;
                      bool noExtension = false;
                      const bool built = rows.step([&] {
                          alias = rs("Alias").Value().toText();
                          const db::Variant ext = rs("DTMFAccessID").Value();
                          noExtension = ext.isNull();
                          extension = noExtension ? std::string() : ext.toText();
                          line = alias + "," + extension;
                          if (newer) {
                              smtp = app::strGetFieldText(rs, "SMTPAddress", state);
                              line += ",,," + smtp + ",";
                          } else {
                              line += ",,";
                          }
                      });
                      if (!built) {
                          ++tally.lostToErrors;
                          return;
                      }
                      std::string why = unsafeCharacter(alias);
                      if (!why.empty()) {
                          why = "alias holds " + why;
                      } else if (!(why = unsafeCharacter(extension + smtp)).empty()) {
                          why = "extension or address holds " + why;
                      }
                      if (!why.empty()) {
                          tally.leftOut.emplace_back(why, alias);
                          return;
                      }
                      lines.push_back(std::move(line));
                      ++tally.exported;
                      if (noExtension) ++tally.withoutExtension;
                  });
    }
    proc.step([&] {
        if (rs.State() != db::adStateClosed) rs.Close();
    });
    // Windows-1252 as the design writes it, unless a value has no character there: then
    // UTF-8 with its byte order mark, which the remap load reads as well.
    bool ansi = true;
    for (const std::string& line : lines) ansi = ansi && fitsAnsi(line);
    proc.step([&] {
        std::string bytes = ansi ? std::string() : std::string("\xEF\xBB\xBF");
        for (const std::string& line : lines) {
            bytes += ansi ? app::strUnicodeToMultiByte(line, app::kAnsiCodePage) : line;
            bytes += "\r\n";
        }
        file->write(bytes);
    });
    // The file is kept (header only when there are no subscribers) unless it failed.
    if (!proc.keep(*file) || count < 1) return false;

    const bool whole = tally.leftOut.empty() && tally.lostToErrors == 0;
    const std::string question = whole && tally.withoutExtension == 0
                                     ? std::string("Export complete.  View output file now?")
                                     : (whole ? "Export complete: " : "Export incomplete: ") +
                                           closingText(tally) + ".  View output file now?";
    if (ui.messageBox(question, ui::Buttons::YesNo) == ui::Answer::Yes) ui.openWithDesktop(path);
    // Users left out: the file holds what could be written safely, but not what was asked.
    return whole;
}

}  // namespace tdv::commands
