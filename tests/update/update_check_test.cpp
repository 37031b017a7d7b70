// The update check against a download list served on 127.0.0.1: the comparable versions,
// the lookup of the tool in the list, and the three outcomes of the dialogue.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "backup/app_state.h"
#include "helpers/http_test_server.h"
#include "helpers/scripted_ui.h"
#include "main_state/frm_main.h"
#include "support/update_check.h"

namespace tdv::support {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kCannotContactStart =
    "Unable to contact application home page to check for version.  You can access the home "
    "page and check for updated versions of all Orvex Zerith tools by going to ";
constexpr const char* kUpToDate = "You have the most up to date version of this tool installed";

// A download list holding `entry` (a link cell's text) followed by a cell with `version`.
std::string downloadList(const std::string& entry, const std::string& version) {
    return "<?xml version=\"1.0\"?>\r\n<rows>\r\n"
           "<row><cell>Other Tool^/Applications/General/Other/Other.html^ifram_a</cell>"
           "<cell>9.9.99</cell></row>\r\n"
           "<row><cell>" +
           entry + "</cell><CELL>" + version +
           "</CELL><cell>2009-01-02</cell></row>\r\n</rows>\r\n";
}

std::string toolEntry() {
    return std::string(kToolTitle) + "^" + kHomePagePath + "^ifram_a";
}

TEST(PadVersionString, PadsEveryPartToFourDigits) {
    test::ScriptedUi ui;
    EXPECT_EQ(PadVersionString(ui, "1.0.35"), "0001.0000.0035");
    EXPECT_EQ(PadVersionString(ui, "1.0.036"), "0001.0000.0036");
    EXPECT_EQ(PadVersionString(ui, "10.2.12345"), "0010.0002.12345");
    EXPECT_EQ(PadVersionString(ui, "00001.2"), "0001.0002");
    // A trailing point leaves an empty last part.
    EXPECT_EQ(PadVersionString(ui, "1.0.36."), "0001.0000.0036.");
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST(PadVersionString, ShortTextsAreEmptyAndALoneNumberIsReported) {
    test::ScriptedUi ui;
    EXPECT_EQ(PadVersionString(ui, ""), "");
    EXPECT_EQ(PadVersionString(ui, "1.1"), "");
    EXPECT_THAT(ui.boxes, IsEmpty());
    EXPECT_EQ(PadVersionString(ui, "1036"), "");
    EXPECT_THAT(ui.texts(), ElementsAre("(error):9 (Subscript out of range) in procedure "
                                        "PadVersionString of Module modUpdateCheck"));
}

TEST(PadVersionString, PaddedVersionsCompareAsNumbers) {
    test::ScriptedUi ui;
    EXPECT_LT(PadVersionString(ui, "1.0.9"), PadVersionString(ui, "1.0.10"));
    EXPECT_LT(PadVersionString(ui, "1.9.0"), PadVersionString(ui, "1.10.0"));
    EXPECT_LT(PadVersionString(ui, "1.0.35"), PadVersionString(ui, "1.0.36"));
    EXPECT_EQ(PadVersionString(ui, "1.0.35"), PadVersionString(ui, "1.00.035"));
}

TEST(SiteAddresses, FollowTheConfiguredPrefix) {
    test::ScriptedUi ui;
    EXPECT_EQ(strHomePageAddress(ui), std::string(kDefaultToolsSiteURL) + kHomePagePath);
    ui.settings["ApplicationSettings/ToolsSiteURL"] = "http://127.0.0.1:8080/";
    EXPECT_EQ(strToolsSiteURL(ui), "http://127.0.0.1:8080");
    const std::string home = strHomePageAddress(ui);
    EXPECT_EQ(home, "http://127.0.0.1:8080/Applications/General/TARNIS/TARNIS.html");
    EXPECT_EQ(strSitePrefix(home), "http://127.0.0.1:8080");
    EXPECT_EQ(strSiteHost(home), "127.0.0.1:8080");
    // A prefix with a path of its own keeps it; the cut follows the prefix's length.
    EXPECT_EQ(strSitePrefix("http://example.org/tools/Applications/General/TARNIS/TARNIS.html"),
              "http://example.org/tools");
    EXPECT_EQ(strSiteHost("http://example.org/tools/Applications/General/TARNIS/TARNIS.html"),
              "example.org");
    // Any other page: scheme and host.
    EXPECT_EQ(strSitePrefix("http://example.org:81/x/y.html"), "http://example.org:81");
}

TEST(RunningVersion, ComesFromTheBuild) {
    EXPECT_EQ(strRunningVersion(), TDV_VERSION);
}

// A check against a list served by the test server.
class UpdateCheckTest : public ::testing::Test {
protected:
    std::string home() const { return server.url() + kHomePagePath; }
    void serveList(const std::string& body) { server.answer(kDownloadListPath, body); }
    void check(const std::string& running, const std::string& title = kToolTitle) {
        UpdateCheckOptions options;
        options.runningVersion = running;
        options.limits.timeout = std::chrono::seconds(5);
        checkForUpdatedVersion_Foreground(ui, home(), title, options);
    }
    std::string host() const { return "127.0.0.1:" + std::to_string(server.port()); }

    test::HttpTestServer server;
    test::ScriptedUi ui;
};

TEST_F(UpdateCheckTest, ANewerPublishedVersionIsOfferedAndOkOpensTheHomePage) {
    serveList(downloadList(toolEntry(), "1.0.36"));
    ui.answers.push_back(ui::Answer::Ok);
    check("1.0.35");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "An updated version of this tool is available on " + host() +
                                    ".  Click OK to open the application home page now");
    EXPECT_EQ(ui.boxes[0].buttons, ui::Buttons::OkCancel);
    EXPECT_EQ(ui.boxes[0].title, "Updated version is available");
    EXPECT_THAT(ui.opened, ElementsAre(home()));
    // The download list was asked for on the configured site.
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(server.requests()[0].starts_with(
        "GET /SiteList/AllDownloads/AllDownloads.XML HTTP/1.1\r\n"));
}

TEST_F(UpdateCheckTest, CancelDoesNotOpenTheBrowser) {
    serveList(downloadList(toolEntry(), "1.0.36"));
    ui.answers.push_back(ui::Answer::Cancel);
    check("1.0.35");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Updated version is available");
    EXPECT_THAT(ui.opened, IsEmpty());
}

TEST_F(UpdateCheckTest, EqualAndOlderPublishedVersionsAreUpToDate) {
    serveList(downloadList(toolEntry(), "1.0.35"));
    check("1.0.35");
    check("1.0.36");
    // Numeric, not textual: 1.0.9 is older than 1.0.10.
    serveList(downloadList(toolEntry(), "1.0.9"));
    check("1.0.10");
    EXPECT_THAT(ui.texts(), ElementsAre(kUpToDate, kUpToDate, kUpToDate));
    EXPECT_EQ(ui.boxes[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(ui.boxes[0].title, "");
    EXPECT_THAT(ui.opened, IsEmpty());
}

TEST_F(UpdateCheckTest, AnUnreachableSiteGivesTheCouldNotContactMessage) {
    const std::string closed =
        "http://127.0.0.1:" + std::to_string(test::HttpTestServer::closedPort());
    UpdateCheckOptions options;
    options.runningVersion = "1.0.35";
    checkForUpdatedVersion_Foreground(ui, closed + kHomePagePath, kToolTitle, options);
    EXPECT_THAT(ui.texts(), ElementsAre(kCannotContactStart + closed.substr(7)));
    EXPECT_THAT(ui.opened, IsEmpty());
}

TEST_F(UpdateCheckTest, AListWithoutTheToolGivesTheCouldNotContactMessage) {
    serveList(
        downloadList("Another Utility^/Applications/General/Other/Other.html^ifram_a", "2.0.0"));
    check("1.0.35");
    EXPECT_THAT(ui.texts(), ElementsAre(kCannotContactStart + host()));
}

TEST_F(UpdateCheckTest, ANextCellStartingWithALetterGivesTheCouldNotContactMessage) {
    serveList(downloadList(toolEntry(), "v1.0.36"));
    check("1.0.35");
    EXPECT_THAT(ui.texts(), ElementsAre(kCannotContactStart + host()));
}

TEST_F(UpdateCheckTest, AThreeCharacterVersionGivesTheCouldNotContactMessage) {
    serveList(downloadList(toolEntry(), "1.1"));
    check("1.0.35");
    EXPECT_THAT(ui.texts(), ElementsAre(kCannotContactStart + host()));
}

TEST_F(UpdateCheckTest, TheKeyMatchesWhateverTheLetterCase) {
    serveList(downloadList(
        "tarnis DATA viewer utility^/applications/GENERAL/tarnis/tarnis.HTML^IFRAM_A", "1.0.36"));
    check("1.0.35");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Updated version is available");
}

TEST_F(UpdateCheckTest, AOneCharacterTitleIsLeftOutOfTheKey) {
    serveList(downloadList("^/Applications/General/TARNIS/TARNIS.html^ifram_a", "1.0.36"));
    check("1.0.35", "X");
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].title, "Updated version is available");
}

TEST_F(UpdateCheckTest, TheStatusIsNotExaminedButAShortPageIsNotRead) {
    server.raw(kDownloadListPath, "HTTP/1.1 500 Oops\r\nContent-Length: " +
                                      std::to_string(downloadList(toolEntry(), "1.0.35").size()) +
                                      "\r\n\r\n" + downloadList(toolEntry(), "1.0.35"));
    check("1.0.35");
    server.answer(kDownloadListPath, "<cell>1.0");
    check("1.0.35");
    EXPECT_THAT(ui.texts(), ElementsAre(kUpToDate, kCannotContactStart + host()));
}

TEST_F(UpdateCheckTest, AnAnswerThatNeverComesEndsInTheCouldNotContactMessage) {
    server.hang(kDownloadListPath);
    UpdateCheckOptions options;
    options.runningVersion = "1.0.35";
    options.limits.timeout = std::chrono::seconds(1);
    const auto start = std::chrono::steady_clock::now();
    checkForUpdatedVersion_Foreground(ui, home(), kToolTitle, options);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_THAT(ui.texts(), ElementsAre(kCannotContactStart + host()));
}

TEST_F(UpdateCheckTest, AHugeListEndsInTheCouldNotContactMessage) {
    server.endless(kDownloadListPath, false);
    UpdateCheckOptions options;
    options.runningVersion = "1.0.35";
    options.limits.maxBodyBytes = 256 * 1024;
    checkForUpdatedVersion_Foreground(ui, home(), kToolTitle, options);
    EXPECT_THAT(ui.texts(), ElementsAre(kCannotContactStart + host()));
}

TEST(StrGetURLText, ReadsTheBodyAsWindows1252) {
    test::HttpTestServer server;
    server.answer("/page", std::string("caf\xE9 \x80 \x93q\x94", 10));
    EXPECT_EQ(strGetURLText(server.url() + "/page"), "caf\u00e9 \u20ac \u201cq\u201d");
    EXPECT_EQ(strGetURLText(server.url() + "/missing"), "not found");
    EXPECT_EQ(strGetURLText("ftp://127.0.0.1/page"), "");
}

TEST(MenuCheckForUpdates, UsesTheConfiguredSiteUnderTheHourglass) {
    test::HttpTestServer server;
    server.answer(kDownloadListPath, downloadList(toolEntry(), "0.0.1"));
    test::ScriptedUi ui;
    ui.settings["ApplicationSettings/ToolsSiteURL"] = server.url();
    backup::AppState state;
    app::FrmMain form(ui, state);
    mnuCheckForUpdates_Click(form);
    EXPECT_THAT(ui.texts(), ElementsAre(kUpToDate));
    EXPECT_THAT(ui.events, ElementsAre("busy on", "busy off"));
    EXPECT_EQ(server.requests().size(), 1u);
}

}  // namespace
}  // namespace tdv::support
