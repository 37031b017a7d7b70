// The relationships of a database (MSysRelationships) and the checks that keep the
// enforced ones true when rows are written.
//
// Each relationship links columns of a "child" table (the referencing side, szObject /
// szColumn) to columns of a "parent" table (the referenced side, szReferencedObject /
// szReferencedColumn); a relationship over several columns is one catalog row per column,
// ordered by icolumn, ccolumn rows in all. grbit flags: 0x1 one-to-one, 0x2 not enforced,
// 0x4 inherited from a linked database, 0x100 cascade updates, 0x1000 cascade deletes,
// 0x2000 cascade deletes set the foreign key to Null.
//
// A writer calls the checks BEFORE it changes anything; they only read:
//   checkInsert - a new child row whose foreign key has no parent row is refused (3201);
//   checkUpdate - a child row changed to a key without parent is refused (3201); a parent
//                 key changed while child rows refer to the old key is refused (3200),
//                 unless the relationship cascades updates;
//   checkDelete - a parent row that child rows refer to is refused (3200), unless the
//                 relationship cascades deletes (or sets the foreign key to Null).
// Where the relationship cascades, the check returns what must happen to the child rows
// instead (Cascade); the writer does it after writing the parent row, in the same save,
// through the child table's own writer (so its checks, indexes and further cascades
// apply), and a cascade that fails rolls the whole save back.
// A foreign key with a Null in any of its columns refers to nothing and is not checked, as
// Jet does. Relationships that are not enforced (and inherited ones, enforced by the linked
// database) are ignored.
// Lookups use an index of the other table on exactly the related columns when there is
// one, else a scan. Values are compared the way the index compares them (text without
// regard to case).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

namespace relflag {
constexpr uint32_t kOneToOne = 0x1;
constexpr uint32_t kNotEnforced = 0x2;
constexpr uint32_t kInherited = 0x4;
constexpr uint32_t kCascadeUpdates = 0x100;
constexpr uint32_t kCascadeDeletes = 0x1000;
constexpr uint32_t kCascadeNull = 0x2000;
}  // namespace relflag

// Jet's number for "The record cannot be deleted or changed because table 'X' includes
// related records."
constexpr long kRelatedRecordsExist = 3200;

struct Relationship {
    std::string name;
    std::string childTable;  // holds the foreign key
    std::vector<std::string> childColumns;
    std::string parentTable;  // holds the referenced key
    std::vector<std::string> parentColumns;
    uint32_t flags = 0;

    bool enforced() const { return (flags & (relflag::kNotEnforced | relflag::kInherited)) == 0; }
    bool cascadesUpdates() const { return (flags & relflag::kCascadeUpdates) != 0; }
    bool cascadesDeletes() const {
        return (flags & (relflag::kCascadeDeletes | relflag::kCascadeNull)) != 0;
    }
};

// What a change of a parent row asks of the rows of one child table.
struct Cascade {
    enum class Action { Delete, SetNull, Update };
    const Relationship* relationship = nullptr;
    Action action = Action::Delete;
    std::vector<Value> oldKey;  // the parent key the child rows hold (relationship order)
    std::vector<Value> newKey;  // Update: the parent's new key (empty: it became Null)
};

class Relationships {
public:
    // Reads MSysRelationships (none when the database has no such table); the database
    // must outlive the object, which uses it for its lookups. Throws
    // Error(Corrupt) when its rows are inconsistent (column counts, missing parts).
    static Relationships load(Database& db);

    const std::vector<Relationship>& all() const { return relationships_; }

    // Rows are in TableDef::columns order of `table`. Each throws Error(Constraint,
    // errnum::kRelationship or kRelatedRecordsExist) naming the other table when an
    // enforced relationship would be broken; other errors (a table of a relationship
    // missing, damage) pass through. checkUpdate and checkDelete return the cascades the
    // change needs (only for child tables that have rows with the old key).
    void checkInsert(const TableDef& table, const std::vector<Value>& newRow) const;
    std::vector<Cascade> checkUpdate(const TableDef& table, const std::vector<Value>& oldRow,
                                     const std::vector<Value>& newRow) const;
    std::vector<Cascade> checkDelete(const TableDef& table, const std::vector<Value>& oldRow) const;

    // Carries out one cascade: finds the child rows holding the old key and deletes or
    // changes them through `write`, called once per child row with the table, the row and
    // its new values (nullptr: delete it).
    using ChildWrite =
        std::function<void(const TableDef&, RowId, const std::vector<Value>* newValues)>;
    void apply(const Cascade& cascade, const ChildWrite& write) const;

private:
    explicit Relationships(Database& db) : db_(&db) {}
    Database* db_;
    std::vector<Relationship> relationships_;
};

}  // namespace jet
