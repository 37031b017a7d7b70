#include "remap/remap_preview.h"

#include <filesystem>
#include <map>
#include <string_view>

#include "backup/app_state.h"
#include "remap/apply_rows.h"
#include "ui/procedure.h"

namespace tdv::remap {
namespace fs = std::filesystem;

namespace {

constexpr const char* kUnreadableMessageBackup = "(error) message backup could not be opened";

// The checks' partner in a preview: message boxes kept (a failure is the row's problem),
// questions answered No, nothing shown.
class PreviewUi : public ui::UiPort {
public:
    std::vector<std::string> boxes;

    ui::Answer messageBox(const std::string& text, ui::Buttons buttons, ui::Icon,
                          const std::string&) override {
        boxes.push_back(text);
        switch (buttons) {
            case ui::Buttons::YesNo:
            case ui::Buttons::YesNoCancel:
                return ui::Answer::No;
            case ui::Buttons::OkCancel:
                return ui::Answer::Cancel;
            default:
                return ui::Answer::Ok;
        }
    }
    std::string openFileDialog(const ui::FileDialog&) override { return {}; }
    std::string saveFileDialog(const ui::FileDialog&) override { return {}; }
    void openWithDesktop(const std::string&) override {}
    void openUrl(const std::string&) override {}
    void setClipboardText(const std::string&) override {}
    void setBusy(bool) override {}
    void processEvents() override {}
    void sleepMs(int) override {}
    std::string setting(const std::string&, const std::string&,
                        const std::string& defaultValue) override {
        return defaultValue;
    }
    void saveSetting(const std::string&, const std::string&, const std::string&) override {}
    void setWindowVisible(ui::Window, bool) override {}
};

std::vector<int> tickedRows(const ui::GridModel& grid) {
    std::vector<int> out;
    const int selected = grid.ColIndex("Selected");
    if (selected < 0) return out;
    for (int r = 1; r < grid.Rows(); ++r)
        if (grid.isChecked(r, selected)) out.push_back(r);
    return out;
}

long countOf(backup::AppState& state, const std::string& sql) {
    try {
        db::Recordset rs = state.newRecordset();
        rs.Open(sql, state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
        return rs.Fields(0L).Value().toLong();
    } catch (...) {
        return 0;  // a missing table or column: the apply fails on it and says so
    }
}

// The first "(error)" line of a row's lines, without its marker.
std::string problemOf(const Lines& lines) {
    const std::string& text = lines.text();
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find("\r\n", at);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + at, end - at);
        at = end + 2;
        if (!line.starts_with("(error)") || line.starts_with(kUnreadableMessageBackup)) continue;
        std::string problem(line.substr(std::string_view("(error)").size()));
        if (!problem.empty() && problem[0] == ' ') problem.erase(0, 1);
        return problem;
    }
    return {};
}

// The preview's rows, before their checks.
RemapPreview previewRows(const ui::GridModel& grid, const std::vector<int>& ticked) {
    RemapPreview preview;
    for (const int r : ticked) {
        PreviewRow row;
        row.row = r;
        row.csvLine = cell(grid, r, "OriginalLine");
        row.action = cell(grid, r, "Info");
        preview.rows.push_back(std::move(row));
    }
    return preview;
}

// The failure of a preview that could not run, naming what it could not read.
void failed(RemapPreview& preview, const std::string& what) {
    preview.rows.clear();
    preview.messageBackupProblems.clear();
    preview.failure = what + " could not be read (" + ui::currentErrorInfo().description + ")";
}

// The records the row's statements would change in the backup as it is.
PreviewRecords recordsOf(FrmExtensionRemap& form, int r) {
    backup::AppState& state = form.state;
    const auto q = [&](const std::string& text) {
        return sqlQuoted(storedText(text, state.bIsQuorin7OrLater));
    };
    const ui::GridModel& grid = form.myGrid;
    const std::string id = trimmedCell(grid, r, "ObjectID");
    const std::string alternate = trimmedCell(grid, r, "AlternateExtensionAlias");
    const std::string newAlias = trimmedCell(grid, r, "NewAlias");
    const std::string oldAlias = trimmedCell(grid, r, "OldAlias");
    const std::string newExtension = trimmedCell(grid, r, "NewExtension");
    PreviewRecords n;
    if (!alternate.empty()) {
        n.alternateExtensions =
            countOf(state, "SELECT COUNT(*) FROM DTMFAccessID WHERE Alias=" + q(alternate) +
                               " AND ParentObjectID=" + sqlQuoted(id));
        return n;
    }
    n.users = countOf(state, "SELECT COUNT(*) FROM Subscribers WHERE ObjectID=" + sqlQuoted(id));
    if (!newAlias.empty()) {
        n.distributionListMembers = countOf(
            state, "SELECT COUNT(*) FROM PublicDistributionListMembers WHERE SubscriberObjectID=" +
                       sqlQuoted(id));
        n.privateListMembers =
            countOf(state, "SELECT COUNT(*) FROM PrivateListMembers WHERE Alias=" + q(oldAlias));
    }
    if (!newExtension.empty()) {
        try {
            db::Recordset rs = state.newRecordset();
            rs.Open("SELECT CallHandlerObjectID FROM Subscribers WHERE ObjectID=" + sqlQuoted(id),
                    state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
            if (!rs.Eof() && !rs.Fields(0L).Value().isNull())
                n.callHandlers =
                    countOf(state, "SELECT COUNT(*) FROM CallHandlers WHERE ObjectID=" +
                                       sqlQuoted(rs.Fields(0L).Value().toText()));
        } catch (...) {
            // The apply finds the same problem and says so.
        }
    }
    return n;
}

}  // namespace

RemapPreview previewExtensionRemap(FrmExtensionRemap& form) {
    const std::vector<int> ticked = tickedRows(form.myGrid);
    RemapPreview preview = previewRows(form.myGrid, ticked);
    if (ticked.empty()) return preview;
    const std::string folder = folderOf(form.state.strMDBFilePath);
    try {
        // The apply lists the folder; a preview that cannot says so instead of counting none.
        fs::directory_iterator listing(folder);
    } catch (...) {
        failed(preview, "the backup's folder " + folder);
        return preview;
    }
    try {
        PreviewUi ui;
        logging::ModLogging logs(ui, form.state.appFolder, logging::thisProgram("preview"));
        FrmExtensionRemap copy(ui, form.state, logs);
        copy.myGrid = form.myGrid;
        MessageBackupFiles files(folder);
        ExtensionChecks checks(copy, files);
        preview.messageBackupProblems = checks.messageProblems(ticked);
        // When a message backup cannot be changed, the apply changes nothing.
        std::map<int, std::string> stopped;
        for (const MessageBackupFiles::FileProblem& p : preview.messageBackupProblems)
            for (const int r : p.rows)
                stopped.emplace(r, "message backup " + p.path + ": " + p.cause);
        const std::string stops =
            preview.messageBackupProblems.empty()
                ? std::string()
                : "nothing is applied: " + std::to_string(preview.messageBackupProblems.size()) +
                      " message backups cannot be changed safely";
        for (PreviewRow& row : preview.rows) {
            row.records = recordsOf(form, row.row);
            Lines lines;
            std::vector<MessageBackupFiles::PlannedIn> messages;
            const size_t boxes = ui.boxes.size();
            row.applies = checks.check(row.row, lines, messages);
            if (!row.applies) row.problem = problemOf(lines);
            if (!row.applies && row.problem.empty() && ui.boxes.size() > boxes)
                row.problem = ui.boxes.back();
            for (const MessageBackupFiles::PlannedIn& m : messages)
                row.messages.push_back({m.path, m.from, m.to});
            if (!stops.empty()) {
                const auto it = stopped.find(row.row);
                if (it != stopped.end()) {
                    row.problem = it->second;
                } else if (row.applies) {
                    row.problem = stops;
                }
                row.applies = false;
            }
            if (!row.applies) row.records = {};
        }
    } catch (...) {
        failed(preview, "the backup " + form.state.strMDBFilePath);
    }
    return preview;
}

RemapPreview previewSMTPRemap(FrmSMTPAddressRemap& form) {
    const std::vector<int> ticked = tickedRows(form.myGrid);
    RemapPreview preview = previewRows(form.myGrid, ticked);
    try {
        for (PreviewRow& row : preview.rows) {
            Lines lines;
            row.applies = checkAddressRow(form, row.row, lines);
            if (!row.applies) {
                row.problem = problemOf(lines);
                continue;
            }
            row.records.users =
                countOf(form.state, "SELECT COUNT(*) FROM Subscribers WHERE ObjectID=" +
                                        sqlQuoted(trimmedCell(form.myGrid, row.row, "ObjectID")));
        }
    } catch (...) {
        failed(preview, "the backup " + form.state.strMDBFilePath);
    }
    return preview;
}

}  // namespace tdv::remap
