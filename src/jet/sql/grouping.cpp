#include "jet/sql/grouping.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "jet/error.h"
#include "jet/sql/functions.h"

namespace jet::sql {
namespace {

constexpr long kNotInAggregate = 3122;

[[noreturn]] void throwNotInAggregate(const std::string& name) {
    throw Error(ErrorKind::Syntax, kNotInAggregate,
                "You tried to execute a query that does not include the specified expression '" +
                    name + "' as part of an aggregate function.");
}

bool sameColumn(const ColumnRef& a, const ColumnRef& b) {
    return a.boundSource == b.boundSource && a.boundColumn == b.boundColumn;
}

bool isGroupColumn(const GroupedQuery& q, const ColumnRef& ref) {
    return std::any_of(q.groupBy.begin(), q.groupBy.end(),
                       [&](const ColumnRef* g) { return sameColumn(*g, ref); });
}

// Columns of e outside any aggregate must be GROUP BY columns.
void checkExpr(const GroupedQuery& q, const Expr& e) {
    if (e.kind == Expr::Kind::Call && isAggregateName(e.function)) return;
    if (e.kind == Expr::Kind::Column && !isGroupColumn(q, e.column))
        throwNotInAggregate(e.column.display());
    for (const auto& a : e.args) checkExpr(q, *a);
}

void collectAggregates(const Expr& e, std::vector<const Expr*>& out) {
    if (e.kind == Expr::Kind::Call && isAggregateName(e.function)) {
        out.push_back(&e);
        return;
    }
    for (const auto& a : e.args) collectAggregates(*a, out);
}

// The running state of one aggregate call over one group.
struct Accumulator {
    size_t count = 0;  // non-Null values seen (rows, for COUNT(*))
    long double sum = 0;
    int64_t currencySum = 0;
    bool allWhole = true;
    bool allCurrency = true;
    Value extreme;  // MIN / MAX so far
};

struct Group {
    std::array<std::vector<Value>, kRowSlots> rows;  // the group's first row of each source
    std::array<bool, kRowSlots> present{};
    size_t rowCount = 0;
    std::vector<Accumulator> accumulators;
};

long double numberForSum(const Value& v) {
    if (auto n = numericValue(v)) return *n;
    if (v.is<Text>()) {
        if (auto n = parseNumber(v.get<Text>().utf8)) return *n;
    }
    throwTypeMismatch();
}

void accumulate(Accumulator& acc, const Expr& call, const Value& v, const Evaluator& eval) {
    if (v.isNull()) return;
    ++acc.count;
    const std::string& f = call.function;
    if (f == "sum" || f == "avg") {
        acc.sum += numberForSum(v);
        acc.allWhole =
            acc.allWhole && (v.is<uint8_t>() || v.is<int16_t>() || v.is<int32_t>() || v.is<bool>());
        acc.allCurrency = acc.allCurrency && v.is<Currency>();
        if (v.is<Currency>()) acc.currencySum += v.get<Currency>().scaled;
    } else if (f == "min" || f == "max") {
        if (acc.count == 1) {
            acc.extreme = v;
        } else {
            int c = eval.compare(v, acc.extreme);
            if ((f == "min" && c < 0) || (f == "max" && c > 0)) acc.extreme = v;
        }
    }
}

Value result(const Accumulator& acc, const Expr& call) {
    const std::string& f = call.function;
    if (f == "count") {
        auto n = std::min<size_t>(acc.count, std::numeric_limits<int32_t>::max());
        return Value(Value::Storage(static_cast<int32_t>(n)));
    }
    if (acc.count == 0) return Value::null();
    if (f == "min" || f == "max") return acc.extreme;
    if (f == "avg") return Value(Value::Storage(static_cast<double>(acc.sum / acc.count)));
    if (acc.allCurrency) return Value(Value::Storage(Currency{acc.currencySum}));
    if (acc.allWhole && acc.sum >= std::numeric_limits<int32_t>::min() &&
        acc.sum <= std::numeric_limits<int32_t>::max())
        return Value(Value::Storage(static_cast<int32_t>(acc.sum)));
    return Value(Value::Storage(static_cast<double>(acc.sum)));
}

}  // namespace

bool needsGrouping(const SelectStmt& s) {
    if (!s.groupBy.empty() || s.having) return true;
    bool countStar = false, computed = false;
    for (const SelectItem& i : s.items) {
        if (i.kind == SelectItem::Kind::Expression && containsAggregate(*i.expr)) return true;
        countStar = countStar || i.kind == SelectItem::Kind::CountStar;
        computed = computed || i.kind == SelectItem::Kind::Expression;
    }
    return countStar && computed;
}

void checkGrouped(const GroupedQuery& q) {
    for (const GroupedOutput& o : q.outputs) {
        if (o.column && !isGroupColumn(q, *o.column)) throwNotInAggregate(o.column->display());
        if (o.expr) checkExpr(q, *o.expr);
    }
    if (q.having) checkExpr(q, *q.having);
    for (const GroupedSortKey& k : q.sortKeys) {
        if (!k.output && k.column && !isGroupColumn(q, *k.column))
            throwNotInAggregate(k.column->display());
        if (k.expr) checkExpr(q, *k.expr);
    }
}

std::vector<std::vector<Value>> runGrouped(const GroupedQuery& q, const Evaluator& eval,
                                           const std::function<void(const RowFeed&)>& produce) {
    std::vector<const Expr*> calls;
    for (const GroupedOutput& o : q.outputs) {
        if (o.expr) collectAggregates(*o.expr, calls);
    }
    if (q.having) collectAggregates(*q.having, calls);
    for (const GroupedSortKey& k : q.sortKeys) {
        if (k.expr) collectAggregates(*k.expr, calls);
    }

    auto keyLess = [&eval](const std::vector<Value>& a, const std::vector<Value>& b) {
        for (size_t i = 0; i < a.size(); ++i) {
            int c = eval.compareForSort(a[i], b[i]);
            if (c != 0) return c < 0;
        }
        return false;
    };
    std::map<std::vector<Value>, Group, decltype(keyLess)> groups(keyLess);
    if (q.groupBy.empty()) groups[{}].accumulators.resize(calls.size());

    produce([&](const RowContext& ctx) {
        std::vector<Value> key;
        key.reserve(q.groupBy.size());
        for (const ColumnRef* g : q.groupBy)
            key.push_back((*ctx.sources[static_cast<size_t>(g->boundSource)])[g->boundColumn]);
        auto [it, added] = groups.try_emplace(std::move(key));
        Group& group = it->second;
        if (added || group.rowCount == 0) {
            group.accumulators.resize(calls.size());
            for (size_t s = 0; s < kRowSlots; ++s) {
                group.present[s] = ctx.sources[s] != nullptr;
                if (ctx.sources[s]) group.rows[s] = *ctx.sources[s];
            }
        }
        ++group.rowCount;
        for (size_t i = 0; i < calls.size(); ++i) {
            const Expr& call = *calls[i];
            if (call.star) {
                ++group.accumulators[i].count;
            } else {
                accumulate(group.accumulators[i], call, eval.value(*call.args[0], ctx), eval);
            }
        }
    });

    struct Out {
        std::vector<Value> values;
        std::vector<Value> sortValues;
    };
    std::vector<Out> out;
    for (const auto& [key, group] : groups) {
        std::map<const Expr*, Value> aggregates;
        for (size_t i = 0; i < calls.size(); ++i)
            aggregates[calls[i]] = result(group.accumulators[i], *calls[i]);
        RowContext ctx;
        for (size_t s = 0; s < kRowSlots; ++s)
            ctx.sources[s] = group.present[s] ? &group.rows[s] : nullptr;
        ctx.aggregates = &aggregates;
        if (q.having && eval.test(*q.having, ctx) != Truth::True) continue;
        Out row;
        for (const GroupedOutput& o : q.outputs) {
            if (o.countStar) {
                auto n = std::min<size_t>(group.rowCount, std::numeric_limits<int32_t>::max());
                row.values.push_back(Value(Value::Storage(static_cast<int32_t>(n))));
            } else if (o.column) {
                row.values.push_back(group.rows[static_cast<size_t>(o.column->boundSource)].at(
                    o.column->boundColumn));
            } else {
                row.values.push_back(eval.value(*o.expr, ctx));
            }
        }
        for (const GroupedSortKey& k : q.sortKeys) {
            if (k.expr) {
                row.sortValues.push_back(eval.value(*k.expr, ctx));
                continue;
            }
            row.sortValues.push_back(
                k.output ? row.values.at(*k.output)
                         : group.rows[static_cast<size_t>(k.column->boundSource)].at(
                               k.column->boundColumn));
        }
        out.push_back(std::move(row));
    }
    auto compareRows = [&](const Out& a, const Out& b) {
        for (size_t k = 0; k < q.sortKeys.size(); ++k) {
            int c = eval.compareForSort(a.sortValues[k], b.sortValues[k]);
            if (c != 0) return q.sortKeys[k].descending ? -c : c;
        }
        return 0;
    };
    if (!q.sortKeys.empty()) {
        std::stable_sort(out.begin(), out.end(),
                         [&](const Out& a, const Out& b) { return compareRows(a, b) < 0; });
    }
    std::function<bool(size_t, size_t)> tie;
    if (!q.sortKeys.empty())
        tie = [&](size_t a, size_t b) { return compareRows(out[a], out[b]) == 0; };
    out.resize(rowsWithinTop(out.size(), effectiveTop(q.top, q.topPercent, out.size()), tie));
    std::vector<std::vector<Value>> rows;
    rows.reserve(out.size());
    for (Out& r : out) rows.push_back(std::move(r.values));
    return rows;
}

std::optional<long> effectiveTop(std::optional<long> top, bool percent, size_t count) {
    if (!top || !percent) return top;
    // At least the rows that make up n per cent: 10 PERCENT of 25 rows is 3.
    const auto n = static_cast<long>((static_cast<long double>(count) * *top + 99) / 100);
    return std::max(n, 0L);
}

size_t rowsWithinTop(size_t count, std::optional<long> top,
                     const std::function<bool(size_t, size_t)>& tie) {
    if (!top || *top <= 0 || static_cast<size_t>(*top) >= count) return count;
    size_t keep = static_cast<size_t>(*top);
    if (tie) {
        while (keep < count && tie(keep - 1, keep)) ++keep;
    }
    return keep;
}

ColumnType computedColumnType(const std::vector<std::vector<Value>>& rows, size_t column) {
    for (const auto& row : rows) {
        const Value& v = row.at(column);
        if (v.isNull()) continue;
        return std::visit(
            [](const auto& x) {
                using T = std::decay_t<decltype(x)>;
                if constexpr (std::is_same_v<T, bool>) return ColumnType::Boolean;
                if constexpr (std::is_same_v<T, uint8_t>) return ColumnType::Byte;
                if constexpr (std::is_same_v<T, int16_t>) return ColumnType::Integer;
                if constexpr (std::is_same_v<T, int32_t>) return ColumnType::Long;
                if constexpr (std::is_same_v<T, Currency>) return ColumnType::Currency;
                if constexpr (std::is_same_v<T, float>) return ColumnType::Single;
                if constexpr (std::is_same_v<T, double>) return ColumnType::Double;
                if constexpr (std::is_same_v<T, DateTime>) return ColumnType::DateTime;
                if constexpr (std::is_same_v<T, Bytes>) return ColumnType::Binary;
                if constexpr (std::is_same_v<T, Guid>) return ColumnType::Guid;
                if constexpr (std::is_same_v<T, Decimal>) return ColumnType::Decimal;
                return ColumnType::Text;
            },
            v.storage());
    }
    return ColumnType::Text;
}

}  // namespace jet::sql
