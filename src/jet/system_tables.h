// The system tables of a new Access 2000 database: their definitions and standard rows.
//
// MSysObjects (always at definition page 2), MSysACEs, MSysQueries and MSysRelationships,
// with the columns, indexes and flags Access gives them (system table type, entries listed
// by name, security identifier columns flagged as Access flags them), the container rows
// (Tables, Databases, Relationships), the MSysDb object and the default permission rows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format.h"
#include "jet/schema.h"
#include "jet/table_def_writer.h"
#include "jet/value.h"

namespace jet {

// Catalog ids of the standard objects.
namespace catalogid {
constexpr int32_t kRoot = 0x0F000000;
constexpr int32_t kTables = 0x0F000001;
constexpr int32_t kDatabases = 0x0F000002;
constexpr int32_t kRelationships = 0x0F000003;
constexpr int32_t kMSysDb = 0x10000000;
}  // namespace catalogid

struct SystemTable {
    TableDef def;           // laid out; definitionPage, map rows and roots still to be set
    TableDefExtras extras;  // column flags and entry order (maps filled by the caller)
};

// The four system tables, MSysObjects first.
std::vector<SystemTable> systemTables(const Format& format);

// One MSysObjects row for a table (type 1) whose definition starts at `definitionPage`.
std::vector<Value> catalogTableRow(const TableDef& msysObjects, const std::string& name,
                                   uint32_t definitionPage, bool system, double created);
// The rows of MSysObjects that are not tables: the containers and MSysDb.
std::vector<std::vector<Value>> catalogStandardRows(const TableDef& msysObjects, double created);
// The default permission rows of MSysACEs for the standard objects.
std::vector<std::vector<Value>> defaultPermissionRows(const TableDef& msysAces);

}  // namespace jet
