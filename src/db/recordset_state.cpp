#include "db/recordset_state.h"

#include <cctype>

#include "base/text.h"
#include "db/db_error.h"

namespace tdv::db {
void RecordsetState::requireOpen() const {
    if (!open) throw objectClosedError();
}

void RecordsetState::requireCurrent() const {
    requireOpen();
    if (!hasCurrent()) throw noCurrentRecordError();
    const auto at = static_cast<size_t>(position);
    if (at < deleted.size() && deleted[at]) throw noCurrentRecordError();
}

void RecordsetState::moveTo(std::ptrdiff_t pos) {
    position = pos;
    chunkField = kNoField;
    chunkOffset = 0;
}

const FieldInfo& RecordsetState::field(size_t i) const {
    if (i >= fields.size()) throw itemNotFoundError();
    return fields[i];
}

const jet::Value& RecordsetState::currentValue(size_t i) const {
    requireCurrent();
    field(i);
    if (i < pending.size() && pending[i]) return *pending[i];
    const auto& row = rows[static_cast<size_t>(position)];
    if (i >= row.size()) throw itemNotFoundError();
    return row[i];
}

std::optional<size_t> RecordsetState::findField(std::string_view name) const {
    for (size_t i = 0; i < fields.size(); ++i) {
        if (base::equalsIgnoringCase(fields[i].name, name)) return i;
    }
    return std::nullopt;
}

}  // namespace tdv::db
