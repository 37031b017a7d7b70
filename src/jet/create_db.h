// Creating a new, empty or populated, Access 2000 (Jet 4) database file.
//
// The file holds what an Access 2000 database holds when ADOX creates it: the definition
// page (General Legacy sort order, code page 1252, creation date, the masked region as
// Access writes it), the global usage map, the system tables MSysObjects (with the Tables,
// Databases and Relationships containers and the MSysDb object), MSysACEs (the default
// permissions), MSysQueries and MSysRelationships with their indexes; then each new table:
// its definition, usage maps, index trees and rows, and its row in MSysObjects.
//
// The whole file is built in memory and written in one go: to a temporary file beside the
// target, renamed over nothing at the end. An existing target is never overwritten; on any
// error no file is left behind.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/table_def_writer.h"
#include "jet/value.h"

namespace jet {

struct NewTableWithRows {
    NewTable table;
    // Values per row, one per column of table.columns (Null for a missing value); any value
    // convertible to the column's type (value_coerce.h).
    std::vector<std::vector<Value>> rows;
};

struct NewDatabase {
    std::vector<NewTableWithRows> tables;
    // Creation date written in the definition page and the catalog (OLE automation date);
    // the current time when not given.
    std::optional<double> created;
};

// The bytes of the new database file. Throws Error(Type) for a bad table description,
// Error(Type/Constraint) for a row that cannot be stored, naming table, row and column.
std::vector<uint8_t> buildDatabaseFile(const NewDatabase& desc);

// Builds and writes the file at path. Throws Error(Io) when path exists or cannot be
// written; nothing is left at path on failure.
void createDatabase(const std::string& path, const NewDatabase& desc);

}  // namespace jet
