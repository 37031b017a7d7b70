// tdv info / list / report / private-lists, and the CLI's UI port.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "backup/app_state.h"
#include "cli/cli_ui.h"
#include "db/recordset.h"
#include "helpers/backup_fixture.h"
#include "helpers/testdata.h"

namespace tdv::cli {
namespace {

using test::BackupFixture;
using test::runTdv;
using test::shellQuote;
using ::testing::HasSubstr;
using ::testing::StartsWith;

TEST(CliUi, BoxesAreOneLineAndQuestionsFollowTheYesSwitch) {
    std::ostringstream err;
    CliUi noUi(err);
    ui::UiPort& no = noUi;  // the port's default arguments
    EXPECT_EQ(no.messageBox("a\r\nb\nc\rd"), ui::Answer::Ok);
    EXPECT_EQ(no.messageBox("Sure?", ui::Buttons::YesNo), ui::Answer::No);
    EXPECT_EQ(no.messageBox("Go?", ui::Buttons::OkCancel), ui::Answer::Cancel);
    CliUi yesUi(err, true);
    ui::UiPort& yes = yesUi;
    EXPECT_EQ(yes.messageBox("Sure?", ui::Buttons::YesNo), ui::Answer::Yes);
    EXPECT_EQ(yes.messageBox("Go?", ui::Buttons::OkCancel), ui::Answer::Ok);
    EXPECT_EQ(err.str(),
              "message: a\\nb\\nc\\nd\n"
              "question: Sure? -> No\n"
              "question: Go? -> Cancel\n"
              "question: Sure? -> Yes\n"
              "question: Go? -> OK\n");
}

TEST(CliUi, DialogsReturnTheGivenPathsThenCancelAndSettingsStayInMemory) {
    std::ostringstream err;
    CliUi ui(err);
    ui.openPaths = {"/a.mdb"};
    EXPECT_EQ(ui.openFileDialog({}), "/a.mdb");
    EXPECT_EQ(ui.openFileDialog({}), "");
    EXPECT_EQ(ui.setting("ApplicationSettings", "LastMDBFolderPath", "/exe"), "/exe");
    ui.saveSetting("ApplicationSettings", "LastMDBFolderPath", "/b");
    EXPECT_EQ(ui.setting("ApplicationSettings", "LastMDBFolderPath", "/exe"), "/b");
    ui.openWithDesktop("/out/WAVExtraction");
    EXPECT_EQ(err.str(), "open: /out/WAVExtraction\n");
}

// A directory backup with two schedules that share a display name.
class BrowseFixture : public ::testing::Test {
protected:
    void SetUp() override {
        BackupFixture db;
        db.versionInfo().row({5, 0, 12, 1, false, 7, 0, 29});
        db.table("MDBVersion").integer("Version").row({20});
        db.table("Schedules")
            .text("ObjectID")
            .text("DisplayName")
            .row({"{S1}", "Weekdays"})
            .row({"{S2}", "Same"})
            .row({"{S3}", "Same"});
        file = shellQuote(db.write(dir.path(), "ZerithDBData_Backup_b.mdb"));
    }
    test::TempDir dir;
    std::string file;
};

TEST_F(BrowseFixture, ListPrintsTheGridAsJson) {
    auto r = runTdv("list " + file + " schedules");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["count"], "3");
    ASSERT_EQ(j["columns"].size(), 2u);
    EXPECT_EQ(j["columns"][0]["caption"], "Display Name");
    EXPECT_EQ(j["columns"][0]["hidden"], false);
    EXPECT_EQ(j["columns"][1]["caption"], "ObjectID");
    EXPECT_EQ(j["columns"][1]["hidden"], true);
    EXPECT_EQ(j["rows"],
              nlohmann::json::parse(R"([["Weekdays","{S1}"],["Same","{S2}"],["Same","{S3}"]])"));
    EXPECT_EQ(j["text"],
              "{TARNIS Data Viewer does not show schedule detail information at this time}");
    // The index works as the name does.
    EXPECT_EQ(runTdv("list " + file + " 5").out, r.out);
}

TEST_F(BrowseFixture, ReportFindsRowsByObjectIdOrUniqueName) {
    auto r = runTdv("report " + file + " schedules {s1}");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{TARNIS Data Viewer does not show schedule detail information at this time}\n");
    EXPECT_EQ(runTdv("report " + file + " schedules Weekdays").status, 0);
    EXPECT_EQ(runTdv("report " + file + " schedules {S3}").status, 0);

    auto ambiguous = runTdv("report " + file + " schedules Same");
    EXPECT_EQ(ambiguous.status, 1);
    EXPECT_EQ(ambiguous.out, "");
    EXPECT_THAT(ambiguous.err, HasSubstr("ambiguous"));

    auto unknown = runTdv("report " + file + " schedules Nothing");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_THAT(unknown.err, HasSubstr("no row"));
}

TEST_F(BrowseFixture, InfoPrintsTheKindAndTheDetails) {
    auto r = runTdv("info " + file);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, StartsWith("directory backup\n"));
    EXPECT_THAT(r.out, HasSubstr("5.0(1.12)"));
    EXPECT_THAT(r.out, Not(HasSubstr("\r")));
}

TEST_F(BrowseFixture, ErrorsAreOneLineAndExitOne) {
    for (const std::string& args : std::vector<std::string>{
             "list " + file + " widgets", "list " + file + " 8", "info /no/such/file.mdb",
             "report " + file + " schedules", "list"}) {
        auto r = runTdv(args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_EQ(r.out, "") << args;
    }
    auto bad = runTdv("list " + file + " widgets");
    EXPECT_EQ(bad.status, 2);  // a usage error
    EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
}

TEST_F(BrowseFixture, NotABackupShowsTheViewersMessage) {
    const auto other = dir.path() / "notes.mdb";
    std::ofstream(other) << "plain text";
    auto r = runTdv("info " + shellQuote(other.string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, StartsWith("message: Could not open MDB file to check for version "
                                  "information."));
    // The viewer's message is the whole answer: no second line saying it differently.
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST(BrowseCommands, EveryCommandHasHelp) {
    for (const std::string cmd : {"info", "list", "report", "private-lists"}) {
        auto r = runTdv(cmd + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_THAT(r.out, HasSubstr("FILE")) << cmd;
    }
}

// The sample backups written by `tdv make-sample`.
class SampleBrowse : public ::testing::Test {
protected:
    std::string makeSample(const std::string& variant) {
        const auto folder = dir.path() / variant;
        auto r = runTdv("make-sample " + shellQuote(folder.string()) + " --variant " + variant +
                        " --users 6 --messages 4");
        EXPECT_EQ(r.status, 0) << r.err;
        std::istringstream lines(r.out);
        std::getline(lines, directory);
        std::getline(lines, messages);
        return directory;
    }
    test::TempDir dir;
    std::string directory;
    std::string messages;
};

TEST_F(SampleBrowse, DefaultSampleListsReportsAndDumps) {
    makeSample("zerith-rev20");
    const std::string file = shellQuote(directory);

    auto info = runTdv("info " + file);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, StartsWith("directory backup\nZerith version="));
    EXPECT_EQ(runTdv("info " + shellQuote(messages)).out, "message backup\n");

    for (const std::string type :
         {"subscribers", "callhandlers", "distlists", "interviewers", "dirhandlers"}) {
        auto list = runTdv("list " + file + " " + type);
        ASSERT_EQ(list.status, 0) << type << list.err;
        const auto j = nlohmann::json::parse(list.out);
        ASSERT_FALSE(j["rows"].empty()) << type;
        EXPECT_EQ(j["count"], std::to_string(j["rows"].size())) << type;
        EXPECT_TRUE(j["columns"].back()["hidden"]) << type;
        // The list shows the first row's report; report on that row's ObjectID agrees.
        const std::string id = j["rows"][0].back();
        auto report = runTdv("report " + file + " " + type + " " + shellQuote(id));
        ASSERT_EQ(report.status, 0) << type << report.err;
        EXPECT_EQ(report.out, j["text"].get<std::string>()) << type;
        if (type == "subscribers" || type == "callhandlers") {
            EXPECT_THAT(report.out, HasSubstr("ObjectID=" + id)) << type;
        }
    }

    auto list = nlohmann::json::parse(runTdv("list " + file + " subscribers").out);
    const std::string alias = list["rows"][1][0];
    auto byAlias = runTdv("report " + file + " subscribers " + shellQuote(alias));
    ASSERT_EQ(byAlias.status, 0) << byAlias.err;
    EXPECT_THAT(byAlias.out, HasSubstr("Alias= " + alias + "\n"));
    // Found by its ObjectID or its alias, the object gets the same report.
    const std::string rowId = list["rows"][1].back();
    EXPECT_EQ(runTdv("report " + file + " subscribers " + shellQuote(rowId)).out, byAlias.out);

    auto dump = runTdv("private-lists " + file + " " + shellQuote(alias));
    EXPECT_EQ(dump.status, 0) << dump.err;
    EXPECT_EQ(dump.out.find('\r'), std::string::npos);
}

TEST_F(SampleBrowse, ADamagedListSaysSoAndFails) {
    makeSample("zerith-rev20");
    // The file cut short at the user table's first data page: the version tables before it
    // still read, the users are gone.
    auto id =
        nlohmann::json::parse(runTdv("sql " + shellQuote(directory) +
                                     " \"SELECT Id FROM MSysObjects WHERE Name = 'Subscribers'\"")
                                  .out);
    const auto tableId = id["Id"].get<std::uint32_t>();
    std::ifstream in(directory, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t pageSize = bytes.at(0x14) != 0 ? 4096 : 2048;
    std::size_t cut = 0;
    for (std::size_t at = pageSize; at + pageSize <= bytes.size() && cut == 0; at += pageSize) {
        std::uint32_t owner = 0;
        for (int i = 3; i >= 0; --i)
            owner = owner << 8 | static_cast<unsigned char>(bytes[at + 4 + static_cast<size_t>(i)]);
        if (bytes[at] == 0x01 && owner == tableId) cut = at;
    }
    ASSERT_NE(cut, 0u);
    std::filesystem::resize_file(directory, cut);
    auto list = runTdv("list " + shellQuote(directory) + " subscribers");
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.out, "");
    EXPECT_THAT(list.err, HasSubstr("in procedure populateSubscribers of Form frmMain"));
}

std::string inHome(const std::filesystem::path& home, const std::string& args) {
    return "TDV_HOME=" + shellQuote(home.string()) + " " + shellQuote(TDV_BINARY) + " " + args;
}

TEST_F(SampleBrowse, ADamagedExportLogFailsOnlyItsExtraction) {
    makeSample("zerith-rev20");
    const std::string file = shellQuote(directory);
    db::Recordset rs;
    rs.setCursorLocation(db::adUseClient);
    rs.Open("SELECT LogFileZIP FROM VersionInfo", std::string(backup::kConnectPrefix) + directory,
            db::adOpenKeyset, db::adLockReadOnly);
    const auto size = static_cast<uint32_t>(rs("LogFileZIP").ActualSize());
    rs.Close();
    ASSERT_GT(size, 0u);
    ASSERT_TRUE(test::damageLongValueLength(directory, size));

    auto info = runTdv("info " + file);
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.err, "");
    EXPECT_THAT(info.out, HasSubstr("User name that ran backup=svc_tarnis"));
    auto list = runTdv("list " + file + " subscribers");
    ASSERT_EQ(list.status, 0) << list.err;
    const std::string id = nlohmann::json::parse(list.out)["rows"][0].back();
    EXPECT_EQ(runTdv("report " + file + " subscribers " + shellQuote(id)).status, 0);

    const auto home = dir.path() / "home";
    for (const std::string& command : {"extract-log " + file, "list " + file + " exportlog"}) {
        auto r = test::runCommand(inHome(home, command));
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_EQ(r.out, "") << command;
        EXPECT_THAT(r.err, StartsWith("message: ")) << command;
    }
}

TEST(BrowseCommands, TheExportLogOfAnOlderToolIsARefusal) {
    test::TempDir dir;
    BackupFixture db;
    db.versionInfo().row({5, 0, 12, 1, false, 7, 0, 28});
    const std::string file = shellQuote(db.write(dir.path(), "ZerithDBData_Backup_old.mdb"));
    auto r = test::runCommand(inHome(dir.path() / "home", "list " + file + " exportlog"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_THAT(r.err, StartsWith("error: list: No backup log file in MDB"));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
}

TEST_F(SampleBrowse, OutputThatCannotBeWrittenFails) {
    makeSample("zerith-rev20");
    const std::string file = shellQuote(directory);
    const auto home = dir.path() / "home";
    // A user with recordings, so that extract-audio has paths to print.
    const auto list = nlohmann::json::parse(runTdv("list " + file + " subscribers").out);
    std::string id;
    for (const auto& row : list["rows"]) {
        id = row.back().get<std::string>();
        const auto extract = "extract-audio " + file + " subscribers " + shellQuote(id);
        if (!test::runCommand(inHome(home, extract)).out.empty()) break;
    }
    for (const std::string& command :
         {"list " + file + " subscribers", "info " + file,
          "report " + file + " subscribers " + shellQuote(id),
          "extract-audio " + file + " subscribers " + shellQuote(id), "extract-log " + file}) {
        auto r = test::runCommand(inHome(home, command) + " >/dev/full");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_THAT(r.err, HasSubstr("error: cannot write to standard output\n")) << command;
    }
}

TEST_F(SampleBrowse, NewerProductSampleShowsRepairedText) {
    makeSample("quorin7-tool1020");
    const std::string file = shellQuote(directory);
    auto info = runTdv("info " + file);
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("Zerith Quorin version=7.0"));
    auto list = runTdv("list " + file + " subscribers");
    ASSERT_EQ(list.status, 0) << list.err;
    // Text columns of a 7.x newer-product backup hold UTF-8 read one byte per character;
    // the list shows it decoded: no "Ã" left over from a two-byte sequence.
    EXPECT_EQ(list.out.find("\xC3\x83"), std::string::npos);
    const auto j = nlohmann::json::parse(list.out);
    EXPECT_FALSE(j["rows"].empty());
    // A display name as the list shows it (repaired) finds its object although the table
    // holds it in another form.
    int found = 0;
    for (const auto& row : j["rows"]) {
        const std::string name = row[3];
        if (std::all_of(name.begin(), name.end(), [](char c) { return c > 0; })) continue;
        auto report = runTdv("report " + file + " subscribers " + shellQuote(name));
        EXPECT_EQ(report.status, 0) << name << report.err;
        EXPECT_THAT(report.out, HasSubstr("DisplayName= " + name + "\n")) << report.out;
        if (++found == 2) break;
    }
    EXPECT_EQ(found, 2);
}

}  // namespace
}  // namespace tdv::cli
