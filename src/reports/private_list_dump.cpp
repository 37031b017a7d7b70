// The private list dump: every member of every private list of one subscriber, one
// comma-separated line each, in txtInfo and on the clipboard.
#include "reports/private_list_dump.h"

#include "db/ado_types.h"
#include "db/recordset.h"
#include "main_state/common_values.h"
#include "ui/procedure.h"

namespace tdv::reports {

namespace {

// Subscriber grid layout: the alias in column 0, the ObjectID in the hidden column 5.
constexpr int kAliasColumn = 0;
constexpr int kObjectIDColumn = 5;

db::Recordset openReadOnly(app::FrmMain& form, const std::string& sql) {
    db::Recordset rs = form.state.newRecordset();
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, form.state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    return rs;
}

std::string memberType(const db::Variant& type) {
    return !type.isNull() && type.toDouble() == 1 ? "subscriber" : "public list";
}

// A stored value as the dump shows it: Null as an empty field.
std::string text(const db::Recordset& rs, const char* column) {
    const db::Variant value = rs.Fields(column).Value();
    return value.isNull() ? std::string() : value.toText();
}

// The line is built whole before it is appended, so no half line is left.
void dumpMembers(app::FrmMain& form, ui::Procedure& proc, const std::string& alias,
                 const db::Recordset& list) {
    db::Recordset members;
    if (!proc.step([&] {
            members = openReadOnly(form, "SELECT * FROM PrivateListMembers WHERE ParentObjectID=" +
                                             app::sqlQuoted(text(list, "ObjectID")));
        }))
        return;
    proc.loop([&] { return !members.Eof(); }, [&] { members.MoveNext(); },
              [&] {
                  proc.step([&] {
                      form.txtInfo.AddLine(alias + ", " + text(list, "Alias") + ", " +
                                           text(list, "DisplayName") + ", " +
                                           text(members, "Alias") + ", " +
                                           memberType(members.Fields("OBjectIDType").Value()));
                  });
              });
    proc.step([&] { members.Close(); });
}

}  // namespace

bool DumpPrivateLists(app::FrmMain& form, const std::string& objectID, const std::string& alias) {
    form.txtInfo.clear();
    ui::Procedure proc(form.ui, "DumpPrivateLists", "frmMain", ui::ErrorStyle::standard());
    db::Recordset lists;
    if (proc.step([&] {
            lists = openReadOnly(form, "SELECT * FROM PrivateLists WHERE ParentObjectID=" +
                                           app::sqlQuoted(objectID));
        })) {
        proc.loop([&] { return !lists.Eof(); }, [&] { lists.MoveNext(); },
                  [&] { dumpMembers(form, proc, alias, lists); });
        proc.step([&] { lists.Close(); });
    }
    // The clipboard always holds the text shown, also after a failure.
    form.ui.setClipboardText(form.txtInfo.Text);
    return !proc.failed();
}

bool cmdPrivateListDump_Click(app::FrmMain& form) {
    const int row = form.myGrid.Row();
    return DumpPrivateLists(form, form.myGrid.TextMatrix(row, kObjectIDColumn),
                            form.myGrid.TextMatrix(row, kAliasColumn));
}

}  // namespace tdv::reports
