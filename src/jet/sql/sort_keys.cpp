#include "jet/sql/sort_keys.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/sql/expr_eval.h"

namespace jet::sql {

namespace {

enum class KeyKind { Nulls, Text, Number };

// One key column of every row: text key bytes or a number; Null rows are flagged.
struct KeyColumn {
    KeyKind kind = KeyKind::Nulls;
    bool descending = false;
    std::vector<uint8_t> isNull;
    std::vector<Bytes> text;
    std::vector<long double> number;
};

std::optional<KeyKind> kindOf(const Value& v) {
    if (v.is<Text>()) return KeyKind::Text;
    if (v.is<Guid>() || v.is<Bytes>()) return std::nullopt;
    if (v.is<float>() && std::isnan(v.get<float>())) return std::nullopt;
    if (v.is<double>() && std::isnan(v.get<double>())) return std::nullopt;
    if (numericValue(v)) return KeyKind::Number;
    return std::nullopt;
}

// The number a value sorts by; currency by its scaled whole number, which keeps every
// distinct amount distinct.
long double numberKey(const Value& v) {
    if (v.is<Currency>()) return static_cast<long double>(v.get<Currency>().scaled);
    return *numericValue(v);
}

bool buildColumn(KeyColumn& col, size_t k, size_t rowCount,
                 const std::function<const std::vector<Value>&(size_t)>& rowValues,
                 JetVersion version) {
    col.isNull.assign(rowCount, 0);
    for (size_t i = 0; i < rowCount; ++i) {
        const Value& v = rowValues(i)[k];
        if (v.isNull()) {
            col.isNull[i] = 1;
            continue;
        }
        const std::optional<KeyKind> kind = kindOf(v);
        if (!kind || (col.kind != KeyKind::Nulls && col.kind != *kind)) return false;
        if (col.kind == KeyKind::Nulls) {
            col.kind = *kind;
            if (col.kind == KeyKind::Text)
                col.text.resize(rowCount);
            else
                col.number.assign(rowCount, 0);
        }
        if (col.kind == KeyKind::Text) {
            try {
                col.text[i] = encodeTextKey(v.get<Text>().utf8, version);
            } catch (const Error&) {
                return false;  // compared case-folded instead: only Values give that order
            }
        } else {
            col.number[i] = numberKey(v);
        }
    }
    return true;
}

int compareKeys(const KeyColumn& col, size_t a, size_t b) {
    if (col.isNull[a] || col.isNull[b]) {
        return col.isNull[a] == col.isNull[b] ? 0 : (col.isNull[a] ? -1 : 1);
    }
    if (col.kind == KeyKind::Text) {
        const Bytes& x = col.text[a];
        const Bytes& y = col.text[b];
        const size_t n = std::min(x.size(), y.size());
        const int c = n == 0 ? 0 : std::memcmp(x.data(), y.data(), n);
        if (c != 0) return c;
        return x.size() < y.size() ? -1 : (x.size() > y.size() ? 1 : 0);
    }
    const long double x = col.number[a];
    const long double y = col.number[b];
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

std::optional<std::vector<size_t>> orderByKeys(
    size_t rowCount, const std::function<const std::vector<Value>&(size_t)>& rowValues,
    const std::vector<bool>& descending, JetVersion version) {
    std::vector<KeyColumn> columns(descending.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        columns[k].descending = descending[k];
        if (!buildColumn(columns[k], k, rowCount, rowValues, version)) return std::nullopt;
    }
    std::vector<size_t> order(rowCount);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (const KeyColumn& col : columns) {
            const int c = compareKeys(col, a, b);
            if (c != 0) return col.descending ? c > 0 : c < 0;
        }
        return false;
    });
    return order;
}

}  // namespace jet::sql
