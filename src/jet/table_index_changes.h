// The index side of one row change: every physical index's old and new entry, planned and
// checked before anything is written, applied after the row is in place.
//
// plan() computes, for each physical index of the table once (logical indexes sharing one
// are one index here), the entry key of the old row and of the new row (jet::encodeIndexKey)
// and checks the constraints: a key the encoder cannot form raises its Error(Unsupported);
// Null in a primary key or required index raises Error(Constraint, kNullInIndex); a
// duplicate in a unique index raises Error(Constraint, kDuplicate) naming the index (an
// entry whose columns are all Null never counts as a duplicate, and is left out of an
// ignore-nulls index). plan() only reads. apply() removes old entries and adds new ones
// through IndexWriter, inside the caller's open save.
#pragma once

#include <optional>
#include <vector>

#include "jet/database.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace jet {

class IndexChanges {
public:
    IndexChanges(Database& db, const TableDef& table);

    // oldRow / newRow: the row's values before and after (null: the row is inserted /
    // deleted). `row` is the row's address (for an insert: any, it is not known yet).
    void plan(const std::vector<Value>* oldRow, const std::vector<Value>* newRow, RowId row);
    // Writes the planned changes for the row at `row`.
    void apply(RowId row);

    bool empty() const { return changes_.empty(); }

    // Many new rows at once: planBatch takes each row's new entries, checked as plan()
    // checks them against the index; checkBatch checks a unique index's keys against the
    // other rows of the batch (Error(Constraint, kDuplicate)). Both only read. applyBatch
    // adds the entries index by index in key order, once the rows' addresses are known
    // (ids[i] for the i-th row planned).
    void planBatch(const std::vector<Value>& newRow);
    void checkBatch();
    void applyBatch(const std::vector<RowId>& ids);

private:
    struct Change {
        const IndexDef* index;
        std::optional<Bytes> oldKey;
        std::optional<Bytes> newKey;
    };
    std::optional<Bytes> keyFor(const IndexDef& index, const std::vector<Value>& row) const;

    Database& db_;
    const TableDef& table_;
    std::vector<const IndexDef*> physical_;  // one logical index per physical index
    std::vector<Change> changes_;
    struct BatchEntry {
        Bytes key;
        size_t row;
        bool counts;  // not all Null: takes part in the unique check
    };
    std::vector<std::vector<BatchEntry>> batch_;  // per physical index
    size_t batchRows_ = 0;
};

}  // namespace jet
