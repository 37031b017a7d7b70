// What an open Recordset holds, shared by the Recordset and its Field handles. Internal to
// the recordset layer.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/ado_types.h"
#include "jet/database.h"
#include "jet/sql/sql.h"

namespace tdv::db {

struct FieldInfo {
    std::string name;
    jet::ColumnType type = jet::ColumnType::Long;
    DataTypeEnum adoType = adInteger;
    long definedSize = 0;
    std::string baseColumn;  // column of the base table it shows ("" for computed fields)
};

struct RecordsetState {
    bool open = false;
    long cursorType = adOpenForwardOnly;
    long lockType = adLockReadOnly;
    bool serverForwardOnly = false;
    jet::JetVersion version = jet::JetVersion::Jet4;
    std::shared_ptr<jet::Database> db;
    std::vector<FieldInfo> fields;
    std::vector<std::vector<jet::Value>> rows;
    std::string baseTable;
    std::vector<jet::RowId> rowIds;  // one per row for single-table results, else empty
    // Rows removed through Delete: they stay in place (positions do not shift) but have no
    // values any more.
    std::vector<bool> deleted;
    // Values assigned to fields of the current record and not yet saved (empty when none).
    std::vector<std::optional<jet::Value>> pending;
    // Called after this recordset changed its file, so cached readers are dropped.
    std::function<void()> afterWrite;

    // Current record: 0..rows.size()-1; rows.size() is EOF, -1 is BOF.
    std::ptrdiff_t position = 0;

    // Progress of a GetChunk sequence on the current record: which field, how far (bytes of
    // the stored value). Any other field access or a move ends the sequence.
    static constexpr size_t kNoField = static_cast<size_t>(-1);
    size_t chunkField = kNoField;
    size_t chunkOffset = 0;

    bool atEof() const { return position >= static_cast<std::ptrdiff_t>(rows.size()); }
    bool atBof() const { return rows.empty() || position < 0; }
    bool hasCurrent() const { return !atEof() && !atBof(); }

    void requireOpen() const;         // 3704
    void requireCurrent() const;      // 3704, 3021 (also for a deleted record)
    void moveTo(std::ptrdiff_t pos);  // also ends any GetChunk sequence
    // Every read of a current value goes through here: a pending edit of the field is laid
    // over the stored row.
    const jet::Value& currentValue(size_t field) const;
    // Field `i`, 3265 when the recordset has no such field (a handle from an earlier open).
    const FieldInfo& field(size_t i) const;
    std::optional<size_t> findField(std::string_view name) const;
};

}  // namespace tdv::db
