// Reports of two hand-made backups compared byte for byte with texts written by hand.
//
// The expected texts in tests/reports/golden/ were written line by line from the report
// rules alone, not from the program's output, so that a wrong label, blank, sort order, Null
// rule or action text in `tdv report`, `tdv info` or `tdv private-lists` shows up here.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "helpers/testdata.h"
#include "reports/golden_older_backups.h"
#include "reports/golden_quorin_backup.h"
#include "reports/golden_zerith_backup.h"

namespace {

using namespace tdv::test;
using namespace tdv::test::golden;

std::string readGolden(const std::string& name, const std::string& extension = ".txt") {
    const std::filesystem::path path =
        std::filesystem::path(TDV_SOURCE_DIR) / "tests/reports/golden" / (name + extension);
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing golden file " + path.string() + ">";
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        const auto end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Names the first line where the two texts part, with both versions made visible.
std::string firstDifference(const std::string& expected, const std::string& actual) {
    const auto e = splitLines(expected), a = splitLines(actual);
    const auto shown = [](const std::vector<std::string>& lines, size_t i) {
        return i < lines.size() ? "[" + lines[i] + "]" : std::string("<end of text>");
    };
    for (size_t i = 0; i < std::max(e.size(), a.size()); ++i) {
        if (i < e.size() && i < a.size() && e[i] == a[i]) continue;
        std::ostringstream out;
        out << "first difference at line " << i + 1 << "\n-" << shown(e, i) << "\n+" << shown(a, i);
        return out.str();
    }
    return "texts differ only in their line ends";
}

enum class Backup { Zerith, Quorin, OldZerith, Quorin1 };

struct GoldenCase {
    std::string golden;
    Backup backup;
    std::string args;  // after the command word and FILE, already shell-quoted
    std::string command = "report";
    std::string err = "";  // the message boxes expected on stderr
};

std::ostream& operator<<(std::ostream& out, const GoldenCase& c) {
    return out << c.golden;
}

class GoldenReports : public ::testing::TestWithParam<GoldenCase> {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        files_ = {writeZerithBackup(dir_->path()), writeQuorinBackup(dir_->path()),
                  writeOldZerithBackup(dir_->path()), writeQuorin1Backup(dir_->path())};
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::unique_ptr<TempDir> dir_;
    static std::vector<std::string> files_;  // by Backup
};

std::unique_ptr<TempDir> GoldenReports::dir_;
std::vector<std::string> GoldenReports::files_;

TEST_P(GoldenReports, OutputMatchesTheHandWrittenText) {
    const GoldenCase& c = GetParam();
    const std::string file = files_.at(static_cast<size_t>(c.backup));
    const auto result =
        runTdv(c.command + " " + shellQuote(file) + (c.args.empty() ? "" : " " + c.args));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, c.err);
    const std::string expected = readGolden(c.golden);
    EXPECT_TRUE(result.out == expected) << firstDifference(expected, result.out);
}

const std::string q(const std::string& s) {
    return shellQuote(s);
}

INSTANTIATE_TEST_SUITE_P(
    Zerith, GoldenReports,
    ::testing::Values(
        GoldenCase{"zerith_subscriber_zmuller", Backup::Zerith, "subscribers zmuller"},
        GoldenCase{"zerith_subscriber_jobrien", Backup::Zerith, "subscribers " + q("jo'brien")},
        GoldenCase{"zerith_subscriber_dsmith", Backup::Zerith, "0 " + q(kU3)},
        GoldenCase{"zerith_callhandler_operator", Backup::Zerith, "callhandlers operator"},
        GoldenCase{"zerith_callhandler_afterhours", Backup::Zerith,
                   "callhandlers " + q(kChAfterHours)},
        GoldenCase{"zerith_distlist_sales", Backup::Zerith, "distlists sales"},
        GoldenCase{"zerith_distlist_empty", Backup::Zerith, "2 " + q(kDlEmpty)},
        GoldenCase{"zerith_interviewer_survey", Backup::Zerith, "interviewers survey"},
        GoldenCase{"zerith_dirhandler_company", Backup::Zerith, "dirhandlers dir"},
        GoldenCase{"zerith_dirhandler_lobby", Backup::Zerith, "4 " + q(kDhLobby)},
        GoldenCase{"zerith_info", Backup::Zerith, "", "info"},
        GoldenCase{"zerith_private_lists_zmuller", Backup::Zerith, "zmuller", "private-lists"},
        GoldenCase{"zerith_subscriber_zz_nohandler", Backup::Zerith, "subscribers zz-nohandler",
                   "report", "message: Error!  Call handler not found in database!\n"},
        GoldenCase{"zerith_subscriber_zz_twohandlers", Backup::Zerith, "subscribers zz-twohandlers",
                   "report",
                   "message: Error!  More than one match found for call handler ObjectID=" +
                       kChTwice + "\n"},
        GoldenCase{"zerith_callhandler_nulls", Backup::Zerith, "callhandlers nulls"},
        GoldenCase{"zerith_subscriber_kwong", Backup::Zerith, "subscribers kwong"},
        GoldenCase{"zerith_private_lists_kwong", Backup::Zerith, "kwong", "private-lists"},
        GoldenCase{"zerith_interviewer_poll", Backup::Zerith, "interviewers poll", "report",
                   "message: Error 94 (Invalid use of Null) in procedure PullInterviewerData of "
                   "Form frmMain\n"}),
    [](const auto& info) { return info.param.golden; });

INSTANTIATE_TEST_SUITE_P(
    Quorin, GoldenReports,
    ::testing::Values(
        GoldenCase{"quorin_subscriber_amelie", Backup::Quorin, "subscribers amelie"},
        GoldenCase{"quorin_callhandler_accueil", Backup::Quorin, "callhandlers " + q(kQChAccueil)},
        GoldenCase{"quorin_interviewer_sondage", Backup::Quorin, "3 " + q(kQIv)},
        GoldenCase{"quorin_dirhandler_repertoire", Backup::Quorin, "dirhandlers " + q(kQDh)},
        GoldenCase{"quorin_distlist_tous", Backup::Quorin, "distlists tous"},
        GoldenCase{"quorin_info", Backup::Quorin, "", "info"},
        GoldenCase{"quorin_private_lists_amelie", Backup::Quorin, "amelie", "private-lists"}),
    [](const auto& info) { return info.param.golden; });

INSTANTIATE_TEST_SUITE_P(
    OlderTools, GoldenReports,
    ::testing::Values(
        GoldenCase{"oldzerith_info", Backup::OldZerith, "", "info"},
        GoldenCase{"oldzerith_subscriber_jnunez", Backup::OldZerith, "subscribers jnunez"},
        GoldenCase{"oldzerith_interviewer_oldpoll", Backup::OldZerith, "interviewers oldpoll"},
        GoldenCase{"quorin1_info", Backup::Quorin1, "", "info"},
        GoldenCase{"quorin1_subscriber_hkim", Backup::Quorin1, "subscribers hkim"},
        GoldenCase{"quorin1_interviewer_qpoll", Backup::Quorin1, "interviewers " + q(kQ1Iv)}),
    [](const auto& info) { return info.param.golden; });

// `tdv list` of the same backups: the grid as the fill leaves it and the text box after it
// (the first row's report, or the fixed schedule text), compared field by field.
struct ListCase {
    std::string golden;
    Backup backup;
    std::string type;
};

std::ostream& operator<<(std::ostream& out, const ListCase& c) {
    return out << c.golden;
}

class GoldenLists : public ::testing::TestWithParam<ListCase> {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<TempDir>();
        files_ = {writeZerithBackup(dir_->path()), writeQuorinBackup(dir_->path())};
    }
    static void TearDownTestSuite() { dir_.reset(); }

    static std::unique_ptr<TempDir> dir_;
    static std::vector<std::string> files_;
};

std::unique_ptr<TempDir> GoldenLists::dir_;
std::vector<std::string> GoldenLists::files_;

TEST_P(GoldenLists, GridAndTextMatchTheHandWrittenOnes) {
    const ListCase& c = GetParam();
    const auto result =
        runTdv("list " + shellQuote(files_.at(static_cast<size_t>(c.backup))) + " " + c.type);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto expected = nlohmann::json::parse(readGolden(c.golden, ".json"));
    const auto actual = nlohmann::json::parse(result.out);
    EXPECT_EQ(actual["count"], expected["count"]);
    EXPECT_EQ(actual["columns"], expected["columns"]) << actual["columns"].dump();
    EXPECT_EQ(actual["rows"], expected["rows"]) << actual["rows"].dump();
    const std::string text = actual["text"].get<std::string>();
    EXPECT_TRUE(text == expected["text"].get<std::string>())
        << firstDifference(expected["text"].get<std::string>(), text);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, GoldenLists,
    ::testing::Values(ListCase{"zerith_list_subscribers", Backup::Zerith, "subscribers"},
                      ListCase{"zerith_list_callhandlers", Backup::Zerith, "callhandlers"},
                      ListCase{"zerith_list_distlists", Backup::Zerith, "distlists"},
                      ListCase{"zerith_list_schedules", Backup::Zerith, "5"},
                      ListCase{"quorin_list_subscribers", Backup::Quorin, "0"},
                      ListCase{"quorin_list_callhandlers", Backup::Quorin, "callhandlers"},
                      ListCase{"quorin_list_interviewers", Backup::Quorin, "interviewers"}),
    [](const auto& info) { return info.param.golden; });

}  // namespace
