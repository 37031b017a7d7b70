#include "jet/sql/executor.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <unordered_map>

#include "base/text.h"
#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/page_file.h"
#include "jet/sql/access_path.h"
#include "jet/sql/binder.h"
#include "jet/sql/expr_eval.h"
#include "jet/sql/grouping.h"
#include "jet/sql/index_order.h"
#include "jet/sql/lexer.h"
#include "jet/sql/sort_keys.h"

namespace jet::sql {

namespace {

constexpr long kNotInAggregate = 3122;
constexpr long kJoinTypeMismatch = 3615;

[[noreturn]] void throwNotInAggregate(const std::string& name) {
    throw Error(ErrorKind::Syntax, kNotInAggregate,
                "You tried to execute a query that does not include the specified expression '" +
                    name + "' as part of an aggregate function.");
}

// What one result column shows: a column of a source, the row count or a computed value.
struct Output {
    ColumnRef ref;
    bool count = false;
    const Expr* expr = nullptr;
};

// One ORDER BY key: a column of a source, or (for a select-list alias) an output column.
struct SortKey {
    ColumnRef ref;
    std::optional<size_t> output;
    bool descending = false;
};

struct ProducedRow {
    std::vector<Value> values;
    std::vector<Value> sortValues;
    RowId rowId;
};

// Equal values (as the join's equality sees them) get the same bucket key.
std::string hashKey(const Value& v, JetVersion version) {
    if (v.is<Text>()) {
        try {
            Bytes k = encodeTextKey(v.get<Text>().utf8, version);
            return "T" + std::string(k.begin(), k.end());
        } catch (const Error&) {
            std::string folded = v.get<Text>().utf8;
            for (char& c : folded) {
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            }
            return "t" + folded;
        }
    }
    if (auto n = numericValue(v)) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "N%.21Lg", *n + 0.0L);
        return buf;
    }
    if (v.is<Guid>()) {
        const auto& b = v.get<Guid>().bytes;
        return "G" + std::string(b.begin(), b.end());
    }
    if (v.is<Bytes>()) {
        const auto& b = v.get<Bytes>();
        return "B" + std::string(b.begin(), b.end());
    }
    return "?";
}

enum class ValueFamily { Text, Number, Guid, Binary };

ValueFamily familyOf(const ColumnDef& c) {
    if (c.isText()) return ValueFamily::Text;
    if (c.type == ColumnType::Guid) return ValueFamily::Guid;
    if (c.type == ColumnType::Binary || c.type == ColumnType::OLE) return ValueFamily::Binary;
    return ValueFamily::Number;
}

class SelectRun {
public:
    SelectRun(Database& db, SelectStmt& s, const QueryOptions& options)
        : db_(db), s_(s), options_(options), version_(db.info().version), eval_(version_) {}

    ResultSet run() {
        bind();
        ResultSet result;
        result.columns = columns();
        if (grouped_) {
            result.rows = runGrouped(groupedQuery(), eval_, [&](const RowFeed& feed) {
                produce([&](const RowContext& ctx, RowId) { feed(ctx); });
            });
            setComputedTypes(result);
            return result;
        }
        if (isCount()) {
            size_t n = 0;
            produce([&](const RowContext&, RowId) { ++n; });
            auto count = static_cast<int32_t>(
                std::min<size_t>(n, static_cast<size_t>(std::numeric_limits<int32_t>::max())));
            result.rows.emplace_back(outputs_.size(), Value(Value::Storage(count)));
            return result;
        }
        std::vector<ProducedRow> rows;
        produce([&](const RowContext& ctx, RowId id) { rows.push_back(makeRow(ctx, id)); });
        sort(rows);
        std::function<bool(size_t, size_t)> tie;
        if (!sortKeys_.empty()) {
            tie = [&](size_t a, size_t b) {
                for (size_t k = 0; k < sortKeys_.size(); ++k) {
                    if (eval_.compareForSort(rows[a].sortValues[k], rows[b].sortValues[k]) != 0)
                        return false;
                }
                return true;
            };
        }
        rows.resize(rowsWithinTop(rows.size(), s_.top, tie));
        bool single = !s_.join.has_value();
        if (single) result.baseTable = sources_[0].table->name;
        result.rows.reserve(rows.size());
        for (auto& r : rows) {
            result.rows.push_back(std::move(r.values));
            if (single) result.rowIds.push_back(r.rowId);
        }
        setComputedTypes(result);
        return result;
    }

    void setComputedTypes(ResultSet& result) const {
        for (size_t i = 0; i < outputs_.size(); ++i) {
            if (!outputs_[i].expr) continue;
            result.columns[i].type = computedColumnType(result.rows, i);
            result.columns[i].size = result.columns[i].type == ColumnType::Text ? 510 : 8;
        }
    }

    GroupedQuery groupedQuery() const {
        GroupedQuery q;
        for (const Output& o : outputs_)
            q.outputs.push_back(
                GroupedOutput{o.count || o.expr ? nullptr : &o.ref, o.expr, o.count});
        for (const ColumnRef& g : s_.groupBy) q.groupBy.push_back(&g);
        q.having = s_.having.get();
        for (const SortKey& k : sortKeys_)
            q.sortKeys.push_back(GroupedSortKey{&k.ref, k.output, k.descending});
        q.top = s_.top;
        return q;
    }

private:
    using Emit = std::function<void(const RowContext&, RowId)>;

    // ----- binding -----

    void bind() {
        sources_.push_back(Source{&findTable(db_, s_.from)});
        if (s_.join) sources_.push_back(Source{&findTable(db_, s_.join->table)});
        binder_.emplace(sources_);
        for (auto& item : s_.items) bindItem(item);
        if (s_.where) {
            binder_->bindExpr(*s_.where);
            refuseAggregateInWhere(*s_.where, s_.whereText);
        }
        if (s_.join) bindJoin();
        for (auto& g : s_.groupBy) binder_->bindColumn(g);
        if (s_.having) binder_->bindExpr(*s_.having);
        for (auto& o : s_.orderBy) bindOrder(o);
        grouped_ = needsGrouping(s_);
        if (grouped_) {
            checkGrouped(groupedQuery());
        } else if (isCount()) {
            for (const auto& o : outputs_) {
                if (!o.count) throwNotInAggregate(o.ref.display());
            }
            if (!sortKeys_.empty()) throwNotInAggregate(sortKeys_[0].ref.display());
        }
    }

    bool isCount() const {
        return std::any_of(outputs_.begin(), outputs_.end(),
                           [](const Output& o) { return o.count; });
    }

    void bindItem(SelectItem& item) {
        switch (item.kind) {
            case SelectItem::Kind::Star:
                for (size_t s = 0; s < sources_.size(); ++s) {
                    for (size_t c = 0; c < sources_[s].table->columns.size(); ++c) {
                        Output o;
                        o.ref.table = sources_[s].table->name;
                        o.ref.column = sources_[s].table->columns[c].name;
                        o.ref.boundSource = static_cast<int>(s);
                        o.ref.boundColumn = c;
                        outputs_.push_back(o);
                        aliases_.emplace_back();
                    }
                }
                return;
            case SelectItem::Kind::CountStar: {
                Output o;
                o.count = true;
                outputs_.push_back(o);
                aliases_.push_back(item.alias);
                return;
            }
            case SelectItem::Kind::Column:
                binder_->bindColumn(item.column);
                outputs_.push_back(Output{item.column, false});
                aliases_.push_back(item.alias);
                return;
            case SelectItem::Kind::Expression:
                binder_->bindExpr(*item.expr);
                outputs_.push_back(Output{{}, false, item.expr.get()});
                aliases_.push_back(item.alias);
                return;
        }
    }

    void bindJoin() {
        Expr& on = *s_.join->on;
        binder_->bindExpr(on);
        bool equality = on.kind == Expr::Kind::Compare && on.op == CompareOp::Eq &&
                        on.args[0]->kind == Expr::Kind::Column &&
                        on.args[1]->kind == Expr::Kind::Column &&
                        on.args[0]->column.boundSource != on.args[1]->column.boundSource;
        if (!equality) {
            throw Error(ErrorKind::Unsupported, errnum::kJoinNotSupported,
                        "JOIN expression not supported.");
        }
        for (const auto& a : on.args) joinColumn_[a->column.boundSource] = &a->column;
        if (familyOf(binder_->columnOf(*joinColumn_[0])) !=
            familyOf(binder_->columnOf(*joinColumn_[1]))) {
            throw Error(ErrorKind::Type, kJoinTypeMismatch, "Type mismatch in JOIN expression.");
        }
    }

    void bindOrder(OrderItem& o) {
        SortKey key;
        key.descending = o.descending;
        if (!binder_->tryBindColumn(o.column)) {
            // Not a column of the tables: perhaps an alias of the select list.
            for (size_t i = 0; i < aliases_.size() && o.column.table.empty(); ++i) {
                if (!aliases_[i].empty() &&
                    tdv::base::equalsIgnoringCase(aliases_[i], o.column.column)) {
                    key.output = i;
                    break;
                }
            }
            if (!key.output) throwUnknownName(o.column.display());
        }
        key.ref = o.column;
        sortKeys_.push_back(key);
    }

    // ----- result columns -----

    std::vector<ResultColumn> columns() const {
        std::vector<ResultColumn> out;
        for (size_t i = 0; i < outputs_.size(); ++i) {
            ResultColumn rc;
            if (outputs_[i].count || outputs_[i].expr) {
                // An unnamed computed column is named after its position, as Jet names it.
                rc.name = aliases_[i].empty() ? "Expr" + std::to_string(1000 + i) : aliases_[i];
                rc.type = ColumnType::Long;
                rc.size = 4;
            } else {
                const ColumnDef& def = binder_->columnOf(outputs_[i].ref);
                rc.name = aliases_[i].empty() ? def.name : aliases_[i];
                rc.type = def.type;
                rc.size = def.length;
                rc.baseTable =
                    sources_[static_cast<size_t>(outputs_[i].ref.boundSource)].table->name;
                rc.baseColumn = def.name;
            }
            out.push_back(rc);
        }
        // A column name that two joined tables both supply is shown with its table's name.
        for (size_t i = 0; i < out.size(); ++i) {
            if (!aliases_[i].empty() || outputs_[i].count || outputs_[i].expr) continue;
            for (size_t j = 0; j < out.size(); ++j) {
                if (j == i || !aliases_[j].empty() || outputs_[j].count || outputs_[j].expr)
                    continue;
                if (tdv::base::equalsIgnoringCase(out[i].baseColumn, out[j].baseColumn) &&
                    outputs_[i].ref.boundSource != outputs_[j].ref.boundSource) {
                    out[i].name = out[i].baseTable + "." + out[i].baseColumn;
                    break;
                }
            }
        }
        return out;
    }

    // ----- producing rows -----

    ColumnMask maskFor(int slot) const {
        const TableDef& t = *sources_[static_cast<size_t>(slot)].table;
        ColumnMask mask(t.columns.size(), false);
        auto mark = [&](const ColumnRef& r) {
            if (r.boundSource == slot && r.boundColumn < mask.size()) mask[r.boundColumn] = true;
        };
        std::function<void(const Expr&)> markExpr = [&](const Expr& e) {
            if (e.kind == Expr::Kind::Column) mark(e.column);
            for (const auto& a : e.args) markExpr(*a);
        };
        for (const auto& o : outputs_) {
            if (o.expr) markExpr(*o.expr);
            if (!o.count && !o.expr) mark(o.ref);
        }
        for (const auto& k : sortKeys_) {
            if (!k.output) mark(k.ref);
        }
        for (const auto& g : s_.groupBy) mark(g);
        if (s_.having) markExpr(*s_.having);
        if (s_.where) markExpr(*s_.where);
        if (s_.join) markExpr(*s_.join->on);
        if (std::all_of(mask.begin(), mask.end(), [](bool b) { return b; })) return {};
        return mask;
    }

    bool passes(const Expr* e, const RowContext& ctx) const {
        return !e || eval_.test(*e, ctx) == Truth::True;
    }

    void produce(const Emit& emit) {
        if (s_.join) {
            produceJoin(emit);
            return;
        }
        auto conj = conjunctsOf(s_.where.get());
        AccessPath path;
        if (options_.useIndexes) path = chooseAccessPath(*sources_[0].table, 0, conj, version_);
        if (!path.index && filtersFirst(conj)) {
            produceFilteredScan(emit);
            return;
        }
        RowContext ctx;
        readWith(0, path, [&](RowId id, const std::vector<Value>& values) {
            ctx.sources[0] = &values;
            if (passes(s_.where.get(), ctx)) emit(ctx, id);
        });
    }

    // The columns the WHERE condition names (all false when it names none).
    ColumnMask whereMask() const {
        ColumnMask mask(sources_[0].table->columns.size(), false);
        std::function<void(const Expr&)> mark = [&](const Expr& e) {
            if (e.kind == Expr::Kind::Column && e.column.boundSource == 0 &&
                e.column.boundColumn < mask.size()) {
                mask[e.column.boundColumn] = true;
            }
            for (const auto& a : e.args) mark(*a);
        };
        if (s_.where) mark(*s_.where);
        return mask;
    }

    // Whether a scan should decode only the WHERE's columns and read the rest of a row only
    // when it passes: the condition holds an equality of a column with a literal (a lookup,
    // which few rows pass) and the statement needs columns the condition does not name.
    bool filtersFirst(const std::vector<const Expr*>& conj) const {
        const bool lookup = std::any_of(conj.begin(), conj.end(), [](const Expr* c) {
            if (c->kind != Expr::Kind::Compare || c->op != CompareOp::Eq) return false;
            const Expr::Kind a = c->args[0]->kind;
            const Expr::Kind b = c->args[1]->kind;
            return (a == Expr::Kind::Column && b == Expr::Kind::Literal) ||
                   (a == Expr::Kind::Literal && b == Expr::Kind::Column);
        });
        if (!lookup) return false;
        const ColumnMask where = whereMask();
        const ColumnMask all = maskFor(0);
        for (size_t c = 0; c < where.size(); ++c) {
            if (!where[c] && (all.empty() || all[c])) return true;
        }
        return false;
    }

    // A scan that decodes the WHERE's columns of every row and the statement's other
    // columns only for the rows that pass, reading those rows again by address within the
    // same read of the file.
    void produceFilteredScan(const Emit& emit) {
        const TableDef& table = *sources_[0].table;
        const ColumnMask rest = maskFor(0);
        RowContext ctx;
        TableScan scan = db_.scan(table, whereMask());
        while (scan.next()) {
            ctx.sources[0] = &scan.values();
            if (!passes(s_.where.get(), ctx)) continue;
            const std::vector<Value> row = db_.readRow(table, scan.rowId(), rest);
            ctx.sources[0] = &row;
            emit(ctx, scan.rowId());
        }
        note(0, "scan");
    }

    std::vector<const Expr*> localConjuncts(int slot) const {
        std::vector<const Expr*> out;
        for (const Expr* c : conjunctsOf(s_.where.get())) {
            if (refersOnlyTo(*c, slot)) out.push_back(c);
        }
        return out;
    }

    bool passesAll(const std::vector<const Expr*>& conj, const RowContext& ctx) const {
        for (const Expr* c : conj) {
            if (eval_.test(*c, ctx) != Truth::True) return false;
        }
        return true;
    }

    // The driving table is read by its own best path; for each of its rows the other table
    // is probed through an index on its join column, or through a hash of its rows built
    // once. Either way the cost is linear in the rows read, never the product of the tables.
    void produceJoin(const Emit& emit) {
        std::vector<const Expr*> local[2] = {localConjuncts(0), localConjuncts(1)};
        AccessPath paths[2];
        if (options_.useIndexes) {
            for (int s = 0; s < 2; ++s) {
                paths[s] = chooseAccessPath(*sources_[static_cast<size_t>(s)].table, s, local[s],
                                            version_);
            }
        }
        const int drive = (!paths[0].index && paths[1].index) ? 1 : 0;
        const int probe = 1 - drive;
        const TableDef& probeTable = *sources_[static_cast<size_t>(probe)].table;
        const IndexDef* probeIndex = nullptr;
        if (options_.useIndexes) {
            for (const IndexDef& index : probeTable.indexes) {
                if (!index.columns.empty() &&
                    index.columns[0].column == joinColumn_[probe]->boundColumn &&
                    (!probeIndex || index.columns.size() < probeIndex->columns.size())) {
                    probeIndex = &index;
                }
            }
        }
        const ColumnMask probeMask = maskFor(probe);
        const Expr& on = *s_.join->on;
        RowContext ctx;
        if (probeIndex) note(probe, "join probe by index " + probeIndex->name);
        auto finish = [&](const std::vector<Value>& probeRow) {
            ctx.sources[static_cast<size_t>(probe)] = &probeRow;
            if (passesAll(local[probe], ctx) && passes(&on, ctx) && passes(s_.where.get(), ctx)) {
                emit(ctx, RowId{});
            }
        };
        readWith(drive, paths[drive], [&](RowId, const std::vector<Value>& driveRow) {
            ctx.sources = {nullptr, nullptr};
            ctx.sources[static_cast<size_t>(drive)] = &driveRow;
            if (!passesAll(local[drive], ctx)) return;
            const Value& joinValue = driveRow[joinColumn_[drive]->boundColumn];
            if (joinValue.isNull()) return;
            if (probeIndex) {
                if (auto key = firstColumnKey(probeTable, *probeIndex, joinValue, version_)) {
                    for (RowId id : indexCandidates(db_, probeTable, *probeIndex, *key)) {
                        finish(db_.readRow(probeTable, id, probeMask));
                    }
                    return;
                }
            }
            buildHash(probe, probeMask);
            auto it = hash_.find(hashKey(joinValue, version_));
            if (it == hash_.end()) return;
            for (size_t i : it->second) finish(hashRows_[i]);
        });
    }

    void note(int slot, const std::string& how) const {
        if (options_.plan) {
            options_.plan->push_back(sources_[static_cast<size_t>(slot)].table->name + ": " + how);
        }
    }

    // Reads the candidate rows of one table by the chosen path, noting the path in the plan.
    void readWith(int slot, const AccessPath& path, const RowVisitor& visit) {
        size_t n = 0;
        forEachCandidate(db_, *sources_[static_cast<size_t>(slot)].table, path, maskFor(slot),
                         [&](RowId id, const std::vector<Value>& values) {
                             ++n;
                             visit(id, values);
                         });
        if (path.index) {
            note(slot, "index " + path.index->name + ", " + std::to_string(n) + " rows");
        } else {
            note(slot, "scan");
        }
    }

    void buildHash(int slot, const ColumnMask& mask) {
        if (hashBuilt_) return;
        hashBuilt_ = true;
        size_t column = joinColumn_[slot]->boundColumn;
        TableScan scan = db_.scan(*sources_[static_cast<size_t>(slot)].table, mask);
        while (scan.next()) {
            const Value& v = scan.values()[column];
            if (v.isNull()) continue;
            hash_[hashKey(v, version_)].push_back(hashRows_.size());
            hashRows_.push_back(scan.values());
        }
        note(slot, "join hash of " + std::to_string(hashRows_.size()) + " rows");
    }

    ProducedRow makeRow(const RowContext& ctx, RowId id) const {
        ProducedRow row;
        row.rowId = id;
        row.values.reserve(outputs_.size());
        for (const auto& o : outputs_)
            row.values.push_back(o.expr ? eval_.value(*o.expr, ctx) : valueOf(ctx, o.ref));
        for (const auto& k : sortKeys_) {
            row.sortValues.push_back(k.output ? row.values[*k.output] : valueOf(ctx, k.ref));
        }
        return row;
    }

    static Value valueOf(const RowContext& ctx, const ColumnRef& ref) {
        const auto* values = ctx.sources[static_cast<size_t>(ref.boundSource)];
        if (!values || ref.boundColumn >= values->size()) {
            throw Error(ErrorKind::Internal, errnum::kInternal, "Row shorter than its table");
        }
        return (*values)[ref.boundColumn];
    }

    // The order of an index matching the ORDER BY, when one gives exactly the sorted order.
    std::optional<std::vector<size_t>> indexOrder(const std::vector<ProducedRow>& rows) {
        if (s_.join || !options_.useIndexes) return std::nullopt;
        IndexOrderRequest request;
        for (const auto& k : sortKeys_) {
            if (k.output || k.ref.boundSource != 0) return std::nullopt;
            request.columns.push_back(k.ref.boundColumn);
            request.descending.push_back(k.descending);
        }
        request.rows.reserve(rows.size());
        for (const auto& r : rows) request.rows.push_back(r.rowId);
        request.sortValues = [&](size_t i) -> const std::vector<Value>& {
            return rows[i].sortValues;
        };
        const IndexDef* index = nullptr;
        auto order = orderByIndex(db_, *sources_[0].table, request, eval_, &index);
        if (order) note(0, "order of index " + index->name);
        return order;
    }

    void sort(std::vector<ProducedRow>& rows) {
        if (sortKeys_.empty()) return;
        std::vector<bool> descending;
        for (const auto& k : sortKeys_) descending.push_back(k.descending);
        auto order = indexOrder(rows);
        if (!order) {
            order = orderByKeys(
                rows.size(),
                [&](size_t i) -> const std::vector<Value>& { return rows[i].sortValues; },
                descending, version_);
        }
        if (order) {
            std::vector<ProducedRow> sorted;
            sorted.reserve(rows.size());
            for (size_t i : *order) sorted.push_back(std::move(rows[i]));
            rows = std::move(sorted);
            return;
        }
        std::stable_sort(rows.begin(), rows.end(), [&](const ProducedRow& a, const ProducedRow& b) {
            for (size_t k = 0; k < sortKeys_.size(); ++k) {
                int c = eval_.compareForSort(a.sortValues[k], b.sortValues[k]);
                if (c != 0) return sortKeys_[k].descending ? c > 0 : c < 0;
            }
            return false;
        });
    }

    Database& db_;
    SelectStmt& s_;
    QueryOptions options_;
    JetVersion version_;
    Evaluator eval_;
    std::vector<Source> sources_;
    std::optional<Binder> binder_;
    std::vector<Output> outputs_;
    std::vector<std::string> aliases_;
    std::vector<SortKey> sortKeys_;
    const ColumnRef* joinColumn_[2] = {nullptr, nullptr};
    bool grouped_ = false;
    bool hashBuilt_ = false;
    std::unordered_map<std::string, std::vector<size_t>> hash_;
    std::vector<std::vector<Value>> hashRows_;
};

}  // namespace

ResultSet executeSelect(Database& db, SelectStmt& select, const QueryOptions& options) {
    // One shared lock and one check of the file for the whole statement: every page it
    // reads comes from one version of the file, and a save waits until the statement ends.
    PageFile::ReadScope scope(db.pages());
    return SelectRun(db, select, options).run();
}

void checkWriteStatement(Database& db, Statement& statement) {
    if (auto* u = std::get_if<UpdateStmt>(&statement)) {
        Binder binder({Source{&findTable(db, u->table)}});
        for (auto& a : u->assignments) {
            binder.bindColumn(a.column);
            binder.bindExpr(*a.value);
        }
        if (u->where) binder.bindExpr(*u->where);
    } else if (auto* d = std::get_if<DeleteStmt>(&statement)) {
        Binder binder({Source{&findTable(db, d->table)}});
        if (d->where) binder.bindExpr(*d->where);
    } else if (auto* i = std::get_if<InsertStmt>(&statement)) {
        findTable(db, i->table);
    }
}

}  // namespace jet::sql
