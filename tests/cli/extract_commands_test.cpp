// tdv extract-audio and extract-log on a sample backup: the printed paths, and files whose
// bytes are the stored blobs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "backup/app_state.h"
#include "db/recordset.h"
#include "helpers/testdata.h"

namespace tdv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes storedBlob(const std::string& file, const std::string& sql, const std::string& column) {
    db::Recordset rs;
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, std::string(backup::kConnectPrefix) + file, db::adOpenKeyset, db::adLockReadOnly);
    return rs.Fields(column).Value().get<jet::Bytes>();
}

class ExtractCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::runTdv("make-sample " + test::shellQuote(dir.path().string())).status, 0);
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind("ZerithDBData_", 0) == 0) backup = e.path();
        home = dir.path() / "home";
    }
    test::CommandResult tdv(const std::string& args) {
        return test::runCommand("TDV_HOME=" + test::shellQuote(home.string()) + " " +
                                test::shellQuote(TDV_BINARY) + " " + args);
    }
    std::vector<std::string> lines(const std::string& out) {
        std::vector<std::string> result;
        std::istringstream in(out);
        for (std::string line; std::getline(in, line);) result.push_back(line);
        return result;
    }

    test::TempDir dir;
    fs::path backup;
    fs::path home;
};

TEST_F(ExtractCommands, ExtractAudioPrintsEveryWrittenFile) {
    auto r = tdv("extract-audio " + test::shellQuote(backup.string()) + " subscribers " +
                 test::shellQuote("a b/c?d*e"));
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path folder = home / "WAVExtraction";
    const auto printed = lines(r.out);
    ASSERT_FALSE(printed.empty());
    // In the order written: the voice name first.
    EXPECT_EQ(printed.front(), (folder / "abc_d_e_VoiceName.wav").string());
    for (const auto& p : printed) {
        EXPECT_EQ(fs::path(p).parent_path(), folder);
        EXPECT_TRUE(fs::exists(p)) << p;
    }
    EXPECT_EQ(readFile(folder / "abc_d_e_VoiceName.wav"),
              storedBlob(backup.string(),
                         "SELECT VoiceName FROM Subscribers WHERE Alias='a b/c?d*e'", "VoiceName"));
    EXPECT_NE(r.err.find("open: " + folder.string()), std::string::npos);

    r = tdv("extract-audio " + test::shellQuote(backup.string()) + " 0 " +
            test::shellQuote("o'brien"));
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& p : lines(r.out))
        EXPECT_EQ(fs::path(p).filename().string().rfind("o''brien_", 0), 0u) << p;
}

TEST_F(ExtractCommands, ExtractLogWritesTheStoredArchive) {
    auto r = tdv("extract-log " + test::shellQuote(backup.string()));
    ASSERT_EQ(r.status, 0) << r.err;
    const fs::path zip = home / "LogArchives" / "TARNIS_Export_LogFile.zip";
    EXPECT_EQ(r.out, zip.string() + "\n");
    EXPECT_EQ(readFile(zip),
              storedBlob(backup.string(), "SELECT * FROM VersionInfo", "LogFileZIP"));
}

TEST_F(ExtractCommands, BadArgumentsFail) {
    // A type of the list without recordings is the window's refusal, not a usage error.
    auto r = tdv("extract-audio " + test::shellQuote(backup.string()) + " schedules x");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "message: Invalid object type for WAV file extraction!\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(tdv("extract-audio " + test::shellQuote(backup.string()) + " widgets x").status, 2);
    EXPECT_EQ(
        tdv("extract-audio " + test::shellQuote(backup.string()) + " subscribers nobody").status,
        1);
    EXPECT_EQ(tdv("extract-log " + test::shellQuote((dir.path() / "none.mdb").string())).status, 1);
    EXPECT_EQ(tdv("extract-log").status, 2);
}

TEST_F(ExtractCommands, OnlyTheFilesOfThisRunArePrinted) {
    const fs::path folder = home / "WAVExtraction";
    fs::create_directories(folder);
    const fs::path leftover = folder / "leftover.wav";
    std::ofstream(leftover) << "earlier";
    fs::permissions(leftover, fs::perms::owner_read);  // an unforced delete leaves it
    auto r = tdv("extract-audio " + test::shellQuote(backup.string()) + " subscribers " +
                 test::shellQuote("a b/c?d*e"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("leftover.wav"), std::string::npos) << r.out;
}

TEST_F(ExtractCommands, AnUnwritableFolderIsNoSuccess) {
    // WAVExtraction is taken by a file: nothing can be written there.
    fs::create_directories(home);
    std::ofstream(home / "WAVExtraction") << "not a folder";
    auto r = tdv("extract-audio " + test::shellQuote(backup.string()) + " subscribers " +
                 test::shellQuote("a b/c?d*e"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // One message, naming the folder and why.
    EXPECT_EQ(r.err, "message: Error in PullSubscriberWAVFiles:Path/File access error: '" +
                         (home / "WAVExtraction").string() +
                         "' is not a folder; the program writes only into a folder of its own, "
                         "and nothing was written or deleted\n");

    std::ofstream(home / "LogArchives") << "not a folder";
    r = tdv("extract-log " + test::shellQuote(backup.string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("LogArchives' is not a folder"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Error unpacking ZIP file"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace tdv
