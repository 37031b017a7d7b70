#include "main_state/common_values.h"

#include <gtest/gtest.h>

#include "backup/app_state.h"
#include "db/db_error.h"
#include "helpers/backup_fixture.h"
#include "helpers/testdata.h"
#include "main_state/code_page.h"

namespace tdv::app {
namespace {

using test::BackupFixture;
using test::TempDir;

// One row of mixed columns, read through a recordset as the features read them.
class FieldTextTest : public ::testing::Test {
protected:
    void SetUp() override {
        BackupFixture db;
        db.table("Subscribers")
            .text("Alias")
            .text("Padded")
            .integer("Language")
            .yesNo("ListInDirectory")
            .text("Empty")
            .memo("Notes")
            .row({"jsmith", "  Smith  ", 1033, true, nullptr, "Caf\xC3\x83\xC2\xA9"});
        state.strMDBConnectString =
            std::string(backup::kConnectPrefix) + db.write(dir.path(), "ZerithDBData_Backup_t.mdb");
        rs = state.newRecordset();
        rs.setCursorLocation(db::adUseClient);
        rs.Open("SELECT * FROM Subscribers", state.strMDBConnectString, db::adOpenKeyset,
                db::adLockReadOnly);
    }
    TempDir dir;
    backup::AppState state;
    db::Recordset rs;
};

TEST_F(FieldTextTest, OlderBackupTrimsAndConverts) {
    EXPECT_EQ(strGetFieldText(rs, "Padded", state), "Smith");
    EXPECT_EQ(strGetFieldText(rs, "alias", state), "jsmith");
    EXPECT_EQ(strGetFieldText(rs, "Language", state), "1033");
    EXPECT_EQ(strGetFieldText(rs, "ListInDirectory", state), "True");
    EXPECT_EQ(strGetFieldText(rs, "Empty", state), "");
    EXPECT_EQ(strGetFieldText(rs, "NoSuchColumn", state), "");
    // Without the 7.x flag the text is shown as stored, mojibake included.
    EXPECT_EQ(strGetFieldText(rs, "Notes", state), "Caf\xC3\x83\xC2\xA9");
}

TEST_F(FieldTextTest, NewerBackupRepairsTextWithoutTrimming) {
    state.bIsQuorin7OrLater = true;
    EXPECT_EQ(strGetFieldText(rs, "Padded", state), "  Smith  ");
    EXPECT_EQ(strGetFieldText(rs, "Notes", state), "Caf\xC3\xA9");
    EXPECT_EQ(strGetFieldText(rs, "Language", state), "1033");
    EXPECT_EQ(strGetFieldText(rs, "Empty", state), "");
}

TEST(FieldText, ClosedRecordsetGivesEmptyText) {
    backup::AppState state;
    db::Recordset rs;
    EXPECT_EQ(strGetFieldText(rs, "Alias", state), "");
}

TEST(FixQuotes, DoublesEveryQuoteAndTrims) {
    EXPECT_EQ(strFixQuotesForSQL(""), "");
    EXPECT_EQ(strFixQuotesForSQL("O'Brien"), "O''Brien");
    EXPECT_EQ(strFixQuotesForSQL("le''dwards"), "le''''dwards");
    EXPECT_EQ(strFixQuotesForSQL("''"), "''''");
    EXPECT_EQ(strFixQuotesForSQL("x' OR 'a'='a"), "x'' OR ''a''=''a");
    EXPECT_EQ(strFixQuotesForSQL("a'b'c"), "a''b''c");
    EXPECT_EQ(strFixQuotesForSQL(" name' "), "name''");
    // A literal for a value read from a backup keeps every character, spaces included.
    EXPECT_EQ(sqlQuoted(" x' OR 'a'='a "), "' x'' OR ''a''=''a '");
    EXPECT_EQ(sqlQuoted(""), "''");
}

TEST(RemoveControlChars, TrimsCallerTextAndRemovesLineControls) {
    std::string text = "  \r\nline1\r\nline2\t  ";
    EXPECT_EQ(strRemoveControlChars(text, false), "line1line2");
    EXPECT_EQ(text, "\r\nline1\r\nline2\t");

    std::string leading = "\t\r\nabc\r\n";
    EXPECT_EQ(strRemoveControlChars(leading, true), "abc\r\n");
    std::string onlyControls = "\r\n\t";
    EXPECT_EQ(strRemoveControlChars(onlyControls, true), "");
    std::string spaces = "   ";
    EXPECT_EQ(strRemoveControlChars(spaces, false), "");
    EXPECT_EQ(spaces, "");

    std::string trailingNul = std::string("ab\0\r\0", 5);
    EXPECT_EQ(strRemoveControlChars(trailingNul, false), "ab");
    std::string allNul = std::string("\0\0", 2);
    EXPECT_EQ(strRemoveControlChars(allNul, false), std::string("\0\0", 2));
}

TEST(LanguageNames, KnownUnknownAndServerSpecific) {
    EXPECT_EQ(strLanguageName(1033), "English (United States)");
    EXPECT_EQ(strLanguageName(1031), "German (Germany)");
    EXPECT_EQ(strLanguageName(33801), "English (TDD/TTY)");
    EXPECT_EQ(strLanguageName(0), "(error)");
    EXPECT_EQ(strLanguageName(0x7FFF0000), "(error)");
    EXPECT_EQ(strLanguageName(1034), "Spanish (Spain, Traditional Sort)");
    EXPECT_EQ(strLanguageName(3082), "Spanish (Spain)");

    EXPECT_EQ(strLanguageAbbreviation(1033), "ENU");
    EXPECT_EQ(strLanguageAbbreviation(2057), "ENG");
    EXPECT_EQ(strLanguageAbbreviation(3082), "ESN");
    EXPECT_EQ(strLanguageAbbreviation(1034), "ESP");
    EXPECT_EQ(strLanguageAbbreviation(3084), "FRC");
    EXPECT_EQ(strLanguageAbbreviation(33801), "ENX");
    EXPECT_EQ(strLanguageAbbreviation(12345), "ERR");
}

TEST(Utf8Repair, RepairsMojibakeAndLeavesAsciiAlone) {
    EXPECT_EQ(strRepairUTF8Text(""), "");
    EXPECT_EQ(strRepairUTF8Text("plain text 123"), "plain text 123");
    // U+00C3 U+00A9: the bytes C3 A9 read as Windows-1252.
    EXPECT_EQ(strRepairUTF8Text("\xC3\x83\xC2\xA9"), "\xC3\xA9");
    // "€" is E2 82 AC, which Windows-1252 shows as U+00E2 U+201A U+00AC.
    EXPECT_EQ(strRepairUTF8Text("\xC3\xA2\xE2\x80\x9A\xC2\xAC"), "\xE2\x82\xAC");
    // "Á" is C3 81; byte 81 is undefined in Windows-1252 and travels as U+0081.
    EXPECT_EQ(strRepairUTF8Text("\xC3\x83\xC2\x81"), "\xC3\x81");
}

TEST(Utf8Repair, UnicodeToUtf8TextIsTheInverseWithoutLineControls) {
    EXPECT_EQ(strUnicodeToUTF8Text(""), "");
    EXPECT_EQ(strUnicodeToUTF8Text("\xC3\xA9t\xC3\xA9"), "\xC3\x83\xC2\xA9t\xC3\x83\xC2\xA9");
    EXPECT_EQ(strUnicodeToUTF8Text("a\r\nb\t"), "ab");
    const std::string name = "Fran\xC3\xA7ois \xE2\x82\xAC";
    EXPECT_EQ(strRepairUTF8Text(strUnicodeToUTF8Text(name)), name);
}

TEST(CodePages, ConversionsStopAtNulAndReplaceWhatCannotBeHeld) {
    EXPECT_EQ(strUnicodeToMultiByte(std::string("ab\0cd", 5), 1252), "ab");
    EXPECT_EQ(strMultiByteToUnicode(std::string("\xE9\0x", 3), 1252), "\xC3\xA9");
    EXPECT_EQ(strUnicodeToMultiByte("\xE2\x82\xAC", 0), "\x80");
    EXPECT_EQ(strUnicodeToMultiByte("\xE2\x82\xAC", -1), "\x80");
    EXPECT_EQ(strUnicodeToMultiByte("\xE4\xB8\xAD", 1252), "?");
    EXPECT_EQ(strMultiByteToUnicode("\xFF", 65001), "\xEF\xBF\xBD");
    EXPECT_EQ(strUnicodeToMultiByte("\xD0\x96", 1251), "\xC6");
    EXPECT_EQ(strMultiByteToUnicode("\xC6", 1251), "\xD0\x96");
    EXPECT_EQ(strMultiByteToUnicode("\x82\xA0", 932), "\xE3\x81\x82");
    EXPECT_THROW(strUnicodeToMultiByte("x", 99999), db::DbError);
}

}  // namespace
}  // namespace tdv::app
