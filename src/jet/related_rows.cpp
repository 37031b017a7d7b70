#include "jet/related_rows.h"

#include <optional>

#include "jet/index_key.h"
#include "jet/index_reader.h"
#include "jet/value_coerce.h"

namespace jet {
namespace {

std::optional<double> numberOf(const Value& v) {
    const auto& s = v.storage();
    if (auto* b = std::get_if<bool>(&s)) return *b ? -1.0 : 0.0;  // Jet's True is -1
    if (auto* x = std::get_if<uint8_t>(&s)) return *x;
    if (auto* x = std::get_if<int16_t>(&s)) return *x;
    if (auto* x = std::get_if<int32_t>(&s)) return *x;
    if (auto* x = std::get_if<float>(&s)) return *x;
    if (auto* x = std::get_if<double>(&s)) return *x;
    if (auto* x = std::get_if<Currency>(&s)) return static_cast<double>(x->scaled) / 10000.0;
    if (auto* x = std::get_if<DateTime>(&s)) return x->days;
    return std::nullopt;
}

// An index whose columns are exactly `columns`, in that order.
const IndexDef* indexOn(const TableDef& table, const std::vector<size_t>& columns) {
    for (const IndexDef& index : table.indexes) {
        if (index.columns.size() != columns.size()) continue;
        bool same = true;
        for (size_t i = 0; i < columns.size() && same; ++i)
            same = index.columns[i].column == columns[i];
        if (same) return &index;
    }
    return nullptr;
}

// nullopt when the index cannot answer (a value it cannot key): the caller scans instead.
std::optional<std::vector<RowId>> lookupByIndex(Database& db, const TableDef& table,
                                                const IndexDef& index,
                                                const std::vector<size_t>& columns,
                                                const std::vector<Value>& values) {
    const JetVersion version = db.info().version;
    std::vector<Value> row(table.columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
        try {
            row[columns[i]] = coerceValue(table.columns[columns[i]], values[i], version);
        } catch (const Error& e) {
            // A value that cannot be stored in the column cannot equal any of its values.
            if (e.kind() == ErrorKind::Type) return std::vector<RowId>{};
            throw;
        }
    }
    Bytes key;
    try {
        key = encodeIndexKey(table, index, row, version);
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::Unsupported) return std::nullopt;
        throw;
    }
    return IndexReader(db, table, index).lookup(key);
}

std::vector<RowId> scanForKey(Database& db, const TableDef& table,
                              const std::vector<size_t>& columns, const std::vector<Value>& values,
                              bool firstOnly) {
    const JetVersion version = db.info().version;
    ColumnMask mask(table.columns.size(), false);
    for (size_t c : columns) mask[c] = true;
    TableScan scan = db.scan(table, mask);
    std::vector<RowId> out;
    while (scan.next()) {
        const std::vector<Value>& row = scan.values();
        bool match = true;
        for (size_t i = 0; i < columns.size() && match; ++i)
            match =
                !row[columns[i]].isNull() && keyValuesEqual(row[columns[i]], values[i], version);
        if (!match) continue;
        out.push_back(scan.rowId());
        if (firstOnly) break;
    }
    return out;
}

std::vector<RowId> findRows(Database& db, const TableDef& table, const std::vector<size_t>& columns,
                            const std::vector<Value>& values, bool firstOnly) {
    for (size_t c : columns) {
        if (c >= table.columns.size())
            throw Error(ErrorKind::Internal, errnum::kInternal,
                        "key column out of range for table '" + table.name + "'");
    }
    if (const IndexDef* index = indexOn(table, columns)) {
        if (auto found = lookupByIndex(db, table, *index, columns, values)) return *found;
    }
    return scanForKey(db, table, columns, values, firstOnly);
}

}  // namespace

bool keyValuesEqual(const Value& a, const Value& b, JetVersion version) {
    if (a.is<Text>() && b.is<Text>())
        return compareText(a.get<Text>().utf8, b.get<Text>().utf8, version) == 0;
    auto x = numberOf(a), y = numberOf(b);
    if (x && y) return *x == *y;
    return a == b;
}

bool hasRowWithKey(Database& db, const TableDef& table, const std::vector<size_t>& columns,
                   const std::vector<Value>& values) {
    return !findRows(db, table, columns, values, true).empty();
}

std::vector<RowId> rowsWithKey(Database& db, const TableDef& table,
                               const std::vector<size_t>& columns,
                               const std::vector<Value>& values) {
    return findRows(db, table, columns, values, false);
}

}  // namespace jet
