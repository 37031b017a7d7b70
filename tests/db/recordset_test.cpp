// The recordset's own logic over rows built here: states, navigation, fields, GetChunk, Find.
#include "db/recordset.h"

#include <gtest/gtest.h>

#include <functional>

#include "db/db_error.h"

using namespace tdv::db;

namespace {

long errorNumberOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

jet::sql::ResultColumn column(std::string name, jet::ColumnType type, uint16_t size) {
    return jet::sql::ResultColumn{std::move(name), type, size, "Users", ""};
}

jet::Bytes sequence(size_t n) {
    jet::Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7);
    return b;
}

// Alias (Text 50), Extension (Long), Greeting (OLE), Notes (Memo); three users.
jet::sql::ResultSet users() {
    jet::sql::ResultSet r;
    r.columns = {
        column("Alias", jet::ColumnType::Text, 100), column("Extension", jet::ColumnType::Long, 4),
        column("Greeting", jet::ColumnType::OLE, 0), column("Notes", jet::ColumnType::Memo, 0)};
    r.rows = {
        {jet::Value::text("jsmith"), jet::Value(int32_t{1001}), jet::Value(sequence(5000)),
         jet::Value::text("caf\xC3\xA9 \xF0\x9F\x98\x80!")},
        {jet::Value::text("O'Brien"), jet::Value(int32_t{1002}), jet::Value(sequence(5001)),
         jet::Value()},
        {jet::Value::text("JSmith"), jet::Value(), jet::Value(jet::Bytes{}), jet::Value::text("")},
    };
    r.baseTable = "Users";
    r.rowIds = {{10, 0}, {10, 1}, {11, 0}};
    return r;
}

Recordset openUsers(long location = adUseClient) {
    Recordset rs;
    rs.setCursorLocation(location);
    rs.OpenResultSet(users(), jet::JetVersion::Jet4, adOpenKeyset, adLockReadOnly);
    return rs;
}

// Reads a field to its end with GetChunk(n), as the blob writer does.
jet::Bytes readAllChunks(Field f, long n, size_t* calls = nullptr) {
    jet::Bytes out;
    size_t count = 0;
    for (;;) {
        Variant chunk = f.GetChunk(n);
        if (chunk.isNull()) break;
        const auto& b = chunk.get<jet::Bytes>();
        EXPECT_LE(b.size(), static_cast<size_t>(n));
        out.insert(out.end(), b.begin(), b.end());
        if (++count > 100000) break;
    }
    if (calls) *calls = count;
    return out;
}

}  // namespace

TEST(RecordsetState, ClosedRecordsetRefusesUseWith3704) {
    Recordset rs;
    EXPECT_EQ(rs.State(), adStateClosed);
    EXPECT_EQ(errorNumberOf([&] { (void)rs.RecordCount(); }), 3704);
    EXPECT_EQ(errorNumberOf([&] { (void)rs.Eof(); }), 3704);
    EXPECT_EQ(errorNumberOf([&] { (void)rs.Bof(); }), 3704);
    EXPECT_EQ(errorNumberOf([&] { rs.MoveFirst(); }), 3704);
    EXPECT_EQ(errorNumberOf([&] { rs.MoveNext(); }), 3704);
    EXPECT_EQ(errorNumberOf([&] { rs.Find("Alias='x'"); }), 3704);
    EXPECT_EQ(errorNumberOf([&] { rs.Close(); }), 3704);
    // The Fields collection of a closed recordset is empty.
    EXPECT_EQ(rs.Fields().Count(), 0);
    EXPECT_EQ(errorNumberOf([&] { (void)rs.Fields("Alias"); }), 3265);
}

TEST(RecordsetState, OpeningAnOpenRecordsetFailsWith3705AndKeepsItOpen) {
    Recordset rs = openUsers();
    EXPECT_EQ(rs.State(), adStateOpen);
    EXPECT_EQ(errorNumberOf([&] { rs.OpenResultSet(users(), jet::JetVersion::Jet4); }), 3705);
    EXPECT_EQ(errorNumberOf([&] { rs.Open("SELECT * FROM Users", "Provider=x"); }), 3705);
    EXPECT_EQ(errorNumberOf([&] { rs.setCursorLocation(adUseServer); }), 3705);
    EXPECT_EQ(rs.State(), adStateOpen);
    EXPECT_EQ(rs.RecordCount(), 3);
}

TEST(RecordsetState, CloseThenReopenAndStaleFieldHandles) {
    Recordset rs = openUsers();
    Field alias = rs.Fields("alias");
    Field notes = rs.Fields(3);
    rs.Close();
    EXPECT_EQ(rs.State(), adStateClosed);
    EXPECT_EQ(errorNumberOf([&] { (void)alias.Value(); }), 3704);
    jet::sql::ResultSet one;
    one.columns = {column("Alias", jet::ColumnType::Text, 100)};
    one.rows = {{jet::Value::text("x")}};
    rs.OpenResultSet(one, jet::JetVersion::Jet4);
    EXPECT_EQ(alias.Value().toText(), "x");  // a handle reads the current record
    EXPECT_EQ(errorNumberOf([&] { (void)notes.Value(); }), 3265);
}

TEST(RecordsetState, BadArgumentsAre3001) {
    Recordset rs;
    EXPECT_EQ(errorNumberOf([&] { rs.setCursorLocation(1); }), 3001);
    EXPECT_EQ(errorNumberOf([&] { rs.OpenResultSet(users(), jet::JetVersion::Jet4, 7); }), 3001);
    EXPECT_EQ(
        errorNumberOf([&] { rs.OpenResultSet(users(), jet::JetVersion::Jet4, adOpenKeyset, 9); }),
        3001);
    EXPECT_EQ(rs.State(), adStateClosed);
}

TEST(RecordsetNavigation, WalksEveryRecordThenReportsNoCurrentRecord) {
    Recordset rs = openUsers();
    EXPECT_FALSE(rs.Bof());
    std::vector<std::string> seen;
    while (!rs.Eof()) {
        seen.push_back(rs("Alias").Value().toText());
        rs.MoveNext();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"jsmith", "O'Brien", "JSmith"}));
    EXPECT_FALSE(rs.Bof());
    EXPECT_EQ(errorNumberOf([&] { (void)rs("Alias").Value(); }), 3021);
    EXPECT_EQ(errorNumberOf([&] { (void)rs("Greeting").ActualSize(); }), 3021);
    EXPECT_EQ(errorNumberOf([&] { rs.MoveNext(); }), 3021);
    rs.MoveFirst();
    EXPECT_EQ(rs("ALIAS").Value().toText(), "jsmith");
    EXPECT_EQ(errorNumberOf([&] { rs.MovePrevious(); }), 0);
    EXPECT_TRUE(rs.Bof());
    EXPECT_EQ(errorNumberOf([&] { (void)rs.Fields(0).Value(); }), 3021);
    EXPECT_EQ(errorNumberOf([&] { rs.MovePrevious(); }), 3021);
    rs.MoveLast();
    EXPECT_EQ(rs.Fields(0).Value().toText(), "JSmith");
}

TEST(RecordsetNavigation, EmptyResultIsBofAndEofAndCannotMoveFirst) {
    jet::sql::ResultSet empty = users();
    empty.rows.clear();
    empty.rowIds.clear();
    Recordset rs;
    rs.OpenResultSet(empty, jet::JetVersion::Jet4);
    EXPECT_EQ(rs.RecordCount(), 0);
    EXPECT_TRUE(rs.Eof());
    EXPECT_TRUE(rs.Bof());
    EXPECT_EQ(errorNumberOf([&] { rs.MoveFirst(); }), 3021);
    EXPECT_EQ(errorNumberOf([&] { rs.MoveLast(); }), 3021);
    EXPECT_EQ(rs.Fields().Count(), 4);  // fields are known even without records
    EXPECT_EQ(rs("Notes").Type(), adLongVarWChar);
}

TEST(RecordsetNavigation, RecordCountIsUnknownOnlyForServerForwardOnlyCursors) {
    Recordset server;
    server.OpenResultSet(users(), jet::JetVersion::Jet4, adOpenForwardOnly);
    EXPECT_EQ(server.RecordCount(), -1);
    Recordset client;
    client.setCursorLocation(adUseClient);
    client.OpenResultSet(users(), jet::JetVersion::Jet4, adOpenForwardOnly);
    EXPECT_EQ(client.RecordCount(), 3);
    EXPECT_EQ(client.CursorType(), adOpenStatic);
    Recordset keyset;
    keyset.OpenResultSet(users(), jet::JetVersion::Jet4, adOpenDynamic);
    EXPECT_EQ(keyset.RecordCount(), 3);
    EXPECT_EQ(keyset.CursorType(), adOpenKeyset);
}

TEST(RecordsetFields, NamesTypesSizesAndUnknownNames) {
    Recordset rs = openUsers();
    ASSERT_EQ(rs.Fields().Count(), 4);
    EXPECT_EQ(rs.Fields(1).Name(), "Extension");
    EXPECT_EQ(rs("greeting").Name(), "Greeting");
    EXPECT_EQ(rs("Alias").Type(), adVarWChar);
    EXPECT_EQ(rs("Alias").DefinedSize(), 50);
    EXPECT_EQ(rs("Extension").Type(), adInteger);
    EXPECT_EQ(rs("Greeting").Type(), adLongVarBinary);
    EXPECT_EQ(errorNumberOf([&] { (void)rs("Nope"); }), 3265);
    EXPECT_EQ(errorNumberOf([&] { (void)rs.Fields(4); }), 3265);
    EXPECT_EQ(errorNumberOf([&] { (void)rs.Fields(-1); }), 3265);
}

TEST(RecordsetFields, ActualSizeCountsBytesTwoPerCharacterForText) {
    Recordset rs = openUsers();
    EXPECT_EQ(rs("Alias").ActualSize(), 12);
    EXPECT_EQ(rs("Greeting").ActualSize(), 5000);
    // "café 😀!": 7 UTF-16 units (the emoji is a surrogate pair).
    EXPECT_EQ(rs("Notes").ActualSize(), 16);
    EXPECT_EQ(rs("Extension").ActualSize(), 4);
    rs.MoveNext();
    EXPECT_EQ(rs("Notes").ActualSize(), 0);
    EXPECT_TRUE(rs("Notes").Value().isNull());
}

TEST(RecordsetFields, WriteBackFactsFollowTheCurrentRecord) {
    Recordset rs = openUsers();
    EXPECT_EQ(rs.BaseTable(), "Users");
    EXPECT_EQ(rs.CurrentRowId(), (jet::RowId{10, 0}));
    rs.MoveNext();
    rs.MoveNext();
    EXPECT_EQ(rs.CurrentRowId(), (jet::RowId{11, 0}));
    rs.MoveNext();
    EXPECT_FALSE(rs.CurrentRowId().has_value());
}

TEST(RecordsetGetChunk, ChunksRebuildTheValueWhateverTheChunkSize) {
    Recordset rs = openUsers();
    const jet::Bytes v5000 = sequence(5000), v5001 = sequence(5001);
    size_t calls = 0;
    EXPECT_EQ(readAllChunks(rs("Greeting"), 5000, &calls), v5000);
    EXPECT_EQ(calls, 1u);
    EXPECT_TRUE(rs("Greeting").GetChunk(5000).isNull());  // stays at the end
    // Reading another field starts the next sequence from the beginning.
    (void)rs("Alias").Value();
    EXPECT_EQ(readAllChunks(rs("Greeting"), 1000, &calls), v5000);  // divides exactly
    EXPECT_EQ(calls, 5u);
    (void)rs("Alias").Value();
    EXPECT_EQ(readAllChunks(rs("Greeting"), 3000, &calls), v5000);  // does not
    EXPECT_EQ(calls, 2u);
    (void)rs("Alias").Value();
    EXPECT_EQ(readAllChunks(rs("Greeting"), 100000, &calls), v5000);  // larger than the value
    EXPECT_EQ(calls, 1u);
    rs.MoveNext();
    EXPECT_EQ(readAllChunks(rs("Greeting"), 5000, &calls), v5001);
    EXPECT_EQ(calls, 2u);
    rs.MoveNext();
    EXPECT_TRUE(rs("Greeting").GetChunk(5000).isNull());  // zero-length value
    EXPECT_EQ(rs("Greeting").ActualSize(), 0);
    EXPECT_FALSE(rs("Greeting").Value().isNull());
}

TEST(RecordsetGetChunk, ReadingAnotherFieldOrMovingRestartsTheSequence) {
    Recordset rs = openUsers();
    Field g = rs("Greeting");
    EXPECT_EQ(g.GetChunk(10).get<jet::Bytes>()[1], 7);
    EXPECT_EQ(g.GetChunk(10).get<jet::Bytes>()[0], 70);  // continues at byte 10
    (void)g.Value();                                     // the same field: no restart
    EXPECT_EQ(g.GetChunk(1).get<jet::Bytes>()[0], 140);  // byte 20
    (void)rs("Alias").Value();
    EXPECT_EQ(g.GetChunk(1).get<jet::Bytes>()[0], 0);  // restarted
    rs.MoveNext();
    rs.MovePrevious();
    EXPECT_EQ(g.GetChunk(2).get<jet::Bytes>().size(), 2u);
    EXPECT_EQ(g.GetChunk(0).get<jet::Bytes>().size(), 0u);
    EXPECT_EQ(errorNumberOf([&] { (void)g.GetChunk(-1); }), 3001);
    EXPECT_EQ(errorNumberOf([&] { (void)rs("Extension").GetChunk(4); }), 3219);
}

TEST(RecordsetGetChunk, MemoChunksCountCharactersAndNeverSplitOne) {
    Recordset rs = openUsers();
    Field notes = rs("Notes");
    EXPECT_EQ(notes.GetChunk(4).toText(), "caf\xC3\xA9");
    EXPECT_EQ(notes.GetChunk(2).toText(), " ");  // the pair does not fit in one more unit
    EXPECT_EQ(notes.GetChunk(2).toText(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(notes.GetChunk(50).toText(), "!");
    EXPECT_TRUE(notes.GetChunk(50).isNull());
    rs.MoveNext();
    EXPECT_TRUE(rs("Notes").GetChunk(10).isNull());  // Null value
}

TEST(RecordsetFind, MatchesTextIgnoringCaseFromTheCurrentRecordForward) {
    Recordset rs = openUsers();
    rs.Find("Alias='JSMITH'");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.CurrentRowId(), (jet::RowId{10, 0}));  // the current record counts
    rs.MoveNext();
    rs.Find("Alias = 'jsmith'");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs("Alias").Value().toText(), "JSmith");
    rs.MoveFirst();
    rs.Find("[Alias]='o''brien'");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs("Alias").Value().toText(), "O'Brien");
    rs.Find("Alias='nobody'");
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(errorNumberOf([&] { rs.Find("Alias='jsmith'"); }), 3021);
}

TEST(RecordsetFind, NumbersNullsAndBadCriteria) {
    Recordset rs = openUsers();
    rs.Find("Extension=1002");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs("Alias").Value().toText(), "O'Brien");
    rs.MoveFirst();
    rs.Find("Extension='1001'");
    EXPECT_EQ(rs("Alias").Value().toText(), "jsmith");
    rs.MoveFirst();
    rs.Find("Notes=''");  // Null never matches; the empty text does
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs("Alias").Value().toText(), "JSmith");
    rs.MoveFirst();
    for (const char* bad : {"", "Alias", "Alias=", "Alias='x", "Alias='x' AND 1", "='x'",
                            "Alias LIKE 'x'", "Alias=abc", "[Alias='x'"}) {
        EXPECT_EQ(errorNumberOf([&] { rs.Find(bad); }), 3001) << bad;
    }
    EXPECT_EQ(errorNumberOf([&] { rs.Find("Extension='abc'"); }), 3001);
    EXPECT_EQ(errorNumberOf([&] { rs.Find("Greeting='abc'"); }), 3001);
    EXPECT_EQ(errorNumberOf([&] { rs.Find("Missing='abc'"); }), 3265);
    EXPECT_EQ(rs.CurrentRowId(), (jet::RowId{10, 0}));  // failed finds do not move
}
