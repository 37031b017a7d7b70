#include "db/record_edit.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "base/text.h"
#include "db/error_mapping.h"
#include "jet/sql/set_value.h"
#include "jet/table_writer.h"

namespace tdv::db {
namespace {

constexpr long kUpdateNotSupported = 3251;

void requireWritable(const RecordsetState& s) {
    s.requireOpen();
    if (s.lockType == adLockReadOnly || s.baseTable.empty() || s.rowIds.size() != s.rows.size() ||
        !s.db)
        throw updateNotSupportedError();
}

// Position of the base table column a field shows; 3251 for a computed field.
size_t columnOf(const RecordsetState& s, const jet::TableDef& table, size_t field) {
    const std::string& name = s.field(field).baseColumn;
    for (size_t c = 0; c < table.columns.size() && !name.empty(); ++c) {
        if (base::equalsIgnoringCase(table.columns[c].name, name)) return c;
    }
    throw updateNotSupportedError();
}

void noteWrite(const RecordsetState& s) {
    if (s.afterWrite) s.afterWrite();
}

}  // namespace

DbError updateNotSupportedError() {
    return DbError(kUpdateNotSupported,
                   "Current Recordset does not support updating. This may be a limitation of "
                   "the provider, or of the selected locktype.");
}

jet::Value jetValueOf(const Variant& v) {
    using S = jet::Value::Storage;
    return std::visit(
        [](const auto& x) -> jet::Value {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, Variant::EmptyTag> ||
                          std::is_same_v<T, Variant::NullTag>) {
                return jet::Value::null();
            } else if constexpr (std::is_same_v<T, std::string>) {
                return jet::Value::text(x);
            } else {
                return jet::Value(S(x));
            }
        },
        v.storage());
}

void assignField(RecordsetState& s, size_t field, const Variant& value) {
    requireWritable(s);
    s.requireCurrent();
    const jet::TableDef& table =
        translatingEngineErrors([&]() -> const jet::TableDef& { return s.db->table(s.baseTable); });
    const jet::ColumnDef& column = table.columns[columnOf(s, table, field)];
    jet::Value converted = translatingEngineErrors([&] {
        return jet::sql::convertForColumn(column, jetValueOf(value), s.db->info().version);
    });
    if (s.pending.size() != s.fields.size()) s.pending.assign(s.fields.size(), std::nullopt);
    s.pending[field] = std::move(converted);
}

bool hasPendingEdits(const RecordsetState& s) {
    return std::any_of(s.pending.begin(), s.pending.end(),
                       [](const auto& p) { return p.has_value(); });
}

void cancelEdits(RecordsetState& s) {
    s.pending.clear();
}

void saveRecord(RecordsetState& s) {
    if (!hasPendingEdits(s)) return;
    requireWritable(s);
    s.requireCurrent();
    const auto at = static_cast<size_t>(s.position);
    translatingEngineErrors([&] {
        jet::TableWriter writer(*s.db, s.baseTable);
        const jet::TableDef& table = writer.table();
        std::vector<jet::Value> values = s.db->readRow(table, s.rowIds[at]);
        for (size_t f = 0; f < s.pending.size(); ++f) {
            if (s.pending[f]) values.at(columnOf(s, table, f)) = *s.pending[f];
        }
        writer.update(s.rowIds[at], values);
    });
    noteWrite(s);
    for (size_t f = 0; f < s.pending.size(); ++f) {
        if (s.pending[f]) s.rows[at][f] = std::move(*s.pending[f]);
    }
    s.pending.clear();
}

void deleteRecord(RecordsetState& s) {
    requireWritable(s);
    s.requireCurrent();
    const auto at = static_cast<size_t>(s.position);
    translatingEngineErrors([&] {
        jet::TableWriter writer(*s.db, s.baseTable);
        writer.remove(s.rowIds[at]);
    });
    noteWrite(s);
    s.pending.clear();
    if (s.deleted.size() != s.rows.size()) s.deleted.assign(s.rows.size(), false);
    s.deleted[at] = true;
}

}  // namespace tdv::db
