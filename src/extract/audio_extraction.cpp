#include "extract/audio_extraction.h"

#include "base/text.h"
#include "extract/blob_unpack.h"
#include "main_state/common_values.h"
#include "ui/output_file.h"
#include "ui/procedure.h"

namespace tdv::extract {

namespace {

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
    std::string folder;         // application folder + "/WAVExtraction/"
    ui::ProtectedFiles inputs;  // the open backup and the backups beside it
    ui::FileNames names;
    bool writeFailed = false;  // a recording could not be written; the rest would fail too
};

// Writes the column to prefix + base + suffix in the folder. The name comes from data: it is
// made one safe, unique file name there, cut in its base when too long. A failed write is
// counted, so the loop of its caller ends; it is told once (by the unpacking, or here).
bool unpack(Run& run, db::Recordset& rs, const std::string& column, const std::string& prefix,
            const std::string& base, const std::string& suffix) {
    if (run.writeFailed) return false;
    std::string path;
    if (!run.proc.step([&] { path = run.folder + run.names.unique(prefix, base, suffix); }))
        return false;
    const Unpacked done = unpackBlob(run.form.ui, rs, column, path, &run.inputs);
    if (!done.written) {
        run.proc.fail(done.reported ? "" : kUnpackError);
        run.writeFailed = true;
        return false;
    }
    run.result.written.push_back(path);
    return true;
}

// Prepares the extraction folder for a run; false (told once) when it is refused.
bool prepare(Run& run) {
    return run.proc.step([&] {
        run.inputs = ui::ProtectedFiles::forBackup(run.form.ui, run.form.state.strMDBFilePath);
        ClearWAVExtractionFolder(run.form.ui, run.form.state);
    });
}

std::string baseNameOf(app::FrmMain& form, const db::Recordset& rs, const std::string& column) {
    return wavBaseName(app::strGetFieldText(rs, column, form.state));
}

// The voice name of the first query's record, written as `name`.
void voiceName(Run& run, db::Recordset& rs, const std::string& prefix, const std::string& base,
               const std::string& suffix) {
    bool present = false;
    run.proc.step([&] { present = hasRecording(rs, "VoiceName"); });
    if (present) unpack(run, rs, "VoiceName", prefix, base, suffix);
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
            std::string suffix;
            if (proc.step([&] {
                    suffix = "_Greeting_" + joined(rs, "Alias") + "_" + language + ".wav";
                }) &&
                !unpack(run, rs, "greeting", "", base, suffix))
                break;
        }
        if (!proc.step([&] { rs.MoveNext(); })) break;
    }
}

// A refused folder ends the extraction before anything is written or deleted.
WavExtraction refused(WavExtraction& result) {
    result.failed = true;
    return result;
}

// The closing step: the folder is opened only when nothing failed.
void openFolder(Run& run) {
    run.proc.finish([&] { run.form.ui.openWithDesktop(wavExtractionFolder(run.form.state)); });
    run.result.failed = run.proc.failed();
}

}  // namespace

std::string wavBaseName(const std::string& text) {
    // The text is UTF-8 already: only TAB, CR and LF go (converting it again would encode
    // non-ASCII characters twice).
    std::string copy = text;
    std::string name = app::strRemoveControlChars(copy, false);
    // The design's quote step: a pair already doubled stays a pair, every other quote is
    // doubled. Not the SQL quoting, which doubles every quote so that values read back exact.
    std::string single;
    for (size_t i = 0; i < name.size(); ++i) {
        single += name[i];
        if (name[i] == '\'' && i + 1 < name.size() && name[i + 1] == '\'') ++i;
    }
    name = base::trimSpaces(base::doubledApostrophes(single));
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

void ClearWAVExtractionFolder(ui::UiPort& ui, const backup::AppState& state) {
    const std::string folder = wavExtractionFolder(state);
    ui::prepareOwnFolder(ui, folder);
    ui::clearOwnFolder(ui, folder, {".wav"},
                       ui::ProtectedFiles::forBackup(ui, state.strMDBFilePath));
}

WavExtraction PullSubscriberWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullSubscriberWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullSubscriberWAVFiles:"));
    WavExtraction result;
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, {}, false};
    if (!prepare(run)) return refused(result);
    db::Recordset rs, greetings;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT Alias, VoiceName, CallHandlerObjectID FROM Subscribers WHERE "
                          "ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "alias"); });
    voiceName(run, rs, "", base, "_VoiceName.wav");
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
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, {}, false};
    if (!prepare(run)) return refused(result);
    db::Recordset rs, greetings;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT TextName, VoiceName FROM CallHandlers WHERE "
                          "ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "TextName"); });
    voiceName(run, rs, "", base, "_VoiceName.wav");
    handlerGreetings(run, greetings, objectId, base);
    openFolder(run);
    return result;
}

WavExtraction PullNameLookupWAVFiles(app::FrmMain& form, const std::string& objectId) {
    ui::Procedure proc(form.ui, "PullNameLookupWAVFiles", "frmMain",
                       ui::ErrorStyle::ownText("Error in PullNameLookupWAVFiles:"));
    WavExtraction result;
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, {}, false};
    if (!prepare(run)) return refused(result);
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
    voiceName(run, rs, "VoiceName_", base, ".wav");
    proc.step([&] { rs.Close(); });
    // The older product has no directory handler greetings (no such table): its failed query
    // is told in the procedure's box, and the voice name is then the whole result.
    ui::Procedure query(form.ui, "PullNameLookupWAVFiles", "frmMain",
                        ui::ErrorStyle::ownText("Error in PullNameLookupWAVFiles:"));
    ui::Procedure& greetingsQuery = form.state.version.bIsQuorinBackup ? proc : query;
    if (greetingsQuery.step([&] {
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
            std::string prefix;
            if (present &&
                proc.step([&] { prefix = "Greeting_" + joined(rs, "LanguageCode") + "_"; }) &&
                !unpack(run, rs, "Greeting", prefix, base, ".wav"))
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
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, {}, false};
    if (!prepare(run)) return refused(result);
    db::Recordset rs, questions;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT DisplayName, VoiceName FROM Interviewers WHERE "
                          "ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "DisplayName"); });
    voiceName(run, rs, "", base, "_VoiceName.wav");
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
            std::string suffix;
            if (present &&
                proc.step([&] { suffix = "_Question_" + joined(questions, "Alias") + ".wav"; }) &&
                !unpack(run, questions, "stream", "", base, suffix))
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
    Run run{form, proc, result, wavExtractionFolder(form.state) + "/", {}, {}, false};
    if (!prepare(run)) return refused(result);
    db::Recordset rs;
    proc.step([&] {
        rs = openReadOnly(form.state,
                          "SELECT Alias, VoiceName FROM PublicDistributionLists WHERE ObjectID=" +
                              app::sqlQuoted(objectId));
    });
    std::string base;
    proc.step([&] { base = baseNameOf(form, rs, "Alias"); });
    voiceName(run, rs, "", base, "_VoiceName.wav");
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
