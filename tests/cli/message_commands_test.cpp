// tdv messages and tdv extract-message on sample message backups: the grid as JSON, the
// extracted file where the window writes it with the stored bytes, and the one-line
// failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <utility>

#include "backup/app_state.h"
#include "db/recordset.h"
#include "helpers/testdata.h"

namespace tdv {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using nlohmann::json;

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

db::Recordset query(const std::string& file, const std::string& sql) {
    db::Recordset rs;
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, std::string(backup::kConnectPrefix) + file, db::adOpenKeyset, db::adLockReadOnly);
    return rs;
}

size_t lineCount(const std::string& text) {
    size_t n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) ++n;
    return n;
}

class MessageCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(test::runTdv("make-sample --variant quorin1-tool135 --users 10 " +
                               test::shellQuote(dir.path().string()))
                      .status,
                  0);
        for (const auto& e : fs::directory_iterator(dir.path())) {
            const std::string name = e.path().filename().string();
            if (name.rfind("ZerithMessage_", 0) == 0) files.push_back(e.path().string());
            if (name.rfind("ZerithDBData_", 0) == 0) directory = e.path().string();
        }
        std::sort(files.begin(), files.end());
        home = dir.path() / "home";
    }
    test::CommandResult tdv(const std::string& args) {
        return test::runCommand("TDV_HOME=" + test::shellQuote(home.string()) + " " +
                                test::shellQuote(TDV_BINARY) + " " + args);
    }
    json messages(const std::string& file) {
        auto r = tdv("messages " + test::shellQuote(file));
        EXPECT_EQ(r.status, 0) << r.err;
        return json::parse(r.out);
    }

    // The file and Index of the first message that is not secure ("" when there is none).
    std::pair<std::string, std::string> plainMessage() {
        for (const std::string& f : files) {
            const json list = messages(f);
            for (const json& row : list["rows"]) {
                if (!row[1].get<bool>()) return {f, row[9].get<std::string>()};
            }
        }
        return {};
    }

    test::TempDir dir;
    std::vector<std::string> files;
    std::string directory;
    fs::path home;
};

TEST_F(MessageCommands, MessagesPrintsTheGridWithCheckBoxesAsBooleans) {
    ASSERT_FALSE(files.empty());
    for (const std::string& file : files) {
        const json out = messages(file);
        ASSERT_EQ(out["columns"].size(), 10u);
        EXPECT_EQ(out["columns"][0]["caption"], "Arrival Time");
        EXPECT_EQ(out["columns"][9]["caption"], "Index");
        EXPECT_EQ(out["columns"][9]["hidden"], true);
        EXPECT_EQ(out["columns"][5]["hidden"], false);
        EXPECT_EQ(out["count"], std::to_string(out["rows"].size()));
        auto rs = query(file, "SELECT Index, Read FROM Messages");
        ASSERT_EQ(static_cast<long>(out["rows"].size()), rs.RecordCount());
        for (const json& row : out["rows"]) {
            ASSERT_EQ(row.size(), 10u);
            for (int c = 1; c <= 4; ++c) EXPECT_TRUE(row[c].is_boolean()) << row.dump();
            EXPECT_TRUE(row[0].is_string());
            EXPECT_EQ(row[9], rs.Fields("Index").Value().toText());
            EXPECT_EQ(row[2], rs.Fields("Read").Value().get<bool>());
            rs.MoveNext();
        }
    }
    // Listing extracts nothing.
    EXPECT_FALSE(fs::exists(home / "temp_msg") && !fs::is_empty(home / "temp_msg"));
}

TEST_F(MessageCommands, ExtractMessageWritesTheStoredAttachmentAndPrintsItsPath) {
    int wav = 0, zip = 0;
    for (const std::string& file : files) {
        const json out = messages(file);
        for (const json& row : out["rows"]) {
            if (row[1].get<bool>()) continue;  // secure
            const std::string index = row[9];
            auto r = tdv("extract-message " + test::shellQuote(file) + " " + index);
            ASSERT_EQ(r.status, 0) << r.err;
            const std::string path = r.out.substr(0, r.out.find('\n'));
            EXPECT_EQ(fs::path(path).parent_path(), home / "temp_msg");
            const std::string name = fs::path(path).filename().string();
            wav += name == "MSG_WAV_File.wav";
            zip += name == "MSG_EML_Zip_File.zip";
            auto rs = query(file, "SELECT MessageAttachment FROM Messages WHERE Index=" + index);
            EXPECT_EQ(readFile(path), rs.Fields("MessageAttachment").Value().get<jet::Bytes>());
            EXPECT_NE(r.err.find("open: " + (home / "temp_msg").string()), std::string::npos);
            break;  // one message per file keeps the test quick
        }
    }
    EXPECT_GT(wav, 0);
    EXPECT_GT(zip, 0);
}

TEST_F(MessageCommands, ASecureMessageIsRefusedWithItsMessage) {
    for (const std::string& file : files) {
        const json out = messages(file);
        for (const json& row : out["rows"]) {
            if (!row[1].get<bool>()) continue;
            const std::string index = row[9];
            auto r = tdv("extract-message " + test::shellQuote(file) + " " + index);
            EXPECT_EQ(r.status, 1);  // a refusal
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err.rfind("message: That message is marked secure", 0), 0u) << r.err;
            return;
        }
    }
    FAIL() << "no secure message in the sample";
}

TEST(MessageCommandsEmpty, ABackupWithoutMessagesSaysSoFirstAndFails) {
    test::TempDir dir;
    ASSERT_EQ(test::runTdv("make-sample --variant empty-messages " +
                           test::shellQuote(dir.path().string()))
                  .status,
              0);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        if (e.path().filename().string().rfind("ZerithMessage_", 0) != 0) continue;
        ++files;
        auto r = test::runCommand("TDV_HOME=" + test::shellQuote((dir.path() / "home").string()) +
                                  " " + test::shellQuote(TDV_BINARY) + " messages " +
                                  test::shellQuote(e.path().string()));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("message: The database file you've selected is empty", 0), 0u)
            << r.err;
        EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    }
    EXPECT_GT(files, 0);
}

TEST_F(MessageCommands, ADamagedRecordingFailsOnlyItsOwnExtraction) {
    ASSERT_FALSE(files.empty());
    const std::string file = files.front();
    const json before = messages(file);
    std::string damaged, intact;
    for (const json& row : before["rows"]) {
        if (row[1].get<bool>()) continue;  // secure messages are refused before being read
        const std::string index = row[9];
        if (damaged.empty()) {
            db::Recordset rs =
                query(file, "SELECT MessageAttachment FROM Messages WHERE Index=" + index);
            const auto size = static_cast<uint32_t>(rs("MessageAttachment").ActualSize());
            if (size > 0 && test::damageLongValueLength(file, size)) damaged = index;
        } else if (intact.empty()) {
            intact = index;
        }
    }
    ASSERT_FALSE(damaged.empty());
    ASSERT_FALSE(intact.empty());

    EXPECT_EQ(messages(file), before);
    auto r = tdv("extract-message " + test::shellQuote(file) + " " + damaged);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("message: ", 0), 0u) << r.err;
    r = tdv("extract-message " + test::shellQuote(file) + " " + intact);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(MessageCommands, OutputThatCannotBeWrittenFails) {
    const auto [file, index] = plainMessage();
    ASSERT_FALSE(index.empty());
    for (const std::string& command : {"messages " + test::shellQuote(file),
                                       "extract-message " + test::shellQuote(file) + " " + index}) {
        auto r = tdv(command + " >/dev/full");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find("error: cannot write to standard output\n"), std::string::npos)
            << command << r.err;
    }
}

TEST_F(MessageCommands, AMessageThatCannotBeWrittenIsNoSuccess) {
    // temp_msg is taken by a file: the message cannot be written there.
    fs::create_directories(home);
    std::ofstream(home / "temp_msg") << "not a folder";
    const auto [file, index] = plainMessage();
    ASSERT_FALSE(index.empty());
    auto r = tdv("extract-message " + test::shellQuote(file) + " " + index);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("message: Error 75 (Path/File access error: '" +
                              (home / "temp_msg").string() + "' is not a folder",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.find("open: "), std::string::npos) << r.err;
}

TEST_F(MessageCommands, FailuresAreOneLineAndStatusOne) {
    auto r = tdv("messages " + test::shellQuote(directory));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("is a directory backup"), std::string::npos);

    // The viewer's own message is the whole answer: no second line saying it differently.
    r = tdv("messages " + test::shellQuote((dir.path() / "Contacts.mdb").string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_EQ(r.err.rfind("message: Could not open MDB file", 0), 0u) << r.err;

    r = tdv("extract-message " + test::shellQuote(files.front()) + " 9999");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
    EXPECT_NE(r.err.find("no message with Index 9999"), std::string::npos);
    EXPECT_EQ(r.out, "");

    r = tdv("messages " + test::shellQuote((dir.path() / "missing.mdb").string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lineCount(r.err), 1u) << r.err;
}

}  // namespace
}  // namespace tdv
