// Adding a new, empty table to an existing Access 2000 (Jet 4) database opened for writing.
//
// One atomic save: the table's definition page(s), a usage map page (owned and free pages,
// Memo/OLE maps, one map per index), an empty leaf as the root of each index, all appended
// at the end of the file, and the table's row in MSysObjects, inserted through TableWriter
// so that the catalog's indexes and row count stay exact. On any error nothing is written.
// After the save the Database lists the new table (Database::refreshCatalog).
#pragma once

#include "jet/database.h"
#include "jet/table_def_writer.h"

namespace jet {

// Throws Error(Type) for a bad description or a name already in use, Error(Unsupported)
// for a Jet 3 database, Error(ReadOnly) when the database was not opened writable.
// `created` is the OLE date written in the catalog (the current time when negative).
void createTable(Database& db, const NewTable& table, double created = -1);

}  // namespace jet
