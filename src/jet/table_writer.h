// Inserting, updating and deleting rows of one table, keeping its data pages, long values,
// usage maps, row count, autonumber and every index consistent.
//
// Each operation is two-phase. First, reading only: values are converted to their column
// types (value_coerce.h), autonumbers assigned, the row encoded once without writing (so a
// row too large is refused), every index's old and new key computed and every constraint
// checked (table_index_changes.h). Any failure there leaves the file untouched. Then the
// long values, the row, the index entries and the definition's counters are written.
//
// Each operation is one atomic save (PageFile::beginWrite/commit) unless the caller holds a
// SaveScope, which groups several operations into one save (one SQL statement = one save).
// A failure in the second phase rolls back the operation's own save; inside a SaveScope it
// leaves the scope to roll back (the scope must then not commit).
//
// Rows keep their address (RowId) for life. An update that fits stays in place; otherwise
// the row's body moves to another page and its slot keeps a 4-byte pointer to it (an
// overflow row); an overflowed row is rewritten at its body, moved back home when it fits
// there again, or moved again, never into a chain of pointers. A delete marks the slot
// deleted and returns its bytes (and its long values' rows) to their pages.
//
// Autonumber: a Null in a Long autonumber column gets the table's next number; a value
// given is kept and the counter moves past it. A Null in a GUID autonumber column gets a
// random GUID. An update may not change an autonumber (Error(Constraint, 3164)).
//
// System tables (MSys*, the catalog): Access gives no user the right to change their rows, so
// a writer refuses to, with Jet's permission errors (3107 add, 3108 edit, 3109 delete), unless
// it is one of the engine's own catalog writers (SystemTableWrites::Allowed).
//
// Relationships (relationships.h): a write that would break an enforced relationship is
// refused in the first phase. Where a relationship cascades, deleting a parent row deletes
// its child rows (or sets their foreign key to Null), and changing its key changes theirs,
// in the same save, after the parent row is written; a cascaded write that fails (a
// constraint of the child table, or a relationship of the child that does not cascade)
// rolls the whole save back, so the triggering statement changes nothing.
// Cascades nest up to kMaxCascadeDepth levels.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/relationships.h"
#include "jet/schema.h"
#include "jet/text_encoder.h"
#include "jet/value.h"

namespace jet {

// Groups writes into one save: begins it, and commits it on commit(); destroyed without
// commit() (or after a failed operation), it rolls everything back.
//
// Inside a save the caller already holds (a transaction of several statements, begun with
// PageFile::beginWrite), the scope joins that save: commit() leaves the commit to the
// holder, and a scope destroyed without commit() rolls the holder's whole save back, since
// its statement may have stopped half-way; the holder's commit then refuses.
class SaveScope {
public:
    explicit SaveScope(Database& db);
    ~SaveScope();
    SaveScope(const SaveScope&) = delete;
    SaveScope& operator=(const SaveScope&) = delete;
    void commit();

private:
    Database& db_;
    bool open_ = true;
    bool joined_ = false;  // inside a save the caller holds
};

// Whether a writer may change the rows of a system table: only the engine's own catalog
// writes may; statements and the recordset layer may not.
enum class SystemTableWrites { Refused, Allowed };

class TableWriter {
public:
    static constexpr int kMaxCascadeDepth = 32;

    // Throws Error(ReadOnly) when the database was not opened for writing, NoSuchTable, or
    // Error(Unsupported) when the table's layout cannot be written (unknown column types).
    // Writes that would break an enforced relationship fail with Error(Constraint) before
    // anything is written (relationships.h). Each write to a system table throws
    // Error(ReadOnly, 3107/3108/3109) unless `system` allows it.
    TableWriter(Database& db, std::string_view table,
                SystemTableWrites system = SystemTableWrites::Refused);
    ~TableWriter();

    // values: one per TableDef::columns entry. Returns the new row's address.
    RowId insert(const std::vector<Value>& values);
    // Inserts many rows in one save, as insert() would one after the other, faster: every
    // row is checked first (when one fails nothing is written, and the error starts with
    // "row N: "), then the rows are stored page after page and each index gets the new
    // entries in key order, filling its pages as a bulk load does. The relationship checks
    // of a row do not see the other rows of the batch. Returns the rows' addresses.
    std::vector<RowId> insertAll(const std::vector<std::vector<Value>>& rows);
    void update(RowId row, const std::vector<Value>& values);
    void remove(RowId row);

    const TableDef& table() const { return table_; }

private:
    template <class F>
    auto inSave(F&& body);
    void refuseSystemTable(long number, const char* what) const;
    void removeRow(RowId row);
    void runCascades(const std::vector<Cascade>& cascades);
    std::vector<Value> prepare(const std::vector<Value>& values, const std::vector<Value>* old,
                               uint32_t& lastAutoNumber);
    size_t minRowSize() const;

    Database& db_;
    const TableDef& table_;
    TextEncoder text_;
    SystemTableWrites system_;
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace jet
