#include "jet/table_index_changes.h"

#include <algorithm>

#include "jet/index_key.h"
#include "jet/index_writer.h"
#include "jet/write_limits.h"

namespace jet {
namespace {

bool allNull(const IndexDef& index, const std::vector<Value>& row) {
    return std::all_of(index.columns.begin(), index.columns.end(),
                       [&](const IndexColumn& c) { return row[c.column].isNull(); });
}

bool anyNull(const IndexDef& index, const std::vector<Value>& row) {
    return std::any_of(index.columns.begin(), index.columns.end(),
                       [&](const IndexColumn& c) { return row[c.column].isNull(); });
}

}  // namespace

IndexChanges::IndexChanges(Database& db, const TableDef& table) : db_(db), table_(table) {
    for (const IndexDef& ix : table.indexes) {
        auto same = std::find_if(physical_.begin(), physical_.end(),
                                 [&](const IndexDef* p) { return p->realNumber == ix.realNumber; });
        if (same == physical_.end()) {
            physical_.push_back(&ix);
        } else if (ix.primaryKey || (!(*same)->primaryKey && ix.unique && !(*same)->unique)) {
            *same = &ix;  // name the index after the logical index that carries the rule
        }
    }
}

std::optional<Bytes> IndexChanges::keyFor(const IndexDef& index,
                                          const std::vector<Value>& row) const {
    if (index.ignoreNulls && allNull(index, row)) return std::nullopt;
    if ((index.primaryKey || index.required) && anyNull(index, row))
        throw Error(ErrorKind::Constraint, errnum::kNullInIndex,
                    "Index or primary key cannot contain a Null value (index '" + index.name +
                        "' of table '" + table_.name + "')");
    return encodeIndexKey(table_, index, row, db_.info().version);
}

void IndexChanges::plan(const std::vector<Value>* oldRow, const std::vector<Value>* newRow,
                        RowId row) {
    changes_.clear();
    for (const IndexDef* ix : physical_) {
        Change c{ix, std::nullopt, std::nullopt};
        if (oldRow) c.oldKey = keyFor(*ix, *oldRow);
        if (newRow) c.newKey = keyFor(*ix, *newRow);
        if (c.oldKey == c.newKey) continue;
        if (c.newKey && ix->unique && !allNull(*ix, *newRow)) {
            IndexWriter writer(db_, table_, *ix);
            writer.checkInsert(*c.newKey, row);
        }
        changes_.push_back(std::move(c));
    }
}

void IndexChanges::apply(RowId row) {
    for (const Change& c : changes_) {
        IndexWriter writer(db_, table_, *c.index);
        if (c.oldKey) writer.remove(*c.oldKey, row);
        if (c.newKey) writer.insert(*c.newKey, row);
    }
}

}  // namespace jet
