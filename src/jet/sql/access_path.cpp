#include "jet/sql/access_path.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/index_reader.h"
#include "jet/sql/expr_eval.h"

namespace jet::sql {

namespace {

template <class T>
std::optional<Value> wholeNumber(long double n) {
    if (n != std::floor(n) || n < static_cast<long double>(std::numeric_limits<T>::min()) ||
        n > static_cast<long double>(std::numeric_limits<T>::max())) {
        return std::nullopt;
    }
    return Value(Value::Storage(static_cast<T>(n)));
}

bool startsWith(const Bytes& key, const Bytes& prefix) {
    return key.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), key.begin());
}

}  // namespace

std::vector<const Expr*> conjunctsOf(const Expr* where) {
    std::vector<const Expr*> out;
    std::vector<const Expr*> stack;
    if (where) stack.push_back(where);
    while (!stack.empty()) {
        const Expr* e = stack.back();
        stack.pop_back();
        if (e->kind == Expr::Kind::And) {
            stack.push_back(e->args[1].get());
            stack.push_back(e->args[0].get());
        } else {
            out.push_back(e);
        }
    }
    return out;
}

bool refersOnlyTo(const Expr& e, int slot) {
    if (e.kind == Expr::Kind::Column && e.column.boundSource != slot) return false;
    for (const auto& a : e.args) {
        if (!refersOnlyTo(*a, slot)) return false;
    }
    return true;
}

std::optional<Value> keyValueFor(const ColumnDef& column, const Value& literal) {
    if (literal.isNull()) return std::nullopt;
    if (column.type == ColumnType::Text) {
        if (!literal.is<Text>()) return std::nullopt;
        return literal;
    }
    std::optional<long double> n = numericValue(literal);
    if (!n && literal.is<Text>()) n = parseNumber(literal.get<Text>().utf8);
    if (!n || literal.is<bool>()) return std::nullopt;
    switch (column.type) {
        case ColumnType::Byte:
            return wholeNumber<uint8_t>(*n);
        case ColumnType::Integer:
            return wholeNumber<int16_t>(*n);
        case ColumnType::Long:
            return wholeNumber<int32_t>(*n);
        case ColumnType::Double: {
            auto d = static_cast<double>(*n);
            if (static_cast<long double>(d) != *n) return std::nullopt;
            return Value(Value::Storage(d));
        }
        case ColumnType::Single: {
            auto f = static_cast<float>(*n);
            if (static_cast<long double>(f) != *n) return std::nullopt;
            return Value(Value::Storage(f));
        }
        case ColumnType::Currency: {
            long double scaled = *n * 10000.0L;
            if (scaled != std::floor(scaled) || std::fabs(scaled) > 9.2e18L) return std::nullopt;
            return Value(Value::Storage(Currency{static_cast<int64_t>(scaled)}));
        }
        case ColumnType::DateTime:
            if (!literal.is<DateTime>()) return std::nullopt;
            return literal;
        default:
            return std::nullopt;
    }
}

std::optional<Bytes> firstColumnKey(const TableDef& table, const IndexDef& index,
                                    const Value& value, JetVersion version) {
    if (index.columns.empty() || index.columns[0].column >= table.columns.size()) {
        return std::nullopt;
    }
    const ColumnDef& column = table.columns[index.columns[0].column];
    std::optional<Value> keyed = keyValueFor(column, value);
    if (!keyed) return std::nullopt;
    Bytes key;
    try {
        appendColumnKey(key, column, *keyed, index.columns[0].ascending, version);
    } catch (const Error& e) {
        if (e.kind() == ErrorKind::Unsupported) return std::nullopt;
        throw;
    }
    return key;
}

namespace {

// The comparison seen from the column's side: `5 < x` is `x > 5`.
CompareOp flipped(CompareOp op) {
    switch (op) {
        case CompareOp::Lt:
            return CompareOp::Gt;
        case CompareOp::Gt:
            return CompareOp::Lt;
        case CompareOp::Le:
            return CompareOp::Ge;
        case CompareOp::Ge:
            return CompareOp::Le;
        default:
            return op;
    }
}

// A range over the first column of an index from the conjuncts comparing that column with
// literals; an empty path when there is none or a bound cannot be keyed.
AccessPath rangePath(const TableDef& table, int slot, const std::vector<const Expr*>& conjuncts,
                     const IndexDef& index, JetVersion version) {
    AccessPath path;
    const bool ascending = index.columns[0].ascending;
    for (const Expr* c : conjuncts) {
        if (c->kind == Expr::Kind::Between && !c->negated &&
            c->args[0]->kind == Expr::Kind::Column && c->args[1]->kind == Expr::Kind::Literal &&
            c->args[2]->kind == Expr::Kind::Literal && c->args[0]->column.boundSource == slot &&
            c->args[0]->column.boundColumn == index.columns[0].column) {
            std::optional<Bytes> from = firstColumnKey(table, index, c->args[1]->literal, version);
            std::optional<Bytes> to = firstColumnKey(table, index, c->args[2]->literal, version);
            if (!from || !to) return {};
            if (!ascending) std::swap(from, to);
            if (!path.low) path.low = std::move(*from);
            if (!path.high) path.high = std::move(*to);
            continue;
        }
        if (c->kind != Expr::Kind::Compare) continue;
        CompareOp op = c->op;
        if (op == CompareOp::Eq || op == CompareOp::Ne) continue;
        const Expr* col = c->args[0].get();
        const Expr* lit = c->args[1].get();
        if (col->kind != Expr::Kind::Column) {
            std::swap(col, lit);
            op = flipped(op);
        }
        if (col->kind != Expr::Kind::Column || lit->kind != Expr::Kind::Literal) continue;
        if (col->column.boundSource != slot || col->column.boundColumn != index.columns[0].column)
            continue;
        std::optional<Bytes> key = firstColumnKey(table, index, lit->literal, version);
        if (!key) return {};
        // A descending column stores inverted keys: its lower values come later.
        const bool lowerBound = (op == CompareOp::Gt || op == CompareOp::Ge) == ascending;
        std::optional<Bytes>& bound = lowerBound ? path.low : path.high;
        if (!bound) bound = std::move(*key);
    }
    if (path.low || path.high) {
        path.index = &index;
        path.range = true;
    }
    return path;
}

// Compares the leading bytes of an entry's key with a bound: an entry whose key starts with
// the bound counts as equal to it.
int compareLeading(const Bytes& key, const Bytes& bound) {
    const size_t n = std::min(key.size(), bound.size());
    const int c = n == 0 ? 0 : std::memcmp(key.data(), bound.data(), n);
    if (c != 0) return c;
    return key.size() < bound.size() ? -1 : 0;
}

}  // namespace

AccessPath chooseAccessPath(const TableDef& table, int slot,
                            const std::vector<const Expr*>& conjuncts, JetVersion version) {
    AccessPath best;
    for (const Expr* c : conjuncts) {
        if (c->kind != Expr::Kind::Compare || c->op != CompareOp::Eq) continue;
        const Expr* col = c->args[0].get();
        const Expr* lit = c->args[1].get();
        if (col->kind != Expr::Kind::Column) std::swap(col, lit);
        if (col->kind != Expr::Kind::Column || lit->kind != Expr::Kind::Literal) continue;
        if (col->column.boundSource != slot) continue;
        for (const IndexDef& index : table.indexes) {
            if (index.columns.empty() || index.columns[0].column != col->column.boundColumn)
                continue;
            // Prefer the narrowest index: its entries are the shortest to read.
            if (best.index && best.index->columns.size() <= index.columns.size()) continue;
            if (auto key = firstColumnKey(table, index, lit->literal, version)) {
                best.index = &index;
                best.keyPrefix = std::move(*key);
            }
        }
    }
    if (best.index) return best;
    // column IN (literals): a lookup of each.
    for (const Expr* c : conjuncts) {
        if (c->kind != Expr::Kind::In || c->negated || c->subquery ||
            c->args[0]->kind != Expr::Kind::Column || c->args[0]->column.boundSource != slot)
            continue;
        for (const IndexDef& index : table.indexes) {
            if (index.columns.empty() || index.columns[0].column != c->args[0]->column.boundColumn)
                continue;
            if (best.index && best.index->columns.size() <= index.columns.size()) continue;
            std::vector<Bytes> keys;
            for (size_t i = 1; i < c->args.size(); ++i) {
                if (c->args[i]->kind != Expr::Kind::Literal) {
                    keys.clear();
                    break;
                }
                if (c->args[i]->literal.isNull()) continue;  // equals no row
                auto key = firstColumnKey(table, index, c->args[i]->literal, version);
                if (!key) {
                    keys.clear();
                    break;
                }
                keys.push_back(std::move(*key));
            }
            if (keys.empty()) continue;
            best.index = &index;
            best.inPrefixes = std::move(keys);
        }
    }
    if (best.index) return best;
    // No equality: a range on the narrowest index that has bounds.
    for (const IndexDef& index : table.indexes) {
        if (index.columns.empty()) continue;
        if (best.index && best.index->columns.size() <= index.columns.size()) continue;
        AccessPath range = rangePath(table, slot, conjuncts, index, version);
        if (range.index) best = std::move(range);
    }
    return best;
}

std::vector<RowId> rangeCandidates(Database& db, const TableDef& table, const AccessPath& path) {
    std::vector<RowId> rows;
    IndexReader reader(db, table, *path.index);
    IndexCursor cursor = path.low ? reader.seek(*path.low) : reader.all();
    while (cursor.next()) {
        const IndexEntry& entry = cursor.entry();
        if (path.high && compareLeading(entry.key, *path.high) > 0) break;
        rows.push_back(entry.row);
    }
    return rows;
}

std::vector<RowId> indexCandidates(Database& db, const TableDef& table, const IndexDef& index,
                                   const Bytes& prefix) {
    std::vector<RowId> rows;
    IndexReader reader(db, table, index);
    IndexCursor cursor = reader.seek(prefix);
    while (cursor.next()) {
        const IndexEntry& entry = cursor.entry();
        if (!startsWith(entry.key, prefix)) break;
        rows.push_back(entry.row);
    }
    return rows;
}

void forEachCandidate(Database& db, const TableDef& table, const AccessPath& path,
                      const ColumnMask& mask, const RowVisitor& visit) {
    if (!path.index) {
        TableScan scan = db.scan(table, mask);
        while (scan.next()) visit(scan.rowId(), scan.values());
        return;
    }
    std::vector<RowId> rows;
    if (!path.inPrefixes.empty()) {
        // Each row once, however many of the listed values its key starts with.
        std::set<RowId> seen;
        for (const Bytes& prefix : path.inPrefixes) {
            for (RowId id : indexCandidates(db, table, *path.index, prefix)) {
                if (seen.insert(id).second) rows.push_back(id);
            }
        }
    } else {
        rows = path.range ? rangeCandidates(db, table, path)
                          : indexCandidates(db, table, *path.index, path.keyPrefix);
    }
    for (RowId id : rows) visit(id, db.readRow(table, id, mask));
}

}  // namespace jet::sql
