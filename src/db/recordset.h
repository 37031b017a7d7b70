// Recordset: the ADO-like object every feature reads a backup database through.
//
// Usage follows the program's habit: create a recordset, set the cursor location, Open it
// with SQL text and a connect string ("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=PATH"),
// read State and RecordCount, walk the records with Eof/MoveFirst/MoveNext, read fields by
// name (without regard to case) or ordinal, Close. Several recordsets may be open at once.
//
// Open runs the query through the engine at once and keeps every result row (a keyset
// cursor's rows), so RecordCount is exact and moving never touches the file. For a SELECT
// over one table the recordset also keeps that table's name and each row's address, which
// is what writing a changed record back needs. An UPDATE or DELETE passed to Open runs as
// one atomic save and leaves the recordset closed, as ADO does for a statement that returns
// no rows.
//
// Writing (record_edit.h): with a lock type other than adLockReadOnly the file is opened for
// writing; Field::setValue keeps a pending edit of the current record, Update saves it (and
// moving to another record saves it first, as ADO does), CancelUpdate drops it, Delete
// removes the current record, which then raises 3021 when read. A read-only recordset, a
// join or a computed field raises 3251. Row addresses are stable, so every record stays
// writable after earlier writes through the same recordset.
//
// Errors are DbError with the numbers the program shows: 3705 opening an open recordset,
// 3704 using a closed one, 3021 reading a field or moving with no current record (at BOF or
// EOF), 3265 an unknown field name or ordinal, 3001 arguments it cannot use, and engine
// failures as error_mapping.h translates them. The Fields collection of a closed recordset is
// empty: Count() is 0 and a lookup raises 3265.
//
// ADO's EOF and BOF are spelled Eof() and Bof() here: EOF is a macro of the C library.
// Field handles refer to their recordset and stay usable while it lives; they read the
// record that is current when they are used.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/ado_types.h"
#include "db/variant.h"
#include "jet/database.h"
#include "jet/sql/sql.h"

namespace tdv::db {

class DatabaseCache;
struct RecordsetState;

class Field {
public:
    // The field's name as the query gave it.
    const std::string& Name() const;
    // The value in the current record (Null included). 3021 without a current record.
    Variant Value() const;
    // The current value's text without copying it, when the value is text (Text, Memo);
    // nullopt for Null and other values. Valid until the recordset moves or changes.
    std::optional<std::string_view> TextView() const;
    // ADO type code (ado_types.h).
    int Type() const;
    long DefinedSize() const;
    // Length of the current value in bytes (two per character for text); 0 for Null.
    long ActualSize() const;
    // The next `size` bytes (OLE, Binary: a byte array) or characters (Memo, Text: a String)
    // of the current value, continuing where the previous GetChunk on this field stopped.
    // Null once nothing is left (and for a Null value). Reading another field's value or
    // chunks, or moving, starts the next GetChunk of this field from the beginning again.
    // 3001 for a negative size; 3219 for a field that is not text or binary.
    Variant GetChunk(long size);
    // Assigns a new value to the field of the current record (pending until Update); the
    // value is converted to the column's type at once. 3251 when the recordset cannot write.
    void setValue(const Variant& value);

private:
    friend class Recordset;
    friend class FieldList;
    Field(RecordsetState* state, size_t index) : state_(state), index_(index) {}
    RecordsetState* state_;
    size_t index_;
};

class FieldList {
public:
    long Count() const;  // 0 while the recordset is closed
    Field Item(std::string_view name) const;
    Field Item(long ordinal) const;
    Field operator()(std::string_view name) const { return Item(name); }
    Field operator()(long ordinal) const { return Item(ordinal); }

private:
    friend class Recordset;
    explicit FieldList(RecordsetState* state) : state_(state) {}
    RecordsetState* state_;
};

class Recordset {
public:
    // A recordset that opens its database file for itself.
    Recordset();
    // A recordset that takes its database from a cache shared with other recordsets; the
    // cache must outlive Open.
    explicit Recordset(DatabaseCache& cache);
    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    long CursorLocation() const;
    // adUseClient or adUseServer; 3705 while open, 3001 for another value.
    void setCursorLocation(long location);

    void Open(std::string_view source, std::string_view connectString,
              long cursorType = adOpenForwardOnly, long lockType = adLockReadOnly,
              long options = adCmdUnspecified);
    // Opens over rows already queried (a disconnected recordset); `version` tells how the
    // result's text sizes are counted.
    void OpenResultSet(jet::sql::ResultSet result, jet::JetVersion version,
                       long cursorType = adOpenKeyset, long lockType = adLockReadOnly);
    // 3219 while the current record has edits not yet saved (Update or CancelUpdate first).
    void Close();

    // Saves the pending edits of the current record (nothing to do when there are none).
    void Update();
    void CancelUpdate();
    // Deletes the current record from its table.
    void Delete();

    long State() const;
    // The cursor type in use: a client-side cursor is always static, as ADO makes it.
    long CursorType() const;
    long LockType() const;
    // Exact number of records; -1 for a server-side forward-only cursor, which cannot know.
    long RecordCount() const;
    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // Searches from the current record forward for the first record matching the criterion
    // "Column = 'text'" or "Column = number" (text compares as Jet does, ignoring case).
    // Leaves the recordset at EOF when no record matches.
    void Find(std::string_view criterion);

    FieldList Fields() const;
    Field Fields(std::string_view name) const { return Fields().Item(name); }
    Field Fields(long ordinal) const { return Fields().Item(ordinal); }
    Field operator()(std::string_view name) const { return Fields().Item(name); }

    // What writing the current record back needs: the single table the rows come from ("" for
    // joins and computed results), the current row's address, and the open database.
    const std::string& BaseTable() const;
    std::optional<jet::RowId> CurrentRowId() const;
    std::shared_ptr<jet::Database> Database() const;

private:
    DatabaseCache* cache_ = nullptr;
    long cursorLocation_ = adUseServer;
    std::unique_ptr<RecordsetState> state_;
};

// "SELECT [a], [b] FROM [table]" naming those of `columns` that the table has, in the order
// given, so that a query reads only the values it uses: a long value (Memo, OLE) it leaves
// out is neither read nor able to fail it. A column the table lacks is left out, so reading
// it raises 3265 as it would after SELECT *; a table with none of them gives "SELECT *".
// Opens the database as Open does (through `cache` when given) and raises the same errors,
// also for a table that does not exist.
std::string selectExistingColumns(DatabaseCache* cache, std::string_view connectString,
                                  std::string_view table, const std::vector<std::string>& columns);

}  // namespace tdv::db
