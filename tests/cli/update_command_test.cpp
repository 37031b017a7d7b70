// tdv check-update against a download list served on 127.0.0.1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "helpers/http_test_server.h"
#include "helpers/testdata.h"

namespace tdv::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kHomePath = "/Applications/General/TARNIS/TARNIS.html";
constexpr const char* kListPath = "/SiteList/AllDownloads/AllDownloads.XML";

std::string listWithVersion(const std::string& version) {
    return std::string("<rows><row><cell>TARNIS Data Viewer Utility^") + kHomePath +
           "^ifram_a</cell><cell>" + version + "</cell></row></rows>";
}

// A version one revision above the running one ("0.1.0" -> "0.1.1").
std::string nextVersion() {
    const std::string running = TDV_VERSION;
    const auto dot = running.rfind('.');
    return running.substr(0, dot + 1) + std::to_string(std::stoi(running.substr(dot + 1)) + 1);
}

test::CommandResult checkUpdate(const std::string& site, const std::string& extra = "") {
    return test::runTdv("check-update --site " + test::shellQuote(site) + extra);
}

TEST(CheckUpdateCommand, SaysUpToDateForThePublishedRunningVersion) {
    test::HttpTestServer server;
    server.answer(kListPath, listWithVersion(TDV_VERSION));
    const auto r = checkUpdate(server.url());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "message: You have the most up to date version of this tool installed\n");
}

TEST(CheckUpdateCommand, OffersANewerVersionAndOpensTheHomePageOnlyWithYes) {
    test::HttpTestServer server;
    server.answer(kListPath, listWithVersion(nextVersion()));
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    const std::string offer = "question: An updated version of this tool is available on " + host +
                              ".  Click OK to open the application home page now -> ";

    const auto cancelled = checkUpdate(server.url());
    EXPECT_EQ(cancelled.status, 0);
    EXPECT_EQ(cancelled.err, offer + "Cancel\n");

    const auto accepted = checkUpdate(server.url() + "/", " --yes");
    EXPECT_EQ(accepted.status, 0);
    EXPECT_EQ(accepted.err, offer + "OK\nopen: " + server.url() + kHomePath + "\n");
}

TEST(CheckUpdateCommand, AnUnreachableSiteIsItsMessageThenStatusOne) {
    const std::string site =
        "http://127.0.0.1:" + std::to_string(test::HttpTestServer::closedPort());
    const auto r = checkUpdate(site);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "message: Unable to contact application home page to check for version.  You can "
              "access the home page and check for updated versions of all Orvex Zerith tools by "
              "going to " +
                  site.substr(7) + "\n");
    EXPECT_THAT(r.err, Not(HasSubstr("open:")));
}

}  // namespace
}  // namespace tdv::cli
