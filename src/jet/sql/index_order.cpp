#include "jet/sql/index_order.h"

#include <cstdint>
#include <unordered_map>

#include "jet/error.h"
#include "jet/index_reader.h"

namespace jet::sql {

namespace {

// The index with the fewest columns whose leading columns are the ORDER BY's.
const IndexDef* matchingIndex(const TableDef& table, const IndexOrderRequest& request) {
    const IndexDef* best = nullptr;
    for (const IndexDef& index : table.indexes) {
        if (index.columns.size() < request.columns.size()) continue;
        bool matches = true;
        for (size_t k = 0; k < request.columns.size() && matches; ++k) {
            matches = index.columns[k].column == request.columns[k] &&
                      index.columns[k].ascending == !request.descending[k];
        }
        if (matches && (!best || index.columns.size() < best->columns.size())) best = &index;
    }
    return best;
}

uint64_t packed(RowId id) {
    return (static_cast<uint64_t>(id.page) << 16) | id.row;
}

// Whether row b may follow row a: its values are not before a's, and with equal values it
// was read after a.
bool inOrder(const IndexOrderRequest& request, const Evaluator& eval, size_t a, size_t b) {
    const std::vector<Value>& x = request.sortValues(a);
    const std::vector<Value>& y = request.sortValues(b);
    for (size_t k = 0; k < request.columns.size(); ++k) {
        const int c = eval.compareForSort(x[k], y[k]);
        if (c != 0) return request.descending[k] ? c > 0 : c < 0;
    }
    return a < b;
}

}  // namespace

std::optional<std::vector<size_t>> orderByIndex(Database& db, const TableDef& table,
                                                const IndexOrderRequest& request,
                                                const Evaluator& eval, const IndexDef** used) {
    // Reading the whole index pays only when the rows are a good part of the table; a few
    // rows are sorted faster than their table's index is read.
    if (request.columns.empty() || request.rows.size() < 2 ||
        request.rows.size() < table.rowCount / 4) {
        return std::nullopt;
    }
    const IndexDef* index = matchingIndex(table, request);
    if (!index) return std::nullopt;
    std::unordered_map<uint64_t, size_t> position;
    position.reserve(request.rows.size());
    for (size_t i = 0; i < request.rows.size(); ++i) {
        if (!position.emplace(packed(request.rows[i]), i).second) return std::nullopt;
    }
    std::vector<size_t> order;
    order.reserve(request.rows.size());
    try {
        IndexReader reader(db, table, *index);
        IndexCursor cursor = reader.all();
        while (cursor.next()) {
            auto it = position.find(packed(cursor.entry().row));
            if (it == position.end()) continue;               // a row the statement did not select
            if (it->second == SIZE_MAX) return std::nullopt;  // listed twice: damaged
            order.push_back(it->second);
            it->second = SIZE_MAX;
        }
        if (order.size() != request.rows.size()) return std::nullopt;
        for (size_t i = 1; i < order.size(); ++i) {
            if (!inOrder(request, eval, order[i - 1], order[i])) return std::nullopt;
        }
    } catch (const Error&) {
        return std::nullopt;
    }
    *used = index;
    return order;
}

}  // namespace jet::sql
