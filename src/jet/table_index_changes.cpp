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

void IndexChanges::planBatch(const std::vector<Value>& newRow) {
    batch_.resize(physical_.size());
    for (size_t i = 0; i < physical_.size(); ++i) {
        const IndexDef& ix = *physical_[i];
        std::optional<Bytes> key = keyFor(ix, newRow);
        if (!key) continue;
        const bool counts = !allNull(ix, newRow);
        if (counts && ix.unique) IndexWriter(db_, table_, ix).checkInsert(*key, RowId{});
        batch_[i].push_back({std::move(*key), batchRows_, counts});
    }
    ++batchRows_;
}

void IndexChanges::checkBatch() {
    for (size_t i = 0; i < batch_.size(); ++i) {
        const IndexDef& ix = *physical_[i];
        if (!ix.unique) continue;
        std::vector<const BatchEntry*> byKey;
        for (const BatchEntry& e : batch_[i])
            if (e.counts) byKey.push_back(&e);
        std::sort(byKey.begin(), byKey.end(),
                  [](const BatchEntry* a, const BatchEntry* b) { return a->key < b->key; });
        for (size_t k = 1; k < byKey.size(); ++k)
            if (byKey[k - 1]->key == byKey[k]->key) throwDuplicateKey(table_, ix);
    }
}

void IndexChanges::applyBatch(const std::vector<RowId>& ids) {
    for (std::vector<BatchEntry>& entries : batch_) {
        for (const BatchEntry& e : entries)
            if (e.row >= ids.size())
                throw Error(ErrorKind::Internal, errnum::kInternal,
                            "a row of the batch has no address");
        // In key order, so that the entries go in at the right edge of each part of the
        // tree, filling its pages as a bulk load does.
        std::sort(entries.begin(), entries.end(), [&](const BatchEntry& a, const BatchEntry& b) {
            return compareEntries(a.key, ids[a.row], b.key, ids[b.row]) < 0;
        });
    }
    for (size_t i = 0; i < batch_.size(); ++i) {
        IndexTreeWriter tree = IndexWriter(db_, table_, *physical_[i]).treeForWrite();
        for (const BatchEntry& e : batch_[i]) tree.insert(e.key, ids[e.row]);
    }
    batch_.clear();
    batchRows_ = 0;
}

}  // namespace jet
