// A value-level model of tables under random writes: the rows every table should hold (by
// row address), a generator of random rows and changes for any table layout, the outcome
// each change should have (written, or refused for a duplicate or a Null key), and the
// comparison of the model with what the engine reads back.
//
// Values are drawn so that the model can predict every outcome without re-implementing the
// engine's keys: the first column of each unique index takes values from a counter (never
// equal to another row's, whatever the sort order folds), other columns of unique indexes
// are numbers, so a duplicate is exactly a copy of another row's key columns. Long values
// (Memo, OLE) take sizes of each storage kind: inline, one long value row, a chain of pages.
// On request, other text values are long (near the column's limit) and often equal.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "jet/error.h"
#include "jet/table_writer.h"
#include "table_write_support.h"

namespace tablewrite_test {

using ModelRows = std::map<RowId, std::vector<Value>>;

// Every live row of a table by address, as the engine reads it.
inline ModelRows engineRows(Database& db, const std::string& table) {
    ModelRows rows;
    TableScan scan = db.scan(db.table(table));
    while (scan.next()) rows[scan.rowId()] = scan.values();
    return rows;
}

inline std::string rowIdText(RowId id) {
    return std::to_string(id.page) + ":" + std::to_string(id.row);
}

// The differences between the model and the engine's rows (empty when they agree); at most
// `limit` are described.
inline std::vector<std::string> modelDifferences(const TableDef& t, const ModelRows& model,
                                                 const ModelRows& actual, size_t limit = 8) {
    std::vector<std::string> out;
    auto add = [&](std::string s) {
        if (out.size() < limit) out.push_back(std::move(s));
    };
    for (const auto& [id, want] : model) {
        auto it = actual.find(id);
        if (it == actual.end()) {
            add("row " + rowIdText(id) + " missing: " + rowText(want));
            continue;
        }
        for (size_t c = 0; c < want.size() && c < it->second.size(); ++c) {
            if (!(want[c] == it->second[c]))
                add("row " + rowIdText(id) + " column " + t.columns[c].name + ": model " +
                    valueText(want[c]) + ", engine " + valueText(it->second[c]));
        }
    }
    for (const auto& [id, got] : actual)
        if (!model.count(id)) add("unexpected row " + rowIdText(id) + ": " + rowText(got));
    if (model.size() != actual.size())
        add("model has " + std::to_string(model.size()) + " rows, engine " +
            std::to_string(actual.size()));
    return out;
}

// Windows-1252 characters text values are made of: ASCII and accented letters, the euro
// sign and ligatures (each has a sort code in both General sort orders).
inline const std::vector<std::string>& textAlphabet() {
    static const std::vector<std::string> a = {
        "a", "b", "c", "m", "x", "z", "A", "B", "M", "Z", "0", "5", "9", " ", "-", ".", "é",
        "è", "ê", "à", "ä", "ö", "ü", "Ä", "Ö", "Ü", "ß", "ñ", "ç", "Æ", "ø", "Å", "€", "œ"};
    return a;
}

class RowGenerator {
public:
    RowGenerator(const TableDef& t, const Format& format, std::mt19937& rng,
                 std::vector<size_t> active = {})
        : t_(t), format_(format), rng_(rng) {
        for (const IndexDef& ix : t.indexes) {
            if (ix.columns.empty()) continue;
            if (ix.unique || ix.primaryKey) keyColumns_.insert(ix.columns.front().column);
            if (ix.primaryKey || ix.required)
                for (const IndexColumn& c : ix.columns) required_.insert(c.column);
        }
        if (active.empty())
            for (size_t c = 0; c < t.columns.size(); ++c) active.push_back(c);
        for (size_t c : active) active_.insert(c);
        for (size_t c : keyColumns_) active_.insert(c);
        for (size_t c : required_) active_.insert(c);
    }

    // A row to insert.
    std::vector<Value> newRow(const ModelRows& model) {
        std::vector<Value> row(t_.columns.size());
        for (size_t c = 0; c < row.size(); ++c) {
            if (t_.columns[c].type == ColumnType::Boolean) row[c] = val(pick(2) == 0);
            if (!active_.count(c)) continue;
            row[c] = keyColumns_.count(c) ? freshKey(c, model) : randomValue(c);
        }
        return row;
    }

    // The row with one to three active columns changed (sometimes all of them); a key column
    // is given a fresh key.
    std::vector<Value> changedRow(const std::vector<Value>& old, const ModelRows& model) {
        std::vector<Value> row = old;
        std::vector<size_t> cols(active_.begin(), active_.end());
        const size_t n = pick(5) == 0 ? cols.size() : 1 + pick(3);
        for (size_t k = 0; k < n; ++k) {
            size_t c = cols[pick(cols.size())];
            row[c] = keyColumns_.count(c) ? freshKey(c, model) : randomValue(c);
        }
        return row;
    }

    // A copy of `row` whose key columns of one unique index are those of `other` (a
    // duplicate), or nullopt when the table has no unique index or `other` has a Null key.
    std::optional<std::vector<Value>> duplicateOf(std::vector<Value> row,
                                                  const std::vector<Value>& other) {
        std::vector<const IndexDef*> unique;
        for (const IndexDef& ix : t_.indexes)
            if ((ix.unique || ix.primaryKey) && !ix.columns.empty()) unique.push_back(&ix);
        if (unique.empty()) return std::nullopt;
        const IndexDef& ix = *unique[pick(unique.size())];
        for (const IndexColumn& c : ix.columns) row[c.column] = other[c.column];
        return row;
    }

    // A copy of `row` with a Null in one column of a primary key or required index, or
    // nullopt when there is none.
    std::optional<std::vector<Value>> nullKeyOf(std::vector<Value> row) {
        if (required_.empty()) return std::nullopt;
        auto it = required_.begin();
        std::advance(it, pick(required_.size()));
        row[*it] = Value();
        return row;
    }

    // Why the engine must refuse to store `row` (at `self`, or as a new row), or "".
    std::string refusal(const std::vector<Value>& row, const ModelRows& model,
                        std::optional<RowId> self) const {
        for (size_t c : required_)
            if (row[c].isNull()) return "Null in key column " + t_.columns[c].name;
        for (const IndexDef& ix : t_.indexes) {
            if (!ix.unique && !ix.primaryKey) continue;
            bool allNull = true;
            for (const IndexColumn& c : ix.columns) allNull = allNull && row[c.column].isNull();
            if (allNull) continue;
            for (const auto& [id, other] : model) {
                if (self && id == *self) continue;
                bool same = true;
                for (const IndexColumn& c : ix.columns)
                    same = same && keyEqual(row[c.column], other[c.column]);
                if (same) return "duplicate in " + ix.name + " of row " + rowIdText(id);
            }
        }
        return "";
    }

    size_t pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }
    const std::set<size_t>& activeColumns() const { return active_; }

    // Text values (outside unique keys) near the column's limit, half of them one of a few
    // fixed texts: long keys, many of them equal, in the text indexes.
    void setLongText(bool on) { longText_ = on; }
    // A text value near the limit of text column c.
    Value longText(size_t c) {
        const size_t limit = textChars(t_.columns[c]);
        if (pick(2) == 0) {
            std::string shared = "shared " + std::to_string(pick(3)) + " ";
            shared.resize(limit, 'x');
            return text(shared);
        }
        return text(randomText(limit - std::min<size_t>(limit, pick(8))));
    }

private:
    static bool keyEqual(const Value& a, const Value& b) {
        if (a.is<Text>() && b.is<Text>()) {
            std::string x = a.get<Text>().utf8, y = b.get<Text>().utf8;
            for (char& ch : x) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            for (char& ch : y) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            return x == y;
        }
        return a == b;
    }

    size_t textChars(const ColumnDef& c) const {
        if (c.type == ColumnType::Memo) return 0;
        return format_.version == JetVersion::Jet3 ? c.length : c.length / 2;
    }

    std::string randomText(size_t chars) {
        std::string s;
        for (size_t i = 0; i < chars; ++i) s += textAlphabet()[pick(textAlphabet().size())];
        return s;
    }

    Bytes randomBytes(size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(pick(256));
        return b;
    }

    // A long value's length in bytes or characters, of a random storage kind.
    size_t longValueLength() {
        const size_t page = format_.pageSize;
        switch (pick(4)) {
            case 0:
                return pick(2) == 0 ? 0 : 1 + pick(30);  // inline
            case 1:
                return 100 + pick(page / 2);  // one long value row
            case 2:
                return page + pick(page * 2);  // a chain of rows
            default:
                return 1 + pick(60);
        }
    }

    Value randomValue(size_t c) {
        const ColumnDef& col = t_.columns[c];
        if (col.type != ColumnType::Boolean && !required_.count(c) && pick(8) == 0) return Value();
        switch (col.type) {
            case ColumnType::Boolean:
                return val(pick(2) == 0);
            case ColumnType::Byte:
                return val(static_cast<uint8_t>(pick(256)));
            case ColumnType::Integer:
                return val(static_cast<int16_t>(static_cast<int>(pick(65536)) - 32768));
            case ColumnType::Long:
                return val(static_cast<int32_t>(rng_()));
            case ColumnType::Currency:
                return val(Currency{static_cast<int64_t>(rng_()) - (int64_t{1} << 31)});
            case ColumnType::Single:
                return val(static_cast<float>(static_cast<int>(pick(2000001)) - 1000000) / 64.0f +
                           (pick(2) ? 0.0f : 1.0e-3f));
            case ColumnType::Double:
                return val((static_cast<double>(rng_()) - 2147483648.0) / 1024.0 + 1.0 / 3.0);
            case ColumnType::DateTime:
                // 1900..2150, to the second.
                return val(DateTime{static_cast<double>(1 + pick(91000)) +
                                    static_cast<double>(pick(86400)) / 86400.0});
            case ColumnType::Text:
                if (longText_) return longText(c);
                return pick(10) == 0 ? text("") : text(randomText(pick(textChars(col) + 1)));
            case ColumnType::Memo:
                return text(randomText(longValueLength()));
            case ColumnType::Binary:
                return val(randomBytes(1 + pick(col.length)));
            case ColumnType::OLE:
                return val(randomBytes(longValueLength()));
            case ColumnType::Guid: {
                Guid g;
                for (auto& x : g.bytes) x = static_cast<uint8_t>(pick(256));
                return val(g);
            }
            case ColumnType::Decimal: {
                Decimal d;
                d.precision = col.precision;
                d.scale = col.scale;
                uint64_t limit = 1;
                for (int i = 0; i < std::min<int>(col.precision, 18); ++i) limit *= 10;
                uint64_t m = std::uniform_int_distribution<uint64_t>(1, limit - 1)(rng_);
                d.mantissa = {static_cast<uint32_t>(m), static_cast<uint32_t>(m >> 32), 0};
                d.negative = pick(2) == 0;
                return val(d);
            }
        }
        return Value();
    }

    // A key value no other row holds in column c.
    Value freshKey(size_t c, const ModelRows& model) {
        for (int tries = 0; tries < 100000; ++tries) {
            Value v = keyValue(c, ++counter_);
            bool used = false;
            for (const auto& [id, row] : model) used = used || keyEqual(row[c], v);
            if (!used) return v;
        }
        throw std::runtime_error("no fresh key left for column " + t_.columns[c].name);
    }

    Value keyValue(size_t c, uint32_t n) {
        const ColumnDef& col = t_.columns[c];
        const int32_t k = static_cast<int32_t>(n) * 37 + static_cast<int32_t>(pick(37));
        switch (col.type) {
            case ColumnType::Byte:
                return val(static_cast<uint8_t>(n));
            case ColumnType::Integer:
                return val(static_cast<int16_t>(n % 2 ? -static_cast<int>(n) : n));
            case ColumnType::Long:
                return val(n % 2 ? -k : k);
            case ColumnType::Currency:
                return val(Currency{int64_t{k} * 10007});
            case ColumnType::Single:
                return val(static_cast<float>(n % 2 ? -k : k) / 4.0f);
            case ColumnType::Double:
                return val(static_cast<double>(n % 2 ? -k : k) / 8.0);
            case ColumnType::DateTime:
                return val(DateTime{20000.0 + k / 64.0});
            case ColumnType::Guid: {
                Guid g;
                for (auto& x : g.bytes) x = static_cast<uint8_t>(pick(256));
                g.bytes[0] = static_cast<uint8_t>(n);
                g.bytes[1] = static_cast<uint8_t>(n >> 8);
                g.bytes[2] = static_cast<uint8_t>(n >> 16);
                return val(g);
            }
            case ColumnType::Decimal: {
                Decimal d;
                d.precision = col.precision;
                d.scale = col.scale;
                d.mantissa = {static_cast<uint32_t>(k), 0, 0};
                d.negative = n % 2;
                return val(d);
            }
            default: {
                // Text: a short random prefix and the counter, which keeps keys apart.
                std::string digits = std::to_string(n);
                size_t room =
                    textChars(col) > digits.size() + 1 ? textChars(col) - digits.size() - 1 : 0;
                return text(randomText(pick(std::min<size_t>(room, 4) + 1)) + "#" + digits);
            }
        }
    }

    const TableDef& t_;
    const Format& format_;
    std::mt19937& rng_;
    std::set<size_t> keyColumns_, required_, active_;
    uint32_t counter_ = 0;
    bool longText_ = false;
};

}  // namespace tablewrite_test
