#include "catalog/list_fill.h"

#include <climits>
#include <functional>

#include "main_state/common_values.h"

namespace tdv::catalog::detail {

namespace {

// The procedure that shows a failed read of the list, by the family's standard rule.
ui::Procedure readerOf(app::FrmMain& form, ui::Procedure& proc) {
    return ui::Procedure(form.ui, proc.name(), proc.owner(), ui::ErrorStyle::standard());
}

// One read of the list through `reader` (a completed step leaves it as it was, so a loop
// reuses one); see the header for its rule.
bool readStep(app::FrmMain& form, ui::Procedure& proc, ui::Procedure& reader,
              const std::function<void()>& fn) {
    if (form.listFailed) return false;
    if (reader.step(fn)) return true;
    form.listFailed = true;
    proc.fail({});  // counted by the list's procedure, already shown
    return false;
}

bool readStep(app::FrmMain& form, ui::Procedure& proc, const std::function<void()>& fn) {
    ui::Procedure reader = readerOf(form, proc);
    return readStep(form, proc, reader, fn);
}

// A cell as strGetFieldText (or, for the ObjectID, the value's text) gives it, copying a
// text value once instead of through a Variant: a long list has hundreds of thousands.
std::string cellText(const db::Recordset& rs, const char* name, const app::FrmMain& form,
                     bool objectId) {
    if (objectId) {
        const db::Field field = rs(name);
        if (auto text = field.TextView()) return std::string(*text);
        return field.Value().toText();
    }
    if (!form.state.bIsQuorin7OrLater) {
        try {
            if (auto text = rs(name).TextView()) {
                const size_t first = text->find_first_not_of(' ');
                if (first == std::string_view::npos) return {};
                return std::string(text->substr(first, text->find_last_not_of(' ') - first + 1));
            }
        } catch (...) {
            return {};  // as strGetFieldText: a field that cannot be read shows as empty
        }
    }
    return app::strGetFieldText(rs, name, form.state);
}

}  // namespace

void beginFill(app::FrmMain& form) {
    form.listFailed = false;
}

void openList(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs, const char* sql) {
    readStep(form, proc, [&] {
        rs.Open(sql, form.state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
    });
}

long writeCount(app::FrmMain& form, ui::Procedure& proc, const db::Recordset& rs) {
    long count = -1;
    readStep(form, proc, [&] {
        const long n = rs.RecordCount();
        form.txtObjectCount = std::to_string(n);
        count = n;
    });
    return count;
}

void moveFirst(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs) {
    readStep(form, proc, [&] {
        if (!(rs.Bof() && rs.Eof())) rs.MoveFirst();
    });
}

void writeCaptions(app::FrmMain& form, ui::Procedure& proc, std::span<const ListColumn> columns) {
    proc.step([&] {
        for (size_t c = 0; c < columns.size(); ++c) {
            form.myGrid.setTextMatrix(0, static_cast<int>(c), columns[c].caption);
        }
    });
}

void fillRows(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs,
              std::span<const ListColumn> columns, std::span<const int> order) {
    const int idColumn = static_cast<int>(columns.size()) - 1;
    // Room for every record at once: rows are added one by one below. Only a hint: a count
    // that cannot be read here is left to the reads below to report.
    try {
        const long count = form.listFailed ? 0 : rs.RecordCount();
        if (count > 0 && count < INT_MAX - form.myGrid.Rows())
            form.myGrid.reserveRows(form.myGrid.Rows() + static_cast<int>(count));
    } catch (...) {
    }
    ui::Procedure reader = readerOf(form, proc);
    for (;;) {
        bool atEnd = true;
        if (!readStep(form, proc, reader, [&] { atEnd = rs.Eof(); }) || atEnd) break;
        proc.step([&] { form.myGrid.AddItem(); });
        const int row = form.myGrid.Rows() - 1;
        for (const int col : order) {
            const char* field = columns[static_cast<size_t>(col)].field;
            proc.step([&] {
                form.myGrid.setTextMatrix(row, col, cellText(rs, field, form, col == idColumn));
            });
        }
        if (!readStep(form, proc, reader, [&] { rs.MoveNext(); })) break;
    }
}

void presentColumns(app::FrmMain& form, ui::Procedure& proc, int columnCount, bool hideAlias) {
    const int idColumn = columnCount - 1;
    proc.step([&] { form.myGrid.setColHidden(idColumn, true); });
    proc.step([&] { form.myGrid.presentationFlag = true; });
    for (int col = 0; col < idColumn; ++col) {
        proc.step([&] { form.myGrid.setColHidden(col, col == 0 && hideAlias); });
    }
    proc.step([&] { form.myGrid.presentationMode = 5; });
}

void finishFill(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs) {
    proc.step([&] { form.myGrid.setRedraw(2); });
    proc.step([&] { form.txtInfo.clear(); });
    proc.step([&] {
        if (form.myGrid.Rows() > 1 && form.showObjectDetails) form.showObjectDetails();
    });
    closeList(proc, rs);
    proc.step([&] { form.ui.setBusy(false); });
}

void closeList(ui::Procedure& proc, db::Recordset& rs) {
    // A query that failed to open left nothing to close (its failure was shown already).
    proc.step([&] {
        if (rs.State() != db::adStateClosed) rs.Close();
    });
}

}  // namespace tdv::catalog::detail
