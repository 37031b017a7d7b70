// Parsing every statement shape the program sends, and Jet's errors for bad SQL.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "jet/error.h"
#include "jet/sql/lexer.h"
#include "jet/sql/parser.h"
#include "jet/sql/sql.h"

namespace jet::sql {
namespace {

SelectStmt parseSelect(const std::string& sql) {
    Statement s = parse(sql);
    EXPECT_TRUE(std::holds_alternative<SelectStmt>(s)) << sql;
    return std::get<SelectStmt>(std::move(s));
}

// The error number and message parse() raises for a statement.
std::pair<long, std::string> parseError(const std::string& sql) {
    try {
        parse(sql);
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Syntax) << sql;
        return {e.number(), e.what()};
    }
    ADD_FAILURE() << "no error for: " << sql;
    return {0, ""};
}

TEST(SqlParser, ProgramStatementsParse) {
    const char* statements[] = {
        "SELECT * FROM CallHandlers WHERE ObjectID='{1234-abcd}'",
        "SELECT * FROM Messages WHERE index=5",
        "SELECT * FROM Messages",
        "SELECT * from NotificationDevices WHERE Alias LIKE 'pager%'",
        "SELECT Alias, DTMFAccessID, DisplayName from PublicDistributionLists WHERE DTMFAccessID "
        "IS NOT NULL",
        "SELECT Alias, DTMFAccessID, TextName as DisplayName from CallHAndlers WHERE IsPrimary=0 "
        "AND DTMFAccessID IS NOT NULL",
        "SELECT Alias, FirstName, LastName, DisplayName,DTMFAccessID, OBjectID FROM Subscribers "
        "ORDER BY Alias",
        "SELECT COUNT(*) FROM Messages WHERE fromAlias='o''brien'",
        "SELECT GreetingType as Alias, LanguageCode, Greeting FROM QRN_GreetingStreams WHERE "
        "CallHandlerObjectID='x'",
        "SELECT Subscribers.Alias, Subscribers.DisplayName, Subscribers.DTMFAccessID, "
        "Subscribers.ObjectID FROM PublicDistributionListMembers INNER JOIN Subscribers ON "
        "Subscribers.ObjectID= PublicDistributionListMembers.SubscriberObjectID WHERE "
        "DLObjectID='x'",
        "UPDATE CallHandlers SET DTMFAccessId='123' WHERE ObjectID='x'",
        "UPDATE PublicDistributionListMembers SET SubscriberAlias='a''b' WHERE "
        "SubscriberObjectID='x'",
        "DELETE * FROM ObjectMappingHistory",
        "SELECT Alias,Stream FROM InterviewQuestions WHERE ParentObjectID='p';",
    };
    for (const char* sql : statements) {
        EXPECT_NO_THROW(parse(sql)) << sql;
    }
}

TEST(SqlParser, SelectListAliasesAndCount) {
    SelectStmt s =
        parseSelect("select GreetingType as Alias, [Language Code], t.x AS [My Name] from T");
    ASSERT_EQ(s.items.size(), 3u);
    EXPECT_EQ(s.items[0].column.column, "GreetingType");
    EXPECT_EQ(s.items[0].alias, "Alias");
    EXPECT_EQ(s.items[1].column.column, "Language Code");
    EXPECT_EQ(s.items[2].column.table, "t");
    EXPECT_EQ(s.items[2].column.column, "x");
    EXPECT_EQ(s.items[2].alias, "My Name");
    EXPECT_EQ(s.from, "T");

    SelectStmt c = parseSelect("SELECT COUNT ( * ) FROM Messages");
    ASSERT_EQ(c.items.size(), 1u);
    EXPECT_EQ(c.items[0].kind, SelectItem::Kind::CountStar);
}

TEST(SqlParser, ScriptingStatements) {
    SelectStmt t = parseSelect(
        "SELECT TOP 2 Alias & ' (' & Len(Alias) & ')' AS L, Nz(Mid(Alias, 2, 3), 'x') FROM T");
    EXPECT_EQ(t.top, 2);
    ASSERT_EQ(t.items.size(), 2u);
    ASSERT_EQ(t.items[0].kind, SelectItem::Kind::Expression);
    EXPECT_EQ(t.items[0].alias, "L");
    EXPECT_EQ(t.items[0].expr->kind, Expr::Kind::Concat);  // left to right: ((a & b) & c) & d
    EXPECT_EQ(t.items[0].expr->args[0]->args[0]->args[1]->literal, Value::text(" ("));
    EXPECT_EQ(t.items[0].expr->args[0]->args[1]->function, "len");
    EXPECT_EQ(t.items[1].expr->function, "nz");
    EXPECT_EQ(t.items[1].expr->args[0]->args.size(), 3u);

    SelectStmt g = parseSelect(
        "SELECT Location, COUNT(*) AS N, Sum(x) FROM T WHERE a = 1 GROUP BY Location, T.b "
        "HAVING Count(*) > 1 ORDER BY Location DESC");
    ASSERT_EQ(g.items.size(), 3u);
    EXPECT_EQ(g.items[0].kind, SelectItem::Kind::Column);
    EXPECT_EQ(g.items[1].kind, SelectItem::Kind::CountStar);
    EXPECT_EQ(g.items[2].expr->function, "sum");
    ASSERT_EQ(g.groupBy.size(), 2u);
    EXPECT_EQ(g.groupBy[1].display(), "T.b");
    ASSERT_TRUE(g.having);
    EXPECT_TRUE(g.having->args[0]->star);
    EXPECT_EQ(g.havingText, "Count(*) > 1");
    EXPECT_EQ(g.whereText, "a = 1");
    EXPECT_EQ(g.orderBy.size(), 1u);

    Statement v = parse("INSERT INTO COS (Alias, [N]) VALUES ('x', UCase('y'))");
    ASSERT_TRUE(std::holds_alternative<InsertStmt>(v));
    const InsertStmt& iv = std::get<InsertStmt>(v);
    EXPECT_EQ(iv.table, "COS");
    EXPECT_EQ(iv.columns, (std::vector<std::string>{"Alias", "N"}));
    ASSERT_EQ(iv.values.size(), 2u);
    EXPECT_FALSE(iv.select);

    Statement q = parse("INSERT INTO B SELECT TOP 1 * FROM A WHERE x IS NULL;");
    const InsertStmt& iq = std::get<InsertStmt>(q);
    EXPECT_TRUE(iq.columns.empty());
    ASSERT_TRUE(iq.select);
    EXPECT_EQ(iq.select->top, 1);
    EXPECT_FALSE(isSelect("INSERT INTO B VALUES (1)"));
}

TEST(SqlParser, ReservedLookingWordsAsColumns) {
    SelectStmt s = parseSelect("SELECT * FROM Messages WHERE index=5");
    ASSERT_TRUE(s.where);
    EXPECT_EQ(s.where->kind, Expr::Kind::Compare);
    EXPECT_EQ(s.where->args[0]->column.column, "index");
    EXPECT_EQ(s.where->args[1]->literal, Value(Value::Storage(int32_t{5})));
    EXPECT_EQ(s.whereText, "index=5");
}

TEST(SqlParser, LiteralsTakeJetTypes) {
    SelectStmt s = parseSelect(
        "SELECT * FROM T WHERE a='it''s' AND b=-12 AND c=2.5 AND d=#12/31/2024# AND e=True AND "
        "f=False AND g=3000000000 AND h=\"dq\"");
    std::vector<const Expr*> terms;
    const Expr* e = s.where.get();
    while (e->kind == Expr::Kind::And) {
        terms.insert(terms.begin(), e->args[1].get());
        e = e->args[0].get();
    }
    terms.insert(terms.begin(), e);
    ASSERT_EQ(terms.size(), 8u);
    EXPECT_EQ(terms[0]->args[1]->literal, Value::text("it's"));
    EXPECT_EQ(terms[1]->args[1]->literal, Value(Value::Storage(int32_t{-12})));
    EXPECT_EQ(terms[2]->args[1]->literal, Value(Value::Storage(2.5)));
    EXPECT_EQ(terms[3]->args[1]->literal, Value(Value::Storage(DateTime{45657})));
    EXPECT_EQ(terms[4]->args[1]->literal, Value(Value::Storage(true)));
    EXPECT_EQ(terms[5]->args[1]->literal, Value(Value::Storage(false)));
    EXPECT_EQ(terms[6]->args[1]->literal, Value(Value::Storage(3000000000.0)));
    EXPECT_EQ(terms[7]->args[1]->literal, Value::text("dq"));
}

TEST(SqlParser, DateLiterals) {
    DateTime d;
    ASSERT_TRUE(parseDateLiteral("12/31/2024", d));
    EXPECT_DOUBLE_EQ(d.days, 45657);
    ASSERT_TRUE(parseDateLiteral("2024-12-31 13:45:00", d));
    EXPECT_DOUBLE_EQ(d.days, 45657 + (13 * 3600 + 45 * 60) / 86400.0);
    ASSERT_TRUE(parseDateLiteral("1/1/1900 1:30 PM", d));
    EXPECT_DOUBLE_EQ(d.days, 2 + 13.5 / 24);
    ASSERT_TRUE(parseDateLiteral("12:00 AM", d));
    EXPECT_DOUBLE_EQ(d.days, 0);
    EXPECT_FALSE(parseDateLiteral("2/30/2024", d));
    EXPECT_FALSE(parseDateLiteral("13/1/2024", d));
    EXPECT_FALSE(parseDateLiteral("25:00", d));
    EXPECT_FALSE(parseDateLiteral("hello", d));
    EXPECT_FALSE(parseDateLiteral("", d));
    // Months by name (Access: date literals, #29-Feb-2024#).
    for (const char* named : {"29-Feb-2024", "Feb 29, 2024", "29 February 2024", "29-feb-24"}) {
        ASSERT_TRUE(parseDateLiteral(named, d)) << named;
        EXPECT_DOUBLE_EQ(d.days, 45351) << named;
    }
    ASSERT_TRUE(parseDateLiteral("1-Jan-2000 1:30 PM", d));
    EXPECT_DOUBLE_EQ(d.days, 36526 + 13.5 / 24);
    EXPECT_FALSE(parseDateLiteral("30-Feb-2024", d));
    EXPECT_FALSE(parseDateLiteral("29-Foo-2024", d));
}

TEST(SqlParser, ArithmeticPrecedenceAndNewPredicates) {
    // Access: operator precedence: ^, unary -, * /, \, Mod, + -, &, comparisons.
    Statement st = parse("SELECT * FROM T WHERE a + b * c ^ 2 Mod 3 = -x & 'y'");
    const Expr& w = *std::get<SelectStmt>(st).where;
    ASSERT_EQ(w.kind, Expr::Kind::Compare);
    EXPECT_EQ(w.args[0]->kind, Expr::Kind::Arith);
    EXPECT_EQ(w.args[0]->arith, ArithOp::Add);
    EXPECT_EQ(w.args[0]->args[1]->arith, ArithOp::Mod);
    EXPECT_EQ(w.args[1]->kind, Expr::Kind::Concat);
    EXPECT_EQ(w.args[1]->args[0]->kind, Expr::Kind::Negate);
    Statement in = parse(
        "SELECT DISTINCT TOP 5 PERCENT s.a FROM T AS s LEFT OUTER JOIN U u ON s.a = u.b WHERE "
        "s.a NOT IN (1, 2) AND s.b BETWEEN 1 AND 2 AND EXISTS (SELECT * FROM U WHERE U.b = "
        "s.a) UNION ALL SELECT a FROM V ORDER BY 1 DESC");
    const SelectStmt& sel = std::get<SelectStmt>(in);
    EXPECT_TRUE(sel.distinct);
    EXPECT_TRUE(sel.topPercent);
    EXPECT_EQ(sel.fromAlias, "s");
    ASSERT_TRUE(sel.join);
    EXPECT_EQ(sel.join->type, JoinType::Left);
    EXPECT_EQ(sel.join->alias, "u");
    ASSERT_EQ(sel.unions.size(), 1u);
    EXPECT_TRUE(sel.unions[0].all);
    ASSERT_EQ(sel.orderBy.size(), 1u);
    EXPECT_EQ(sel.orderBy[0].ordinal, 1);
    // What is still left out is refused as not supported, not as a syntax error.
    for (const char* sql :
         {"SELECT * FROM A, B", "CREATE TABLE T (a INT)", "SELECT * FROM T IN 'other.mdb'",
          "SELECT * FROM (SELECT * FROM T)", "SELECT a INTO X FROM T",
          "SELECT * FROM A INNER JOIN B ON A.x = B.x INNER JOIN C ON C.y = "
          "B.y",
          "SELECT * FROM T WHERE a > ALL (SELECT b FROM U)"}) {
        try {
            parse(sql);
            ADD_FAILURE() << sql;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::Unsupported) << sql;
            EXPECT_THAT(e.what(), ::testing::HasSubstr("not supported")) << sql;
        }
    }
}

TEST(SqlParser, StatementLengthCountsCharacters) {
    // 33,000 Cyrillic characters take 66,000 bytes: more bytes than the limit, but within
    // its characters.
    std::string cyrillic;
    for (int i = 0; i < 33000; ++i) cyrillic += "\xD0\x96";
    EXPECT_NO_THROW(parse("UPDATE T SET a = '" + cyrillic + "' WHERE b = 1"));
    try {
        parse("SELECT '" + std::string(kMaxStatementLength, 'x') + "' FROM T");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_THAT(e.what(), ::testing::HasSubstr("characters"));
    }
}

TEST(SqlParser, PrecedenceNotAndOr) {
    // NOT binds tighter than AND, AND tighter than OR.
    SelectStmt s = parseSelect("SELECT * FROM T WHERE NOT a = 1 AND b = 2 OR c IS NULL");
    ASSERT_EQ(s.where->kind, Expr::Kind::Or);
    const Expr& left = *s.where->args[0];
    ASSERT_EQ(left.kind, Expr::Kind::And);
    EXPECT_EQ(left.args[0]->kind, Expr::Kind::Not);
    EXPECT_EQ(s.where->args[1]->kind, Expr::Kind::IsNull);
    EXPECT_FALSE(s.where->args[1]->negated);

    SelectStmt p = parseSelect("SELECT * FROM T WHERE (a = 1 OR b = 2) AND c NOT LIKE 'x*'");
    ASSERT_EQ(p.where->kind, Expr::Kind::And);
    EXPECT_EQ(p.where->args[0]->kind, Expr::Kind::Or);
    EXPECT_EQ(p.where->args[1]->kind, Expr::Kind::Like);
    EXPECT_TRUE(p.where->args[1]->negated);
}

TEST(SqlParser, OrderByAndJoin) {
    SelectStmt s = parseSelect(
        "SELECT A.x FROM A INNER JOIN [B] ON A.id = B.aid WHERE B.y <> 'q' ORDER BY x DESC, "
        "A.z ASC, w");
    ASSERT_TRUE(s.join);
    EXPECT_EQ(s.join->table, "B");
    ASSERT_EQ(s.orderBy.size(), 3u);
    EXPECT_TRUE(s.orderBy[0].descending);
    EXPECT_FALSE(s.orderBy[1].descending);
    EXPECT_EQ(s.orderBy[1].column.table, "A");
    EXPECT_EQ(s.orderBy[2].column.column, "w");
}

TEST(SqlParser, UpdateAndDelete) {
    Statement u = parse("UPDATE CallHandlers SET DTMFAccessId='1''2', x = 5 WHERE ObjectID='o'");
    ASSERT_TRUE(std::holds_alternative<UpdateStmt>(u));
    const auto& up = std::get<UpdateStmt>(u);
    EXPECT_EQ(up.table, "CallHandlers");
    ASSERT_EQ(up.assignments.size(), 2u);
    EXPECT_EQ(up.assignments[0].column.column, "DTMFAccessId");
    EXPECT_EQ(up.assignments[0].value->literal, Value::text("1'2"));
    EXPECT_TRUE(up.where);

    for (const char* sql : {"DELETE * FROM H", "DELETE FROM H WHERE a=1", "DELETE H.* FROM H"}) {
        Statement d = parse(sql);
        ASSERT_TRUE(std::holds_alternative<DeleteStmt>(d)) << sql;
        EXPECT_EQ(std::get<DeleteStmt>(d).table, "H");
    }
    EXPECT_FALSE(isSelect("DELETE * FROM H"));
    EXPECT_TRUE(isSelect("  select * from H"));
}

TEST(SqlParser, ErrorsCarryJetNumbersAndQuoteTheExpression) {
    EXPECT_EQ(parseError("SELEKT * FROM T"),
              std::make_pair(3129L, std::string("Invalid SQL statement; expected 'DELETE', "
                                                "'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.")));
    EXPECT_EQ(parseError("").first, 3129);
    EXPECT_EQ(parseError("SELECT * FROM T WHERE a = 'x' b"),
              std::make_pair(3075L, std::string("Syntax error (missing operator) in query "
                                                "expression 'a = 'x' b'.")));
    EXPECT_EQ(parseError("SELECT * FROM T WHERE a = ORDER BY a"),
              std::make_pair(3075L, std::string("Syntax error in query expression 'a ='.")));
    EXPECT_EQ(parseError("SELECT * FROM T WHERE a = 'abc"),
              std::make_pair(3075L, std::string("Syntax error in string in query expression "
                                                "'a = 'abc'.")));
    EXPECT_EQ(parseError("SELECT * FROM T WHERE d = #13/45/2020#").second,
              "Syntax error in date in query expression 'd = #13/45/2020#'.");
    EXPECT_EQ(parseError("SELECT * FROM WHERE a=1"),
              std::make_pair(3131L, std::string("Syntax error in FROM clause.")));
    EXPECT_EQ(parseError("SELECT * FROM A INNER JOIN B a.x=b.y").first, 3131);
    EXPECT_EQ(parseError("SELECT * FROM T ORDER a"),
              std::make_pair(3138L, std::string("Syntax error in ORDER BY clause.")));
    EXPECT_EQ(parseError("SELECT * FROM T ORDER BY a b").first, 3138);
    EXPECT_EQ(parseError("SELECT FROM T").first, 3141);
    EXPECT_EQ(parseError("SELECT * FROM T; x").first, 3142);
    EXPECT_EQ(parseError("UPDATE T x = 1").first, 3144);
    EXPECT_EQ(parseError("SELECT * FROM A INNER JOIN B ON a.x = ").first, 3135);
    EXPECT_EQ(parseError("SELECT * FROM T WHERE a = @").first, 3075);
    EXPECT_EQ(parseError("SELECT [a FROM T").first, 3141);
    EXPECT_EQ(parseError("SELECT TOP x * FROM T").first, 3141);
    EXPECT_EQ(parseError("SELECT a FROM T GROUP a"),
              std::make_pair(3132L, std::string("Syntax error in GROUP BY clause.")));
    EXPECT_EQ(parseError("INSERT INTO T (a VALUES (1)"),
              std::make_pair(3134L, std::string("Syntax error in INSERT INTO statement.")));
    EXPECT_EQ(parseError("INSERT T VALUES (1)").first, 3134);
    EXPECT_EQ(parseError("INSERT INTO T VALUES (1").first, 3134);
    EXPECT_EQ(parseError("SELECT Len(a FROM T").first, 3075);
    EXPECT_EQ(parseError("SELECT a & FROM T").first, 3075);
}

TEST(SqlParser, HostileInputIsRefusedNotCrashed) {
    std::string deep = "SELECT * FROM T WHERE " + std::string(20000, '(') + "a=1";
    EXPECT_EQ(parseError(deep).first, 3360);
    std::string nots = "SELECT * FROM T WHERE ";
    for (int i = 0; i < 5000; ++i) nots += "NOT ";
    nots += "a=1";
    EXPECT_EQ(parseError(nots).first, 3360);
    std::string huge = "SELECT * FROM T WHERE a='" + std::string(kMaxStatementLength, 'x') + "'";
    EXPECT_THROW(parse(huge), Error);
    // A long chain of ANDs nests nothing: it parses (Access itself takes 99 ANDs).
    std::string chain = "SELECT * FROM T WHERE a=1";
    for (int i = 0; i < 900; ++i) chain += " AND a=1";
    EXPECT_NO_THROW(parse(chain));
    // But a chain as long as a statement can hold makes a tree too tall to walk.
    std::string sum = "SELECT 1";
    while (sum.size() < kMaxStatementLength - 20) sum += "+1";
    EXPECT_EQ(parseError(sum + " FROM T").first, 3360);
    // A subquery's expressions count within the expression that holds it.
    std::string inner = "b = 1";
    for (int i = 0; i < kMaxExpressionHeight / 2 + 100; ++i) inner += " & b";
    std::string outer = "SELECT * FROM T WHERE a IN (SELECT b FROM U WHERE " + inner + ")";
    EXPECT_NO_THROW(parse(outer));
    for (int i = 0; i < kMaxExpressionHeight / 2; ++i) outer += " AND a=1";
    EXPECT_EQ(parseError(outer).first, 3360);
    // Every prefix of a valid statement either parses or raises jet::Error.
    std::string full =
        "SELECT A.x AS y, COUNT(*) FROM A INNER JOIN B ON A.id = B.id WHERE (x LIKE 'a%' OR "
        "NOT z IS NULL) AND d >= #1/2/2003# ORDER BY y DESC";
    for (size_t n = 0; n <= full.size(); ++n) {
        try {
            parse(full.substr(0, n));
        } catch (const Error&) {
        }
    }
    full =
        "INSERT INTO T (a, b) SELECT TOP 3 Left(x & 'y', 2), Sum(z) FROM A GROUP BY x "
        "HAVING Max(z) > 1";
    for (size_t n = 0; n <= full.size(); ++n) {
        try {
            parse(full.substr(0, n));
        } catch (const Error&) {
        }
    }
}

}  // namespace
}  // namespace jet::sql
