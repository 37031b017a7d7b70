#include "reports/small_reports.h"

#include "backup/backed_up_version.h"
#include "base/text.h"
#include "main_state/common_values.h"
#include "ui/procedure.h"

namespace tdv::reports {

namespace {

constexpr const char* kNoNameLookupDetails =
    "Backup was done with a version of export that did not include detailed export information "
    "about name lookup handlers.";
constexpr const char* kNoInterviewDetails =
    "Backup was done with a version of zerith export older than 7.0.29 for Zerith or 1.3.1 for "
    "Quorin - no interview handler details are pressent";
constexpr const char* kNoQuestions = "No questions found in the backup for this interview handler";
constexpr const char* kNoMembers =
    "No members found in the backup for this public distribution list";
constexpr const char* kQuestionHeader = "#, MAX_LENGTH, VOICE_FILE_INCLUDED, QUESTION_TEXT\r\n";
constexpr const char* kMemberHeader = "ALIAS, DISPLAY_NAME, EXTENSION, SUBSCRIBER_OBJECTID\r\n";

ui::Procedure reportProcedure(app::FrmMain& form, const char* name) {
    return ui::Procedure(form.ui, name, "frmMain", ui::ErrorStyle::standard());
}

std::string text(const app::FrmMain& form, const db::Recordset& rs, const char* column) {
    return app::strGetFieldText(rs, column, form.state);
}

// The value joined into text as it is: a Null raises 94 and the line is dropped.
std::string raw(const db::Recordset& rs, const char* column) {
    return rs(column).Value().toText();
}

// A yes/no value: Null and zero are false.
bool isTrue(const db::Variant& v) {
    if (v.is<bool>()) return v.get<bool>();
    return v.isNumeric() && v.toDouble() != 0;
}

void openReport(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs,
                const std::string& sql) {
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] {
        rs.Open(sql, form.state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    });
}

// The record count, -1 when it cannot be read (the query failed): such a report shows its
// "nothing found" text instead of walking records it does not have.
long recordCount(ui::Procedure& proc, const db::Recordset& rs) {
    long count = -1;
    proc.step([&] { count = rs.RecordCount(); });
    return count;
}

// Hourglass, one round of pending window events, a short pause: the long listings repaint
// the window before they start.
void startBusy(app::FrmMain& form, ui::Procedure& proc) {
    proc.step([&] {
        form.ui.setBusy(true);
        form.ui.processEvents();
        form.ui.sleepMs(5);
    });
}

// Walks the records from the current one, one step per record; stops when the end test or
// the move fails, so a recordset that failed to open never loops.
template <class Fn>
void forEachRecord(ui::Procedure& proc, db::Recordset& rs, Fn&& perRecord) {
    for (;;) {
        bool atEnd = true;
        if (!proc.step([&] { atEnd = rs.Eof(); }) || atEnd) return;
        proc.step(perRecord);
        if (!proc.step([&] { rs.MoveNext(); })) return;
    }
}

// Closing the recordset and resetting the pointer never report a failure.
void closeAndReset(app::FrmMain& form, db::Recordset& rs) {
    ui::Procedure quiet(form.ui, "", "", ui::ErrorStyle::silent());
    quiet.step([&] { rs.Close(); });
    quiet.step([&] { form.ui.setBusy(false); });
}

void closeReport(ui::Procedure& proc, db::Recordset& rs) {
    proc.step([&] { rs.Close(); });
}

bool interviewDetailsPresent(app::FrmMain& form) {
    const auto& v = form.state.version;
    if (!v.bIsQuorinBackup) {
        return backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(form.state, 7, 0, 29);
    }
    return backup::bIsBackedUpAppVersionGreaterThanOrEqualTo(form.state, 1, 3, 1) ||
           backup::bIsBackedUpZerithVersionGreaterThanOrEqualTo(form.ui, form.state, 7, 0, 0, 0,
                                                                true);
}

}  // namespace

void PullNameLookupHandlerData(app::FrmMain& form, const std::string& objectID) {
    auto proc = reportProcedure(form, "PullNameLookupHandlerData");
    proc.step([&] { form.txtInfo.clear(); });

    bool detailed = false;
    proc.step([&] { detailed = backup::bIsMDBVersionGreaterThanOrEqualTo(form.state, 17); });
    if (!detailed) {
        proc.step([&] { form.txtInfo.Text = kNoNameLookupDetails; });
        return;
    }

    auto rs = form.state.newRecordset();
    openReport(form, proc, rs,
               "SELECT * FROM NameLookupHandlers WHERE ObjectID=" + app::sqlQuoted(objectID));
    if (recordCount(proc, rs) < 1) {
        proc.step([&] {
            form.txtInfo.Text =
                "No directory handler with ObjectID=" + objectID + " found in the backup";
        });
        closeReport(proc, rs);
        return;
    }

    proc.step([&] { form.AddLine("Display Name= " + text(form, rs, "DisplayName")); });
    proc.step([&] {
        form.AddLine(isTrue(rs("VoiceEnabled").Value()) ? "Voice enabled directory handler"
                                                        : "Touchtone directory handler");
    });
    proc.step([&] { form.AddLine("ObjectID=" + raw(rs, "ObjectID")); });
    proc.step([&] {
        const std::string alias = text(form, rs, "Alias");
        if (!alias.empty()) form.AddLine("Alias= " + alias);
    });
    proc.step([&] {
        if (text(form, rs, "DTMFAccessID").empty()) {
            form.AddLine("Extension= <none>");
        } else {
            form.AddLine("Extension= " + raw(rs, "DTMFAccessID"));
        }
    });
    closeAndReset(form, rs);
}

void PullInterviewerData(app::FrmMain& form, const std::string& objectID) {
    auto proc = reportProcedure(form, "PullInterviewerData");
    bool present = false;
    proc.step([&] { present = interviewDetailsPresent(form); });
    if (!present) {
        proc.step([&] { form.txtInfo.Text = kNoInterviewDetails; });
        return;
    }

    auto rs = form.state.newRecordset();
    openReport(form, proc, rs,
               "SELECT * FROM InterviewQuestions WHERE ParentObjectID=" + app::sqlQuoted(objectID) +
                   " ORDER BY Alias");
    if (recordCount(proc, rs) < 1) {
        proc.step([&] { form.txtInfo.Text = kNoQuestions; });
        closeReport(proc, rs);
        return;
    }

    startBusy(form, proc);
    proc.step([&] { form.txtInfo.Text = kQuestionHeader; });
    forEachRecord(proc, rs, [&] {
        const db::Variant maxLength = rs("MaxMsgLength").Value();
        const std::string lengthText =
            maxLength.isNull() ? "0" : base::trimSpaces(maxLength.toText());
        const bool recorded = rs("stream").ActualSize() > 0;
        form.AddLine(base::trimSpaces(raw(rs, "alias")) + ", " + lengthText + ", " +
                     (recorded ? "TRUE" : "FALSE") + ", \"" + text(form, rs, "StreamText") + "\"");
    });
    closeAndReset(form, rs);
}

void PullDistributionListData(app::FrmMain& form, const std::string& objectID) {
    auto proc = reportProcedure(form, "PullDistributionListData");
    auto rs = form.state.newRecordset();
    openReport(form, proc, rs,
               "SELECT Subscribers.Alias, Subscribers.DisplayName, Subscribers.DTMFAccessID, "
               "Subscribers.ObjectID FROM PublicDistributionListMembers INNER JOIN Subscribers "
               "ON Subscribers.ObjectID= PublicDistributionListMembers.SubscriberObjectID WHERE "
               "DLObjectID=" +
                   app::sqlQuoted(objectID));
    if (recordCount(proc, rs) < 1) {
        proc.step([&] { form.txtInfo.Text = kNoMembers; });
        closeReport(proc, rs);
        return;
    }

    startBusy(form, proc);
    proc.step([&] { form.txtInfo.Text = kMemberHeader; });
    forEachRecord(proc, rs, [&] {
        form.AddLine(text(form, rs, "Alias") + ", " + text(form, rs, "DisplayName") + ", " +
                     text(form, rs, "DTMFAccessID") + ", " + raw(rs, "ObjectId"));
    });
    closeAndReset(form, rs);
}

}  // namespace tdv::reports
