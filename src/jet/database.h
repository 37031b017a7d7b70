// An open Access (Jet 3 / Jet 4) database, read side.
//
// Database::open reads the definition page, the system catalog and the names of all tables;
// table definitions are read on first use and kept. Rows are streamed: a scan holds one data
// page and one row at a time, so memory does not grow with the table. Long values (Memo,
// OLE) are read when the row is decoded unless the caller asks for a subset of columns.
// Every offset, length and page number read from the file is checked; a damaged file raises
// jet::Error (ErrorKind::Corrupt) naming the table, page and row, never crashes or loops.
//
// A Database is not thread-safe; one thread may use several scans of it at once. Scans and
// TableDef references point into their Database: keep it alive while they are in use.
// Scan order is the table's data pages in page order and the rows of each page in slot
// order; a row that was moved to another page (an overflow row) is returned at its original
// slot, with that slot's RowId (the address index entries refer to).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/schema.h"
#include "jet/types.h"
#include "jet/value.h"

namespace jet {

struct Format;

class Database;

// How to open a database: the page file's options (page_file.h). Writable opens take the
// file's locks and its rollback journal, roll back a save a crashed writer left (unless
// rollBackJournal is off), and let TableWriter change rows.
using OpenOptions = PageFileOptions;

class TableScan {
public:
    // Advances to the next live row (deleted rows and overflow targets are skipped,
    // overflow pointers are followed). Returns false at the end.
    bool next();
    RowId rowId() const;
    // Values of the current row, one per TableDef::columns entry (Null for columns left out
    // by the mask).
    const std::vector<Value>& values() const;

    TableScan(TableScan&&) noexcept;
    TableScan& operator=(TableScan&&) noexcept;
    ~TableScan();

private:
    friend class Database;
    struct Impl;
    explicit TableScan(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class Database {
public:
    // Opens a file read-only. Throws Error (Io, NotADatabase, Corrupt).
    static std::shared_ptr<Database> open(const std::string& path);
    // Same, through a given file system (tests and fuzzing use an in-memory one).
    static std::shared_ptr<Database> open(const std::string& path, FileSystem& fs);
    // Opens with options; writable on a read-only file throws Error(ReadOnly).
    static std::shared_ptr<Database> open(const std::string& path, const OpenOptions& options);
    static std::shared_ptr<Database> open(const std::string& path, FileSystem& fs,
                                          const OpenOptions& options);
    ~Database();

    const DatabaseInfo& info() const;
    const Format& format() const;
    const std::string& path() const;

    // User tables (not system tables), in catalog order.
    std::vector<std::string> tableNames() const;
    // All tables including MSys*.
    std::vector<std::string> allTableNames() const;
    bool hasTable(std::string_view name) const;
    // Case-insensitive. Throws Error NoSuchTable.
    const TableDef& table(std::string_view name);

    TableScan scan(const TableDef& table, const ColumnMask& columns = {});
    // Decodes one row by address (follows an overflow pointer). Throws if the row is deleted.
    std::vector<Value> readRow(const TableDef& table, RowId row, const ColumnMask& columns = {});
    // Whether the row at this address is live (not deleted, not an overflow target).
    bool rowExists(const TableDef& table, RowId row);

    PageFile& pages();
    bool writable() const;
    // Re-reads the counters (row count, last autonumber) of every table definition read so
    // far, after a save changed them (TableWriter calls it after each commit or rollback).
    void refreshTableCounters();
    // Re-reads the list of tables from the catalog after a save added one (createTable
    // calls it). Table definitions and scans already handed out stay valid.
    void refreshCatalog();

private:
    Database();
    struct Impl;
    std::unique_ptr<Impl> impl_;
    friend class TableScan;
};

}  // namespace jet
