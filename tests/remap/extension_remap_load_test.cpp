// The alias and extension remap window's load side: the header test, every rejection reason
// of a CSV line, the lookups on the backup (with every kind of extension owner), the grid
// rows, selection, closing, the file dialog and the resize rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "remap/frm_extension_remap.h"
#include "remap/remap_csv.h"
#include "remap_load_harness.h"

namespace tdv::test {
namespace {

using remap::FrmExtensionRemap;

constexpr const char* kHeader = "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION";
constexpr const char* kHeaderMessage =
    "Error - CSV File is not formatted correctly.  The first line of the file needs to contain "
    "'NEW_EXTENSION', 'OLD_EXTENSION', 'NEW_ALIAS' and 'OLD_ALIAS' column headers.  Review the "
    "help file for details on format constraints.";
constexpr const char* kNotRecognized =
    "CSV file is not a recognized format - see the help file for details.";

// Users jsmith (1001, alternate 2001), mjones (1002), nofirst (1003, Null first name); an
// alternate extension 3001 owned by a call handler; owners of every kind for the conflict
// order: 8002 alternate and call handler, 8003 call handler and list, 8004 list and
// interview handler; 1002 also an alternate extension of jsmith.
BackupFixture directory() {
    BackupFixture db;
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID", 40)
        .row({"{U1}", "jsmith", "John", "Smith", "John Smith", "1001"})
        .row({"{U2}", "mjones", "Mary", "Jones", "Mary Jones", "1002"})
        .row({"{U3}", "nofirst", nullptr, "Last", "No First", "1003"});
    db.table("DTMFAccessID")
        .text("ParentObjectID")
        .text("DTMFAccessID")
        .text("Alias")
        .row({"{U1}", "2001", "jsmith_alt"})
        .row({"{CH1}", "3001", "handler_alt"})
        .row({"{U1}", "1002", "dup_alt"})
        .row({"{U2}", "8002", "shared_alt"});
    db.table("CallHandlers")
        .text("ObjectID")
        .text("Alias")
        .text("TextName")
        .text("DTMFAccessID")
        .integer("IsPrimary")
        .row({"{CH1}", "ch1", "Main Menu", "4001", 0})
        .row({"{CH2}", "ch2", "Users Own Handler", "4002", 1})
        .row({"{CH3}", "ch3", "Shared Handler", "8002", 0})
        .row({"{CH4}", "ch4", "Other Handler", "8003", 0})
        .row({"{CH5}", "ch5", "No Extension", nullptr, 0});
    db.table("PublicDistributionLists")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{DL1}", "alllist", "All Users", "5001"})
        .row({"{DL2}", "list2", "List Two", "8003"})
        .row({"{DL3}", "list3", "List Three", "8004"});
    db.table("Interviewers")
        .text("ObjectID")
        .text("Alias")
        .text("DisplayName")
        .text("DTMFAccessID")
        .row({"{IV1}", "iv1", "Survey", "6001"})
        .row({"{IV2}", "iv2", "Second Survey", "8004"});
    return db;
}

struct ExtensionHarness : LoadHarness {
    FrmExtensionRemap form{ui, state, logs};

    ExtensionHarness() {
        open(directory());
        remap::InitForm(form);
    }
    // Loads the file through the dialog; returns the message boxes shown.
    std::vector<std::string> load(const std::string& bytes) {
        queueCsv(bytes);
        const size_t before = ui.boxes.size();
        remap::cmdOpenCSVFile_Click(form);
        const std::vector<std::string> all = ui.texts();
        return {all.begin() + static_cast<long>(before), all.end()};
    }
    // Loads kHeader and the lines; returns the CSV error log's lines.
    std::vector<std::string> loadLines(const std::vector<std::string>& lines) {
        std::string text = std::string(kHeader) + "\r\n";
        for (const auto& l : lines) text += l + "\r\n";
        load(text);
        return errorLog();
    }
    int rows() const { return form.myGrid.Rows() - 1; }
    std::string at(int row, const char* key) const { return cell(form.myGrid, row, key); }
};

std::string completion(int read, int added) {
    return "Import complete. " + std::to_string(read) + " lines read in from text file, " +
           std::to_string(added) + " users added to grid.";
}

TEST(ExtensionRemapGrid, ColumnsKeysCaptionsAndHiddenOnes) {
    ExtensionHarness h;
    const ui::GridModel& g = h.form.myGrid;
    const std::vector<std::string> keys = {"Selected",
                                           "OldAlias",
                                           "NewAlias",
                                           "OldExtension",
                                           "NewExtension",
                                           "FirstName",
                                           "LastName",
                                           "DisplayName",
                                           "Info",
                                           "OriginalLine",
                                           "AlternateExtensionAlias",
                                           "ObjectID"};
    const std::vector<std::string> captions = {"",
                                               "Old Alias",
                                               "New Alias",
                                               "Old Extension",
                                               "New Extension",
                                               "First Name",
                                               "Last Name",
                                               "Display Name",
                                               "Info",
                                               "OriginalLine",
                                               "Alternate Extenion Alias",
                                               "ObjectID"};
    const std::vector<int> widths = {270, 1140, 960, 1080, 1260, 960,
                                     960, 1350, 960, 960,  1695, 960};
    ASSERT_EQ(g.Cols(), 12);
    EXPECT_EQ(g.Rows(), 1);
    for (int c = 0; c < 12; ++c) {
        EXPECT_EQ(g.ColKey(c), keys[c]);
        EXPECT_EQ(g.TextMatrix(0, c), captions[c]);
        EXPECT_EQ(g.ColWidth(c), widths[c]);
        EXPECT_EQ(g.ColHidden(c), c >= 9) << c;
    }
    EXPECT_EQ(g.ColDataType(0), ui::GridModel::kCheckBoxType);
}

TEST(ExtensionRemapActivation, OpensTheLookupsOrClosesWithoutUsers) {
    ExtensionHarness h;
    EXPECT_FALSE(h.form.closed);
    ASSERT_TRUE(h.form.lookups.has_value());
    EXPECT_EQ(h.form.lookups->users.RecordCount(), 3);
    EXPECT_EQ(h.form.lookups->callHandlers.RecordCount(), 3);  // stand-alone, with extension
    EXPECT_TRUE(h.ui.boxes.empty());

    LoadHarness empty;
    BackupFixture none;
    none.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID");
    none.table("DTMFAccessID").text("ParentObjectID").text("DTMFAccessID").text("Alias");
    none.table("CallHandlers")
        .text("Alias")
        .text("TextName")
        .text("DTMFAccessID")
        .integer("IsPrimary");
    none.table("PublicDistributionLists").text("Alias").text("DisplayName").text("DTMFAccessID");
    none.table("Interviewers").text("ObjectID").text("DisplayName").text("DTMFAccessID");
    empty.open(none);
    FrmExtensionRemap form{empty.ui, empty.state, empty.logs};
    remap::InitForm(form);
    EXPECT_TRUE(form.closed);
    EXPECT_EQ(empty.ui.texts(),
              std::vector<std::string>{"Error opening subscriber data on local MDB file.  Close "
                                       "application and try again."});
}

TEST(ExtensionRemapActivation, AMissingLookupTableIsReportedAndTheRestWorks) {
    LoadHarness h;
    BackupFixture db;
    db.table("Subscribers")
        .text("ObjectID")
        .text("Alias")
        .text("FirstName")
        .text("LastName")
        .text("DisplayName")
        .text("DTMFAccessID", 40)
        .row({"{U1}", "jsmith", "John", "Smith", "John Smith", "1001"});
    h.open(db);
    FrmExtensionRemap form{h.ui, h.state, h.logs};
    remap::InitForm(form);
    EXPECT_FALSE(form.closed);
    ASSERT_EQ(h.ui.boxes.size(), 4u);  // the four other tables are missing
    for (const auto& text : h.ui.texts()) {
        EXPECT_TRUE(text.starts_with("Error ")) << text;
        EXPECT_TRUE(text.ends_with(" in procedure InitForm of Form frmExtensionRemap")) << text;
    }
    std::string objectId;
    EXPECT_TRUE(remap::bOldAliasMatchesASubscriber(form, "JSMITH", objectId));
    EXPECT_EQ(objectId, "{U1}");
    std::string description;
    EXPECT_FALSE(remap::bNewExtensionConflictsWithExistingObject(form, "4001", description));
}

TEST(ExtensionRemapHeader, NamesInAnyCaseOrderAndSpacingWithOtherColumns) {
    for (const char* header : {"OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION",
                               "  new_extension , Comment,old_Extension,New_Alias ,  OLD_ALIAS  ",
                               "OLD_ALIAS, OLD_EXTENSION, NEW_ALIAS, NEW_EXTENSION, FIRST_NAME"}) {
        ExtensionHarness h;
        remap::ExtensionCsvColumns c;
        const std::string path = h.queueCsv(std::string(header) + "\r\nx\r\n");
        EXPECT_TRUE(remap::bisValidCSVFileFormat(h.form, path, c)) << header;
        EXPECT_TRUE(h.ui.boxes.empty()) << header;
    }
    ExtensionHarness h;
    remap::ExtensionCsvColumns c;
    const std::string path =
        h.queueCsv("  new_extension , Comment,old_Extension,New_Alias ,  OLD_ALIAS  \r\n\r\n");
    ASSERT_TRUE(remap::bisValidCSVFileFormat(h.form, path, c));
    EXPECT_EQ(c.newExtension, 0);
    EXPECT_EQ(c.oldExtension, 2);
    EXPECT_EQ(c.newAlias, 3);
    EXPECT_EQ(c.oldAlias, 4);
}

TEST(ExtensionRemapHeader, ADuplicatedNameCountsAtItsLeftmostPlace) {
    ExtensionHarness h;
    h.load(
        "OLD_ALIAS,NEW_ALIAS,OLD_EXTENSION,NEW_EXTENSION,OLD_ALIAS\r\n"
        "jsmith,johnny,,,nobody\r\n");
    ASSERT_EQ(h.rows(), 1);
    EXPECT_EQ(h.at(1, "NewAlias"), "johnny");
    EXPECT_TRUE(h.errorLog().empty());
}

TEST(ExtensionRemapHeader, AMissingNameShowsBothMessagesAndKeepsThePreviousFile) {
    ExtensionHarness h;
    h.load(std::string(kHeader) + "\r\njsmith,,johnny,\r\n");
    ASSERT_EQ(h.rows(), 1);
    const std::string loaded = h.form.txtCSVPath;

    const auto boxes = h.load("OLD_ALIAS, OLD_EXTENSION, NEW_EXTENSION\r\njsmith,,1\r\n");
    EXPECT_EQ(boxes, (std::vector<std::string>{kHeaderMessage, kNotRecognized}));
    EXPECT_EQ(h.form.txtCSVPath, loaded);
    EXPECT_EQ(h.rows(), 1);
    EXPECT_EQ(h.at(1, "NewAlias"), "johnny");
}

TEST(ExtensionRemapHeader, AHeaderOfOneCharacterOrNoneIsNotAHeader) {
    for (const char* text : {"X\r\njsmith,,johnny,\r\n", "\r\njsmith,,johnny,\r\n"}) {
        ExtensionHarness h;
        EXPECT_EQ(h.load(text), (std::vector<std::string>{kHeaderMessage, kNotRecognized}));
        EXPECT_TRUE(h.form.txtCSVPath.empty());
    }
}

TEST(ExtensionRemapHeader, AnEmptyFileFailsToReadItsFirstLine) {
    ExtensionHarness h;
    EXPECT_EQ(h.load(""), (std::vector<std::string>{"Error 62 (Input past end of file) in "
                                                    "procedure bisValidCSVFileFormat of Form "
                                                    "frmExtensionRemap",
                                                    kHeaderMessage, kNotRecognized}));
}

// A file chosen by mistake is refused on its first line alone: binary bytes there, or a
// size no remap CSV file has (the file is sparse: nothing of it is read), which is named.
TEST(ExtensionRemapHeader, AFirstLineThatIsNoTextOrAHugeFileIsNoRemapCsv) {
    ExtensionHarness h;
    std::string withNul = std::string(kHeader) + "\r\nx,,y,\r\n";
    withNul[3] = '\0';
    EXPECT_EQ(h.load(withNul), std::vector<std::string>{kNotRecognized});
    EXPECT_EQ(h.load(std::string(70 * 1024, 'x')), std::vector<std::string>{kNotRecognized});
    const std::string big = h.queueCsv(std::string(kHeader) + "\r\njsmith,,johnny,\r\n", "big.csv");
    std::filesystem::resize_file(big, remap::kMaxCsvFileBytes + 1);
    remap::cmdOpenCSVFile_Click(h.form);
    // Too large: said with the size and the limit, in one message.
    EXPECT_EQ(h.ui.texts().back(),
              "CSV file is too large: " + std::to_string(remap::kMaxCsvFileBytes + 1) +
                  " bytes, and a remap CSV file holds at most 104857600 "
                  "bytes (100 MB).");
    EXPECT_EQ(h.rows(), 0);
    EXPECT_EQ(h.form.txtCSVPath, "");
}

// The CSV error log's path is taken by a folder: the rejected lines are in no log, the
// completion says so once and offers nothing to review, and the folder stays.
TEST(ExtensionRemapLines, AnUnwritableErrorLogIsReportedOnceAndNotOffered) {
    ExtensionHarness h;
    const auto folder = h.dir.path() / "remap.csv_CSVParse_ErrorLog_.TXT";
    std::filesystem::create_directories(folder);
    const auto boxes = h.load(std::string(kHeader) + "\r\nnobody,,x,\r\njsmith,,johnny,\r\n");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], completion(2, 1) +
                            "  The rejected lines could not be written to the CSV parse error "
                            "log " +
                            folder.string() + ".");
    EXPECT_EQ(h.ui.boxes.back().buttons, ui::Buttons::Ok);
    EXPECT_TRUE(h.ui.opened.empty());
    EXPECT_TRUE(std::filesystem::is_directory(folder));
}

TEST(ExtensionRemapHeader, AHeaderWithoutDataLeavesTheGridAlone) {
    ExtensionHarness h;
    h.load(std::string(kHeader) + "\r\njsmith,,johnny,\r\n");
    const auto boxes = h.load(std::string(kHeader) + "\r\n");
    EXPECT_EQ(boxes,
              (std::vector<std::string>{"File contains no data to work with", kNotRecognized}));
    EXPECT_EQ(h.rows(), 1);
}

TEST(ExtensionRemapLines, ThreeFieldsAreTooFewFourOrMoreAreEnough) {
    ExtensionHarness h;
    const auto log = h.loadLines({"jsmith,,johnny", "jsmith,,johnny,", "mjones,,maryj,,x,y"});
    EXPECT_EQ(log, std::vector<std::string>{logged("jsmith,,johnny", "Invalid CSV line format")});
    ASSERT_EQ(h.rows(), 2);
    EXPECT_EQ(h.at(1, "NewAlias"), "johnny");
    EXPECT_EQ(h.at(2, "NewAlias"), "maryj");
}

TEST(ExtensionRemapLines, BlankLinesCountButAreNotLogged) {
    ExtensionHarness h;
    h.ui.answers.push_back(ui::Answer::Yes);
    const auto log = h.loadLines({"", "jsmith,,johnny,", "    "});
    EXPECT_TRUE(log.empty());
    const auto& box = h.ui.boxes.back();
    EXPECT_EQ(box.text, completion(3, 1) + "  Review CSV parse error log now?");
    EXPECT_EQ(box.buttons, ui::Buttons::YesNo);
    EXPECT_EQ(h.ui.opened, std::vector<std::string>{h.logs.csvErrorLogPath()});
}

TEST(ExtensionRemapLines, EveryLineInTheGridGivesAnOkOnlySummary) {
    ExtensionHarness h;
    h.loadLines({"jsmith,,johnny,", "mjones,,,7001"});
    EXPECT_EQ(h.ui.boxes.back().text, completion(2, 2));
    EXPECT_EQ(h.ui.boxes.back().buttons, ui::Buttons::Ok);
    EXPECT_TRUE(h.ui.opened.empty());
    EXPECT_FALSE(h.logs.csvErrorLogOpen());
}

TEST(ExtensionRemapLines, EveryRejectionReasonInTheErrorLog) {
    ExtensionHarness h;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"x,y", "Invalid CSV line format"},
        {" , ,new1,1", "No value provided for OLD_ALIAS or OLD_EXTENSION"},
        {"jsmith,1001, , ", "No value provied for NEW_ALIAS or NEW_EXTENSION"},
        {"jsmith,,,12a4", "Invalid value for NEW_EXTENSION value"},
        // An extension is dialled: digits only, and no longer than its column.
        {"jsmith,,,12.5", "Invalid value for NEW_EXTENSION value"},
        {"jsmith,,," + std::string(41, '7'), "New extension is too long for the backup database"},
        {"jsmith,,new alias,", "Invalid alias for NEW_ALIAS value"},
        {"nobody,,newname,", "User not found by OLD_ALIAS and no OLD_EXTENSION provided"},
        {"nobody,10x1,newname,", "Invalid string for OLD_EXTENSION column value"},
        {"nobody,9999,newname,",
         "User or alternate extension not found using OLD_ALIAS or OLD_EXTENSION values"},
        {"jsmith,,mjones,",
         "New alias string conflicts with an existing user in the backup database"},
        {"jsmith,,,5001",
         "New extension conflicts with an existing extension in the backup database:Distribution "
         "list with alias=alllist"},
        {",3001,,7001",
         "Internal error: ObjectID value passed in does not map to a subscriber in the backup"},
        {",2001,,",
         "NEW_EXTENSION value is blank which is not valid when updating an alternate "
         "extension"},
    };
    std::vector<std::string> lines;
    std::vector<std::string> expected;
    for (const auto& [line, reason] : cases) {
        lines.push_back(line);
        expected.push_back(logged(line, reason));
    }
    // ",2001,," has no new value at all: rejected before the lookups.
    expected.back() = logged(",2001,,", "No value provied for NEW_ALIAS or NEW_EXTENSION");
    EXPECT_EQ(h.loadLines(lines), expected);
    EXPECT_EQ(h.rows(), 0);
    EXPECT_EQ(h.ui.boxes.back().text,
              completion(static_cast<int>(cases.size()), 0) + "  Review CSV parse error log now?");
    EXPECT_TRUE(h.ui.opened.empty());  // answered No
}

// A line may not change a user an earlier line changes, nor take a new alias (under the
// backup's comparison: letter case ignored) or a new extension an earlier line takes.
TEST(ExtensionRemapLines, EarlierLinesClaimTheirUserAliasAndExtension) {
    ExtensionHarness h;
    const auto log = h.loadLines({"jsmith,,samealias,", "mjones,,SameAlias,", "jsmith,,jp2,",
                                  "mjones,,,7777", "nofirst,,,7777", ",2001,,7778", ",2001,,7779"});
    EXPECT_EQ(log, (std::vector<std::string>{
                       logged("mjones,,SameAlias,",
                              "New alias string conflicts with the new alias of an earlier line "
                              "of the file"),
                       logged("jsmith,,jp2,",
                              "The same user or alternate extension is changed by an earlier "
                              "line of the file"),
                       logged("nofirst,,,7777",
                              "New extension conflicts with the new extension of an earlier "
                              "line of the file"),
                       logged(",2001,,7779",
                              "The same user or alternate extension is changed by an earlier "
                              "line of the file")}));
    ASSERT_EQ(h.rows(), 3);
    EXPECT_EQ(h.at(1, "NewAlias"), "samealias");
    EXPECT_EQ(h.at(2, "NewExtension"), "7777");
    EXPECT_EQ(h.at(3, "NewExtension"), "7778");
}

TEST(ExtensionRemapLines, AnAliasMatchIgnoresTheOldExtensionAndLetterCase) {
    ExtensionHarness h;
    EXPECT_TRUE(h.loadLines({"JSmith,not a number,johnny,15"}).empty());
    ASSERT_EQ(h.rows(), 1);
    EXPECT_EQ(h.at(1, "OldAlias"), "jsmith");
    EXPECT_EQ(h.at(1, "OldExtension"), "");
    EXPECT_EQ(h.at(1, "NewExtension"), "15");
    EXPECT_EQ(h.at(1, "ObjectID"), "{U1}");
}

TEST(ExtensionRemapLines, DoubleQuotesAreOrdinaryAndCommasAlwaysSplit) {
    ExtensionHarness h;
    // Fields: "jsmith" (quotes and all), "1001", "a and b" -- so NEW_EXTENSION is b" here.
    const auto log = h.loadLines({"\"jsmith\",\"1001\",\"a,b\",7002", "\"jsmith\",,x,"});
    EXPECT_EQ(log, (std::vector<std::string>{
                       "\"jsmith,1001,a,b,7002\",\"[Invalid value for NEW_EXTENSION value]\"",
                       "\"jsmith,,x,\",\"[User not found by OLD_ALIAS and no OLD_EXTENSION "
                       "provided]\""}));
}

TEST(ExtensionRemapRows, PrimaryRowsAndTheirInfo) {
    ExtensionHarness h;
    // Spaces around the fields do not count; a second line for a user is rejected.
    EXPECT_EQ(h.loadLines({"jsmith,,johnny,7001", "  mjones , , ,  7002 ", ",1003,nofirst2,",
                           "jsmith,,johnny2,"}),
              std::vector<std::string>{logged("jsmith,,johnny2,",
                                              "The same user or alternate extension is changed "
                                              "by an earlier line of the file")});
    ASSERT_EQ(h.rows(), 3);
    EXPECT_EQ(h.at(1, "Info"),
              "Replace both primary extension and alias with new values for this user.");
    EXPECT_EQ(h.at(2, "Info"), "Replace primary extension with new extension for this user.");
    EXPECT_EQ(h.at(3, "Info"), "Replace old alias with new alias for this user.");
    EXPECT_EQ(h.at(2, "NewExtension"), "7002");

    EXPECT_EQ(h.at(1, "OldAlias"), "jsmith");
    EXPECT_EQ(h.at(1, "NewAlias"), "johnny");
    EXPECT_EQ(h.at(1, "NewExtension"), "7001");
    EXPECT_EQ(h.at(1, "FirstName"), "John");
    EXPECT_EQ(h.at(1, "LastName"), "Smith");
    EXPECT_EQ(h.at(1, "DisplayName"), "John Smith");
    EXPECT_EQ(h.at(1, "OriginalLine"), "jsmith,,johnny,7001");
    EXPECT_EQ(h.at(1, "AlternateExtensionAlias"), "");

    // Matched by extension: the old extension is shown, the alias comes from the backup.
    EXPECT_EQ(h.at(3, "OldAlias"), "nofirst");
    EXPECT_EQ(h.at(3, "OldExtension"), "1003");
    EXPECT_EQ(h.at(3, "FirstName"), "");  // Null first name
    EXPECT_EQ(h.at(3, "ObjectID"), "{U3}");
    for (int r = 1; r <= 3; ++r) EXPECT_FALSE(h.form.myGrid.isChecked(r, 0)) << r;
}

TEST(ExtensionRemapRows, AlternateExtensionRowIgnoresTheNewAlias) {
    ExtensionHarness h;
    EXPECT_TRUE(h.loadLines({",2001,ignored,7003"}).empty());
    ASSERT_EQ(h.rows(), 1);
    EXPECT_EQ(h.at(1, "OldAlias"), "jsmith");
    EXPECT_EQ(h.at(1, "NewAlias"), "");
    EXPECT_EQ(h.at(1, "OldExtension"), "2001");
    EXPECT_EQ(h.at(1, "NewExtension"), "7003");
    EXPECT_EQ(h.at(1, "AlternateExtensionAlias"), "jsmith_alt");
    EXPECT_EQ(h.at(1, "ObjectID"), "{U1}");
    EXPECT_EQ(h.at(1, "Info"), "Replace old alternate extension with new extension for this user.");
}

TEST(ExtensionRemapRows, AlternateExtensionWithoutNewExtensionIsRejected) {
    ExtensionHarness h;
    EXPECT_EQ(h.loadLines({",2001,newalias,"}),
              std::vector<std::string>{logged(",2001,newalias,",
                                              "NEW_EXTENSION value is blank which is not valid "
                                              "when updating an alternate extension")});
}

TEST(ExtensionRemapRows, OldExtensionOfACallHandlerIsAnInternalError) {
    ExtensionHarness h;
    EXPECT_EQ(h.loadLines({",3001,,7004"}),
              std::vector<std::string>{logged(",3001,,7004",
                                              "Internal error: ObjectID value passed in does not "
                                              "map to a subscriber in the backup")});
    // The call handler's own extension is not an old extension at all.
    EXPECT_EQ(h.loadLines({",4001,,7004"}),
              std::vector<std::string>{logged(",4001,,7004",
                                              "User or alternate extension not found using "
                                              "OLD_ALIAS or OLD_EXTENSION values")});
}

TEST(ExtensionRemapRules, AliasValidity) {
    const std::string a64(64, 'a');
    EXPECT_TRUE(remap::bIsValidAlias(a64));
    EXPECT_FALSE(remap::bIsValidAlias(a64 + "a"));
    EXPECT_TRUE(remap::bIsValidAlias("  " + a64 + "  "));
    EXPECT_FALSE(remap::bIsValidAlias("a b"));
    EXPECT_FALSE(remap::bIsValidAlias("a/b"));
    EXPECT_TRUE(remap::bIsValidAlias("a\\b"));
    EXPECT_TRUE(remap::bIsValidAlias("o'brien"));
    EXPECT_FALSE(remap::bIsValidAlias("   "));
    // 64 characters of two bytes each are still 64 characters.
    std::string accents;
    for (int i = 0; i < 64; ++i) accents += "\xC3\xA9";
    EXPECT_TRUE(remap::bIsValidAlias(accents));
    EXPECT_FALSE(remap::bIsValidAlias(accents + "e"));

    ExtensionHarness h;
    const auto log = h.loadLines({"jsmith,," + a64 + ",", "mjones,," + a64 + "b,"});
    EXPECT_EQ(log, std::vector<std::string>{
                       logged("mjones,," + a64 + "b,", "Invalid alias for NEW_ALIAS value")});
    EXPECT_EQ(h.rows(), 1);
}

TEST(ExtensionRemapRules, NewAliasConflictsAlsoByCaseAndWithTheUsersOwnAlias) {
    ExtensionHarness h;
    const std::string reason =
        "New alias string conflicts with an existing user in the backup database";
    EXPECT_EQ(
        h.loadLines({"jsmith,,MJONES,", "jsmith,,jsmith,", "jsmith,,JSmith,", "jsmith,,o'neil,"}),
        (std::vector<std::string>{logged("jsmith,,MJONES,", reason),
                                  logged("jsmith,,jsmith,", reason),
                                  logged("jsmith,,JSmith,", reason)}));
    ASSERT_EQ(h.rows(), 1);
    EXPECT_EQ(h.at(1, "NewAlias"), "o'neil");
}

TEST(ExtensionRemapRules, NewExtensionConflictsWithEveryOwnerInOrder) {
    ExtensionHarness h;
    const std::string prefix =
        "New extension conflicts with an existing extension in the backup database:";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1001", "Primary extension for subscriber with alias=jsmith"},  // the user's own
        {"1002", "Primary extension for subscriber with alias=mjones"},  // before dup_alt
        {"2001", "Alternate extension with alias=jsmith_alt"},
        {"8002", "Alternate extension with alias=shared_alt"},  // before Shared Handler
        {"4001", "Extension for call handler with display name=Main Menu"},
        {"8003", "Extension for call handler with display name=Other Handler"},  // before list2
        {"5001", "Distribution list with alias=alllist"},
        {"8004", "Distribution list with alias=list3"},  // before Second Survey
        {"6001", "Interview handler with display name=Survey"},
    };
    std::vector<std::string> lines, expected;
    for (const auto& [ext, owner] : cases) {
        lines.push_back("jsmith,,," + ext);
        expected.push_back(logged("jsmith,,," + ext, prefix + owner));
    }
    // A primary call handler's extension is not in the lookup.
    lines.push_back("jsmith,,,4002");
    EXPECT_EQ(h.loadLines(lines), expected);
    ASSERT_EQ(h.rows(), 1);
    EXPECT_EQ(h.at(1, "NewExtension"), "4002");

    std::string description;
    EXPECT_FALSE(remap::bNewExtensionConflictsWithExistingObject(h.form, "7777", description));
    EXPECT_EQ(description, "");
}

TEST(ExtensionRemapRules, OldExtensionFindsPrimaryThenAlternate) {
    ExtensionHarness h;
    std::string id, alt;
    EXPECT_TRUE(remap::bOldExtensionMatchesASubscriber(h.form, "1002", id, alt));
    EXPECT_EQ(id, "{U2}");  // the primary extension wins over jsmith's alternate 1002
    EXPECT_EQ(alt, "");
    EXPECT_TRUE(remap::bOldExtensionMatchesASubscriber(h.form, "2001", id, alt));
    EXPECT_EQ(id, "{U1}");
    EXPECT_EQ(alt, "jsmith_alt");
    EXPECT_FALSE(remap::bOldExtensionMatchesASubscriber(h.form, "5001", id, alt));
    EXPECT_EQ(id, "");
    EXPECT_EQ(alt, "");
}

TEST(ExtensionRemapRules, LookupsWithoutAnOpenWindowReportTheError) {
    LoadHarness h;
    h.open(directory());
    FrmExtensionRemap form{h.ui, h.state, h.logs};  // never activated
    std::string id;
    EXPECT_FALSE(remap::bOldAliasMatchesASubscriber(form, "jsmith", id));
    ASSERT_EQ(h.ui.boxes.size(), 1u);
    EXPECT_TRUE(h.ui.boxes[0].text.ends_with(
        "in procedure bOldAliasMatchesASubscriber of Form frmExtensionRemap"));
}

TEST(ExtensionRemapSelection, SelectAllClickTogglingAndEditRefusal) {
    ExtensionHarness h;
    h.loadLines({"jsmith,,johnny,", "mjones,,maryj,", "nofirst,,nf,"});
    ui::GridModel& g = h.form.myGrid;
    h.form.chkSelectAll = true;
    remap::chkSelectAll_Click(h.form);
    for (int r = 1; r <= 3; ++r) EXPECT_TRUE(g.isChecked(r, 0));
    h.form.chkSelectAll = false;
    remap::chkSelectAll_Click(h.form);
    for (int r = 1; r <= 3; ++r) EXPECT_FALSE(g.isChecked(r, 0));

    g.setRow(2);
    g.setCol(1);  // Old Alias: no change
    remap::myGrid_Click(h.form);
    EXPECT_FALSE(g.isChecked(2, 0));
    g.setCol(0);  // the box itself is the grid's own editing
    remap::myGrid_Click(h.form);
    EXPECT_FALSE(g.isChecked(2, 0));
    g.setCol(2);
    remap::myGrid_Click(h.form);
    EXPECT_TRUE(g.isChecked(2, 0));
    g.setCol(8);
    remap::myGrid_Click(h.form);
    EXPECT_FALSE(g.isChecked(2, 0));
    g.setRow(0);  // the header row
    g.setCol(3);
    remap::myGrid_Click(h.form);
    EXPECT_FALSE(g.isChecked(0, 0));

    EXPECT_TRUE(remap::myGrid_CanEdit(h.form, 0));
    for (int c = 1; c < g.Cols(); ++c) EXPECT_FALSE(remap::myGrid_CanEdit(h.form, c)) << c;
}

TEST(ExtensionRemapClosing, CancelClosesAndUnloadReleasesTheLookups) {
    ExtensionHarness h;
    remap::cmdCancel_Click(h.form);
    EXPECT_TRUE(h.form.closed);
    remap::Form_Unload(h.form);
    EXPECT_FALSE(h.form.lookups.has_value());
    remap::Form_Unload(h.form);  // twice is harmless
    EXPECT_TRUE(h.ui.boxes.empty());
}

TEST(ExtensionRemapLayout, TwipsRuleAndTooSmallSizes) {
    const auto l = remap::remapLayout(12420, 6075);
    ASSERT_TRUE(l.has_value());
    EXPECT_EQ(l->gridWidth, 12315);
    EXPECT_EQ(l->gridHeight, 4755);
    EXPECT_EQ(l->cmdCancelLeft, 11400);
    EXPECT_EQ(l->cmdCancelTop, 5580);
    EXPECT_EQ(l->cmdRemapLeft, 9900);
    EXPECT_EQ(l->cmdRemapTop, 5580);
    EXPECT_EQ(l->txtCSVPathWidth, 10635);
    EXPECT_TRUE(remap::remapLayout(2520, 1320).has_value());
    EXPECT_FALSE(remap::remapLayout(2519, 6000).has_value());
    EXPECT_FALSE(remap::remapLayout(12000, 1319).has_value());
}

TEST(ExtensionRemapDialog, TitleFilterAndTheSharedLastFolder) {
    ExtensionHarness h;
    h.ui.openPaths.push_back("");  // cancelled
    remap::cmdOpenCSVFile_Click(h.form);
    ASSERT_EQ(h.ui.dialogs.size(), 1u);
    EXPECT_EQ(h.ui.dialogs[0].title, "Select CSV File");
    EXPECT_EQ(h.ui.dialogs[0].filterDescription, "All Files");
    EXPECT_EQ(h.ui.dialogs[0].filterPattern, "*.*");
    EXPECT_EQ(h.ui.dialogs[0].fileName, "");
    EXPECT_EQ(h.ui.dialogs[0].initialFolder, std::getenv("HOME"));
    EXPECT_TRUE(h.ui.boxes.empty());

    h.ui.settings["ApplicationSettings/LastCSVFolderPath"] = "/srv/csv";
    h.ui.openPaths.push_back("");
    remap::cmdOpenCSVFile_Click(h.form);
    EXPECT_EQ(h.ui.dialogs[1].initialFolder, "/srv/csv");

    const auto sub = h.dir.path() / "in";
    std::filesystem::create_directories(sub);
    h.queueCsv(std::string(kHeader) + "\r\njsmith,,johnny,\r\n", "in/first.csv");
    remap::cmdOpenCSVFile_Click(h.form);
    EXPECT_EQ(h.form.txtCSVPath, (sub / "first.csv").string());
    EXPECT_EQ(h.ui.settings["ApplicationSettings/LastCSVFolderPath"], sub.string());
    EXPECT_EQ(h.logs.csvErrorLogPath(), (sub / "first.csv").string() + "_CSVParse_ErrorLog_.TXT");
    ASSERT_EQ(h.rows(), 1);

    // With a file loaded the dialog starts at it; cancelling changes nothing.
    h.ui.openPaths.push_back("");
    remap::cmdOpenCSVFile_Click(h.form);
    EXPECT_EQ(h.ui.dialogs.back().initialFolder, sub.string());
    EXPECT_EQ(h.ui.dialogs.back().fileName, (sub / "first.csv").string());
    EXPECT_EQ(h.form.txtCSVPath, (sub / "first.csv").string());
    EXPECT_EQ(h.rows(), 1);

    // A name shorter than four characters puts the previous path back.
    h.ui.openPaths.push_back("a.c");
    const size_t boxes = h.ui.boxes.size();
    remap::cmdOpenCSVFile_Click(h.form);
    EXPECT_EQ(h.form.txtCSVPath, (sub / "first.csv").string());
    EXPECT_EQ(h.ui.boxes.size(), boxes);

    // A missing file: not recognized, silently for the header test.
    h.ui.openPaths.push_back((h.dir.path() / "missing.csv").string());
    remap::cmdOpenCSVFile_Click(h.form);
    EXPECT_EQ(h.ui.texts().back(), kNotRecognized);
    EXPECT_EQ(h.ui.boxes.size(), boxes + 1);
    EXPECT_EQ(h.form.txtCSVPath, (sub / "first.csv").string());
}

TEST(ExtensionRemapLoad, TheLineCountStopsAt32767WhileLinesAreStillHandled) {
    ExtensionHarness h;
    std::string text = std::string(kHeader) + "\r\n";
    text.reserve(text.size() + 33000 * 2 + 64);
    for (int i = 0; i < 32999; ++i) text += "\r\n";
    text += "jsmith,,johnny,\r\n";  // the 33000th data line still reaches the grid
    std::vector<std::pair<int, int>> progress;
    h.form.progress = [&](int done, int total) { progress.emplace_back(done, total); };
    h.load(text);
    EXPECT_EQ(h.rows(), 1);
    EXPECT_EQ(h.ui.boxes.back().text, completion(32767, 1) + "  Review CSV parse error log now?");
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), std::make_pair(100, 33000));
    EXPECT_EQ(progress.back(), std::make_pair(33000, 33000));
    EXPECT_EQ(progress.size(), 330u);
}

TEST(ExtensionRemapLoad, EachLinePausesAndTheGridRepaintsOnlyAtTheEnd) {
    ExtensionHarness h;
    std::vector<int> rowsSeen;
    h.form.myGrid.onChanged = [&] { rowsSeen.push_back(h.form.myGrid.Rows()); };
    h.ui.events.clear();
    h.loadLines({"jsmith,,johnny,", "x", "mjones,,maryj,"});
    // Emptied while still drawn, then nothing until repainting is switched on again.
    EXPECT_EQ(rowsSeen, (std::vector<int>{1, 3}));
    int events = 0;
    for (const auto& e : h.ui.events) events += e == "events" ? 1 : 0;
    EXPECT_EQ(events, 3);
    EXPECT_TRUE(h.form.myGrid.isAutoSized(1));
    EXPECT_TRUE(h.form.myGrid.isAutoSized(7));
    EXPECT_FALSE(h.form.myGrid.isAutoSized(8));
    EXPECT_EQ(h.form.myGrid.Redraw(), 2);
}

TEST(ExtensionRemapLoad, Utf8AndWindows1252FilesGiveTheSameText) {
    ExtensionHarness utf8;
    utf8.load(std::string(kHeader) + "\r\njsmith,,ren\xC3\xA9,\r\n");
    ExtensionHarness ansi;
    ansi.load(std::string(kHeader) + "\r\njsmith,,ren\xE9,\r\n");
    ExtensionHarness bom;
    bom.load("\xEF\xBB\xBF" + std::string(kHeader) + "\r\njsmith,,ren\xC3\xA9,\r\n");
    for (ExtensionHarness* h : {&utf8, &ansi, &bom}) {
        ASSERT_EQ(h->rows(), 1);
        EXPECT_EQ(h->at(1, "NewAlias"), "ren\xC3\xA9");
    }
}

TEST(ExtensionRemapLoad, AnotherFileReplacesTheRowsAndItsErrorLog) {
    ExtensionHarness h;
    h.loadLines({"jsmith,,johnny,", "bad"});
    ASSERT_EQ(h.rows(), 1);
    EXPECT_EQ(h.errorLog().size(), 1u);
    h.loadLines({"mjones,,maryj,", "nofirst,,nf,"});
    EXPECT_EQ(h.rows(), 2);
    EXPECT_EQ(h.at(1, "OldAlias"), "mjones");
    EXPECT_TRUE(h.errorLog().empty());
}

}  // namespace
}  // namespace tdv::test
