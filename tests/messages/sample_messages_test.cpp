// The message browser over the sample message backups: every variant's files fill and
// extract as the backup tool wrote them. Attachments are compared with the stored blobs read
// through the engine, flags with the stored values.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "db/recordset.h"
#include "message_harness.h"
#include "messages/frm_messages.h"
#include "sample/sample.h"

namespace tdv::messages {
namespace {

namespace fs = std::filesystem;

sample::WrittenSample writeVariant(const test::TempDir& dir, const std::string& name) {
    const sample::SampleVariant* v = sample::findVariant(name);
    if (v == nullptr) throw std::runtime_error("no variant " + name);
    sample::SampleOptions options;
    options.users = 12;
    options.messages = 30;
    return sample::writeSample((dir.path() / "sample").string(), *v, options);
}

db::Recordset query(const std::string& file, const std::string& sql) {
    db::Recordset rs;
    rs.setCursorLocation(db::adUseClient);
    rs.Open(sql, std::string(backup::kConnectPrefix) + file, db::adOpenKeyset, db::adLockReadOnly);
    return rs;
}

// A browser opened on one message backup of a sample.
struct SampleBrowser {
    test::MessageHarness h;
    explicit SampleBrowser(const std::string& file) {
        h.state.strMDBFilePath = file;
        h.state.strMDBConnectString = std::string(backup::kConnectPrefix) + file;
        h.state.bIsMessageBackup = true;
        h.state.appFolder = h.home().string();
        InitForm(h.form);
    }
    int rows() const { return h.form.gridMessages.Rows() - 1; }
    // A click on the row; the fill left the first row current, where a click only runs the
    // selection handler.
    void select(int row) {
        if (h.form.gridMessages.Row() == row) {
            gridMessages_SelChange(h.form);
        } else {
            h.form.gridMessages.setRow(row);
        }
    }
};

struct SampleMessages : ::testing::Test {
    test::TempDir dir;
};

TEST_F(SampleMessages, EmailBackupsExtractEveryMessageAsTheStoredArchive) {
    for (const char* variant : {"quorin1-tool135", "quorin7-tool1020"}) {
        const auto sample = writeVariant(dir, variant);
        int zipFiles = 0, extracted = 0;
        for (const std::string& file : sample.messageBackups) {
            SampleBrowser b(file);
            ASSERT_GT(b.rows(), 0) << file;
            EXPECT_TRUE(b.h.ui.boxes.empty()) << file << ": " << b.h.ui.texts().front();
            zipFiles += b.h.form.bEMLZipMessages ? 1 : 0;
            for (int r = 1; r <= b.rows(); ++r) {
                if (b.h.checked(r, "Secure")) continue;
                b.select(r);
                const std::string index = b.h.cell(r, "Index");
                auto rs =
                    query(file, "SELECT MessageAttachment FROM Messages WHERE Index=" + index);
                EXPECT_EQ(test::readBytes(targetFilePath(b.h.form)),
                          rs.Fields("MessageAttachment").Value().get<jet::Bytes>())
                    << file << " Index " << index;
                ++extracted;
            }
            EXPECT_TRUE(b.h.ui.boxes.empty()) << file << ": " << b.h.ui.texts().front();
        }
        EXPECT_GT(zipFiles, 0) << variant;
        EXPECT_LT(zipFiles, static_cast<int>(sample.messageBackups.size())) << variant;
        EXPECT_GT(extracted, 10) << variant;
        fs::remove_all(dir.path() / "sample");
    }
}

TEST_F(SampleMessages, GridCellsFollowTheStoredFlags) {
    const auto sample = writeVariant(dir, "zerith-rev14");  // Integer flags, some Null
    int secure = 0, nullFlags = 0;
    for (const std::string& file : sample.messageBackups) {
        SampleBrowser b(file);
        auto rs = query(file, "SELECT * FROM Messages");
        ASSERT_EQ(rs.RecordCount(), b.rows());
        for (int r = 1; r <= b.rows(); ++r, rs.MoveNext()) {
            const auto flag = [&](const char* column) {
                const db::Variant v = rs.Fields(column).Value();
                nullFlags += v.isNull() ? 1 : 0;
                return !v.isNull() && v.toLong() != 0;
            };
            EXPECT_EQ(b.h.checked(r, "Read"), flag("Read"));
            EXPECT_EQ(b.h.checked(r, "Urgent"), flag("PriorityUrgent"));
            EXPECT_EQ(b.h.checked(r, "Private"), flag("SensitivityPrivate"));
            EXPECT_EQ(b.h.checked(r, "Secure"), flag("IsSecure"));
            EXPECT_EQ(b.h.cell(r, "Index"), rs.Fields("Index").Value().toText());
            secure += b.h.checked(r, "Secure") ? 1 : 0;
        }
    }
    EXPECT_GT(secure, 0);
    EXPECT_GT(nullFlags, 0);
}

TEST_F(SampleMessages, Revision13ShowsNoSecureMessage) {
    const auto sample = writeVariant(dir, "zerith-rev13");
    for (const std::string& file : sample.messageBackups) {
        SampleBrowser b(file);
        for (int r = 1; r <= b.rows(); ++r) {
            EXPECT_FALSE(b.h.checked(r, "Secure"));
            EXPECT_EQ(b.h.cell(r, "Secure"), "0");
        }
        EXPECT_FALSE(b.h.form.bEMLZipMessages);
        EXPECT_TRUE(b.h.ui.boxes.empty());
    }
}

TEST_F(SampleMessages, TheFirstFileShowsEverySenderForm) {
    const auto sample = writeVariant(dir, "zerith-rev20");
    SampleBrowser b(sample.messageBackups.front());
    std::vector<std::string> aliases;
    for (int r = 1; r <= b.rows(); ++r) aliases.push_back(b.h.cell(r, "SenderAlias"));
    // Secure messages refuse, whatever else the row holds.
    int refused = 0;
    for (int r = 1; r <= b.rows(); ++r) {
        if (!b.h.checked(r, "Secure")) continue;
        b.h.ui.boxes.clear();
        b.select(r);
        ASSERT_EQ(b.h.ui.boxes.size(), 1u);
        EXPECT_EQ(b.h.ui.boxes[0].text.rfind("That message is marked secure", 0), 0u);
        ++refused;
    }
    EXPECT_EQ(refused, 1);
    EXPECT_TRUE(b.h.tempMsgIsEmpty());
    auto rs = query(sample.messageBackups.front(), "SELECT FromAddress FROM Messages");
    for (size_t i = 0; i < aliases.size(); ++i, rs.MoveNext()) {
        const std::string address = rs.Fields("FromAddress").Value().toText();
        if (address.rfind("/", 0) == 0 || address.rfind("CN=", 0) == 0) {
            EXPECT_FALSE(aliases[i].empty()) << address;
            EXPECT_EQ(aliases[i].find('='), std::string::npos) << address;
        }
    }
}

TEST_F(SampleMessages, BrokenIndexValuesAreReportedRowByRow) {
    const auto sample = writeVariant(dir, "broken-messages");
    SampleBrowser b(sample.messageBackups.front());
    ASSERT_GE(b.rows(), 3);
    EXPECT_EQ(b.h.ui.texts(),
              std::vector<std::string>{"Error 94 (Invalid use of Null) in procedure "
                                       "PopulateGridWithSubscriberMessageInfo of Form "
                                       "frmMessageSelection"});
    EXPECT_EQ(b.h.form.txtMessagesInGrid, std::to_string(b.rows()));
    b.h.ui.boxes.clear();
    b.select(2);
    b.select(b.rows());
    EXPECT_EQ(b.h.ui.texts(),
              (std::vector<std::string>{"More than one record found using Index=1",
                                        "Error finding message index in database"}));
    EXPECT_TRUE(b.h.tempMsgIsEmpty());
}

TEST_F(SampleMessages, EmptyMessageTablesSayThereIsNothing) {
    const auto sample = writeVariant(dir, "empty-messages");
    SampleBrowser b(sample.messageBackups.front());
    EXPECT_EQ(b.rows(), 0);
    EXPECT_EQ(b.h.ui.texts(), std::vector<std::string>{"No messages found in the backup files for "
                                                       "the selected subscriber."});
}

}  // namespace
}  // namespace tdv::messages
