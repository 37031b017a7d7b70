// The steps the object list procedures share: opening the list's query, writing the
// captions and rows into myGrid, setting the columns' presentation, and ending a fill.
//
// Each helper runs its work as steps of the caller's Procedure, so a failing step is
// reported by the caller's own rule and the next step runs. Loops over records stop when
// the end-of-records test or the move to the next record fails, so a recordset that failed
// to open can never keep a loop going.
//
// Reading the list (opening the query, the count, moving through the records) is different:
// a list that cannot be read says so. Its first failure shows the family's standard box
// "Error N (D) in procedure P of Form frmMain", also in the procedures that are otherwise
// silent, marks the fill as failed (form.listFailed) and skips the reads that would follow,
// so the one failure gives one box.
#pragma once

#include <span>
#include <string>

#include "db/recordset.h"
#include "main_state/frm_main.h"
#include "ui/procedure.h"

namespace tdv::catalog::detail {

// One grid column of a list: its caption and the field that fills it. The last column of
// every list holds the ObjectID.
struct ListColumn {
    const char* caption;
    const char* field;
};

// Starts a fill: the list is not failed (yet).
void beginFill(app::FrmMain& form);
// Opens the list's query against the open backup (keyset, read-only).
void openList(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs, const char* sql);
// Writes the record count into txtObjectCount; -1 when the count cannot be read.
long writeCount(app::FrmMain& form, ui::Procedure& proc, const db::Recordset& rs);
// Moves to the first record; an empty result is not an error.
void moveFirst(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs);
// Writes the captions into row 0.
void writeCaptions(app::FrmMain& form, ui::Procedure& proc, std::span<const ListColumn> columns);
// Appends one row per record, writing the cells in `order`. Name and extension cells are
// strGetFieldText; the ObjectID cell takes the value unchanged (a Null fails that step).
void fillRows(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs,
              std::span<const ListColumn> columns, std::span<const int> order);
// Hides the ObjectID column (and the alias column when asked), sets the two presentation
// properties and shows the other columns.
void presentColumns(app::FrmMain& form, ui::Procedure& proc, int columnCount, bool hideAlias);
// Redrawing on, txtInfo cleared, the current row's report when the grid has data rows,
// the recordset closed and the pointer back to normal.
void finishFill(app::FrmMain& form, ui::Procedure& proc, db::Recordset& rs);
// Closes the recordset as a step of its own.
void closeList(ui::Procedure& proc, db::Recordset& rs);

}  // namespace tdv::catalog::detail
