#include "remap/remap_preview.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "backup/safety_copy.h"
#include "base/cp1252.h"
#include "jet/text_codec.h"
#include "remap/apply_rows.h"
#include "remap/message_files.h"
#include "ui/procedure.h"

namespace tdv::remap {
namespace fs = std::filesystem;

namespace {

constexpr const char* kUnreadableMessageBackup = "(error) message backup could not be opened";

// The apply's partner in a preview: Yes to its warning, No to everything after (the closing
// question), message boxes kept as the row's problems, no safety copy, nothing shown.
class PreviewUi : public ui::UiPort {
public:
    std::vector<std::string> boxes;

    ui::Answer messageBox(const std::string& text, ui::Buttons buttons, ui::Icon,
                          const std::string&) override {
        if (buttons == ui::Buttons::YesNo || buttons == ui::Buttons::YesNoCancel) {
            const bool first = !warned_;
            warned_ = true;
            return first ? ui::Answer::Yes : ui::Answer::No;
        }
        boxes.push_back(text);
        return buttons == ui::Buttons::OkCancel ? ui::Answer::Cancel : ui::Answer::Ok;
    }
    std::string openFileDialog(const ui::FileDialog&) override { return {}; }
    std::string saveFileDialog(const ui::FileDialog&) override { return {}; }
    void openWithDesktop(const std::string&) override {}
    void openUrl(const std::string&) override {}
    void setClipboardText(const std::string&) override {}
    void setBusy(bool) override {}
    void processEvents() override {}
    void sleepMs(int) override {}
    std::string setting(const std::string& section, const std::string& key,
                        const std::string& defaultValue) override {
        if (key == backup::kSafetyCopySettingKey) return "0";
        (void)section;
        return defaultValue;
    }
    void saveSetting(const std::string&, const std::string&, const std::string&) override {}
    void setWindowVisible(ui::Window, bool) override {}

private:
    bool warned_ = false;
};

// A private temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "tdv-preview-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("no temporary folder for the preview");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The state of the open backup with the scratch copy as its file.
void copyState(const backup::AppState& from, backup::AppState& to, const fs::path& scratch,
               const fs::path& folder) {
    fs::copy_file(from.strMDBFilePath, scratch);
    to.strMDBFilePath = scratch.string();
    to.strMDBConnectString = std::string(backup::kConnectPrefix) + to.strMDBFilePath;
    to.appFolder = folder.string();
    to.version = from.version;
    to.bIsQuorin7OrLater = from.bIsQuorin7OrLater;
    to.bIsMessageBackup = from.bIsMessageBackup;
}

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

// The run log's lines, read as they are flushed after each row.
class LogReader {
public:
    explicit LogReader(const logging::ModLogging& logs) : logs_(logs) {}
    std::vector<std::string> newLines() {
        std::vector<std::string> out;
        std::ifstream in(logs_.runLogPath(), std::ios::binary);
        if (!in) return out;
        in.seekg(static_cast<std::streamoff>(offset_));
        std::string line;
        while (std::getline(in, line)) {
            if (in.eof()) break;  // an unfinished line waits for the next read
            offset_ += line.size() + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out.push_back(base::cp1252ToUtf8(line));
        }
        return out;
    }

private:
    const logging::ModLogging& logs_;
    size_t offset_ = 0;
};

// One row's outcome from its run log lines.
void readOutcome(PreviewRow& row, const std::vector<std::string>& lines,
                 const std::string& oldAlias) {
    row.applies = true;
    for (const std::string& line : lines) {
        if (line.starts_with("(error)") && !line.starts_with(kUnreadableMessageBackup)) {
            if (row.applies) row.problem = line.substr(std::string("(error)").size());
            if (!row.problem.empty() && row.problem[0] == ' ') row.problem.erase(0, 1);
            row.applies = false;
            continue;
        }
        for (const char* column : {"fromAlias", "toAlias"}) {
            const std::string middle =
                std::string(" ") + column + " instances found for " + oldAlias + " in ";
            const size_t at = line.find(middle);
            if (!line.starts_with("    ") || at == std::string::npos) continue;
            const long n = std::strtol(line.c_str() + 4, nullptr, 10);
            const std::string file = line.substr(at + middle.size());
            if (n == 0) continue;
            auto it = std::find_if(row.messages.begin(), row.messages.end(),
                                   [&](const PreviewMessages& m) { return m.file == file; });
            if (it == row.messages.end()) it = row.messages.insert(row.messages.end(), {file});
            (std::string(column) == "fromAlias" ? it->fromAlias : it->toAlias) = n;
        }
    }
    if (!row.applies) row.records = {};
}

// Runs `apply` on the scratch state and fills one preview row per ticked row: `count`
// before each row, the outcome after it.
template <class Form>
RemapPreview runPreview(Form& form, const std::function<void(Form&)>& apply,
                        const std::function<PreviewRecords(backup::AppState&, int row)>& count,
                        const std::function<std::string(int row)>& oldAliasOf) {
    RemapPreview preview;
    const std::vector<int> ticked = tickedRows(form.myGrid);
    for (int r : ticked) {
        PreviewRow row;
        row.row = r;
        row.csvLine = cell(form.myGrid, r, "OriginalLine");
        row.action = cell(form.myGrid, r, "Info");
        preview.rows.push_back(std::move(row));
    }
    if (ticked.empty()) return preview;
    try {
        ScratchFolder scratch;
        PreviewUi ui;
        backup::AppState state;
        copyState(form.state, state,
                  scratch.path() / fs::path(form.state.strMDBFilePath).filename(), scratch.path());
        logging::ModLogging logs(ui, scratch.path().string(), logging::thisProgram("preview"));
        Form copy(ui, state, logs);
        copy.myGrid = form.myGrid;
        // One row per save: the progress after each save is then the progress after each row.
        copy.rowsPerSave = 1;
        LogReader reader(logs);
        preview.rows[0].records = count(state, ticked[0]);
        copy.progress = [&](int done, int) {
            if (done < 1 || done > static_cast<int>(ticked.size())) return;
            PreviewRow& row = preview.rows[static_cast<size_t>(done - 1)];
            readOutcome(row, reader.newLines(), oldAliasOf(row.row));
            if (!row.applies && row.problem.empty() && !ui.boxes.empty())
                row.problem = ui.boxes.back();
            if (done < static_cast<int>(ticked.size()))
                preview.rows[static_cast<size_t>(done)].records =
                    count(state, ticked[static_cast<size_t>(done)]);
        };
        apply(copy);
    } catch (...) {
        preview.rows.clear();
        preview.failure = ui::currentErrorInfo().description;
    }
    return preview;
}

}  // namespace

RemapPreview previewExtensionRemap(FrmExtensionRemap& form) {
    const bool utf8 = form.state.bIsQuorin7OrLater;
    const auto q = [&](const std::string& text) { return sqlQuoted(storedText(text, utf8)); };
    const auto count = [&](backup::AppState& state, int r) {
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
        n.users =
            countOf(state, "SELECT COUNT(*) FROM Subscribers WHERE ObjectID=" + sqlQuoted(id));
        if (!newAlias.empty()) {
            n.distributionListMembers =
                countOf(state,
                        "SELECT COUNT(*) FROM PublicDistributionListMembers WHERE "
                        "SubscriberObjectID=" +
                            sqlQuoted(id));
            n.privateListMembers = countOf(
                state, "SELECT COUNT(*) FROM PrivateListMembers WHERE Alias=" + q(oldAlias));
        }
        if (!newExtension.empty()) {
            try {
                db::Recordset rs = state.newRecordset();
                rs.Open(
                    "SELECT CallHandlerObjectID FROM Subscribers WHERE ObjectID=" + sqlQuoted(id),
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
    };
    const std::string folder = folderOf(form.state.strMDBFilePath);
    return runPreview<FrmExtensionRemap>(
        form,
        [&](FrmExtensionRemap& copy) {
            MessageBackupFiles files(folder);
            files.setDryRun(true);
            cmdRemap_Click(copy, files);
        },
        count, [&](int r) { return trimmedCell(form.myGrid, r, "OldAlias"); });
}

RemapPreview previewSMTPRemap(FrmSMTPAddressRemap& form) {
    const auto count = [&](backup::AppState& state, int r) {
        PreviewRecords n;
        n.users = countOf(state, "SELECT COUNT(*) FROM Subscribers WHERE ObjectID=" +
                                     sqlQuoted(trimmedCell(form.myGrid, r, "ObjectID")));
        return n;
    };
    return runPreview<FrmSMTPAddressRemap>(
        form, [](FrmSMTPAddressRemap& copy) { cmdRemap_Click(copy); }, count,
        [](int) { return std::string(); });
}

}  // namespace tdv::remap
