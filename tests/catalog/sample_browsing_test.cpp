// Browsing whole sample backups through the main window, as a user would: every object type
// of the type list, every row's report, and the backup details.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "catalog/form_harness.h"
#include "db/recordset.h"
#include "main_window/frm_main_procedures.h"
#include "sample/sample.h"

namespace tdv::catalog {
namespace {

using test::FormHarness;

struct OpenSample {
    FormHarness h;
    sample::WrittenSample files;

    explicit OpenSample(const std::string& variantName) {
        const sample::SampleVariant* variant = sample::findVariant(variantName);
        if (variant == nullptr) throw std::runtime_error("no sample variant " + variantName);
        files = sample::writeSample((h.dir.path() / "sample").string(), *variant, {});
        h.state.strMDBFilePath = files.directoryBackup;
        h.state.strMDBConnectString = std::string(backup::kConnectPrefix) + files.directoryBackup;
        app::InitForm(h.form);
    }

    long count(const std::string& sql) {
        auto rs = h.state.newRecordset();
        rs.setCursorLocation(db::adUseClient);
        rs.Open(sql, h.state.strMDBConnectString, db::adOpenKeyset, db::adLockReadOnly);
        return rs.Fields(0L).Value().toLong();
    }

    std::vector<std::string> column(int col) const {
        std::vector<std::string> cells;
        for (int r = 1; r < h.form.myGrid.Rows(); ++r)
            cells.push_back(h.form.myGrid.TextMatrix(r, col));
        return cells;
    }

    std::vector<bool> hidden() const { return h.hiddenColumns(); }
};

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

int lineCount(const std::string& text) {
    int n = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2)) ++n;
    return n;
}

TEST(SampleBrowsing, DefaultSampleListsEveryTypeAndShowsEachRowsReport) {
    OpenSample s("zerith-rev20");
    auto& form = s.h.form;

    // InitForm leaves the users listed, in alias order, with their keys hidden.
    ASSERT_EQ(form.cmbObjectType, app::kSubscribers);
    const long users = s.count("SELECT COUNT(*) FROM Subscribers");
    ASSERT_GT(users, 0);
    EXPECT_EQ(form.myGrid.Rows(), users + 1);
    EXPECT_EQ(form.txtObjectCount, std::to_string(users));
    const auto aliases = s.column(0);
    EXPECT_TRUE(std::is_sorted(aliases.begin(), aliases.end(),
                               [](const auto& a, const auto& b) { return lower(a) < lower(b); }));
    const auto ids = s.column(5);
    EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), static_cast<size_t>(users));
    EXPECT_TRUE(form.cmdPrivateListDumpVisible);
    EXPECT_FALSE(form.txtInfo.Text.empty());

    s.h.ui.boxes.clear();
    app::selectObjectType(form, app::kCallHandlers);
    EXPECT_EQ(form.myGrid.Rows() - 1,
              s.count("SELECT COUNT(*) FROM CallHandlers WHERE IsPrimary=0"));
    EXPECT_EQ(s.hidden(), (std::vector<bool>{false, false, false, true}));

    s.h.ui.boxes.clear();
    app::selectObjectType(form, app::kDistributionLists);
    const long lists = s.count("SELECT COUNT(*) FROM PublicDistributionLists");
    ASSERT_GT(lists, 0);
    EXPECT_EQ(form.myGrid.Rows(), lists + 1);
    EXPECT_EQ(form.txtObjectCount, std::to_string(lists));
    for (int r = 1; r < form.myGrid.Rows(); ++r) {
        form.myGrid.setRow(r);
        const std::string id = form.myGrid.TextMatrix(r, 3);
        const long members = s.count(
            "SELECT COUNT(*) FROM PublicDistributionListMembers INNER JOIN Subscribers ON "
            "Subscribers.ObjectID= PublicDistributionListMembers.SubscriberObjectID WHERE "
            "DLObjectID='" +
            id + "'");
        if (members == 0) {
            EXPECT_EQ(form.txtInfo.Text,
                      "No members found in the backup for this public distribution list");
        } else {
            EXPECT_EQ(form.txtInfo.Text.rfind(
                          "ALIAS, DISPLAY_NAME, EXTENSION, SUBSCRIBER_OBJECTID\r\n", 0),
                      0u);
            EXPECT_EQ(lineCount(form.txtInfo.Text), members + 1) << id;
        }
    }

    app::selectObjectType(form, app::kInterviewHandlers);
    ASSERT_GT(form.myGrid.Rows(), 1);
    for (int r = 1; r < form.myGrid.Rows(); ++r) {
        form.myGrid.setRow(r);
        const std::string id = form.myGrid.TextMatrix(r, 3);
        const long questions =
            s.count("SELECT COUNT(*) FROM InterviewQuestions WHERE ParentObjectID='" + id + "'");
        if (questions == 0) {
            EXPECT_EQ(form.txtInfo.Text,
                      "No questions found in the backup for this interview handler");
        } else {
            EXPECT_EQ(lineCount(form.txtInfo.Text), questions + 1) << id;
        }
    }

    app::selectObjectType(form, app::kDirectoryHandlers);
    ASSERT_GT(form.myGrid.Rows(), 1);
    for (int r = 1; r < form.myGrid.Rows(); ++r) {
        form.myGrid.setRow(r);
        EXPECT_EQ(form.txtInfo.Text.rfind("Display Name= ", 0), 0u);
        EXPECT_NE(form.txtInfo.Text.find("ObjectID=" + form.myGrid.TextMatrix(r, 3) + "\r\n"),
                  std::string::npos);
    }

    app::selectObjectType(form, app::kSchedules);
    EXPECT_EQ(form.myGrid.Rows() - 1, s.count("SELECT COUNT(*) FROM Schedules"));
    EXPECT_EQ(form.txtInfo.Text, app::kScheduleText);

    app::selectObjectType(form, app::kBackupDetails);
    EXPECT_EQ(form.myGrid.Rows(), 0);
    EXPECT_EQ(form.txtObjectCount, "");
    EXPECT_EQ(form.txtInfo.Text.rfind("Zerith version=5.0(3.2105)\r\n"
                                      "Backed up with Export version=7.0.29\r\n\r\n"
                                      "User name that ran backup=",
                                      0),
              0u)
        << form.txtInfo.Text;
    EXPECT_EQ(lineCount(form.txtInfo.Text), 8);
    EXPECT_TRUE(s.h.ui.boxes.empty()) << s.h.ui.boxes.front().text;
}

TEST(SampleBrowsing, NewerProduct7HidesHandlerAliasesAndRepairsText) {
    OpenSample s("quorin7-tool1020");
    auto& form = s.h.form;
    ASSERT_TRUE(s.h.state.bIsQuorin7OrLater);

    // User names come out decoded from their UTF-8 bytes, never as two-character garble.
    bool anyAccented = false;
    for (int col = 0; col <= 3; ++col) {
        for (const auto& cell : s.column(col)) {
            EXPECT_EQ(cell.find("\xC3\x83"), std::string::npos) << cell;
            anyAccented = anyAccented || std::any_of(cell.begin(), cell.end(),
                                                     [](unsigned char c) { return c >= 0x80; });
        }
    }
    EXPECT_TRUE(anyAccented);
    EXPECT_EQ(s.hidden(), (std::vector<bool>{false, false, false, false, false, true}));

    s.h.ui.boxes.clear();
    for (int type : {app::kCallHandlers, app::kInterviewHandlers, app::kDirectoryHandlers}) {
        app::selectObjectType(form, type);
        EXPECT_GT(form.myGrid.Rows(), 1) << type;
        EXPECT_EQ(s.hidden(), (std::vector<bool>{true, false, false, true})) << type;
    }
    app::selectObjectType(form, app::kDistributionLists);
    EXPECT_EQ(s.hidden(), (std::vector<bool>{false, false, false, true}));

    app::selectObjectType(form, app::kInterviewHandlers);
    EXPECT_EQ(
        form.txtInfo.Text.rfind("#, MAX_LENGTH, VOICE_FILE_INCLUDED, QUESTION_TEXT\r\n", 0) == 0 ||
            form.txtInfo.Text == "No questions found in the backup for this interview handler",
        true)
        << form.txtInfo.Text;

    app::selectObjectType(form, app::kBackupDetails);
    EXPECT_EQ(form.txtInfo.Text.rfind("Zerith Quorin version=7.0(0.1125)\r\n"
                                      "Backed up with Export version=1.0.20\r\n\r\n"
                                      "User name that ran backup=",
                                      0),
              0u)
        << form.txtInfo.Text;
    EXPECT_TRUE(s.h.ui.boxes.empty()) << s.h.ui.boxes.front().text;
}

TEST(SampleBrowsing, OldSchemaSampleHasNoHandlerDetails) {
    OpenSample s("zerith-rev16");
    auto& form = s.h.form;
    s.h.ui.boxes.clear();

    app::selectObjectType(form, app::kDirectoryHandlers);
    EXPECT_EQ(form.myGrid.Rows(), 1);
    EXPECT_EQ(form.myGrid.TextMatrix(0, 1), "Display Name");

    app::selectObjectType(form, app::kInterviewHandlers);
    ASSERT_GT(form.myGrid.Rows(), 1);
    {
        EXPECT_EQ(form.txtInfo.Text,
                  "Backup was done with a version of zerith export older than 7.0.29 for Zerith "
                  "or 1.3.1 for Quorin - no interview handler details are pressent");
    }

    app::selectObjectType(form, app::kBackupDetails);
    EXPECT_EQ(form.txtInfo.Text,
              "Zerith version=5.0(3.2105)\r\nBacked up with Export version=7.0.28\r\n\r\n"
              "Backup was produced with a version older than 7.0.29 for Zerith and 1.3.1 for "
              "Quorin 1.x - there are no more details to show.\r\n");
    EXPECT_TRUE(s.h.ui.boxes.empty()) << s.h.ui.boxes.front().text;
}

// A damaged backup gives error boxes and empty lists, never a crash or a loop without end.
TEST(SampleBrowsing, DamagedBackupEndsEveryListAndReport) {
    for (const bool truncate : {true, false}) {
        OpenSample s("zerith-rev20");
        const std::string path = s.files.directoryBackup;
        const auto size = std::filesystem::file_size(path);
        if (truncate) {
            std::filesystem::resize_file(path, size / 3);
        } else {
            std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
            for (std::streamoff at = 4096 * 3; at + 64 < static_cast<std::streamoff>(size);
                 at += 4096 * 2) {
                f.seekp(at + 10);
                f.write("\xFF\xFF\xFF\xFF\x7F\x00\x01\x02\xFE\xFF", 10);
            }
        }
        // A fresh state, so that nothing read before the damage is reused.
        test::ScriptedUi ui;
        backup::AppState state;
        state.strMDBConnectString = s.h.state.strMDBConnectString;
        state.version = s.h.state.version;
        app::FrmMain form(ui, state);
        app::connectMainWindow(form);
        for (int type = app::kSubscribers; type <= app::kBackupDetails; ++type) {
            app::selectObjectType(form, type);
            for (int r = 1; r < form.myGrid.Rows(); ++r) form.myGrid.setRow(r);
        }
        EXPECT_FALSE(ui.boxes.empty()) << truncate;
        EXPECT_EQ(ui.events.back(), "busy off");
    }
}

}  // namespace
}  // namespace tdv::catalog
