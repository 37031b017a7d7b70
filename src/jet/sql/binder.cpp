#include "jet/sql/binder.h"

#include <algorithm>

#include "base/text.h"
#include "jet/error.h"
#include "jet/sql/expr_eval.h"
#include "jet/sql/functions.h"
#include "jet/sql/lexer.h"
#include "jet/sql/parser.h"

namespace jet::sql {

namespace {

constexpr long kSubqueryFields = 3306;

bool isNumericLiteral(const Value& v) {
    return numericValue(v).has_value();
}

}  // namespace

const TableDef& findTable(Database& db, std::string_view name) {
    if (!db.hasTable(name)) {
        throw Error(ErrorKind::NoSuchTable, errnum::kNoSuchTable,
                    "The Microsoft Jet database engine cannot find the input table or query '" +
                        std::string(name) +
                        "'.  Make sure it exists and that its name is spelled correctly.");
    }
    return db.table(name);
}

void throwUnknownName(const std::string& name) {
    throw Error(ErrorKind::NoSuchColumn, errnum::kUnknownName,
                "The Microsoft Jet database engine does not recognize '" + name +
                    "' as a valid field name or expression.");
}

Binder::Binder(std::vector<Source> sources, std::vector<Source> outer, SubqueryBinder* subqueries)
    : sources_(std::move(sources)), subqueries_(subqueries) {
    if (!outer.empty()) {
        sources_.resize(2);
        for (size_t i = 0; i < outer.size() && i < 2; ++i) sources_.push_back(outer[i]);
    }
}

// The slot among [from, to) whose table has the column; -1 when none.
int Binder::findIn(ColumnRef& ref, size_t from, size_t to, size_t& column) const {
    int found = -1;
    for (size_t s = from; s < to && s < sources_.size(); ++s) {
        if (!sources_[s].table) continue;
        const TableDef& t = *sources_[s].table;
        if (!ref.table.empty() && !tdv::base::equalsIgnoringCase(ref.table, sources_[s].name()))
            continue;
        auto pos = t.findColumn(ref.column);
        if (!pos) continue;
        if (found >= 0) {
            throw Error(ErrorKind::NoSuchColumn, errnum::kAmbiguousField,
                        "The specified field '" + ref.display() +
                            "' could refer to more than one table listed in the FROM clause "
                            "of your SQL statement.");
        }
        found = static_cast<int>(s);
        column = *pos;
    }
    return found;
}

bool Binder::tryBindColumn(ColumnRef& ref) const {
    size_t column = 0;
    int found = findIn(ref, 0, 2, column);
    if (found < 0) found = findIn(ref, 2, 4, column);
    if (found < 0) return false;
    ref.boundSource = found;
    ref.boundColumn = column;
    return true;
}

void refuseAggregateInWhere(const Expr& where, const std::string& whereText) {
    if (containsAggregate(where))
        throw Error(ErrorKind::Syntax, errnum::kAggregateInWhere,
                    "Cannot have aggregate function in WHERE clause (" + whereText + ").");
}

void Binder::bindColumn(ColumnRef& ref) const {
    if (!tryBindColumn(ref)) throwUnknownName(ref.display());
}

const ColumnDef& Binder::columnOf(const ColumnRef& ref) const {
    if (ref.boundSource < 0 || static_cast<size_t>(ref.boundSource) >= sources_.size()) {
        throw Error(ErrorKind::Internal, errnum::kInternal, "Column not bound: " + ref.display());
    }
    if (!sources_[static_cast<size_t>(ref.boundSource)].table) {
        throw Error(ErrorKind::Internal, errnum::kInternal, "Column not bound: " + ref.display());
    }
    const TableDef& t = *sources_[static_cast<size_t>(ref.boundSource)].table;
    if (ref.boundColumn >= t.columns.size()) {
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "Column out of range: " + ref.display());
    }
    return t.columns[ref.boundColumn];
}

void Binder::bindExpr(Expr& e) const {
    if (e.kind == Expr::Kind::Column) bindColumn(e.column);
    if (e.kind == Expr::Kind::Call) checkCall(e);
    if (e.subquery) {
        if (!subqueries_)
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        "A subquery is not supported here.");
        std::vector<Source> own(
            sources_.begin(),
            sources_.begin() + static_cast<long>(std::min<size_t>(2, sources_.size())));
        const size_t columns = subqueries_->bindSubquery(*e.subquery, own);
        if (e.kind != Expr::Kind::Exists && columns != 1)
            throw Error(ErrorKind::Syntax, kSubqueryFields,
                        "You have written a subquery that can return more than one field "
                        "without using the EXISTS reserved word in the main query's FROM "
                        "clause. Revise the SELECT statement of the subquery to request only "
                        "one field.");
    }
    for (auto& a : e.args) bindExpr(*a);
    if (e.kind == Expr::Kind::Compare) {
        checkComparable(*e.args[0], *e.args[1]);
        checkComparable(*e.args[1], *e.args[0]);
    }
}

// Jet refuses, before reading any row, a comparison of a column with a literal that no
// value of the column's type can equal.
void Binder::checkComparable(const Expr& a, const Expr& b) const {
    if (a.kind != Expr::Kind::Column || b.kind != Expr::Kind::Literal || b.literal.isNull()) return;
    const ColumnDef& col = columnOf(a.column);
    const Value& lit = b.literal;
    if (col.isText()) {
        if (!lit.is<Text>()) throwTypeMismatch();
        return;
    }
    if (isNumericType(col.type)) {
        if (isNumericLiteral(lit)) return;
        if (!lit.is<Text>()) throwTypeMismatch();
        const std::string& s = lit.get<Text>().utf8;
        DateTime d;
        if (parseNumber(s)) return;
        if (col.type == ColumnType::DateTime && parseDateLiteral(s, d)) return;
        throwTypeMismatch();
    }
    if (col.type == ColumnType::Guid && !lit.is<Text>()) throwTypeMismatch();
}

}  // namespace jet::sql
