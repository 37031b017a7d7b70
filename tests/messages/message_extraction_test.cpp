// Extracting the selected message: the written file is the stored attachment byte for byte,
// its name follows the file's first sender, the folder is opened, and each refusal (no row,
// secure, file in use, no index, no or several records, no attachment) says so and writes
// nothing.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "helpers/fault_fs.h"
#include "jet/memory_file.h"
#include "message_harness.h"
#include "messages/frm_messages.h"

namespace tdv::messages {
namespace {

namespace fs = std::filesystem;
using test::MessageRow;

constexpr const char* kSecureText =
    "That message is marked secure and is encrypted in the backup - it cannot be extracted "
    "using the Data Viewer Tool, it can only be restored as a secure message onto a voice mail "
    "server.";

MessageRow message(int index, std::vector<uint8_t> attachment) {
    MessageRow m;
    m.index = index;
    m.attachment = std::move(attachment);
    return m;
}

struct Extraction : ::testing::Test {
    test::MessageHarness h;
    fs::path wav() const { return h.tempMsg() / "MSG_WAV_File.wav"; }
    fs::path zip() const { return h.tempMsg() / "MSG_EML_Zip_File.zip"; }
    void writeOld(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "old";
    }
};

TEST_F(Extraction, SelectingARowWritesItsAttachmentAndOpensTheFolder) {
    h.load({message(1, test::blob(12000, 1)), message(2, test::blob(5001, 2))});
    ASSERT_TRUE(h.tempMsgIsEmpty());
    h.form.gridMessages.setRow(2);
    EXPECT_EQ(test::readBytes(wav()), test::blob(5001, 2));
    EXPECT_EQ(h.ui.opened, std::vector<std::string>{h.tempMsg().string()});
    h.form.gridMessages.setRow(1);
    EXPECT_EQ(test::readBytes(wav()), test::blob(12000, 1));
    EXPECT_EQ(h.ui.opened.size(), 2u);
    EXPECT_TRUE(h.ui.boxes.empty()) << h.ui.texts().front();
}

TEST_F(Extraction, TheButtonExtractsTheCurrentRowAndReturnsThePath) {
    h.load({message(1, test::blob(5000, 3))});
    // The fill left the first row current without extracting it.
    ASSERT_EQ(h.form.gridMessages.Row(), 1);
    ASSERT_FALSE(fs::exists(wav()));
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), wav().string());
    EXPECT_EQ(test::readBytes(wav()), test::blob(5000, 3));
}

TEST_F(Extraction, EmailBackupsWriteTheZipNameForEveryMessage) {
    MessageRow mail = message(1, test::blob(700, 4));
    mail.fromAddress = "jane@example.com";
    MessageRow voice = message(2, test::blob(900, 5));
    h.load({mail, voice});
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), zip().string());
    h.form.gridMessages.setRow(2);
    EXPECT_EQ(test::readBytes(zip()), test::blob(900, 5));
    EXPECT_FALSE(fs::exists(wav()));
}

TEST_F(Extraction, TheFolderIsCreatedWhenMissing) {
    h.load({message(1, test::blob(10, 6))});
    fs::remove_all(h.tempMsg());
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), wav().string());
    EXPECT_EQ(test::readBytes(wav()), test::blob(10, 6));
}

TEST_F(Extraction, NoDataRowSelected) {
    h.load({});
    h.ui.boxes.clear();
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"No message selected"});
}

TEST_F(Extraction, SecureMessagesAreRefusedWithoutTouchingAnything) {
    MessageRow secure = message(1, test::blob(64, 7));
    secure.secure = true;
    h.load({secure});
    writeOld(wav());
    fs::remove_all(h.tempMsg());
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{kSecureText});
    EXPECT_FALSE(fs::exists(h.tempMsg()));
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST_F(Extraction, ATargetThatCannotBeDeletedIsToldOnceWithItsCause) {
    h.load({message(1, test::blob(64, 8))});
    fs::create_directories(wav() / "held");
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(h.ui.texts(),
              (std::vector<std::string>{
                  "Error 75 (Path/File access error: Cannot replace '" + wav().string() +
                  "': a folder is in the way) in procedure cmdExtractWAVFile_Click "
                  "of Form frmMessages"}));
    EXPECT_TRUE(h.ui.opened.empty());
}

// A folder that refuses the file is not a file held open by another program.
TEST_F(Extraction, AReadOnlyFolderIsToldOnceAsSuch) {
    h.load({message(1, test::blob(64, 8))});
    jet::MemoryFileSystem disk;
    test::FaultFileSystem readOnly(disk);
    readOnly.failWrite(2, EROFS);  // the folder is made; the file cannot be
    h.ui.files = &readOnly;
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(
        h.ui.texts(),
        (std::vector<std::string>{"(error) 75 (Path/File access error: '" + wav().string() +
                                  "' could not be created: read-only file system) in procedure "
                                  "bunPackWAVFile of Module modZerithDB"}));
    EXPECT_TRUE(h.ui.opened.empty());
}

// temp_msg is the program's own folder: a link there is refused, its target kept.
TEST_F(Extraction, ALinkedFolderIsRefusedAndItsTargetKept) {
    h.load({message(1, test::blob(64, 8))});
    const fs::path elsewhere = h.tempMsg().parent_path() / "elsewhere";
    fs::create_directories(elsewhere);
    std::ofstream(elsewhere / "MSG_WAV_File.wav") << "theirs";
    fs::remove_all(h.tempMsg());
    fs::create_directory_symlink(elsewhere, h.tempMsg());
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    ASSERT_EQ(h.ui.texts().size(), 1u) << ::testing::PrintToString(h.ui.texts());
    EXPECT_NE(h.ui.texts()[0].find("' is a link"), std::string::npos) << h.ui.texts()[0];
    EXPECT_EQ(test::readBytes(elsewhere / "MSG_WAV_File.wav"),
              (std::vector<uint8_t>{'t', 'h', 'e', 'i', 'r', 's'}));
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST_F(Extraction, AnOldReadOnlyTargetIsReplaced) {
    h.load({message(1, test::blob(64, 9))});
    writeOld(wav());
    fs::permissions(wav(), fs::perms::owner_read);
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), wav().string());
    EXPECT_EQ(test::readBytes(wav()), test::blob(64, 9));
}

TEST_F(Extraction, DuplicateIndexValuesWriteNothing) {
    h.load({message(1, test::blob(64, 10)), message(1, test::blob(64, 11))});
    writeOld(wav());
    h.form.gridMessages.setRow(2);
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"More than one record found using Index=1"});
    EXPECT_FALSE(fs::exists(wav()));
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST_F(Extraction, AnIndexThatNamesNoRecord) {
    h.load({message(1, test::blob(64, 12))});
    h.form.gridMessages.setTextMatrix(1, h.form.gridMessages.ColIndex("Index"), " 99 ");
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"No record found using Index=99"});
}

TEST_F(Extraction, ARowWithoutIndex) {
    MessageRow noIndex = message(1, test::blob(64, 13));
    noIndex.index = nullptr;
    h.load({noIndex});
    h.ui.boxes.clear();
    writeOld(wav());
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(h.ui.texts(), std::vector<std::string>{"Error finding message index in database"});
    EXPECT_FALSE(fs::exists(wav()));
}

TEST_F(Extraction, ANullAttachmentLeavesNoFile) {
    MessageRow none = message(1, {});
    none.attachment = nullptr;
    h.load({none});
    writeOld(wav());
    EXPECT_EQ(cmdExtractWAVFile_Click(h.form), "");
    EXPECT_EQ(h.ui.texts(),
              std::vector<std::string>{"Error exporting WAV file binary from database"});
    EXPECT_FALSE(fs::exists(wav()));
    EXPECT_TRUE(h.ui.opened.empty());
}

TEST_F(Extraction, MovingToTheHeaderRowExtractsNothing) {
    h.load({message(1, test::blob(64, 15))});
    h.form.gridMessages.setRow(0);
    EXPECT_TRUE(h.ui.boxes.empty());
    EXPECT_TRUE(h.tempMsgIsEmpty());
}

}  // namespace
}  // namespace tdv::messages
