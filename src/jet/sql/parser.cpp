#include "jet/sql/parser.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "jet/error.h"
#include "jet/sql/lexer.h"

namespace jet::sql {

namespace {

// Longest select list, SET list or ORDER BY list accepted (Jet's own limit is 255 fields).
constexpr size_t kMaxListItems = 1000;

// Words that end or structure a clause and so cannot be a bare column or table name.
bool isReserved(const Token& t) {
    static constexpr std::string_view kWords[] = {
        "select",   "from",        "where",  "order", "by",   "and",  "or",      "not",
        "is",       "null",        "like",   "inner", "join", "on",   "as",      "set",
        "update",   "delete",      "true",   "false", "asc",  "desc", "insert",  "into",
        "values",   "group",       "having", "top",   "mod",  "in",   "between", "exists",
        "distinct", "distinctrow", "union",  "outer", "full"};
    if (t.kind != TokenKind::Word) return false;
    for (auto w : kWords) {
        if (t.isWord(w)) return true;
    }
    return false;
}

[[noreturn]] void fail(long number, const std::string& message) {
    throw Error(ErrorKind::Syntax, number, message);
}

// Jet SQL this engine does not run: refused by name, not taken for a mistake.
[[noreturn]] void notSupported(const std::string& what) {
    throw Error(ErrorKind::Unsupported, errnum::kUnsupported, what + " is not supported.");
}

// Deepest nesting of subqueries accepted.
constexpr int kMaxSubqueryNesting = 16;

// Which clause is being parsed decides the message a mistake gets.
enum class Clause { Where, On, Set, Select, Having, Values, Order };

// Words after which a WHERE, HAVING or select-list expression has ended; inside a subquery
// its closing parenthesis ends it too.
bool endsExpression(const Token& t, Clause clause, bool inSubquery) {
    if (t.kind == TokenKind::End || t.isSymbol(";") || t.isWord("order")) return true;
    if (inSubquery && t.isSymbol(")")) return true;
    switch (clause) {
        case Clause::Where:
            return t.isWord("group") || t.isWord("having") || t.isWord("union");
        case Clause::On:
            // A join word after the condition starts a further join (refused as such).
            return t.isWord("where") || t.isWord("group") || t.isWord("having") ||
                   t.isWord("union") || t.isWord("inner") || t.isWord("left") ||
                   t.isWord("right") || t.isWord("join") || t.isWord("full") || t.isWord("cross");
        case Clause::Order:
            return t.isSymbol(",") || t.isWord("asc") || t.isWord("desc");
        case Clause::Set:
            return t.isWord("where") || t.isSymbol(",");
        case Clause::Select:
            return t.isWord("from") || t.isWord("as") || t.isSymbol(",") || t.isWord("into");
        case Clause::Having:
            return t.isWord("union");
        case Clause::Values:
            return t.isSymbol(",") || t.isSymbol(")");
    }
    return false;
}

class Parser {
public:
    Parser(std::string_view sql, std::vector<Token> tokens) : sql_(sql), t_(std::move(tokens)) {}

    Statement statement() {
        const Token& first = peek();
        Statement out;
        if (first.isWord("select")) {
            out = select();
        } else if (first.isWord("update")) {
            out = update();
        } else if (first.isWord("delete")) {
            out = deleteStatement();
        } else if (first.isWord("insert")) {
            out = insert();
        } else if (first.isWord("create") || first.isWord("alter") || first.isWord("drop") ||
                   first.isWord("transform") || first.isWord("parameters") ||
                   first.isWord("procedure") || first.isWord("execute")) {
            notSupported(first.text);
        } else {
            fail(errnum::kInvalidStatement,
                 "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or "
                 "'UPDATE'.");
        }
        if (peek().isSymbol(";")) advance();
        if (peek().kind != TokenKind::End) {
            fail(errnum::kTrailingCharacters, "Characters found after end of SQL statement.");
        }
        return out;
    }

private:
    const Token& peek(size_t ahead = 0) const {
        size_t i = pos_ + ahead;
        return i < t_.size() ? t_[i] : t_.back();
    }
    const Token& advance() {
        const Token& t = peek();
        if (pos_ + 1 < t_.size()) ++pos_;
        return t;
    }
    bool acceptWord(std::string_view w) {
        if (!peek().isWord(w)) return false;
        advance();
        return true;
    }
    bool acceptSymbol(std::string_view s) {
        if (!peek().isSymbol(s)) return false;
        advance();
        return true;
    }
    bool atName() const {
        const Token& t = peek();
        return t.kind == TokenKind::Bracketed || (t.kind == TokenKind::Word && !isReserved(t));
    }

    // ----- SELECT -----

    // SELECT ... [UNION [ALL] SELECT ...] [ORDER BY ...]: the ORDER BY after a union sorts
    // the whole of it.
    SelectStmt select() {
        SelectStmt s = selectBody();
        while (acceptWord("union")) {
            UnionPart part;
            part.all = acceptWord("all");
            if (!peek().isWord("select")) selectError();
            if (s.unions.size() >= kMaxListItems)
                fail(errnum::kQueryTooComplex, "Query is too complex.");
            part.select = std::make_shared<SelectStmt>(selectBody());
            s.unions.push_back(std::move(part));
        }
        if (peek().isWord("order")) orderBy(s);
        return s;
    }

    SelectStmt selectBody() {
        advance();  // SELECT
        SelectStmt s;
        if (acceptWord("distinct")) {
            s.distinct = true;
        } else if (peek().isWord("distinctrow")) {
            notSupported("DISTINCTROW");
        } else {
            acceptWord("all");
        }
        if (acceptWord("top")) {
            const Token& n = peek();
            long count = 0;
            auto [p, ec] = std::from_chars(n.text.data(), n.text.data() + n.text.size(), count);
            if (n.kind != TokenKind::Number || ec != std::errc() ||
                p != n.text.data() + n.text.size() || count <= 0)
                fail(errnum::kSyntaxSelect,
                     "The SELECT statement includes a reserved word or an argument name that "
                     "is misspelled or missing, or the punctuation is incorrect.");
            advance();
            s.top = count;
            if (peek().isWord("percent") && !itemEndsAt(1)) {
                advance();
                s.topPercent = true;
                if (count > 100)
                    fail(errnum::kSyntaxSelect,
                         "The SELECT statement includes a reserved word or an argument name "
                         "that is misspelled or missing, or the punctuation is incorrect.");
            }
        }
        selectList(s);
        if (peek().isWord("into")) notSupported("SELECT INTO");
        if (!acceptWord("from")) selectError();
        fromClause(s);
        if (peek().isWord("where")) {
            advance();
            s.where = clauseExpression(Clause::Where, s.whereText);
        }
        if (peek().isWord("group")) groupBy(s);
        if (peek().isWord("having")) {
            advance();
            s.having = clauseExpression(Clause::Having, s.havingText);
        }
        return s;
    }

    void groupBy(SelectStmt& s) {
        advance();  // GROUP
        auto groupError = [] { fail(errnum::kSyntaxGroupBy, "Syntax error in GROUP BY clause."); };
        if (!acceptWord("by")) groupError();
        do {
            if (s.groupBy.size() >= kMaxListItems)
                fail(errnum::kQueryTooComplex, "Query is too complex.");
            if (!atName()) {
                if (startsExpression(peek())) notSupported("GROUP BY on an expression");
                groupError();
            }
            s.groupBy.push_back(columnRefOr(groupError));
            if (peek().isSymbol("(") || isOperator(peek()))
                notSupported("GROUP BY on an expression");
        } while (acceptSymbol(","));
        const Token& t = peek();
        if (!(t.kind == TokenKind::End || t.isSymbol(";") || t.isWord("having") ||
              t.isWord("order") || t.isWord("union") || (inSubquery() && t.isSymbol(")"))))
            groupError();
    }

    [[noreturn]] void selectError() {
        fail(errnum::kSyntaxSelect,
             "The SELECT statement includes a reserved word or an argument name that is "
             "misspelled or missing, or the punctuation is incorrect.");
    }

    // Whether a token can begin an expression (a name, a literal, a parenthesis, a sign).
    static bool startsExpression(const Token& t) {
        return t.kind == TokenKind::Word || t.kind == TokenKind::Bracketed ||
               t.kind == TokenKind::String || t.kind == TokenKind::Number ||
               t.kind == TokenKind::Date || t.isSymbol("(") || t.isSymbol("-") || t.isSymbol("+");
    }

    static bool isOperator(const Token& t) {
        return t.isSymbol("+") || t.isSymbol("-") || t.isSymbol("*") || t.isSymbol("/") ||
               t.isSymbol("\\") || t.isSymbol("^") || t.isSymbol("&") || t.isWord("mod");
    }

    void selectList(SelectStmt& s) {
        if (acceptSymbol("*")) {
            s.items.push_back(SelectItem{SelectItem::Kind::Star, {}, {}});
            return;
        }
        do {
            if (s.items.size() >= kMaxListItems)
                fail(errnum::kQueryTooComplex, "Query is too complex.");
            s.items.push_back(selectItem());
        } while (acceptSymbol(","));
    }

    // Whether the tokens from `ahead` on end a select item.
    bool itemEndsAt(size_t ahead) const {
        const Token& t = peek(ahead);
        return t.isSymbol(",") || t.isWord("from") || t.isWord("as") || t.isWord("into");
    }

    SelectItem selectItem() {
        SelectItem item;
        if (atName() && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
            // Alias.* : every column of one table
            item.kind = SelectItem::Kind::Star;
            item.column.table = advance().text;
            advance();
            advance();
            return item;
        }
        if (peek().isWord("count") && peek(1).isSymbol("(") && peek(2).isSymbol("*") &&
            peek(3).isSymbol(")") && itemEndsAt(4)) {
            advance();
            advance();
            advance();
            advance();
            item.kind = SelectItem::Kind::CountStar;
        } else if (atName() && (itemEndsAt(1) || (peek(1).isSymbol(".") && itemEndsAt(3)))) {
            item.kind = SelectItem::Kind::Column;
            item.column = columnRefOr([this] { selectError(); });
        } else {
            const Token& t = peek();
            if (t.isWord("from") || t.kind == TokenKind::End || t.kind == TokenKind::Invalid)
                selectError();
            item.kind = SelectItem::Kind::Expression;
            std::string text;
            item.expr = clauseExpression(Clause::Select, text);
        }
        if (acceptWord("as")) {
            if (!atName()) selectError();
            item.alias = advance().text;
        }
        return item;
    }

    [[noreturn]] void fromError() { fail(errnum::kSyntaxFrom, "Syntax error in FROM clause."); }

    std::string tableName() {
        if (!atName()) fromError();
        return advance().text;
    }

    // The words that may follow a table in FROM, so are not its alias.
    bool atJoinWord() const {
        const Token& t = peek();
        return t.isWord("inner") || t.isWord("join") || t.isWord("left") || t.isWord("right") ||
               t.isWord("full") || t.isWord("cross");
    }

    // Table [[AS] alias]
    std::string tableAlias() {
        if (acceptWord("as")) {
            if (!atName()) fromError();
            return advance().text;
        }
        if (atName() && !atJoinWord()) return advance().text;
        return {};
    }

    // A table of FROM: a name, or a parenthesised FROM / subquery, which are not run here.
    std::string fromTable() {
        if (peek().isSymbol("(")) {
            if (peek(1).isWord("select")) notSupported("A subquery in FROM");
            notSupported("A FROM clause of more than two tables");
        }
        return tableName();
    }

    void fromClause(SelectStmt& s) {
        s.from = fromTable();
        if (peek().isWord("in") && peek(1).kind == TokenKind::String)
            notSupported("A table of another database (IN)");
        s.fromAlias = tableAlias();
        if (atJoinWord()) {
            JoinClause j;
            if (acceptWord("left")) {
                j.type = JoinType::Left;
                acceptWord("outer");
            } else if (acceptWord("right")) {
                j.type = JoinType::Right;
                acceptWord("outer");
            } else {
                acceptWord("inner");
            }
            if (!acceptWord("join")) fromError();
            j.table = fromTable();
            j.alias = tableAlias();
            if (!acceptWord("on")) fromError();
            std::string onText;
            j.on = clauseExpression(Clause::On, onText);
            s.join = std::move(j);
            if (atJoinWord()) notSupported("A FROM clause of more than two tables");
        }
        const Token& t = peek();
        if (t.kind == TokenKind::End || t.isSymbol(";") || t.isWord("where") || t.isWord("order") ||
            t.isWord("group") || t.isWord("having") || t.isWord("union") ||
            (inSubquery() && t.isSymbol(")"))) {
            return;
        }
        if (t.isSymbol(",")) notSupported("A FROM clause of more than two tables");
        if (t.isWord("left") || t.isWord("right") || t.isWord("inner") || t.isWord("join") ||
            atName()) {
            fromError();
        }
        fail(errnum::kSyntaxSelect,
             "The SELECT statement includes a reserved word or an argument name that is "
             "misspelled or missing, or the punctuation is incorrect.");
    }

    void orderBy(SelectStmt& s) {
        advance();  // ORDER
        auto orderError = [] { fail(errnum::kSyntaxOrderBy, "Syntax error in ORDER BY clause."); };
        if (!acceptWord("by")) orderError();
        do {
            if (s.orderBy.size() >= kMaxListItems)
                fail(errnum::kQueryTooComplex, "Query is too complex.");
            OrderItem item;
            const Token& first = peek();
            const Token& after = peek(1);
            const bool ends = after.kind == TokenKind::End || after.isSymbol(",") ||
                              after.isSymbol(";") || after.isWord("asc") || after.isWord("desc") ||
                              (inSubquery() && after.isSymbol(")"));
            if (first.kind == TokenKind::Number && ends) {
                long n = 0;
                auto [p, ec] =
                    std::from_chars(first.text.data(), first.text.data() + first.text.size(), n);
                if (ec != std::errc() || p != first.text.data() + first.text.size() || n < 1 ||
                    n > static_cast<long>(kMaxListItems))
                    orderError();
                item.ordinal = static_cast<int>(n);
                advance();
            } else {
                if (!startsExpression(first) || isReserved(first)) orderError();
                try {
                    item.expr = orExpr(depthBase_);
                } catch (const ExprFailure&) {
                    orderError();
                } catch (const NameError&) {
                    orderError();
                }
                if (item.expr->kind == Expr::Kind::Column) item.column = item.expr->column;
            }
            if (acceptWord("desc")) {
                item.descending = true;
            } else {
                acceptWord("asc");
            }
            s.orderBy.push_back(std::move(item));
        } while (acceptSymbol(","));
        const Token& t = peek();
        if (t.kind != TokenKind::End && !t.isSymbol(";") && !(inSubquery() && t.isSymbol(")")))
            orderError();
    }

    struct NameError {};  // "Table." not followed by a name

    template <class OnError>
    ColumnRef columnRefOr(OnError onError) {
        try {
            return columnRef();
        } catch (const NameError&) {
            onError();
        }
        throw NameError{};
    }

    ColumnRef columnRef() {
        ColumnRef ref;
        ref.column = advance().text;
        if (peek().isSymbol(".")) {
            advance();
            if (!atName()) throw NameError{};
            ref.table = std::move(ref.column);
            ref.column = advance().text;
        }
        return ref;
    }

    // ----- UPDATE / DELETE -----

    [[noreturn]] void updateError() {
        fail(errnum::kSyntaxUpdate, "Syntax error in UPDATE statement.");
    }

    UpdateStmt update() {
        advance();  // UPDATE
        UpdateStmt u;
        if (!atName()) updateError();
        u.table = advance().text;
        if (!acceptWord("set")) updateError();
        do {
            if (u.assignments.size() >= kMaxListItems)
                fail(errnum::kQueryTooComplex, "Query is too complex.");
            if (!atName()) updateError();
            Assignment a;
            a.column = columnRefOr([this] { updateError(); });
            if (!acceptSymbol("=")) updateError();
            std::string valueText;
            a.value = clauseExpression(Clause::Set, valueText);
            u.assignments.push_back(std::move(a));
        } while (acceptSymbol(","));
        if (acceptWord("where")) u.where = clauseExpression(Clause::Where, u.whereText);
        return u;
    }

    DeleteStmt deleteStatement() {
        advance();  // DELETE
        DeleteStmt d;
        if (!acceptSymbol("*")) {
            // DELETE Table.* FROM Table
            if (atName() && peek(1).isSymbol(".") && peek(2).isSymbol("*")) {
                advance();
                advance();
                advance();
            }
        }
        if (!acceptWord("from")) fromError();
        d.table = tableName();
        if (acceptWord("where")) d.where = clauseExpression(Clause::Where, d.whereText);
        return d;
    }

    // ----- INSERT -----

    [[noreturn]] void insertError() {
        fail(errnum::kSyntaxInsert, "Syntax error in INSERT INTO statement.");
    }

    InsertStmt insert() {
        advance();  // INSERT
        InsertStmt ins;
        if (!acceptWord("into") || !atName()) insertError();
        ins.table = advance().text;
        if (acceptSymbol("(")) {
            do {
                if (ins.columns.size() >= kMaxListItems)
                    fail(errnum::kQueryTooComplex, "Query is too complex.");
                if (!atName()) insertError();
                ins.columns.push_back(advance().text);
            } while (acceptSymbol(","));
            if (!acceptSymbol(")")) insertError();
        }
        if (acceptWord("values")) {
            if (!acceptSymbol("(")) insertError();
            do {
                if (ins.values.size() >= kMaxListItems)
                    fail(errnum::kQueryTooComplex, "Query is too complex.");
                std::string text;
                ins.values.push_back(clauseExpression(Clause::Values, text));
            } while (acceptSymbol(","));
            if (!acceptSymbol(")")) insertError();
        } else if (peek().isWord("select")) {
            ins.select = std::make_unique<SelectStmt>(select());
        } else {
            insertError();
        }
        return ins;
    }

    // ----- expressions -----

    // The source text of the clause's expression, from its first token to the end of the
    // clause (the next top-level clause keyword, ';' or the end of the statement).
    std::string clauseText(size_t startToken, Clause clause) const {
        size_t depth = 0;
        size_t i = startToken;
        size_t endOffset = t_[startToken].offset;
        for (; i < t_.size(); ++i) {
            const Token& t = t_[i];
            if (t.kind == TokenKind::End || t.kind == TokenKind::Invalid) {
                if (t.kind == TokenKind::Invalid) endOffset = sql_.size();
                break;
            }
            if (t.isSymbol("(")) ++depth;
            if (t.isSymbol(")") && depth > 0) --depth;
            if (depth == 0 && endsExpression(t, clause, inSubquery())) break;
            endOffset = t.end;
        }
        size_t begin = t_[startToken].offset;
        if (endOffset < begin) endOffset = begin;
        std::string text(sql_.substr(begin, endOffset - begin));
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                                 text.back() == '\n')) {
            text.pop_back();
        }
        return text;
    }

    enum class Problem { Plain, MissingOperator, String, Date };

    [[noreturn]] void exprError(Clause clause, size_t startToken, Problem problem) {
        if (clause == Clause::On) fail(errnum::kSyntaxJoin, "Syntax error in JOIN operation.");
        std::string text = clauseText(startToken, clause);
        std::string kind;
        switch (problem) {
            case Problem::Plain:
                kind = "Syntax error";
                break;
            case Problem::MissingOperator:
                kind = "Syntax error (missing operator)";
                break;
            case Problem::String:
                kind = "Syntax error in string";
                break;
            case Problem::Date:
                kind = "Syntax error in date";
                break;
        }
        fail(errnum::kSyntax, kind + " in query expression '" + text + "'.");
    }

    struct ExprFailure {
        Problem problem;
    };

    ExprPtr clauseExpression(Clause clause, std::string& textOut) {
        size_t start = pos_;
        ExprPtr e;
        try {
            e = orExpr(depthBase_);
        } catch (const ExprFailure& f) {
            exprError(clause, start, f.problem);
        } catch (const NameError&) {
            exprError(clause, start, Problem::Plain);
        }
        const Token& t = peek();
        if (!endsExpression(t, clause, inSubquery())) {
            Problem p = Problem::MissingOperator;
            if (t.kind == TokenKind::Invalid) p = invalidProblem(t);
            exprError(clause, start, p);
        }
        textOut = clauseText(start, clause);
        return e;
    }

    static Problem invalidProblem(const Token& t) {
        if (t.text == "string") return Problem::String;
        if (t.text == "date") return Problem::Date;
        return Problem::Plain;
    }

    static void checkDepth(int depth) {
        if (depth > kMaxExpressionDepth) fail(errnum::kQueryTooComplex, "Query is too complex.");
    }

    // Sets a new node's height from its operands (and the deepest expression of its
    // subquery) and refuses a tree taller than an expression may nest: binding, evaluation
    // and destruction walk the tree recursively, and a chain such as a + b + c + ... grows
    // it without any nesting in the text.
    ExprPtr measured(ExprPtr e, int subqueryHeight = 0) {
        int h = subqueryHeight;
        for (const auto& a : e->args) h = std::max(h, a->height);
        e->height = h + 1;
        if (e->height > kMaxExpressionHeight)
            fail(errnum::kQueryTooComplex, "Query is too complex.");
        deepest_ = std::max(deepest_, e->height);
        return e;
    }

    ExprPtr node(Expr::Kind kind, ExprPtr a, ExprPtr b = nullptr) {
        auto e = std::make_unique<Expr>();
        e->kind = kind;
        e->args.push_back(std::move(a));
        if (b) e->args.push_back(std::move(b));
        return measured(std::move(e));
    }

    ExprPtr orExpr(int depth) {
        checkDepth(depth);
        ExprPtr left = andExpr(depth + 1);
        while (acceptWord("or")) left = node(Expr::Kind::Or, std::move(left), andExpr(depth + 1));
        return left;
    }

    ExprPtr andExpr(int depth) {
        checkDepth(depth);
        ExprPtr left = notExpr(depth + 1);
        while (acceptWord("and")) left = node(Expr::Kind::And, std::move(left), notExpr(depth + 1));
        return left;
    }

    ExprPtr notExpr(int depth) {
        checkDepth(depth);
        if (acceptWord("not")) return node(Expr::Kind::Not, notExpr(depth + 1));
        return predicate(depth + 1);
    }

    // ( SELECT ... ) after the opening parenthesis is seen.
    // `height` is set to the height of the subquery's tallest expression.
    std::shared_ptr<SelectStmt> subquery(int depth, int& height) {
        checkDepth(depth);
        if (subqueryNesting_ >= kMaxSubqueryNesting)
            fail(errnum::kQueryTooComplex, "Query is too complex.");
        advance();  // (
        const int savedBase = depthBase_;
        const int savedDeepest = deepest_;
        ++subqueryNesting_;
        depthBase_ = depth + 1;
        deepest_ = 0;
        auto stmt = std::make_shared<SelectStmt>(select());
        --subqueryNesting_;
        depthBase_ = savedBase;
        height = deepest_;
        deepest_ = savedDeepest;
        if (!acceptSymbol(")")) throw ExprFailure{Problem::MissingOperator};
        return stmt;
    }

    bool atSubquery() const { return peek().isSymbol("(") && peek(1).isWord("select"); }

    // IN (value, ...) or IN (SELECT ...), after IN.
    ExprPtr inList(ExprPtr left, bool negated, int depth) {
        auto e = node(Expr::Kind::In, std::move(left));
        e->negated = negated;
        if (atSubquery()) {
            int height = 0;
            e->subquery = subquery(depth + 1, height);
            return measured(std::move(e), height);
        }
        if (!acceptSymbol("(")) throw ExprFailure{Problem::MissingOperator};
        do {
            if (e->args.size() >= kMaxListItems)
                fail(errnum::kQueryTooComplex, "Query is too complex.");
            e->args.push_back(concat(depth + 1));
        } while (acceptSymbol(","));
        if (!acceptSymbol(")")) {
            throw ExprFailure{peek().kind == TokenKind::End ? Problem::Plain
                                                            : Problem::MissingOperator};
        }
        return measured(std::move(e));
    }

    ExprPtr predicate(int depth) {
        checkDepth(depth);
        ExprPtr left = concat(depth + 1);
        const Token& t = peek();
        if (t.kind == TokenKind::Symbol) {
            static const std::pair<std::string_view, CompareOp> kOps[] = {
                {"=", CompareOp::Eq}, {"<>", CompareOp::Ne}, {"<", CompareOp::Lt},
                {">", CompareOp::Gt}, {"<=", CompareOp::Le}, {">=", CompareOp::Ge}};
            for (const auto& [sym, op] : kOps) {
                if (t.text == sym) {
                    advance();
                    if (peek().isWord("any") || peek().isWord("some") || peek().isWord("all"))
                        notSupported("A comparison with " + peek().text);
                    ExprPtr e = node(Expr::Kind::Compare, std::move(left), concat(depth + 1));
                    e->op = op;
                    return e;
                }
            }
            return left;
        }
        if (t.isWord("is")) {
            advance();
            bool negated = acceptWord("not");
            if (!acceptWord("null")) throw ExprFailure{Problem::MissingOperator};
            ExprPtr e = node(Expr::Kind::IsNull, std::move(left));
            e->negated = negated;
            return e;
        }
        const bool negated = t.isWord("not");
        if (t.isWord("in") || (negated && peek(1).isWord("in"))) {
            if (negated) advance();
            advance();
            return inList(std::move(left), negated, depth);
        }
        if (t.isWord("between") || (negated && peek(1).isWord("between"))) {
            if (negated) advance();
            advance();
            ExprPtr low = concat(depth + 1);
            if (!acceptWord("and")) throw ExprFailure{Problem::MissingOperator};
            auto e = node(Expr::Kind::Between, std::move(left), std::move(low));
            e->args.push_back(concat(depth + 1));
            e->negated = negated;
            return measured(std::move(e));
        }
        bool notLike = t.isWord("not") && peek(1).isWord("like");
        if (t.isWord("like") || notLike) {
            if (notLike) advance();
            advance();
            ExprPtr e = node(Expr::Kind::Like, std::move(left), concat(depth + 1));
            e->negated = notLike;
            return e;
        }
        return left;
    }

    ExprPtr arith(ArithOp op, ExprPtr a, ExprPtr b) {
        ExprPtr e = node(Expr::Kind::Arith, std::move(a), std::move(b));
        e->arith = op;
        return e;
    }

    // The operators in Access's order of precedence, loosest first: & ; + - ; Mod ; \ ;
    // * / ; unary - ; ^. Each level is left to right.
    ExprPtr concat(int depth) {
        checkDepth(depth);
        ExprPtr left = additive(depth + 1);
        while (acceptSymbol("&"))
            left = node(Expr::Kind::Concat, std::move(left), additive(depth + 1));
        return left;
    }

    ExprPtr additive(int depth) {
        checkDepth(depth);
        ExprPtr left = modulo(depth + 1);
        while (peek().isSymbol("+") || peek().isSymbol("-")) {
            const ArithOp op = advance().isSymbol("+") ? ArithOp::Add : ArithOp::Sub;
            left = arith(op, std::move(left), modulo(depth + 1));
        }
        return left;
    }

    ExprPtr modulo(int depth) {
        checkDepth(depth);
        ExprPtr left = integerDivision(depth + 1);
        while (acceptWord("mod"))
            left = arith(ArithOp::Mod, std::move(left), integerDivision(depth + 1));
        return left;
    }

    ExprPtr integerDivision(int depth) {
        checkDepth(depth);
        ExprPtr left = multiplicative(depth + 1);
        while (acceptSymbol("\\"))
            left = arith(ArithOp::IntDiv, std::move(left), multiplicative(depth + 1));
        return left;
    }

    ExprPtr multiplicative(int depth) {
        checkDepth(depth);
        ExprPtr left = unary(depth + 1);
        while (peek().isSymbol("*") || peek().isSymbol("/")) {
            const ArithOp op = advance().isSymbol("*") ? ArithOp::Mul : ArithOp::Div;
            left = arith(op, std::move(left), unary(depth + 1));
        }
        return left;
    }

    // -x binds looser than ^ (-2 ^ 2 is -4), so a signed number is a literal only when no ^
    // follows it.
    ExprPtr unary(int depth) {
        checkDepth(depth);
        if (peek().isSymbol("-") || peek().isSymbol("+")) {
            const bool negative = peek().isSymbol("-");
            if (peek(1).kind == TokenKind::Number && !peek(2).isSymbol("^")) {
                advance();
                return power(depth + 1, literal(number(advance().text, negative)));
            }
            advance();
            ExprPtr inner = unary(depth + 1);
            if (!negative) return inner;
            return node(Expr::Kind::Negate, std::move(inner));
        }
        return power(depth + 1, nullptr);
    }

    // a ^ b ^ c, left to right; an exponent may carry its own sign.
    ExprPtr power(int depth, ExprPtr first) {
        checkDepth(depth);
        ExprPtr left = first ? std::move(first) : operand(depth + 1);
        while (acceptSymbol("^")) {
            ExprPtr right;
            if (peek().isSymbol("-") || peek().isSymbol("+")) {
                const bool negative = advance().isSymbol("-");
                right = operand(depth + 1);
                if (negative) right = node(Expr::Kind::Negate, std::move(right));
            } else {
                right = operand(depth + 1);
            }
            left = arith(ArithOp::Pow, std::move(left), std::move(right));
        }
        return left;
    }

    // name(args) after the name; COUNT(*) too.
    ExprPtr call(int depth) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Call;
        e->column.column = advance().text;  // the spelling, for messages
        e->function = e->column.column;
        for (char& c : e->function)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        advance();  // (
        if (e->function == "count" && acceptSymbol("*")) {
            e->star = true;
        } else if (!peek().isSymbol(")")) {
            do {
                if (e->args.size() >= kMaxListItems)
                    fail(errnum::kQueryTooComplex, "Query is too complex.");
                e->args.push_back(orExpr(depth + 1));
            } while (acceptSymbol(","));
        }
        if (!acceptSymbol(")")) {
            throw ExprFailure{peek().kind == TokenKind::End ? Problem::Plain
                                                            : Problem::MissingOperator};
        }
        return measured(std::move(e));
    }

    ExprPtr operand(int depth) {
        checkDepth(depth);
        const Token& t = peek();
        if (t.kind == TokenKind::Invalid) throw ExprFailure{invalidProblem(t)};
        if (atSubquery()) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Subquery;
            int height = 0;
            e->subquery = subquery(depth + 1, height);
            return measured(std::move(e), height);
        }
        if (t.isWord("exists")) {
            advance();
            if (!atSubquery()) throw ExprFailure{Problem::MissingOperator};
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Exists;
            int height = 0;
            e->subquery = subquery(depth + 1, height);
            return measured(std::move(e), height);
        }
        if (t.isSymbol("(")) {
            advance();
            ExprPtr inner = orExpr(depth + 1);
            if (!acceptSymbol(")")) {
                throw ExprFailure{peek().kind == TokenKind::End ? Problem::Plain
                                                                : Problem::MissingOperator};
            }
            return inner;
        }
        switch (t.kind) {
            case TokenKind::String:
                return literal(Value::text(advance().text));
            case TokenKind::Number:
                return literal(number(advance().text, false));
            case TokenKind::Date: {
                DateTime d;
                if (!parseDateLiteral(t.text, d)) throw ExprFailure{Problem::Date};
                advance();
                return literal(Value(Value::Storage(d)));
            }
            default:
                break;
        }
        if (t.isWord("null")) {
            advance();
            return literal(Value::null());
        }
        if (t.isWord("true") || t.isWord("false")) {
            bool b = t.isWord("true");
            advance();
            return literal(Value(Value::Storage(b)));
        }
        if (t.kind == TokenKind::Word && !isReserved(t) && peek(1).isSymbol("("))
            return call(depth);
        if (atName()) {
            auto e = std::make_unique<Expr>();
            e->kind = Expr::Kind::Column;
            e->column = columnRef();
            return e;
        }
        throw ExprFailure{Problem::Plain};
    }

    static ExprPtr literal(Value v) {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Literal;
        e->literal = std::move(v);
        return e;
    }

    // Whole numbers that fit a Long are Longs (as Jet types them); others are Doubles.
    static Value number(const std::string& text, bool negative) {
        bool whole = text.find_first_of(".eE") == std::string::npos;
        if (whole) {
            int64_t v = 0;
            auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
            if (ec == std::errc() && p == text.data() + text.size()) {
                if (negative) v = -v;
                if (v >= std::numeric_limits<int32_t>::min() &&
                    v <= std::numeric_limits<int32_t>::max()) {
                    return Value(Value::Storage(static_cast<int32_t>(v)));
                }
            }
        }
        double d = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(d)) throw ExprFailure{Problem::Plain};
        return Value(Value::Storage(negative ? -d : d));
    }

    bool inSubquery() const { return subqueryNesting_ > 0; }

    std::string_view sql_;
    std::vector<Token> t_;
    size_t pos_ = 0;
    int subqueryNesting_ = 0;
    int depthBase_ = 0;  // expression depth where the current subquery's clauses start
    int deepest_ = 0;    // height of the tallest expression of the current SELECT so far
};

}  // namespace

Statement parse(std::string_view sqlText) {
    Parser p(sqlText, tokenize(sqlText));
    return p.statement();
}

}  // namespace jet::sql
