#include "extract/audio_extraction.h"

#include <filesystem>
#include <system_error>

#include "extract/blob_unpack.h"
#include "main_state/common_values.h"
#include "ui/output_file.h"
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

// One extraction run: the procedure, the files written and the names used so far.
struct Run {
    app::FrmMain& form;
    ui::Procedure& proc;
    WavExtraction& result;
    std::string folder;  // application folder + "/WAVExtraction/"
    ui::FileNames names;
    bool writeFailed = false;  // a recording could not be written; the rest would fail too
};

// Writes the column to `name` in the folder. The name comes from data: it is made one safe,
// unique file name there. A failed write is counted, so the loop of its caller ends.
bool unpack(Run& run, db::Recordset& rs, const std::string& column, const std::string& name) {
    if (run.writeFailed) return false;
    std::string path;
    if (!run.proc.step([&] { path = run.folder + run.names.unique(name); })) return false;
    if (!bunPackWAVFile(run.form.ui, rs, column, path)) {
        run.proc.fail(kUnpackError);
        run.writeFailed = true;
        return false;
    }
    run.result.written.push_back(path);
    return true;
}

std::string baseNameOf(app::FrmMain& form, const db::Recordset& rs, const std::string& column) {
    return wavBaseName(app::strGetFieldText(rs, column, form.state));
}

// The voice name of the first query's record, written as `name`.
void voiceName(Run& run, db::Recordset& rs, const std::string& name) {
    bool present = false;
    run.proc.step([&] { present = hasRecording(rs, "VoiceName"); });
    if (present) unpack(run, rs, "VoiceName", name);
}

// The greetings of a call handler (a user's primary one or a handler itself), by product.
// A greeting that cannot be written ends the loop: the next ones would fail the same way.
void handlerGreetings(Run& run, db::Recordset& rs, const std::string& handlerId,
                      const std::string& base) {
    ui::Procedure& proc = run.proc;
    const bool quorin = run.form.state.version.bIsQuorinBackup;
    const std::string sql =
        quorin ? "SELECT GreetingType as Alias, LanguageCode, Greeting FROM QRN_GreetingStreams "
                 "WHERE CallHandlerObjectID=" +
                     app::sqlQuoted(handlerId)
               : "SELECT Alias, Greeting FROM MessagingRules WHERE ParentObjectID=" +
                     app::sqlQuoted(handlerId);
    if (!proc.step([&] { rs = openReadOnly(run.form.state, sql); })) return;
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
            std::string name;
            if (proc.step([&] {
                    name = base + "_Greeting_" + joined(rs, "Alias") + "_" + language + ".wav";
                }) &&
                !unpack(run, rs, "greeting", name))
                break;
        }
        if (!proc.step([&] { rs.MoveNext(); })) break;
    }
}

// The closing step: the folder is opened only when nothing failed.
void openFolder(Run& run) {
    run.proc.finish([&] { run.form.ui.openWithDesktop(wavExtractionFolder(run.form.state)); });
    run.result.failed = run.proc.failed();
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

WavExtraction PullSubscriberWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullSubscriberWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullSubscriberWAVFiles:"));
    WavExtraction result;
    ClearWAVExtractionFolder(form.state);
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, false};
    db::Recordset rs, greetings;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT Alias, VoiceName, CallHandlerObjectID FROM Subscribers WHERE "
                          "ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "alias"); });
    voiceName(run, rs, base + "_VoiceName.wav");
    std::string handlerId;
    if (proc.step([&] { handlerId = joined(rs, "CallHandlerObjectID"); }))
        handlerGreetings(run, greetings, handlerId, base);
    openFolder(run);
    return result;
}

WavExtraction PullHandlerWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullHandlerWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullHandlerWAVFiles:"));
    WavExtraction result;
    ClearWAVExtractionFolder(form.state);
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, false};
    db::Recordset rs, greetings;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT TextName, VoiceName FROM CallHandlers WHERE "
                          "ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "TextName"); });
    voiceName(run, rs, base + "_VoiceName.wav");
    handlerGreetings(run, greetings, objectId, base);
    openFolder(run);
    return result;
}

WavExtraction PullNameLookupWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullNameLookupWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullNameLookupWAVFiles:"));
    WavExtraction result;
    ClearWAVExtractionFolder(form.state);
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, false};
    db::Recordset rs;
    proc.step([&] {
        rs = openReadOnly(form.state, "SELECT * from NameLookupHandlers WHERE ObjectID=" +
                                          app::sqlQuoted(objectId));
    });
    long count = 0;
    proc.step([&] { count = rs.RecordCount(); });
    if (count != 1) {
        proc.fail("Directory handler not found with ObjectID=" + objectId);
        result.failed = true;
        return result;
    }
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "DisplayName"); });
    voiceName(run, rs, "VoiceName_" + base + ".wav");
    proc.step([&] { rs.Close(); });
    if (proc.step([&] {
            rs = openReadOnly(form.state,
                              "SELECT * FROM QRN_DirectoryHandlerGreetings WHERE "
                              "DirectoryHandlerObjectID=" +
                                  app::sqlQuoted(objectId));
        })) {
        long greetings = 0;
        proc.step([&] { greetings = rs.RecordCount(); });
        if (greetings >= 1) proc.step([&] { rs.MoveFirst(); });
        while (greetings >= 1 && !rs.Eof()) {
            bool present = false;
            proc.step([&] { present = hasRecording(rs, "Greeting"); });
            std::string name;
            if (present && proc.step([&] {
                    name = "Greeting_" + joined(rs, "LanguageCode") + "_" + base + ".wav";
                }) &&
                !unpack(run, rs, "Greeting", name))
                break;
            if (!proc.step([&] { rs.MoveNext(); })) break;
        }
    }
    openFolder(run);
    return result;
}

WavExtraction PullInterviewerWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullInterviewerWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullInterviewerWAVFiles:"));
    WavExtraction result;
    ClearWAVExtractionFolder(form.state);
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, false};
    db::Recordset rs, questions;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT DisplayName, VoiceName FROM Interviewers WHERE "
                          "ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "DisplayName"); });
    voiceName(run, rs, base + "_VoiceName.wav");
    if (proc.step([&] {
            questions = openReadOnly(form.state,
                                     "SELECT Alias,Stream FROM InterviewQuestions WHERE "
                                     "ParentObjectID=" +
                                         app::sqlQuoted(objectId));
        })) {
        long count = 0;
        proc.step([&] { count = questions.RecordCount(); });
        if (count >= 1) proc.step([&] { questions.MoveFirst(); });
        while (count >= 1 && !questions.Eof()) {
            bool present = false;
            proc.step([&] { present = hasRecording(questions, "Stream"); });
            std::string name;
            if (present && proc.step([&] {
                    name = base + "_Question_" + joined(questions, "Alias") + ".wav";
                }) &&
                !unpack(run, questions, "stream", name))
                break;
            if (!proc.step([&] { questions.MoveNext(); })) break;
        }
    }
    openFolder(run);
    return result;
}

WavExtraction PullDistributionListWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullDistributionListWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullDistributionListWAVFiles:"));
    WavExtraction result;
    ClearWAVExtractionFolder(form.state);
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, false};
    db::Recordset rs;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT Alias, VoiceName FROM PublicDistributionLists WHERE ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "Alias"); });
    voiceName(run, rs, base + "_VoiceName.wav");
    openFolder(run);
    return result;
}

WavExtraction cmdFetchAllWAVFiles_Click(app::FrmMain& form) {
    ui::Procedure proc(form.ui, "cmdFetchAllWAVFiles_Click", "frmMain", ui::ErrorStyle::silent());
    WavExtraction result;
    result.failed = true;
    proc.step([&] {
        const int type = form.cmbObjectType;
        const int row = form.myGrid.Row();
        auto key = [&](int col) { return form.myGrid.TextMatrix(row, col); };
        switch (type) {
            case app::kSubscribers:
                result = PullSubscriberWAVFiles(form, key(kSubscriberKeyCol));
                break;
            case app::kCallHandlers:
                result = PullHandlerWAVFiles(form, key(kObjectKeyCol));
                break;
            case app::kDistributionLists:
                result = PullDistributionListWAVFiles(form, key(kObjectKeyCol));
                break;
            case app::kInterviewHandlers:
                result = PullInterviewerWAVFiles(form, key(kObjectKeyCol));
                break;
            case app::kDirectoryHandlers:
                result = PullNameLookupWAVFiles(form, key(kObjectKeyCol));
                break;
            default:
                form.ui.messageBox("Invalid object type for WAV file extraction!", ui::Buttons::Ok);
                break;
        }
    });
    return result;
}

}  // namespace tdv::extract
