// Checking a whole database: everything a writer relies on, verified against the pages.
//
// checkDatabase reads the file without changing it and returns one Problem per fault found:
//   - every table definition parses, every row of every table decodes, long values are
//     chains of live rows on long-value pages, inside the file, without loops, of the
//     declared length, and no long-value row serves two values;
//   - overflow (lookup) rows point at rows on data pages of the same table, and no row is
//     the body of two overflow rows;
//   - the row count kept in each table definition equals the number of live rows;
//   - each table's owned-pages map lists exactly the data pages whose header names the
//     table as owner; its free-space map lists only pages of the table; every data page's
//     header free-space field equals the space its row slots leave;
//   - every index agrees with its table (one entry per row, order, page links, and each
//     entry's key equal to the key re-encoded from the row), and each index's tree pages
//     are listed in the index's own usage map;
//   - no page is claimed twice (by two tables, a table and an index, two indexes ...);
//   - no page that a table, an index or a map owns (or that holds a live long value) is
//     marked free in the database's free-page map;
//   - every row that refers to a parent through an enforced relationship has one.
// A fault that stops one part of the check (an unreadable map, a definition that does not
// parse) is reported and the check goes on with the next part; the number of problems
// reported per table is capped so a badly damaged file still gives a readable report.
// Keys the engine cannot compute (a character without a known sort code) cannot be
// verified: they are listed as warnings, not problems.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/db_check_report.h"

namespace jet {

// Checks everything listed above. Errors reading the file are reported as problems, not
// thrown (except a failure to read the catalog, which Database::open already did).
CheckReport checkDatabaseReport(Database& db);

// The problems alone.
std::vector<Problem> checkDatabase(Database& db);

}  // namespace jet
