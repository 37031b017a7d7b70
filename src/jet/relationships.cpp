#include "jet/relationships.h"

#include <algorithm>
#include <map>
#include <optional>

#include "jet/related_rows.h"

namespace jet {
namespace {

constexpr const char* kCatalogTable = "MSysRelationships";

struct CatalogRow {
    std::string name, object, column, referencedObject, referencedColumn;
    uint32_t flags = 0;
    int32_t position = 0, count = 0;
};

std::string textOf(const Value& v) {
    return v.is<Text>() ? v.get<Text>().utf8 : std::string();
}

int64_t integerOf(const Value& v) {
    const auto& s = v.storage();
    if (auto* x = std::get_if<int32_t>(&s)) return *x;
    if (auto* x = std::get_if<int16_t>(&s)) return *x;
    if (auto* x = std::get_if<uint8_t>(&s)) return *x;
    return 0;
}

size_t requireColumn(const TableDef& table, const std::string& name) {
    auto at = table.findColumn(name);
    if (!at)
        throwCorrupt("table '" + table.name + "' has no column '" + name +
                     "' named by a relationship");
    return *at;
}

std::vector<CatalogRow> readCatalogRows(Database& db) {
    const TableDef& t = db.table(kCatalogTable);
    const size_t name = requireColumn(t, "szRelationship"), object = requireColumn(t, "szObject"),
                 column = requireColumn(t, "szColumn"),
                 refObject = requireColumn(t, "szReferencedObject"),
                 refColumn = requireColumn(t, "szReferencedColumn"),
                 flags = requireColumn(t, "grbit"), position = requireColumn(t, "icolumn"),
                 count = requireColumn(t, "ccolumn");
    std::vector<CatalogRow> rows;
    TableScan scan = db.scan(t);
    while (scan.next()) {
        const auto& v = scan.values();
        rows.push_back({textOf(v[name]), textOf(v[object]), textOf(v[column]), textOf(v[refObject]),
                        textOf(v[refColumn]), static_cast<uint32_t>(integerOf(v[flags])),
                        static_cast<int32_t>(integerOf(v[position])),
                        static_cast<int32_t>(integerOf(v[count]))});
    }
    return rows;
}

// Positions of a relationship's columns in one of its tables.
std::vector<size_t> keyColumns(const TableDef& table, const std::vector<std::string>& names) {
    std::vector<size_t> out;
    for (const std::string& n : names) out.push_back(requireColumn(table, n));
    return out;
}

// The row's values of a key; nullopt when one is Null (such a key refers to nothing).
std::optional<std::vector<Value>> keyValues(const std::vector<size_t>& columns,
                                            const std::vector<Value>& row,
                                            const std::string& table) {
    std::vector<Value> out;
    for (size_t c : columns) {
        if (c >= row.size())
            throw Error(ErrorKind::Internal, errnum::kInternal,
                        "a row of table '" + table + "' has fewer values than its columns");
        if (row[c].isNull()) return std::nullopt;
        out.push_back(row[c]);
    }
    return out;
}

bool sameKey(const std::optional<std::vector<Value>>& a, const std::optional<std::vector<Value>>& b,
             JetVersion version) {
    if (!a || !b) return !a && !b;
    for (size_t i = 0; i < a->size(); ++i) {
        if (!keyValuesEqual((*a)[i], (*b)[i], version)) return false;
    }
    return true;
}

[[noreturn]] void throwParentRequired(const Relationship& rel) {
    throw Error(ErrorKind::Constraint, errnum::kRelationship,
                "You cannot add or change a record because a related record is required in "
                "table '" +
                    rel.parentTable + "'.");
}

[[noreturn]] void throwChildrenExist(const Relationship& rel) {
    throw Error(ErrorKind::Constraint, kRelatedRecordsExist,
                "The record cannot be deleted or changed because table '" + rel.childTable +
                    "' includes related records.");
}

}  // namespace

Relationships Relationships::load(Database& db) {
    Relationships out(db);
    if (!db.hasTable(kCatalogTable)) return out;
    std::map<std::string, std::vector<CatalogRow>> byName;
    for (CatalogRow& row : readCatalogRows(db)) byName[row.name].push_back(std::move(row));
    for (auto& [name, rows] : byName) {
        std::sort(rows.begin(), rows.end(),
                  [](const CatalogRow& a, const CatalogRow& b) { return a.position < b.position; });
        Relationship rel;
        rel.name = name;
        rel.childTable = rows[0].object;
        rel.parentTable = rows[0].referencedObject;
        rel.flags = rows[0].flags;
        for (size_t i = 0; i < rows.size(); ++i) {
            const CatalogRow& r = rows[i];
            if (r.position != static_cast<int32_t>(i) ||
                r.count != static_cast<int32_t>(rows.size()) ||
                !namesEqual(r.object, rel.childTable) ||
                !namesEqual(r.referencedObject, rel.parentTable))
                throwCorrupt("the rows of relationship '" + name + "' in " + kCatalogTable +
                             " do not fit together");
            rel.childColumns.push_back(r.column);
            rel.parentColumns.push_back(r.referencedColumn);
        }
        out.relationships_.push_back(std::move(rel));
    }
    return out;
}

void Relationships::checkInsert(const TableDef& table, const std::vector<Value>& newRow) const {
    const JetVersion version = db_->info().version;
    for (const Relationship& rel : relationships_) {
        if (!rel.enforced() || !namesEqual(rel.childTable, table.name)) continue;
        auto key = keyValues(keyColumns(table, rel.childColumns), newRow, table.name);
        if (!key) continue;
        const TableDef& parent = db_->table(rel.parentTable);
        std::vector<size_t> parentColumns = keyColumns(parent, rel.parentColumns);
        // A row may refer to itself in a relationship of a table with itself.
        if (namesEqual(rel.parentTable, table.name) &&
            sameKey(key, keyValues(parentColumns, newRow, table.name), version))
            continue;
        if (!hasRowWithKey(*db_, parent, parentColumns, *key)) throwParentRequired(rel);
    }
}

std::vector<Cascade> Relationships::checkUpdate(const TableDef& table,
                                                const std::vector<Value>& oldRow,
                                                const std::vector<Value>& newRow) const {
    const JetVersion version = db_->info().version;
    std::vector<Cascade> cascades;
    for (const Relationship& rel : relationships_) {
        if (!rel.enforced()) continue;
        if (namesEqual(rel.parentTable, table.name)) {
            std::vector<size_t> columns = keyColumns(table, rel.parentColumns);
            auto oldKey = keyValues(columns, oldRow, table.name);
            auto newKey = keyValues(columns, newRow, table.name);
            if (oldKey && !sameKey(oldKey, newKey, version)) {
                const TableDef& child = db_->table(rel.childTable);
                if (hasRowWithKey(*db_, child, keyColumns(child, rel.childColumns), *oldKey)) {
                    if (!rel.cascadesUpdates()) throwChildrenExist(rel);
                    cascades.push_back(Cascade{&rel, Cascade::Action::Update, *oldKey,
                                               newKey ? *newKey : std::vector<Value>{}});
                }
            }
        }
        if (namesEqual(rel.childTable, table.name)) {
            std::vector<size_t> columns = keyColumns(table, rel.childColumns);
            auto newKey = keyValues(columns, newRow, table.name);
            if (!newKey || sameKey(newKey, keyValues(columns, oldRow, table.name), version))
                continue;
            const TableDef& parent = db_->table(rel.parentTable);
            std::vector<size_t> parentColumns = keyColumns(parent, rel.parentColumns);
            if (namesEqual(rel.parentTable, table.name) &&
                sameKey(newKey, keyValues(parentColumns, newRow, table.name), version))
                continue;
            if (!hasRowWithKey(*db_, parent, parentColumns, *newKey)) throwParentRequired(rel);
        }
    }
    return cascades;
}

std::vector<Cascade> Relationships::checkDelete(const TableDef& table,
                                                const std::vector<Value>& oldRow) const {
    std::vector<Cascade> cascades;
    for (const Relationship& rel : relationships_) {
        if (!rel.enforced() || !namesEqual(rel.parentTable, table.name)) continue;
        auto key = keyValues(keyColumns(table, rel.parentColumns), oldRow, table.name);
        if (!key) continue;
        const TableDef& child = db_->table(rel.childTable);
        if (!hasRowWithKey(*db_, child, keyColumns(child, rel.childColumns), *key)) continue;
        if (!rel.cascadesDeletes()) throwChildrenExist(rel);
        const bool toNull = (rel.flags & relflag::kCascadeNull) != 0;
        cascades.push_back(
            Cascade{&rel, toNull ? Cascade::Action::SetNull : Cascade::Action::Delete, *key, {}});
    }
    return cascades;
}

void Relationships::apply(const Cascade& cascade, const ChildWrite& write) const {
    const Relationship& rel = *cascade.relationship;
    const TableDef& child = db_->table(rel.childTable);
    const std::vector<size_t> columns = keyColumns(child, rel.childColumns);
    // The rows are found first, then written: a write moves no row, but it changes the
    // index the lookup walks.
    for (RowId id : rowsWithKey(*db_, child, columns, cascade.oldKey)) {
        if (cascade.action == Cascade::Action::Delete) {
            write(child, id, nullptr);
            continue;
        }
        std::vector<Value> values = db_->readRow(child, id);
        for (size_t i = 0; i < columns.size(); ++i)
            values.at(columns[i]) =
                cascade.action == Cascade::Action::Update && i < cascade.newKey.size()
                    ? cascade.newKey[i]
                    : Value::null();
        write(child, id, &values);
    }
}

}  // namespace jet
