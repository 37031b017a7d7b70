#include "catalog/object_lists.h"

#include <array>

#include "backup/backed_up_version.h"
#include "catalog/list_fill.h"
#include "main_state/common_values.h"

namespace tdv::catalog {

using detail::ListColumn;

namespace {

constexpr std::array<ListColumn, 6> kSubscriberColumns{{{"Alias", "Alias"},
                                                        {"First Name", "firstname"},
                                                        {"Last Name", "lastname"},
                                                        {"Display Name", "displayname"},
                                                        {"Extension", "DTMFAccessID"},
                                                        {"ObjectID", "ObjectID"}}};
// The extension and the key first, then the names.
constexpr std::array<int, 6> kSubscriberCellOrder{4, 5, 0, 1, 2, 3};

constexpr std::array<ListColumn, 4> kCallHandlerColumns{{{"Alias", "Alias"},
                                                         {"Display Name", "textname"},
                                                         {"Extension", "DTMFAccessID"},
                                                         {"ObjectID", "ObjectID"}}};
// Distribution lists, interview handlers and directory handlers.
constexpr std::array<ListColumn, 4> kNamedObjectColumns{{{"Alias", "Alias"},
                                                         {"Display Name", "DisplayName"},
                                                         {"Extension", "DTMFAccessID"},
                                                         {"ObjectID", "ObjectID"}}};
constexpr std::array<int, 4> kFourCellOrder{0, 1, 2, 3};

constexpr std::array<ListColumn, 2> kScheduleColumns{
    {{"Display Name", "DisplayName"}, {"ObjectID", "ObjectID"}}};
constexpr std::array<int, 2> kTwoCellOrder{0, 1};

constexpr const char* kNoDistributionLists = "No distribution lists found in the backup";

// The condition that narrows a list to one object (its ObjectID), or nothing for the whole
// list. The ObjectID is the primary key of every listed table, so the row comes through it.
std::string onlyObject(const char* joiner, const std::string& objectId) {
    if (objectId.empty()) return {};
    return joiner + std::string("ObjectID='") + app::strFixQuotesForSQL(objectId) + "'";
}

ui::Procedure listProcedure(app::FrmMain& form, const char* name, bool showsErrors) {
    detail::beginFill(form);
    return ui::Procedure(form.ui, name, "frmMain",
                         showsErrors ? ui::ErrorStyle::standard() : ui::ErrorStyle::silent());
}

// Header row only, one fixed row, redrawing off, `columns` columns.
void prepareGrid(app::FrmMain& form, ui::Procedure& proc, int columns) {
    proc.step([&] { form.myGrid.setRows(1); });
    proc.step([&] { form.myGrid.setFixedRows(1); });
    proc.step([&] { form.myGrid.setRedraw(0); });
    proc.step([&] { form.myGrid.setCols(columns); });
}

void autoSizeNames(app::FrmMain& form, ui::Procedure& proc, int lastNameColumn) {
    proc.step([&] { form.myGrid.AutoSize(0, lastNameColumn); });
}

// Interview handlers and directory handlers: a client-side cursor, an early return on an
// empty table, and no separate move to the first record.
void populateHandlersWithClientCursor(app::FrmMain& form, ui::Procedure& proc,
                                      const std::string& sql) {
    auto rs = form.state.newRecordset();
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] { form.ui.setBusy(true); });
    prepareGrid(form, proc, 4);
    detail::openList(form, proc, rs, sql.c_str());
    if (detail::writeCount(form, proc, rs) < 1) {
        proc.step([&] { form.ui.setBusy(false); });
        detail::closeList(proc, rs);
        return;
    }
    detail::writeCaptions(form, proc, kNamedObjectColumns);
    detail::fillRows(form, proc, rs, kNamedObjectColumns, kFourCellOrder);
    autoSizeNames(form, proc, 2);
    detail::presentColumns(form, proc, 4, form.state.version.bIsQuorinBackup);
    detail::finishFill(form, proc, rs);
}

}  // namespace

void populateSubscribers(app::FrmMain& form, const std::string& objectId) {
    auto proc = listProcedure(form, "populateSubscribers", false);
    auto rs = form.state.newRecordset();
    proc.step([&] { form.ui.setBusy(true); });
    prepareGrid(form, proc, 6);
    proc.step([&] { form.myGrid.setFixedCols(0); });
    const std::string sql =
        "SELECT Alias, FirstName, LastName, DisplayName,DTMFAccessID, OBjectID FROM "
        "Subscribers" +
        onlyObject(" WHERE ", objectId) + " ORDER BY Alias";
    detail::openList(form, proc, rs, sql.c_str());
    detail::writeCount(form, proc, rs);
    detail::moveFirst(form, proc, rs);
    detail::writeCaptions(form, proc, kSubscriberColumns);
    detail::fillRows(form, proc, rs, kSubscriberColumns, kSubscriberCellOrder);
    autoSizeNames(form, proc, 4);
    detail::presentColumns(form, proc, 6, false);
    detail::finishFill(form, proc, rs);
}

void populateCallHandlers(app::FrmMain& form, const std::string& objectId) {
    auto proc = listProcedure(form, "populateCallHandlers", false);
    auto rs = form.state.newRecordset();
    proc.step([&] { form.ui.setBusy(true); });
    prepareGrid(form, proc, 4);
    const std::string sql =
        "SELECT Alias, TextName, DTMFAccessID, ObjectID FROM CallHandlers WHERE IsPrimary=0" +
        onlyObject(" AND ", objectId);
    detail::openList(form, proc, rs, sql.c_str());
    detail::writeCount(form, proc, rs);
    detail::moveFirst(form, proc, rs);
    detail::writeCaptions(form, proc, kCallHandlerColumns);
    detail::fillRows(form, proc, rs, kCallHandlerColumns, kFourCellOrder);
    autoSizeNames(form, proc, 2);
    detail::presentColumns(form, proc, 4, form.state.version.bIsQuorinBackup);
    detail::finishFill(form, proc, rs);
}

void populateDistributionLists(app::FrmMain& form, const std::string& objectId) {
    auto proc = listProcedure(form, "populateDistributionLists", true);
    auto rs = form.state.newRecordset();
    proc.step([&] { form.ui.setBusy(true); });
    prepareGrid(form, proc, 4);
    const std::string sql =
        "SELECT Alias, DisplayName, DTMFAccessID, ObjectID FROM PublicDistributionLists" +
        onlyObject(" WHERE ", objectId);
    detail::openList(form, proc, rs, sql.c_str());
    if (detail::writeCount(form, proc, rs) < 1) {
        // A list that could not be read is not an empty one.
        if (!form.listFailed) proc.step([&] { form.txtInfo.Text = kNoDistributionLists; });
        detail::closeList(proc, rs);
        proc.step([&] { form.ui.setBusy(false); });
        return;
    }
    detail::moveFirst(form, proc, rs);
    detail::writeCaptions(form, proc, kNamedObjectColumns);
    detail::fillRows(form, proc, rs, kNamedObjectColumns, kFourCellOrder);
    autoSizeNames(form, proc, 2);
    detail::presentColumns(form, proc, 4, false);
    detail::finishFill(form, proc, rs);
}

void populateInterviewHandlers(app::FrmMain& form, const std::string& objectId) {
    auto proc = listProcedure(form, "populateInterviewHandlers", true);
    populateHandlersWithClientCursor(
        form, proc,
        "SELECT Alias, DisplayName, DTMFAccessID, ObjectID FROM Interviewers" +
            onlyObject(" WHERE ", objectId));
}

void populateNameLookupHandlers(app::FrmMain& form, const std::string& objectId) {
    auto proc = listProcedure(form, "populateNameLookupHandlers", true);
    bool recentSchema = false;
    proc.step([&] { recentSchema = backup::bIsMDBVersionGreaterThanOrEqualTo(form.state, 17); });
    if (!recentSchema) {
        // Older backups hold no directory handlers: the bare header is the whole list.
        proc.step([&] { form.myGrid.setRows(1); });
        proc.step([&] { form.myGrid.setFixedRows(1); });
        proc.step([&] { form.myGrid.setCols(4); });
        detail::writeCaptions(form, proc, kNamedObjectColumns);
        proc.step([&] { form.txtObjectCount = "0"; });
        return;
    }
    populateHandlersWithClientCursor(
        form, proc,
        "SELECT Alias, DisplayName, DTMFAccessID, ObjectID FROM NameLookupHandlers" +
            onlyObject(" WHERE ", objectId));
}

void populateSchedules(app::FrmMain& form, const std::string& objectId) {
    auto proc = listProcedure(form, "populateSchedules", true);
    auto rs = form.state.newRecordset();
    proc.step([&] { rs.setCursorLocation(db::adUseClient); });
    proc.step([&] { form.ui.setBusy(true); });
    prepareGrid(form, proc, 2);
    const std::string sql =
        "SELECT DisplayName, ObjectID FROM Schedules" + onlyObject(" WHERE ", objectId);
    detail::openList(form, proc, rs, sql.c_str());
    detail::writeCount(form, proc, rs);
    detail::moveFirst(form, proc, rs);
    detail::writeCaptions(form, proc, kScheduleColumns);
    detail::fillRows(form, proc, rs, kScheduleColumns, kTwoCellOrder);
    detail::presentColumns(form, proc, 2, false);
    detail::finishFill(form, proc, rs);
}

void populateObject(app::FrmMain& form, int type, const std::string& objectId) {
    switch (type) {
        case app::kSubscribers:
            populateSubscribers(form, objectId);
            break;
        case app::kCallHandlers:
            populateCallHandlers(form, objectId);
            break;
        case app::kDistributionLists:
            populateDistributionLists(form, objectId);
            break;
        case app::kInterviewHandlers:
            populateInterviewHandlers(form, objectId);
            break;
        case app::kDirectoryHandlers:
            populateNameLookupHandlers(form, objectId);
            break;
        case app::kSchedules:
            populateSchedules(form, objectId);
            break;
        default:
            break;
    }
}

void showListHeader(app::FrmMain& form, int type) {
    std::span<const ListColumn> columns;
    bool hideAlias = false;
    switch (type) {
        case app::kSubscribers:
            columns = kSubscriberColumns;
            break;
        case app::kCallHandlers:
            columns = kCallHandlerColumns;
            hideAlias = form.state.version.bIsQuorinBackup;
            break;
        case app::kDistributionLists:
            columns = kNamedObjectColumns;
            break;
        case app::kInterviewHandlers:
        case app::kDirectoryHandlers:
            columns = kNamedObjectColumns;
            hideAlias = form.state.version.bIsQuorinBackup;
            break;
        case app::kSchedules:
            columns = kScheduleColumns;
            break;
        default:
            return;
    }
    ui::GridModel& grid = form.myGrid;
    grid.setRows(1);
    grid.setFixedRows(1);
    grid.setCols(static_cast<int>(columns.size()));
    const int idColumn = grid.Cols() - 1;
    for (int c = 0; c < grid.Cols(); ++c) {
        grid.setTextMatrix(0, c, columns[static_cast<size_t>(c)].caption);
        grid.setColHidden(c, c == idColumn || (c == 0 && hideAlias));
    }
    // The name columns fit their captions, as they fit their contents in a filled list.
    if (type != app::kSchedules) grid.AutoSize(0, idColumn - 1);
}

}  // namespace tdv::catalog
