#include "extract/audio_extraction.h"

#include <filesystem>
#include <system_error>

#include "app/common_values.h"
#include "extract/blob_unpack.h"
#include "ui/procedure.h"

namespace tdv::extract {

namespace {

namespace fs = std::filesystem;

constexpr long kNoRecordingSize = 10;  // blobs this small hold no real recording
constexpr const char* kUnpackError = "Error unpacking WAV file from MDB database";
constexpr int kSubscriberKeyCol = 5;
constexpr int kObjectKeyCol = 3;

void removeAll(std::string& text, char c) {
    std::erase(text, c);
}

void replaceAll(std::string& text, char from, char to) {
    for (char& c : text)
        if (c == from) c = to;
}

db::Recordset openReadOnly(backup::AppState& state, const std::string& sql) {
    db::Recordset rs = state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    return rs;
}

bool hasRecording(const db::Recordset& rs, const std::string& column) {
    return rs.Fields(column).ActualSize() > kNoRecordingSize;
}

// Joining a value into a file name: Null raises 94 as the runtime did.
std::string joined(const db::Recordset& rs, const std::string& column) {
    return rs.Fields(column).Value().toText();
}

void unpack(app::FrmMain& form, db::Recordset& rs, const std::string& column,
            const std::string& path) {
    if (!bunPackWAVFile(form.ui, rs, column, path))
        form.ui.messageBox(kUnpackError, ui::Buttons::Ok);
}

std::string baseNameOf(app::FrmMain& form, const db::Recordset& rs, const std::string& column) {
    return wavBaseName(app::strGetFieldText(rs, column, form.state));
}

// The voice name of the first query's record, written as `path`.
void voiceName(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs,
               const std::string& path) {
    bool present = false;
    proc.step([&] { present = hasRecording(rs, "VoiceName"); });
    if (present) proc.step([&] { unpack(form, rs, "VoiceName", path); });
}

// The greetings of a call handler (a user's primary one or a handler itself), by product.
void handlerGreetings(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs,
                      const std::string& handlerId, const std::string& prefix) {
    const bool quorin = form.state.version.bIsQuorinBackup;
    const std::string sql =
        quorin
            ? "SELECT GreetingType as Alias, LanguageCode, Greeting FROM QRN_GreetingStreams "
              "WHERE CallHandlerObjectID='" +
                  handlerId + "'"
            : "SELECT Alias, Greeting FROM MessagingRules WHERE ParentObjectID='" + handlerId + "'";
    if (!proc.step([&] { rs = openReadOnly(form.state, sql); })) return;
    long count = 0;
    proc.step([&] { count = rs.RecordCount(); });
    if (count < 1) return;
    proc.step([&] { rs.MoveFirst(); });
    while (!rs.Eof()) {
        bool present = false;
        proc.step([&] { present = hasRecording(rs, "Greeting"); });
        if (present) {
            std::string language;
            if (quorin)
                proc.step([&] {
                    language =
                        app::strLanguageAbbreviation(rs.Fields("LanguageCode").Value().toLong());
                });
            std::string path;
            if (proc.step([&] {
                    path = prefix + "_Greeting_" + joined(rs, "Alias") + "_" + language + ".wav";
                }))
                proc.step([&] { unpack(form, rs, "greeting", path); });
        }
        if (!proc.step([&] { rs.MoveNext(); })) break;
    }
}

void openFolder(app::FrmMain& form, ui::Procedure& proc) {
    proc.step([&] { form.ui.openWithDesktop(wavExtractionFolder(form.state)); });
}

std::string prefixFolder(const backup::AppState& state) {
    return wavExtractionFolder(state) + "/";
}

}  // namespace

std::string wavBaseName(const std::string& text) {
    std::string name = app::strFixQuotesForSQL(app::strUnicodeToUTF8Text(text));
    removeAll(name, '/');
    removeAll(name, '\\');
    removeAll(name, ' ');
    replaceAll(name, '?', '_');
    replaceAll(name, '*', '_');
    return name;
}

std::string wavExtractionFolder(const backup::AppState& state) {
    return state.appFolder + "/WAVExtraction";
}

void ClearWAVExtractionFolder(const backup::AppState& state) {
    const fs::path folder = wavExtractionFolder(state);
    std::error_code ec;
    if (!fs::exists(folder, ec)) fs::create_directories(folder, ec);
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::error_code fileEc;
        if (!entry.is_regular_file(fileEc)) continue;
        // Read-only files stay, as an unforced delete leaves them.
        const auto perms = entry.status(fileEc).permissions();
        if ((perms & fs::perms::owner_write) == fs::perms::none) continue;
        fs::remove(entry.path(), fileEc);
    }
}

void PullSubscriberWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullSubscriberWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullSubscriberWAVFiles:"));
    ClearWAVExtractionFolder(form.state);
    std::string prefix = prefixFolder(form.state);
    db::Recordset rs, greetings;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT Alias, VoiceName, CallHandlerObjectID FROM Subscribers WHERE "
                          "ObjectID='" +
                              objectId + "'");
    });
    proc.step([&] { prefix += baseNameOf(form, rs, "alias"); });
    voiceName(form, proc, rs, prefix + "_VoiceName.wav");
    std::string handlerId;
    if (proc.step([&] { handlerId = joined(rs, "CallHandlerObjectID"); }))
        handlerGreetings(form, proc, greetings, handlerId, prefix);
    openFolder(form, proc);
}

void PullHandlerWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullHandlerWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullHandlerWAVFiles:"));
    ClearWAVExtractionFolder(form.state);
    std::string prefix = prefixFolder(form.state);
    db::Recordset rs, greetings;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT TextName, VoiceName FROM CallHandlers WHERE "
                          "ObjectID='" +
                              objectId + "'");
    });
    proc.step([&] { prefix += baseNameOf(form, rs, "TextName"); });
    voiceName(form, proc, rs, prefix + "_VoiceName.wav");
    handlerGreetings(form, proc, greetings, objectId, prefix);
    openFolder(form, proc);
}

void PullNameLookupWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullNameLookupWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullNameLookupWAVFiles:"));
    ClearWAVExtractionFolder(form.state);
    const std::string folder = prefixFolder(form.state);
    db::Recordset rs;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT * from NameLookupHandlers WHERE ObjectID='" + objectId + "'");
    });
    long count = 0;
    proc.step([&] { count = rs.RecordCount(); });
    if (count != 1) {
        form.ui.messageBox("Directory handler not found with ObjectID=" + objectId,
                           ui::Buttons::Ok);
        return;
    }
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "DisplayName"); });
    voiceName(form, proc, rs, folder + "VoiceName_" + base + ".wav");
    proc.step([&] { rs.Close(); });
    if (proc.step([&] {
            rs = openReadOnly(form.state,
                              "SELECT * FROM QRN_DirectoryHandlerGreetings WHERE "
                              "DirectoryHandlerObjectID='" +
                                  objectId + "'");
        })) {
        long greetings = 0;
        proc.step([&] { greetings = rs.RecordCount(); });
        if (greetings >= 1) proc.step([&] { rs.MoveFirst(); });
        while (greetings >= 1 && !rs.Eof()) {
            bool present = false;
            proc.step([&] { present = hasRecording(rs, "Greeting"); });
            std::string path;
            if (present && proc.step([&] {
                    path = folder + "Greeting_" + joined(rs, "LanguageCode") + "_" + base + ".wav";
                }))
                proc.step([&] { unpack(form, rs, "Greeting", path); });
            if (!proc.step([&] { rs.MoveNext(); })) break;
        }
    }
    openFolder(form, proc);
}

void PullInterviewerWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullInterviewerWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullInterviewerWAVFiles:"));
    ClearWAVExtractionFolder(form.state);
    std::string prefix = prefixFolder(form.state);
    db::Recordset rs, questions;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT DisplayName, VoiceName FROM Interviewers WHERE "
                          "ObjectID='" +
                              objectId + "'");
    });
    proc.step([&] { prefix += baseNameOf(form, rs, "DisplayName"); });
    voiceName(form, proc, rs, prefix + "_VoiceName.wav");
    if (proc.step([&] {
            questions = openReadOnly(form.state,
                                     "SELECT Alias,Stream FROM InterviewQuestions WHERE "
                                     "ParentObjectID='" +
                                         objectId + "'");
        })) {
        long count = 0;
        proc.step([&] { count = questions.RecordCount(); });
        if (count >= 1) proc.step([&] { questions.MoveFirst(); });
        while (count >= 1 && !questions.Eof()) {
            bool present = false;
            proc.step([&] { present = hasRecording(questions, "Stream"); });
            std::string path;
            if (present && proc.step([&] {
                    path = prefix + "_Question_" + joined(questions, "Alias") + ".wav";
                }))
                proc.step([&] { unpack(form, questions, "stream", path); });
            if (!proc.step([&] { questions.MoveNext(); })) break;
        }
    }
    openFolder(form, proc);
}

void PullDistributionListWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullDistributionListWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullDistributionListWAVFiles:"));
    ClearWAVExtractionFolder(form.state);
    std::string prefix = prefixFolder(form.state);
    db::Recordset rs;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT Alias, VoiceName FROM PublicDistributionLists WHERE ObjectID='" +
                              objectId + "'");
    });
    proc.step([&] { prefix += baseNameOf(form, rs, "Alias"); });
    voiceName(form, proc, rs, prefix + "_VoiceName.wav");
    openFolder(form, proc);
}

void cmdFetchAllWAVFiles_Click(app::FrmMain& form) {
    ui::Procedure proc(form.ui, "cmdFetchAllWAVFiles_Click", "frmMain", ui::ErrorStyle::silent());
    proc.step([&] {
        const int type = form.cmbObjectType;
        const int row = form.myGrid.Row();
        auto key = [&](int col) { return form.myGrid.TextMatrix(row, col); };
        switch (type) {
            case app::kSubscribers:
                PullSubscriberWAVFiles(form, key(kSubscriberKeyCol));
                break;
            case app::kCallHandlers:
                PullHandlerWAVFiles(form, key(kObjectKeyCol));
                break;
            case app::kDistributionLists:
                PullDistributionListWAVFiles(form, key(kObjectKeyCol));
                break;
            case app::kInterviewHandlers:
                PullInterviewerWAVFiles(form, key(kObjectKeyCol));
                break;
            case app::kDirectoryHandlers:
                PullNameLookupWAVFiles(form, key(kObjectKeyCol));
                break;
            default:
                form.ui.messageBox("Invalid object type for WAV file extraction!", ui::Buttons::Ok);
                break;
        }
    });
}

}  // namespace tdv::extract
