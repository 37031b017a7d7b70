// The private list dump: every member of every private list of one subscriber, one
// comma-separated line each, in txtInfo and on the clipboard.
#include "reports/private_list_dump.h"

#include "db/ado_types.h"
#include "db/recordset.h"
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

// The values are joined as they are: a Null list or member value raises error 94, which
// ends the dump. The line is built whole before it is appended, so no half line is left.
void dumpMembers(app::FrmMain& form, const std::string& alias, const db::Recordset& list) {
    db::Recordset members =
        openReadOnly(form, "SELECT * FROM PrivateListMembers WHERE ParentObjectID='" +
                               list.Fields("ObjectID").Value().toText() + "'");
    while (!members.Eof()) {
        std::string line = alias + ", " + list.Fields("Alias").Value().toText() + ", " +
                           list.Fields("DisplayName").Value().toText() + ", " +
                           members.Fields("Alias").Value().toText() + ", " +
                           memberType(members.Fields("OBjectIDType").Value());
        form.txtInfo.AddLine(line);
        members.MoveNext();
    }
    members.Close();
}

}  // namespace

void DumpPrivateLists(app::FrmMain& form, const std::string& objectID, const std::string& alias) {
    form.txtInfo.clear();
    ui::Procedure proc(form.ui, "DumpPrivateLists", "frmMain", ui::ErrorStyle::standard());
    const bool completed = proc.step([&] {
        db::Recordset lists = openReadOnly(
            form, "SELECT * FROM PrivateLists WHERE ParentObjectID='" + objectID + "'");
        while (!lists.Eof()) {
            dumpMembers(form, alias, lists);
            lists.MoveNext();
        }
        lists.Close();
    });
    if (!completed) return;
    form.ui.setClipboardText(form.txtInfo.Text);
}

void cmdPrivateListDump_Click(app::FrmMain& form) {
    const int row = form.myGrid.Row();
    DumpPrivateLists(form, form.myGrid.TextMatrix(row, kObjectIDColumn),
                     form.myGrid.TextMatrix(row, kAliasColumn));
}

}  // namespace tdv::reports
