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
constexpr long kDistinctOrderBy = 3093;
constexpr long kUnionColumns = 3307;

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

// One ORDER BY key: a column of a source, an output column (an alias or a position) or a
// computed value.
struct SortKey {
    ColumnRef ref;
    std::optional<size_t> output;
    const Expr* expr = nullptr;
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

// The key under which DISTINCT and UNION see two rows as the same (text without case).
std::string rowKey(const std::vector<Value>& row, JetVersion version) {
    std::string key;
    for (const Value& v : row) {
        const std::string k = v.isNull() ? std::string("0") : hashKey(v, version);
        key += std::to_string(k.size()) + ":" + k;
    }
    return key;
}

// Keeps the first of each set of rows that are the same.
void keepDistinct(std::vector<std::vector<Value>>& rows, JetVersion version) {
    std::unordered_map<std::string, bool> seen;
    std::vector<std::vector<Value>> out;
    for (auto& r : rows) {
        if (seen.emplace(rowKey(r, version), true).second) out.push_back(std::move(r));
    }
    rows = std::move(out);
}

class SelectRun;

// The subqueries of one statement: each is bound once, as a statement of its own whose
// slots 2 and 3 are the enclosing statement's tables, and run when the evaluator needs its
// rows: once, when it names no table of the enclosing statement, else once per enclosing row.
class Subqueries : public SubqueryBinder, public SubqueryRunner {
public:
    Subqueries(Database& db, const QueryOptions& options) : db_(db), options_(options) {}
    ~Subqueries() override;

    size_t bindSubquery(SelectStmt& subquery, const std::vector<Source>& outer) override;
    const std::vector<Value>& firstColumn(const SelectStmt& subquery,
                                          const RowContext& outer) const override;

private:
    struct Run {
        std::unique_ptr<SelectRun> run;
        bool correlated = false;
        bool done = false;
        std::vector<Value> rows;
    };
    Database& db_;
    QueryOptions options_;
    mutable std::unordered_map<const SelectStmt*, Run> runs_;
};

class SelectRun {
public:
    SelectRun(Database& db, SelectStmt& s, const QueryOptions& options, Subqueries* subqueries,
              std::vector<Source> outer = {})
        : db_(db),
          s_(s),
          options_(options),
          version_(db.info().version),
          eval_(version_, subqueries),
          subqueries_(subqueries),
          outer_(std::move(outer)) {}

    // The enclosing row of a subquery's run.
    void setOuterRow(const RowContext& outer) {
        outerRows_[0] = outer.sources[0];
        outerRows_[1] = outer.sources[1];
    }

    size_t outputCount() const { return outputs_.size(); }

    // Whether a column of the statement belongs to the enclosing statement's tables.
    bool correlated() const {
        std::function<bool(const Expr&)> outside = [&](const Expr& e) {
            if (e.kind == Expr::Kind::Column && e.column.boundSource >= 2) return true;
            for (const auto& a : e.args)
                if (outside(*a)) return true;
            return false;
        };
        for (const auto& o : outputs_)
            if ((o.expr && outside(*o.expr)) || (!o.expr && !o.count && o.ref.boundSource >= 2))
                return true;
        for (const auto& k : sortKeys_)
            if (k.expr && outside(*k.expr)) return true;
        return (s_.where && outside(*s_.where)) || (s_.having && outside(*s_.having)) ||
               (s_.join && outside(*s_.join->on));
    }

    ResultSet run() {
        if (!bound_) bind();
        if (!s_.unions.empty()) return runUnion();
        ResultSet result = runBody();
        return result;
    }

    ResultSet runBody() {
        ResultSet result;
        result.columns = columns();
        if (grouped_) {
            result.rows = runGrouped(groupedQuery(), eval_, [&](const RowFeed& feed) {
                produce([&](const RowContext& ctx, RowId) { feed(ctx); });
            });
            if (s_.distinct) keepDistinct(result.rows, version_);
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
        if (s_.distinct) {
            std::unordered_map<std::string, bool> seen;
            std::vector<ProducedRow> kept;
            for (auto& r : rows) {
                if (seen.emplace(rowKey(r.values, version_), true).second)
                    kept.push_back(std::move(r));
            }
            rows = std::move(kept);
        }
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
        rows.resize(
            rowsWithinTop(rows.size(), effectiveTop(s_.top, s_.topPercent, rows.size()), tie));
        bool single = !s_.join.has_value() && !s_.distinct;
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
            q.sortKeys.push_back(
                GroupedSortKey{k.expr ? nullptr : &k.ref, k.output, k.expr, k.descending});
        q.top = s_.top;
        q.topPercent = s_.topPercent;
        return q;
    }

    // UNION [ALL]: the parts' rows one after the other, each UNION without ALL keeping one
    // of each set of equal rows so far; the ORDER BY names the first SELECT's columns by name
    // or position.
    ResultSet runUnion() {
        ResultSet result = runBody();
        result.baseTable.clear();
        result.rowIds.clear();
        for (UnionPart& part : s_.unions) {
            SelectRun run(db_, *part.select, options_, subqueries_, outer_);
            run.setOuterRowPointers(outerRows_);
            ResultSet more = run.run();
            if (more.columns.size() != result.columns.size())
                throw Error(ErrorKind::Syntax, kUnionColumns,
                            "The number of columns in the two selected tables or queries of a "
                            "union query do not match.");
            for (auto& r : more.rows) result.rows.push_back(std::move(r));
            if (!part.all) keepDistinct(result.rows, version_);
        }
        std::vector<std::pair<size_t, bool>> keys;
        for (const OrderItem& o : s_.orderBy) {
            std::optional<size_t> column;
            if (o.ordinal > 0 && static_cast<size_t>(o.ordinal) <= result.columns.size())
                column = static_cast<size_t>(o.ordinal - 1);
            if (o.expr && o.expr->kind == Expr::Kind::Column) {
                for (size_t i = 0; i < result.columns.size() && !column; ++i) {
                    if (tdv::base::equalsIgnoringCase(result.columns[i].name, o.column.column) ||
                        tdv::base::equalsIgnoringCase(result.columns[i].name, o.column.display()))
                        column = i;
                }
            }
            if (!column)
                throwUnknownName(o.ordinal > 0 ? std::to_string(o.ordinal)
                                               : (o.expr ? o.column.display() : ""));
            keys.emplace_back(*column, o.descending);
        }
        if (!keys.empty()) {
            std::stable_sort(result.rows.begin(), result.rows.end(),
                             [&](const std::vector<Value>& a, const std::vector<Value>& b) {
                                 for (auto [k, desc] : keys) {
                                     const int c = eval_.compareForSort(a[k], b[k]);
                                     if (c != 0) return desc ? c > 0 : c < 0;
                                 }
                                 return false;
                             });
        }
        return result;
    }

    void setOuterRowPointers(const std::array<const std::vector<Value>*, 2>& rows) {
        outerRows_ = rows;
    }

    void bind() {
        bound_ = true;
        sources_.push_back(Source{&findTable(db_, s_.from), s_.fromAlias});
        if (s_.join) sources_.push_back(Source{&findTable(db_, s_.join->table), s_.join->alias});
        binder_.emplace(sources_, outer_, subqueries_);
        for (auto& item : s_.items) bindItem(item);
        if (s_.where) {
            binder_->bindExpr(*s_.where);
            refuseAggregateInWhere(*s_.where, s_.whereText);
        }
        if (s_.join) bindJoin();
        for (auto& g : s_.groupBy) binder_->bindColumn(g);
        if (s_.having) binder_->bindExpr(*s_.having);
        // After a UNION the ORDER BY sorts the whole union (runUnion).
        if (s_.unions.empty()) {
            for (auto& o : s_.orderBy) bindOrder(o);
        }
        grouped_ = needsGrouping(s_);
        for (const SortKey& k : sortKeys_)
            grouped_ = grouped_ || (k.expr && containsAggregate(*k.expr));
        if (grouped_) {
            checkGrouped(groupedQuery());
        } else if (isCount()) {
            for (const auto& o : outputs_) {
                if (!o.count) throwNotInAggregate(o.ref.display());
            }
            // The count is one row: ordering it by its own columns changes nothing.
            for (const SortKey& k : sortKeys_) {
                if (!k.output) throwNotInAggregate(k.expr ? "" : k.ref.display());
            }
        }
        if (s_.distinct) {
            for (SortKey& k : sortKeys_) {
                if (k.output) continue;
                for (size_t i = 0; i < outputs_.size() && !k.expr; ++i) {
                    const Output& o = outputs_[i];
                    if (!o.expr && !o.count && o.ref.boundSource == k.ref.boundSource &&
                        o.ref.boundColumn == k.ref.boundColumn)
                        k.output = i;
                }
                if (!k.output)
                    throw Error(ErrorKind::Syntax, kDistinctOrderBy,
                                "ORDER BY clause (" +
                                    (k.expr ? std::string("expression") : k.ref.display()) +
                                    ") conflicts with DISTINCT.");
            }
        }
    }

private:
    using Emit = std::function<void(const RowContext&, RowId)>;

    // ----- binding -----

    bool isCount() const {
        return std::any_of(outputs_.begin(), outputs_.end(),
                           [](const Output& o) { return o.count; });
    }

    void bindItem(SelectItem& item) {
        switch (item.kind) {
            case SelectItem::Kind::Star: {
                bool any = false;
                for (size_t s = 0; s < sources_.size(); ++s) {
                    if (!item.column.table.empty() &&
                        !tdv::base::equalsIgnoringCase(item.column.table, sources_[s].name()))
                        continue;
                    any = true;
                    for (size_t c = 0; c < sources_[s].table->columns.size(); ++c) {
                        Output o;
                        o.ref.table = sources_[s].name();
                        o.ref.column = sources_[s].table->columns[c].name;
                        o.ref.boundSource = static_cast<int>(s);
                        o.ref.boundColumn = c;
                        outputs_.push_back(o);
                        aliases_.emplace_back();
                    }
                }
                if (!any) throwUnknownName(item.column.table + ".*");
                return;
            }
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
        if (o.ordinal > 0) {
            // ORDER BY 2: the second column of the select list.
            if (static_cast<size_t>(o.ordinal) > outputs_.size())
                throwUnknownName(std::to_string(o.ordinal));
            key.output = static_cast<size_t>(o.ordinal - 1);
            sortKeys_.push_back(key);
            return;
        }
        if (o.expr->kind != Expr::Kind::Column) {
            binder_->bindExpr(*o.expr);
            key.expr = o.expr.get();
            sortKeys_.push_back(key);
            return;
        }
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
                rc.baseTable = sourceOf(outputs_[i].ref).table->name;
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
                    out[i].name = sourceOf(outputs_[i].ref).name() + "." + out[i].baseColumn;
                    break;
                }
            }
        }
        return out;
    }

    const Source& sourceOf(const ColumnRef& ref) const {
        return binder_->sources().at(static_cast<size_t>(ref.boundSource));
    }

    // ----- producing rows -----

    // A row context holding the enclosing statement's row, for a subquery.
    RowContext context() const {
        RowContext ctx;
        ctx.sources[2] = outerRows_[0];
        ctx.sources[3] = outerRows_[1];
        return ctx;
    }

    ColumnMask maskFor(int slot) const {
        const TableDef& t = *sources_[static_cast<size_t>(slot)].table;
        ColumnMask mask(t.columns.size(), false);
        auto mark = [&](const ColumnRef& r) {
            if (r.boundSource == slot && r.boundColumn < mask.size()) mask[r.boundColumn] = true;
        };
        // A subquery may name any column of this statement's row: then all are read.
        bool all = false;
        std::function<void(const Expr&)> markExpr = [&](const Expr& e) {
            if (e.kind == Expr::Kind::Column) mark(e.column);
            if (e.subquery) all = true;
            for (const auto& a : e.args) markExpr(*a);
        };
        for (const auto& o : outputs_) {
            if (o.expr) markExpr(*o.expr);
            if (!o.count && !o.expr) mark(o.ref);
        }
        for (const auto& k : sortKeys_) {
            if (k.expr) markExpr(*k.expr);
            if (!k.output && !k.expr) mark(k.ref);
        }
        for (const auto& g : s_.groupBy) mark(g);
        if (s_.having) markExpr(*s_.having);
        if (s_.where) markExpr(*s_.where);
        if (s_.join) markExpr(*s_.join->on);
        if (all || std::all_of(mask.begin(), mask.end(), [](bool b) { return b; })) return {};
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
        RowContext ctx = context();
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
        if (!lookup || maskFor(0).empty()) return false;
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
        RowContext ctx = context();
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
        // An outer join reads its preserved table and probes the other; a row of it that
        // matches nothing comes out once with Nulls for the other table's columns, and only
        // then does the WHERE see those Nulls.
        const bool outer = s_.join->type != JoinType::Inner;
        const int preserved = s_.join->type == JoinType::Right ? 1 : 0;
        const int drive = outer ? preserved : ((!paths[0].index && paths[1].index) ? 1 : 0);
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
        RowContext ctx = context();
        if (probeIndex) note(probe, "join probe by index " + probeIndex->name);
        bool matched = false;
        auto finish = [&](const std::vector<Value>& probeRow) {
            ctx.sources[static_cast<size_t>(probe)] = &probeRow;
            if (!passes(&on, ctx)) return;
            matched = true;
            if ((outer || passesAll(local[probe], ctx)) && passes(s_.where.get(), ctx)) {
                emit(ctx, RowId{});
            }
        };
        auto probeMatches = [&](const Value& joinValue) {
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
        };
        const std::vector<Value> nullRow(probeTable.columns.size());
        readWith(drive, paths[drive], [&](RowId, const std::vector<Value>& driveRow) {
            ctx.sources[0] = ctx.sources[1] = nullptr;
            ctx.sources[static_cast<size_t>(drive)] = &driveRow;
            if (!passesAll(local[drive], ctx)) return;
            matched = false;
            probeMatches(driveRow[joinColumn_[drive]->boundColumn]);
            if (outer && !matched) {
                ctx.sources[static_cast<size_t>(probe)] = &nullRow;
                if (passes(s_.where.get(), ctx)) emit(ctx, RowId{});
            }
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
            row.sortValues.push_back(
                k.output ? row.values[*k.output]
                         : (k.expr ? eval_.value(*k.expr, ctx) : valueOf(ctx, k.ref)));
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
            if (k.output || k.expr || k.ref.boundSource != 0) return std::nullopt;
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
    Subqueries* subqueries_;
    std::vector<Source> outer_;
    std::array<const std::vector<Value>*, 2> outerRows_{nullptr, nullptr};
    bool bound_ = false;
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

Subqueries::~Subqueries() = default;

size_t Subqueries::bindSubquery(SelectStmt& subquery, const std::vector<Source>& outer) {
    Run& r = runs_[&subquery];
    if (!r.run) {
        QueryOptions quiet = options_;
        quiet.plan = nullptr;  // a subquery may run once per row: its plan is not listed
        r.run = std::make_unique<SelectRun>(db_, subquery, quiet, this, outer);
        r.run->bind();
        // The parts of a union are bound only as they run, so a union may name the
        // enclosing row without this run knowing: it runs again for every row.
        r.correlated = r.run->correlated() || !subquery.unions.empty();
    }
    return r.run->outputCount();
}

const std::vector<Value>& Subqueries::firstColumn(const SelectStmt& subquery,
                                                  const RowContext& outer) const {
    auto it = runs_.find(&subquery);
    if (it == runs_.end())
        throw Error(ErrorKind::Internal, errnum::kInternal, "Subquery was not bound");
    Run& r = it->second;
    if (r.done && !r.correlated) return r.rows;
    r.run->setOuterRow(outer);
    ResultSet result = r.run->run();
    r.rows.clear();
    r.rows.reserve(result.rows.size());
    for (auto& row : result.rows) r.rows.push_back(row.empty() ? Value::null() : row[0]);
    r.done = true;
    return r.rows;
}

StatementSubqueries subqueriesFor(Database& db, const QueryOptions& options) {
    auto owner = std::make_shared<Subqueries>(db, options);
    StatementSubqueries out;
    out.binder = owner.get();
    out.runner = owner.get();
    out.owner = std::move(owner);
    return out;
}

ResultSet executeSelect(Database& db, SelectStmt& select, const QueryOptions& options) {
    // One shared lock and one check of the file for the whole statement: every page it
    // reads comes from one version of the file, and a save waits until the statement ends.
    PageFile::ReadScope scope(db.pages());
    Subqueries subqueries(db, options);
    return SelectRun(db, select, options, &subqueries).run();
}

void checkWriteStatement(Database& db, Statement& statement) {
    Subqueries subqueries(db, {});
    if (auto* u = std::get_if<UpdateStmt>(&statement)) {
        Binder binder({Source{&findTable(db, u->table), {}}}, {}, &subqueries);
        for (auto& a : u->assignments) {
            binder.bindColumn(a.column);
            binder.bindExpr(*a.value);
        }
        if (u->where) binder.bindExpr(*u->where);
    } else if (auto* d = std::get_if<DeleteStmt>(&statement)) {
        Binder binder({Source{&findTable(db, d->table), {}}}, {}, &subqueries);
        if (d->where) binder.bindExpr(*d->where);
    } else if (auto* i = std::get_if<InsertStmt>(&statement)) {
        findTable(db, i->table);
    }
}

}  // namespace jet::sql
