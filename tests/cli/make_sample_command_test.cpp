// tdv make-sample: writes a sample into a folder and prints the paths; --list shows the
// variants; bad requests fail with one line on stderr and write nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "helpers/testdata.h"
#include "sample/sample.h"

using tdv::test::runTdv;
using tdv::test::shellQuote;
using tdv::test::TempDir;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

size_t entries(const fs::path& dir) {
    if (!fs::exists(dir)) return 0;
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(MakeSampleCommand, ListShowsEveryVariantWithItsDescription) {
    auto r = runTdv("make-sample --list");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = lines(r.out);
    const auto& variants = tdv::sample::sampleVariants();
    ASSERT_EQ(out.size(), variants.size());
    for (size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].rfind(variants[i].name + "  ", 0), 0u) << out[i];
        EXPECT_EQ(out[i].substr(out[i].size() - variants[i].description.size()),
                  variants[i].description);
    }
}

TEST(MakeSampleCommand, WritesTheSampleAndPrintsEveryPath) {
    TempDir tmp;
    const fs::path dir = tmp.path() / "new folder" / "sample";
    auto r = runTdv("make-sample " + shellQuote(dir.string()) +
                    " --variant quorin7-tool1020 --users 12 --messages 13 --seed 4");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const auto paths = lines(r.out);
    ASSERT_EQ(paths.size(), 2u + 3u);  // directory, three mailboxes, the unrelated file
    EXPECT_EQ(entries(dir), paths.size());
    EXPECT_EQ(fs::path(paths.front()).filename().string().rfind("ZerithDBData_Backup_", 0), 0u);
    EXPECT_EQ(fs::path(paths.back()).filename(), "Contacts.mdb");
    for (size_t i = 1; i + 1 < paths.size(); ++i)
        EXPECT_EQ(fs::path(paths[i]).filename().string().rfind("ZerithMessage_Backup_", 0), 0u);
    for (const auto& p : paths) {
        EXPECT_TRUE(fs::is_regular_file(p)) << p;
        EXPECT_EQ(fs::path(p).parent_path(), dir);
    }
    auto info = runTdv("sql " + shellQuote(paths.front()) +
                       " \"SELECT ZerithVersionMajor, ZerithVersionbQRN, AppVersionRev FROM "
                       "VersionInfo\"");
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(info.out,
              "{\"ZerithVersionMajor\":7,\"ZerithVersionbQRN\":true,\"AppVersionRev\":20}\n");
    auto check = runTdv("check " + shellQuote(paths[1]));
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST(MakeSampleCommand, SameSeedSameFilesAndDefaultsApply) {
    TempDir tmp;
    auto a = runTdv("make-sample " + shellQuote((tmp.path() / "a").string()) + " --users 10");
    auto b = runTdv("make-sample " + shellQuote((tmp.path() / "b").string()) + " --users 10");
    ASSERT_EQ(a.status, 0) << a.err;
    ASSERT_EQ(b.status, 0) << b.err;
    const auto pa = lines(a.out), pb = lines(b.out);
    ASSERT_EQ(pa.size(), pb.size());
    EXPECT_EQ(pa.size(), 2u + 10u);  // 60 messages by default, about six a mailbox
    for (size_t i = 0; i < pa.size(); ++i) {
        EXPECT_EQ(fs::path(pa[i]).filename(), fs::path(pb[i]).filename());
        EXPECT_TRUE(readAll(pa[i]) == readAll(pb[i])) << pa[i];
    }
    // The default variant is the first listed.
    auto q = runTdv("sql " + shellQuote(pa.front()) + " \"SELECT Version FROM MDBVersion\"");
    EXPECT_EQ(q.out, "{\"Version\":" +
                         std::to_string(tdv::sample::sampleVariants().front().schemaRevision) +
                         "}\n");
}

TEST(MakeSampleCommand, ExistingFilesAreRefusedAndKept) {
    TempDir tmp;
    const std::string dir = shellQuote((tmp.path() / "s").string());
    auto first = runTdv("make-sample " + dir + " --users 10 --messages 6");
    ASSERT_EQ(first.status, 0) << first.err;
    const auto paths = lines(first.out);
    const std::string before = readAll(paths.front());
    auto again = runTdv("make-sample " + dir + " --users 10 --messages 6 --seed 99");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "");
    EXPECT_EQ(lines(again.err).size(), 1u) << again.err;
    EXPECT_NE(again.err.find("overwrite"), std::string::npos) << again.err;
    EXPECT_EQ(readAll(paths.front()), before);
    EXPECT_EQ(entries(tmp.path() / "s"), paths.size());
}

TEST(MakeSampleCommand, BadRequestsFailWithOneLineAndWriteNothing) {
    TempDir tmp;
    const fs::path dir = tmp.path() / "s";
    for (const std::string& args :
         {"make-sample " + shellQuote(dir.string()) + " --variant no-such-thing",
          std::string("make-sample"), "make-sample " + shellQuote(dir.string()) + " --users -5",
          "make-sample " + shellQuote(dir.string()) + " --users many"}) {
        auto r = runTdv(args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_EQ(r.out, "") << args;
        EXPECT_FALSE(r.err.empty()) << args;
        EXPECT_EQ(entries(dir), 0u) << args;
    }
    auto unknown = runTdv("make-sample " + shellQuote(dir.string()) + " --variant no-such-thing");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(lines(unknown.err).size(), 1u) << unknown.err;
    EXPECT_NE(unknown.err.find("no-such-thing"), std::string::npos);
}

}  // namespace
