// tdv remap over the sample backups: the grid as JSON, the apply with and without --yes,
// --rows, the e-mail window's "too old" gate, and the refusals of bad arguments. After an
// apply `tdv check` passes on the backup and on every message backup beside it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "helpers/testdata.h"
#include "remap/remap_apply_harness.h"
#include "remap/row_saves.h"
#include "sample/sample.h"

namespace tdv::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;

struct RemapCommandTest : ::testing::Test {
    TempDir dir;
    sample::WrittenSample written;
    std::string alias;  // a user that has messages

    void write(const char* variant, sample::SampleOptions options = {}) {
        written = sample::writeSample((dir.path() / "backups").string(),
                                      *sample::findVariant(variant), options);
        const auto users = queryRows(written.directoryBackup, "SELECT Alias FROM Subscribers");
        for (const auto& file : written.messageBackups) {
            for (const auto& row : queryRows(file, "SELECT ToAlias FROM Messages")) {
                for (const auto& user : users)
                    if (!user.empty() && user[0] == row[0]) alias = row[0];
                if (!alias.empty()) return;
            }
        }
    }
    static std::string sqlQuote(const std::string& text) {
        std::string out = "'";
        for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
        return out + "'";
    }
    std::string csv(const std::string& lines) const {
        const auto path = dir.path() / "remap.csv";
        writeText(path, lines);
        return path.string();
    }
    CommandResult remap(const std::string& args) const {
        return runCommand("TDV_HOME=" + shellQuote((dir.path() / "home").string()) + " " +
                          shellQuote(TDV_BINARY) + " remap " + args);
    }
    int countInMessages(const std::string& a) const {
        int n = 0;
        for (const auto& file : written.messageBackups)
            for (const auto& row : queryRows(file, "SELECT FromAlias, ToAlias FROM Messages"))
                n += (row[0] == a) + (row[1] == a);
        return n;
    }
    // A user other than `alias`.
    std::string otherAlias() const {
        for (const auto& row : queryRows(written.directoryBackup, "SELECT Alias FROM Subscribers"))
            if (row[0] != alias && row[0] != "<null>") return row[0];
        return {};
    }
    // What a remap may change, in every file of the folder, as sorted rows.
    static std::map<std::string, std::vector<std::vector<std::string>>> snapshot(
        const fs::path& folder) {
        std::map<std::string, std::vector<std::vector<std::string>>> out;
        const auto add = [&](const fs::path& file, const std::string& key, const std::string& sql) {
            auto rows = queryRows(file.string(), sql);
            std::sort(rows.begin(), rows.end());
            out[file.filename().string() + ": " + key] = std::move(rows);
        };
        for (const auto& e : fs::directory_iterator(folder)) {
            const std::string name = e.path().filename().string();
            // A journal left beside a file would be an unfinished save: none may be left.
            EXPECT_FALSE(name.ends_with("-journal")) << name;
            if (!name.ends_with(".mdb")) continue;  // safety copies and logs
            if (name.find("Message_Backup_") != std::string::npos) {
                add(e.path(), "messages", "SELECT FromAlias, ToAlias FROM Messages");
            } else if (name.ends_with(".mdb") && name.find("DBData") != std::string::npos) {
                add(e.path(), "users", "SELECT ObjectID, Alias, DTMFAccessID FROM Subscribers");
                add(e.path(), "handlers", "SELECT ObjectID, DTMFAccessID FROM CallHandlers");
                add(e.path(), "lists",
                    "SELECT SubscriberObjectID, SubscriberAlias FROM "
                    "PublicDistributionListMembers");
                add(e.path(), "private", "SELECT Alias FROM PrivateListMembers");
            }
        }
        return out;
    }
    void expectEveryFileChecks() const {
        auto r = runTdv("check " + shellQuote(written.directoryBackup));
        EXPECT_EQ(r.status, 0) << r.out;
        for (const auto& file : written.messageBackups) {
            r = runTdv("check " + shellQuote(file));
            EXPECT_EQ(r.status, 0) << file << ": " << r.out;
        }
    }
};

TEST_F(RemapCommandTest, PrintsTheLoadedGridWithoutWritingAnything) {
    write("zerith-rev20");
    ASSERT_FALSE(alias.empty());
    const std::string before = fileText(written.directoryBackup);
    const std::string file =
        csv("OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n" + alias + ",,renamed1,\r\n");
    const auto r = remap(shellQuote(written.directoryBackup) + " " + shellQuote(file));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = nlohmann::json::parse(r.out);
    ASSERT_EQ(out["columns"].size(), 12u);
    EXPECT_EQ(out["columns"][1]["caption"], "Old Alias");
    EXPECT_EQ(out["columns"][11]["hidden"], true);
    ASSERT_EQ(out["rows"].size(), 1u);
    EXPECT_EQ(out["rows"][0][0], false);
    EXPECT_EQ(out["rows"][0][1], alias);
    EXPECT_EQ(out["rows"][0][2], "renamed1");
    EXPECT_EQ(out["csvErrorLog"], file + "_CSVParse_ErrorLog_.TXT");
    EXPECT_FALSE(out.contains("runLog"));
    EXPECT_EQ(fileText(written.directoryBackup), before);
}

TEST_F(RemapCommandTest, ApplyWithYesRenamesInTheBackupAndEveryMessageBackup) {
    write("zerith-rev20");
    ASSERT_FALSE(alias.empty());
    const int before = countInMessages(alias);
    ASSERT_GT(before, 0);
    const std::string file =
        csv("OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n" + alias + ",,renamed1,\r\n");
    std::map<std::string, std::string> originals;  // every file of the folder, before
    for (const auto& e : fs::directory_iterator(fs::path(written.directoryBackup).parent_path()))
        originals[e.path().string()] = fileText(e.path().string());
    int changing = 0;  // message backups holding the alias
    for (const auto& f : written.messageBackups)
        changing +=
            !queryRows(f, "SELECT FromAlias FROM Messages WHERE FromAlias=" + sqlQuote(alias) +
                              " OR ToAlias=" + sqlQuote(alias))
                 .empty();
    const auto r =
        remap(shellQuote(written.directoryBackup) + " " + shellQuote(file) + " --apply --yes");
    ASSERT_EQ(r.status, 0) << r.err;
    // Safety copies: the backup and the message backups that changed, each as it was before.
    int copies = 0;
    for (const auto& e : fs::directory_iterator(fs::path(written.directoryBackup).parent_path())) {
        const std::string name = e.path().string();
        if (!name.ends_with(".bak")) continue;
        ++copies;
        const std::string original = name.substr(0, name.size() - 20);  // .YYYYMMDD-HHMMSS.bak
        EXPECT_TRUE(originals.count(original) && fileText(name) == originals[original]) << name;
        EXPECT_THAT(r.err, HasSubstr(name));
    }
    EXPECT_EQ(copies, 1 + changing);
    const auto out = nlohmann::json::parse(r.out);
    EXPECT_EQ(out["rows"][0][0], true);
    const std::string runLog = out["runLog"];
    EXPECT_THAT(runLog, StartsWith((dir.path() / "home" / "logs" / "tdv_CSVRemapLog_").string()));
    EXPECT_TRUE(fs::exists(runLog));
    EXPECT_THAT(r.err, HasSubstr("question: WARNING! This will change alias"));
    EXPECT_THAT(r.err, HasSubstr("open: " + runLog));
    EXPECT_EQ(countInMessages(alias), 0);
    EXPECT_EQ(countInMessages("renamed1"), before);
    EXPECT_EQ(queryRows(written.directoryBackup,
                        "SELECT COUNT(*) FROM Subscribers WHERE Alias='renamed1'")[0][0],
              "1");
    // One count line per column and message backup.
    const std::string log = fileText(runLog);
    size_t lines = 0;
    for (size_t at = log.find(" instances found for "); at != std::string::npos;
         at = log.find(" instances found for ", at + 1))
        ++lines;
    EXPECT_EQ(lines, 2 * written.messageBackups.size());
    expectEveryFileChecks();
}

TEST_F(RemapCommandTest, ApplyWithoutYesAndUntickedRowsWriteNothing) {
    write("zerith-rev20");
    const std::string second = otherAlias();
    const std::string file = csv("OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n" + alias +
                                 ",,renamed1,\r\n" + second + ",,renamed2,\r\n");
    const std::string before = fileText(written.directoryBackup);
    auto r = remap(shellQuote(written.directoryBackup) + " " + shellQuote(file) + " --apply");
    // The declined warning is a declined question: status 1.
    ASSERT_EQ(r.status, 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("-> No"));
    EXPECT_EQ(nlohmann::json::parse(r.out)["runLog"], "");
    EXPECT_EQ(fileText(written.directoryBackup), before);

    // Both lines reach the grid (their new aliases are free); --rows 2 ticks only the second.
    r = remap(shellQuote(written.directoryBackup) + " " + shellQuote(file) +
              " --apply --yes --rows 2 --no-safety-copy");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const auto& e : fs::directory_iterator(fs::path(written.directoryBackup).parent_path()))
        EXPECT_FALSE(e.path().string().ends_with(".bak")) << e.path();
    const auto out = nlohmann::json::parse(r.out);
    ASSERT_EQ(out["rows"].size(), 2u);
    EXPECT_EQ(out["rows"][0][0], false);
    EXPECT_EQ(out["rows"][1][0], true);
    EXPECT_EQ(queryRows(written.directoryBackup,
                        "SELECT COUNT(*) FROM Subscribers WHERE Alias='renamed2'")[0][0],
              "1");
    EXPECT_EQ(countInMessages("renamed1"), 0);
    expectEveryFileChecks();
}

// Needs the crash points of the test hooks.
#ifdef TDV_TEST_HOOKS
// The apply killed at many points of its saves (in the message backups and in the backup):
// every file stays sound, and running the same CSV file again ends with the files an
// uninterrupted apply gives.
TEST_F(RemapCommandTest, KilledAnywhereARerunOfTheSameCsvFinishesTheApply) {
    // Enough rows for two saves of the backup: alias changes (with message backups) fill the
    // first, extension changes alone make the second, so that its crash points are the
    // backup's own.
    const int aliasRows = static_cast<int>(remap::kMaxRowsPerSave);
    write("zerith-rev20", sample::SampleOptions{.users = aliasRows + 16});
    const fs::path pristine = dir.path() / "pristine";
    fs::copy(dir.path() / "backups", pristine);
    std::string lines = "OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n";
    int n = 0;
    for (const auto& row :
         queryRows(written.directoryBackup, "SELECT Alias FROM Subscribers ORDER BY Alias")) {
        if (row[0] == "<null>") continue;
        const std::string extension = std::to_string(770000 + n);
        if (n < aliasRows)
            lines += row[0] + ",,moved" + std::to_string(n) + "," + (n % 3 == 0 ? extension : "") +
                     "\r\n";
        else
            lines += row[0] + ",,," + extension + "\r\n";
        if (++n == aliasRows + 6) break;
    }
    const std::string file = csv(lines);
    const fs::path backups = dir.path() / "backups";
    const std::string backup = (backups / fs::path(written.directoryBackup).filename()).string();
    const auto run = [&](const std::string& crashAt) {
        return runCommand((crashAt.empty() ? "" : "TDV_CRASH_AT=" + crashAt + " ") +
                          "TDV_HOME=" + shellQuote((dir.path() / "home").string()) + " " +
                          shellQuote(TDV_BINARY) + " remap " + shellQuote(backup) + " " +
                          shellQuote(file) + " --apply --yes");
    };
    const auto r = run("");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto expected = snapshot(backups);
    ASSERT_NE(expected, snapshot(pristine));

    // Killed in every save the apply makes (however many rows share one), at each of its
    // steps, and at two points among the pages written.
    int saves = 0;
    const auto killedAndRerun = [&](const std::string& crashAt) {
        SCOPED_TRACE(crashAt);
        fs::remove_all(backups);
        fs::copy(pristine, backups);
        const fs::path logs = dir.path() / "home" / "logs";
        fs::remove_all(logs);
        const auto killed = run(crashAt);
        if (killed.status == 0) return false;
        EXPECT_EQ(killed.status, 86) << killed.err;
        // Before any file changed, the killed run's log (durably) named the backup's safety
        // copy and the rows of the save under way.
        std::string log;
        for (const auto& e : fs::directory_iterator(logs)) log += fileText(e.path().string());
        EXPECT_THAT(log, HasSubstr("    Safety copy of " + backup + " written: "));
        EXPECT_THAT(log, HasSubstr("Save begins for "));
        const auto rerun = run("");
        if (crashAt == "journal-removed:" + std::to_string(saves)) {
            // Killed once its last save was whole, the apply had done everything: the rerun
            // has no row left to load and refuses.
            EXPECT_EQ(rerun.status, 1);
            EXPECT_THAT(rerun.err, HasSubstr("You must first load some values")) << rerun.err;
        } else {
            EXPECT_EQ(rerun.status, 0) << rerun.err;
        }
        EXPECT_EQ(snapshot(backups), expected);
        for (const auto& e : fs::directory_iterator(backups)) {
            if (e.path().extension() == ".bak") continue;  // the runs' safety copies
            const auto check = runTdv("check " + shellQuote(e.path().string()));
            EXPECT_EQ(check.status, 0) << e.path() << ": " << check.out;
        }
        return true;
    };
    while (killedAndRerun("journal-written:" + std::to_string(saves + 1))) ++saves;
    EXPECT_GE(saves, 2);
    for (int save = 1; save <= saves; ++save) {
        EXPECT_TRUE(killedAndRerun("database-synced:" + std::to_string(save)));
        EXPECT_TRUE(killedAndRerun("journal-removed:" + std::to_string(save)));
    }
    EXPECT_TRUE(killedAndRerun("page-written:1"));
    EXPECT_TRUE(killedAndRerun("page-written:9"));

    // A message backup that cannot be changed (a link to a file outside the folder) stops the
    // apply before any change; moved out of the folder, the same CSV file then completes it.
    fs::remove_all(backups);
    fs::copy(pristine, backups);
    const fs::path outside = dir.path() / "outside.mdb";
    fs::copy_file(written.messageBackups[0], outside);
    const fs::path link = backups / "ZerithMessage_Backup_zlink.mdb";
    fs::create_symlink(outside, link);
    const auto stopped = run("");
    EXPECT_EQ(stopped.status, 1);
    EXPECT_THAT(stopped.err, HasSubstr(link.string() + ": it is a symbolic link"));
    fs::remove(link);
    EXPECT_EQ(snapshot(backups), snapshot(pristine));
    EXPECT_EQ(run("").status, 0);
    EXPECT_EQ(snapshot(backups), expected);
}
#endif  // TDV_TEST_HOOKS

// The preview of the ticked rows changes no file and counts what the apply then changes:
// per row its outcome and the run log's message counts, and in all the records changed.
TEST_F(RemapCommandTest, PreviewCountsWhatTheApplyThenChanges) {
    write("zerith-rev20");
    std::string lines = "OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n";
    int n = 0;
    for (const auto& row :
         queryRows(written.directoryBackup, "SELECT Alias FROM Subscribers ORDER BY Alias")) {
        if (row[0] == "<null>") continue;
        lines += row[0] + ",,moved" + std::to_string(n) + "," +
                 (n % 3 == 0 ? std::to_string(770000 + n) : "") + "\r\n";
        if (++n == 8) break;
    }
    const std::string file = csv(lines);
    const fs::path backups = fs::path(written.directoryBackup).parent_path();
    const auto before = snapshot(backups);
    const std::string args = shellQuote(written.directoryBackup) + " " + shellQuote(file);
    auto r = remap(args + " --preview");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(snapshot(backups), before);
    const auto preview = nlohmann::json::parse(r.out)["preview"];

    r = remap(args + " --apply --yes --no-safety-copy");
    ASSERT_EQ(r.status, 0) << r.err;
    // The run log's rows: whether each applied, and its non-zero message counts.
    std::vector<std::pair<bool, std::map<std::string, std::pair<long, long>>>> logged;
    std::istringstream log(fileText(nlohmann::json::parse(r.out)["runLog"]));
    for (std::string line; std::getline(log, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "********")
            logged.emplace_back(true, decltype(logged)::value_type::second_type{});
        if (logged.empty()) continue;
        if (line.starts_with("(error)")) logged.back().first = false;
        const size_t in = line.rfind(" in ");
        const long count = std::atol(line.c_str());
        if (line.find(" instances found for ") == std::string::npos || count == 0) continue;
        auto& counts = logged.back().second[line.substr(in + 4)];
        (line.find(" fromAlias ") != std::string::npos ? counts.first : counts.second) = count;
    }
    ASSERT_EQ(logged.size(), preview["rows"].size());
    for (size_t i = 0; i < logged.size(); ++i) {
        SCOPED_TRACE(i);
        const auto& row = preview["rows"][i];
        EXPECT_EQ(row["applies"], logged[i].first);
        std::map<std::string, std::pair<long, long>> counted;
        for (const auto& m : row["messages"])
            counted[m["file"]] = {m["fromAlias"].get<long>(), m["toAlias"].get<long>()};
        EXPECT_EQ(counted, logged[i].second);
    }
    EXPECT_EQ(preview["totals"]["applies"], 8);
    // The records the apply changed, table by table, against the preview's totals.
    const auto after = snapshot(backups);
    const auto changed = [&](const std::string& table) {
        const std::string key =
            fs::path(written.directoryBackup).filename().string() + ": " + table;
        std::vector<std::vector<std::string>> gone;
        std::set_difference(after.at(key).begin(), after.at(key).end(), before.at(key).begin(),
                            before.at(key).end(), std::back_inserter(gone));
        return static_cast<long>(gone.size());
    };
    const auto& totals = preview["totals"];
    EXPECT_EQ(totals["users"], changed("users"));
    EXPECT_EQ(totals["callHandlers"], changed("handlers"));
    EXPECT_EQ(totals["distributionListMembers"], changed("lists"));
    EXPECT_EQ(totals["privateListMembers"], changed("private"));
    EXPECT_GT(totals["messages"].get<long>(), 0);
}

TEST_F(RemapCommandTest, EmailRemapAppliesAddresses) {
    write("zerith-rev20");
    const std::string file =
        csv("OLD_EXTENSION,OLD_ALIAS,NEW_SMTP_ADDRESS\r\n," + alias + ",new@example.com\r\n");
    const auto r = remap(shellQuote(written.directoryBackup) + " " + shellQuote(file) +
                         " --email --apply --yes");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto out = nlohmann::json::parse(r.out);
    ASSERT_EQ(out["columns"].size(), 10u);
    EXPECT_EQ(out["rows"][0][3], "new@example.com");
    EXPECT_EQ(queryRows(written.directoryBackup,
                        "SELECT SMTPAddress FROM Subscribers WHERE Alias='" + alias + "'")[0][0],
              "new@example.com");
    expectEveryFileChecks();
}

TEST_F(RemapCommandTest, EmailRemapOfRevision19IsRefused) {
    write("zerith-rev19");
    const std::string before = fileText(written.directoryBackup);
    const std::string file =
        csv("OLD_EXTENSION,OLD_ALIAS,NEW_SMTP_ADDRESS\r\n," + alias + ",new@example.com\r\n");
    const auto r = remap(shellQuote(written.directoryBackup) + " " + shellQuote(file) +
                         " --email --apply --yes");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "message: The backup you have is too old to support this - you must be at rev 20 "
              "of the MDB file for email address remapping.\n");
    EXPECT_EQ(fileText(written.directoryBackup), before);
}

// A CSV file refused at its header (unrecognised, an empty first line, no data line, too
// large) is status 1, with or without --apply; a --rows that names no rows is a usage error.
TEST_F(RemapCommandTest, RefusedFilesAndBadRowListsHaveTheirStatus) {
    write("zerith-rev20");
    const std::string backup = shellQuote(written.directoryBackup);
    const std::string good =
        csv("OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n" + alias + ",,renamed1,\r\n");
    for (const std::string rows : {"''", "abc", "1,", "0"}) {
        const auto r = remap(backup + " " + shellQuote(good) + " --rows " + rows);
        EXPECT_EQ(r.status, 2) << rows << ": " << r.err;
    }
    const std::string before = fileText(written.directoryBackup);
    const struct {
        const char* text;
        const char* message;
    } files[] = {
        {"OLD_ALIAS,NEW_ALIAS\r\nx,y\r\n", "Error - CSV File is not formatted correctly"},
        {"\r\nOLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n", "not formatted correctly"},
        {"OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n", "File contains no data"},
    };
    for (const auto& f : files) {
        const std::string path = csv(f.text);
        for (const char* apply : {"", " --apply --yes"}) {
            const auto r = remap(backup + " " + shellQuote(path) + apply);
            EXPECT_EQ(r.status, 1) << f.text << apply << ": " << r.err;
            EXPECT_THAT(r.err, HasSubstr(f.message));
        }
    }
    const std::string large = csv("OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\nx,,y,\r\n");
    fs::resize_file(large, 101u << 20);
    const auto r = remap(backup + " " + shellQuote(large));
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("CSV file is too large: 105906176 bytes"));
    EXPECT_EQ(fileText(written.directoryBackup), before);
}

TEST_F(RemapCommandTest, RefusesAMessageBackupAndAMissingCsvWithOneLine) {
    write("zerith-rev20");
    const std::string file = csv("OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\nx,,y,\r\n");
    auto r = remap(shellQuote(written.messageBackups[0]) + " " + shellQuote(file));
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, StartsWith("error: remap: "));
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);

    r = remap(shellQuote(written.directoryBackup) + " " +
              shellQuote((dir.path() / "missing.csv").string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "error: remap: no such CSV file: " + (dir.path() / "missing.csv").string() + "\n");
}

}  // namespace
}  // namespace tdv::test
