#include "extract/recordings.h"

#include "base/text.h"
#include "main_state/common_values.h"

namespace tdv::extract {
namespace {

constexpr long kNoRecordingSize = 10;  // blobs this small hold no real recording
constexpr int kSubscriberKeyCol = 5;
constexpr int kObjectKeyCol = 3;

db::Recordset openReadOnly(backup::AppState& state, const std::string& sql) {
    db::Recordset rs = state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    return rs;
}

std::string text(const db::Recordset& rs, const std::string& column) {
    const db::Variant v = rs.Fields(column).Value();
    return v.isNull() ? std::string() : v.toText();
}

// Adds the column's bytes of the current record when they hold a recording.
void addIfRecorded(Recordings& out, const db::Recordset& rs, const std::string& column,
                   const std::string& label) {
    const db::Variant v = rs.Fields(column).Value();
    if (!v.is<jet::Bytes>() || v.get<jet::Bytes>().size() <= kNoRecordingSize) return;
    out.items.push_back({label, v.get<jet::Bytes>()});
}

// Every record of a query: one recording per record, labelled by `label`.
template <class Label>
void addEach(Recordings& out, backup::AppState& state, const std::string& sql,
             const std::string& column, Label label) {
    db::Recordset rs = openReadOnly(state, sql);
    if (rs.RecordCount() < 1) return;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) addIfRecorded(out, rs, column, label(rs));
}

void handlerGreetings(Recordings& out, app::FrmMain& form, const std::string& handlerId) {
    const bool quorin = form.state.version.bIsQuorinBackup;
    const std::string id = app::sqlQuoted(handlerId);
    if (quorin) {
        addEach(out, form.state,
                "SELECT GreetingType, LanguageCode, Greeting FROM QRN_GreetingStreams "
                "WHERE CallHandlerObjectID=" +
                    id,
                "Greeting", [](const db::Recordset& rs) {
                    std::string label = "Greeting " + text(rs, "GreetingType");
                    const db::Variant code = rs.Fields("LanguageCode").Value();
                    if (!code.isNull()) label += " " + app::strLanguageAbbreviation(code.toLong());
                    return label;
                });
    } else {
        addEach(out, form.state,
                "SELECT Alias, Greeting FROM MessagingRules WHERE ParentObjectID=" + id, "Greeting",
                [](const db::Recordset& rs) { return "Greeting " + text(rs, "Alias"); });
    }
}

// The voice name of the object's row in `table`; returns the open recordset.
db::Recordset voiceName(Recordings& out, app::FrmMain& form, const std::string& sql) {
    db::Recordset rs = openReadOnly(form.state, sql);
    if (rs.RecordCount() >= 1) {
        rs.MoveFirst();
        addIfRecorded(out, rs, "VoiceName", "Voice name");
    }
    return rs;
}

}  // namespace

Recordings objectRecordings(app::FrmMain& form) {
    Recordings out;
    const int row = form.myGrid.Row();
    if (row < 1 || row >= form.myGrid.Rows()) {
        out.error = "No object selected.";
        return out;
    }
    try {
        switch (form.cmbObjectType) {
            case app::kSubscribers: {
                const std::string id = form.myGrid.TextMatrix(row, kSubscriberKeyCol);
                db::Recordset rs = voiceName(
                    out, form,
                    "SELECT VoiceName, CallHandlerObjectID FROM Subscribers WHERE ObjectID=" +
                        app::sqlQuoted(id));
                if (rs.RecordCount() >= 1)
                    handlerGreetings(out, form, text(rs, "CallHandlerObjectID"));
                break;
            }
            case app::kCallHandlers: {
                const std::string id = form.myGrid.TextMatrix(row, kObjectKeyCol);
                voiceName(
                    out, form,
                    "SELECT VoiceName FROM CallHandlers WHERE ObjectID=" + app::sqlQuoted(id));
                handlerGreetings(out, form, id);
                break;
            }
            case app::kDistributionLists: {
                const std::string id = form.myGrid.TextMatrix(row, kObjectKeyCol);
                voiceName(out, form,
                          "SELECT VoiceName FROM PublicDistributionLists WHERE ObjectID=" +
                              app::sqlQuoted(id));
                break;
            }
            case app::kInterviewHandlers: {
                const std::string id = app::sqlQuoted(form.myGrid.TextMatrix(row, kObjectKeyCol));
                voiceName(out, form, "SELECT VoiceName FROM Interviewers WHERE ObjectID=" + id);
                addEach(out, form.state,
                        "SELECT Alias, Stream FROM InterviewQuestions WHERE ParentObjectID=" + id,
                        "Stream",
                        [](const db::Recordset& rs) { return "Question " + text(rs, "Alias"); });
                break;
            }
            case app::kDirectoryHandlers: {
                const std::string id = app::sqlQuoted(form.myGrid.TextMatrix(row, kObjectKeyCol));
                voiceName(out, form,
                          "SELECT VoiceName FROM NameLookupHandlers WHERE ObjectID=" + id);
                // Older backups have no directory handler greetings table: then there are
                // none to play.
                try {
                    addEach(out, form.state,
                            "SELECT LanguageCode, Greeting FROM QRN_DirectoryHandlerGreetings "
                            "WHERE DirectoryHandlerObjectID=" +
                                id,
                            "Greeting", [](const db::Recordset& rs) {
                                return "Greeting " + text(rs, "LanguageCode");
                            });
                } catch (const std::exception&) {
                }
                break;
            }
            default:
                out.error = "Objects of this type have no recordings.";
                return out;
        }
    } catch (const std::exception& e) {
        out.items.clear();
        out.error = std::string("The recordings could not be read: ") + e.what();
        return out;
    }
    if (out.items.empty()) out.error = "This object has no recordings.";
    return out;
}

Recordings messageRecording(messages::FrmMessages& form) {
    Recordings out;
    const ui::GridModel& grid = form.gridMessages;
    const int row = grid.Row();
    if (row < 1 || row >= grid.Rows()) {
        out.error = "No message selected.";
        return out;
    }
    if (form.bEMLZipMessages) {
        out.error = "The messages of this backup are e-mail archives, not recordings.";
        return out;
    }
    if (grid.isChecked(row, grid.ColIndex("Secure"))) {
        out.error =
            "That message is marked secure and is encrypted in the backup: it cannot be played.";
        return out;
    }
    const std::string index = base::trimSpaces(grid.TextMatrix(row, grid.ColIndex("index")));
    if (index.empty() || index.find_first_not_of("0123456789") != std::string::npos) {
        out.error = "The message has no index in the backup.";
        return out;
    }
    try {
        db::Recordset rs =
            openReadOnly(form.state, "SELECT MessageAttachment FROM Messages WHERE index=" + index);
        if (rs.RecordCount() == 1) {
            rs.MoveFirst();
            addIfRecorded(out, rs, "MessageAttachment", "Message " + index);
        }
    } catch (const std::exception& e) {
        out.error = std::string("The recording could not be read: ") + e.what();
        return out;
    }
    if (out.items.empty()) out.error = "The message has no recording.";
    return out;
}

}  // namespace tdv::extract
