// A message browser over a small hand-made message backup: the scripted UI, the process
// state pointed at the written file, and the window state InitForm fills.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "backup/app_state.h"
#include "helpers/backup_fixture.h"
#include "helpers/scripted_ui.h"
#include "helpers/testdata.h"
#include "messages/frm_messages.h"

namespace tdv::test {

// One row of Messages; flags and IsSecure may be Null (nullptr).
struct MessageRow {
    Cell index = 1;
    Cell fromAddress = "/O=ORG/OU=HQ/CN=RECIPIENTS/CN=jsmith";
    Cell subject = "Voice message from jsmith";
    Cell arrival = 39521.37855324074;  // 2008/03/14 09:05:07
    Cell read = false, urgent = false, isPrivate = false, secure = false;
    Cell callerAni = "5551234";
    Cell toAlias = "mbox";
    Cell attachment = std::vector<uint8_t>{'R', 'I', 'F', 'F'};
};

// Messages and MDBVersion as the backup tool writes them; from revision 14 Messages has
// IsSecure (withSecureColumn forces it either way). integerFlags stores the four flags in
// Integer columns, as older tools did.
inline BackupFixture messageBackup(const std::vector<MessageRow>& rows, int revision = 20,
                                   int withSecureColumn = -1, bool integerFlags = false) {
    const bool secureColumn = withSecureColumn < 0 ? revision >= 14 : withSecureColumn != 0;
    BackupFixture db;
    FixtureTable& t = db.table("Messages");
    t.longInt("Index").text("FromAddress").text("Subject").dateTime("ArrivalTime");
    for (const char* flag : {"Read", "PriorityUrgent", "SensitivityPrivate", "IsSecure"}) {
        if (std::string(flag) == "IsSecure" && !secureColumn) continue;
        if (integerFlags)
            t.integer(flag);
        else
            t.yesNo(flag);
    }
    t.text("CallerANI").text("ToAlias").ole("MessageAttachment");
    for (const MessageRow& r : rows) {
        std::vector<Cell> cells = {r.index, r.fromAddress, r.subject,  r.arrival,
                                   r.read,  r.urgent,      r.isPrivate};
        if (secureColumn) cells.push_back(r.secure);
        cells.insert(cells.end(), {r.callerAni, r.toAlias, r.attachment});
        t.row(cells);
    }
    db.table("MDBVersion").longInt("Version").row({revision});
    return db;
}

inline std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

// Bytes that need several 5000-byte chunks, different for each seed.
inline std::vector<uint8_t> blob(size_t size, uint8_t seed) {
    std::vector<uint8_t> b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i * 31 + seed);
    return b;
}

struct MessageHarness {
    TempDir dir;
    ScriptedUi ui;
    backup::AppState state;
    messages::FrmMessages form{ui, state};

    std::filesystem::path home() const { return dir.path() / "home"; }
    std::filesystem::path tempMsg() const { return home() / "temp_msg"; }

    // Writes the file and publishes it as the open backup, as opening a message backup does.
    void open(const BackupFixture& db) {
        state.strMDBFilePath = db.write(dir.path(), "ZerithMessage_Backup_test.mdb");
        state.strMDBConnectString = std::string(backup::kConnectPrefix) + state.strMDBFilePath;
        state.bIsMessageBackup = true;
        state.appFolder = home().string();
    }
    void load(const std::vector<MessageRow>& rows, int revision = 20) {
        open(messageBackup(rows, revision));
        messages::InitForm(form);
    }

    std::string cell(int row, const char* key) const {
        return form.gridMessages.TextMatrix(row, form.gridMessages.ColIndex(key));
    }
    bool checked(int row, const char* key) const {
        return form.gridMessages.isChecked(row, form.gridMessages.ColIndex(key));
    }
    // The row as the user sees it: check boxes as "[x]" / "[ ]".
    std::vector<std::string> row(int r) const {
        std::vector<std::string> cells;
        const ui::GridModel& g = form.gridMessages;
        for (int c = 0; c < g.Cols(); ++c) {
            if (g.ColDataType(c) == ui::GridModel::kCheckBoxType) {
                cells.push_back(g.isChecked(r, c) ? "[x]" : "[ ]");
            } else {
                cells.push_back(g.TextMatrix(r, c));
            }
        }
        return cells;
    }
    bool tempMsgIsEmpty() const {
        std::error_code ec;
        return std::filesystem::is_empty(tempMsg(), ec) || !std::filesystem::exists(tempMsg());
    }
};

}  // namespace tdv::test
