// Reading remap CSV files: which encoding a file is read in, where lines end, how fields
// split and trim, and the lenient numeric test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "helpers/testdata.h"
#include "remap/remap_csv.h"

namespace tdv::test {
namespace {

using remap::decodeCsvLines;
using Lines = std::vector<std::string>;

const std::string kEAcuteUtf8 = "\xC3\xA9";

TEST(CsvEncoding, Utf8WithAByteOrderMarkLosesTheMark) {
    EXPECT_EQ(decodeCsvLines("\xEF\xBB\xBFOLD_ALIAS\r\nRen\xC3\xA9\r\n"),
              (Lines{"OLD_ALIAS", "Ren" + kEAcuteUtf8}));
    EXPECT_EQ(decodeCsvLines("\xEF\xBB\xBF"), Lines{});
    // After the mark, a byte that is not part of valid UTF-8 becomes U+FFFD.
    EXPECT_EQ(decodeCsvLines("\xEF\xBB\xBFx\xE9y\xC3"), Lines{"x\xEF\xBF\xBDy\xEF\xBF\xBD"});
}

TEST(CsvEncoding, ValidUtf8WithHighBytesIsUtf8) {
    EXPECT_EQ(decodeCsvLines("a\r\nRen\xC3\xA9,\xE2\x82\xAC\r\n"),
              (Lines{"a", "Ren" + kEAcuteUtf8 + ",\xE2\x82\xAC"}));
}

TEST(CsvEncoding, AnythingElseIsWindows1252) {
    // The same "é" and "€" written by an ANSI editor.
    EXPECT_EQ(decodeCsvLines("a\r\nRen\xE9,\x80\r\n"),
              (Lines{"a", "Ren" + kEAcuteUtf8 + ",\xE2\x82\xAC"}));
    // One invalid sequence makes the whole file Windows-1252, valid-looking parts included.
    EXPECT_EQ(decodeCsvLines("\xC3\xA9 \xE9"), Lines{"\xC3\x83\xC2\xA9 " + kEAcuteUtf8});
    // Overlong and surrogate forms are not UTF-8.
    EXPECT_EQ(decodeCsvLines("\xC0\xAF"), Lines{"\xC3\x80\xC2\xAF"});
    EXPECT_EQ(decodeCsvLines("\xED\xA0\x80"), Lines{"\xC3\xAD\xC2\xA0\xE2\x82\xAC"});
    // A sequence cut off at the end of the file.
    EXPECT_EQ(decodeCsvLines("x\xE2\x82"), Lines{"x\xC3\xA2\xE2\x80\x9A"});
}

TEST(CsvEncoding, PlainAsciiIsItself) {
    EXPECT_EQ(decodeCsvLines("OLD_ALIAS, \"q\"\r\n"), Lines{"OLD_ALIAS, \"q\""});
}

TEST(CsvLines, CrLfLoneLfAndLoneCrEachEndALine) {
    EXPECT_EQ(decodeCsvLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(decodeCsvLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
    EXPECT_EQ(decodeCsvLines("a\n\r"), (Lines{"a", ""}));  // LF, then a lone CR
    EXPECT_EQ(decodeCsvLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(decodeCsvLines(""), Lines{});
    EXPECT_EQ(decodeCsvLines("\r\n"), Lines{""});
}

TEST(CsvLines, ReadFromAFileAndAMissingFileThrows) {
    TempDir dir;
    const auto path = dir.path() / "in.csv";
    { std::ofstream(path, std::ios::binary) << "H1,H2\r\nx\xE9\r\n"; }
    EXPECT_EQ(remap::readCsvLines(path.string()), (Lines{"H1,H2", "x" + kEAcuteUtf8}));
    EXPECT_THROW(remap::readCsvLines((dir.path() / "missing.csv").string()),
                 std::filesystem::filesystem_error);
}

// A file is read a chunk at a time; it gives the lines the whole file decoded at once
// gives, also when a line end, a UTF-8 sequence or the mark's line meets a chunk's end.
TEST(CsvLines, ReadingAFileInChunksGivesTheLinesOfTheWholeFile) {
    TempDir dir;
    const auto path = dir.path() / "in.csv";
    const size_t chunk = 64 * 1024;
    const std::string fill(chunk - 1, 'a');
    const std::vector<std::string> files = {
        "",
        "\xEF\xBB\xBF",
        fill + "\r\nb",                        // CR LF split over two chunks
        fill + "\xC3\xA9\r\n",                 // a UTF-8 sequence split over two chunks
        fill + "\xC3",                         // cut off at the end: Windows-1252
        fill + "x\xC3\xA9" + fill + "\xE9\n",  // invalid only in the second chunk
        "\xEF\xBB\xBF" + fill + "\xE9\r\n\r",
        std::string(chunk, 'b'),
        std::string(chunk, '\n'),
    };
    for (const std::string& bytes : files) {
        { std::ofstream(path, std::ios::binary) << bytes; }
        size_t count = 0;
        Lines lines;
        remap::forEachCsvLine(
            path.string(), [&](size_t n) { count = n; },
            [&](std::string& line) { lines.push_back(line); });
        const Lines whole = decodeCsvLines(bytes);
        EXPECT_EQ(lines, whole) << bytes.size();
        EXPECT_EQ(count, whole.size()) << bytes.size();
    }
}

TEST(CsvFields, EveryCommaSeparatesAndNothingIsTrimmed) {
    EXPECT_EQ(remap::splitCsvFields(""), Lines{""});
    EXPECT_EQ(remap::splitCsvFields("a,b"), (Lines{"a", "b"}));
    EXPECT_EQ(remap::splitCsvFields(",,"), (Lines{"", "", ""}));
    EXPECT_EQ(remap::splitCsvFields(" \"x, y\" ,\tz"), (Lines{" \"x", " y\" ", "\tz"}));
}

TEST(CsvFields, TrimTakesSpacesButNotTabs) {
    EXPECT_EQ(remap::trimSpaces("  a b  "), "a b");
    EXPECT_EQ(remap::trimSpaces("   "), "");
    EXPECT_EQ(remap::trimSpaces("\ta\t "), "\ta\t");
}

TEST(NumericText, LenientLikeThePlatformTest) {
    for (const char* yes :
         {"1001", "+7", "-7", "12.5", ".5", "5.", "1e3", "1E+3", "2d-1", " 42 ", "007"}) {
        EXPECT_TRUE(remap::isNumericText(yes)) << yes;
    }
    for (const char* no : {"", " ", ".", "+", "12a4", "1e", "e3", "1.2.3", "1 2", "x1", "\t1", "1-",
                           "--1", "1e3.5", "0x10"}) {
        EXPECT_FALSE(remap::isNumericText(no)) << no;
    }
}

}  // namespace
}  // namespace tdv::test
