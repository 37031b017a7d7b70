// Bulk alias remap of a large directory backup with its message backups.
//
//   bench_remap [DIR] [USERS] [MESSAGES] [ROWS] [PLAIN_ROWS]
//
// Writes a sample of USERS users (default 50,000) with MESSAGES messages (default 12,000,
// six per message backup file: 2,000 files) into DIR (default a new folder under /tmp),
// builds a CSV of ROWS alias changes (default 5,000), and times what the alias remap window
// does with it: the CSV load with its row checks, then the apply of every row, as the
// window's procedures run them (a quiet UI port that answers Yes). Each row is checked
// against the backup, changes the message backups, then is saved in the backup, all or
// nothing, several rows to a save. Two references: one bare save per row (a single-statement
// UPDATE of the user's alias, as many rows, on the same backup), the floor of an apply that
// saves each row on its own; and the plain algorithm (four statements, each opening the
// file, per message file and row), timed on PLAIN_ROWS further rows (default 10) and
// extrapolated to ROWS. Prints the times, the apply's processor time, their ratios, and the
// message file opens and saves; then the preview of ROWS other rows against the apply of
// those rows, and the apply of ROWS further rows with the run log's count lines for matches
// only (tdv remap --log-matches-only) against the floor.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "backup/backed_up_version.h"
#include "backup/safety_copy.h"
#include "cli/cli_ui.h"
#include "logging/mod_logging.h"
#include "remap/apply_rows.h"
#include "remap/frm_extension_remap.h"
#include "remap/message_files.h"
#include "remap/remap_preview.h"
#include "sample/sample.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Processor time of this process so far (user and system).
double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<std::string> aliases(tdv::backup::AppState& state) {
    auto rs = state.newRecordset();
    rs.Open("SELECT Alias FROM Subscribers", state.strMDBConnectString);
    std::vector<std::string> out;
    for (; !rs.Eof(); rs.MoveNext()) {
        const auto v = rs("Alias").Value();
        if (!v.isNull()) out.push_back(v.toText());
    }
    return out;
}

// A CSV renaming `count` users spread over the list, starting at `first`.
std::string writeCsv(const fs::path& path, const std::vector<std::string>& users, size_t first,
                     size_t count, size_t step, const std::string& suffix) {
    std::ofstream out(path, std::ios::binary);
    out << "OLD_ALIAS,OLD_EXTENSION,NEW_ALIAS,NEW_EXTENSION\r\n";
    for (size_t i = 0; i < count; ++i) {
        const std::string& alias = users[(first + i * step) % users.size()];
        out << alias << ",," << alias.substr(0, 48) << suffix << ",\r\n";
    }
    return path.string();
}

struct Run {
    double load = 0, apply = 0, applyCpu = 0;
    int rows = 0;
    long opens = 0, saves = 0;
};

Run remap(tdv::backup::AppState& state, tdv::logging::ModLogging& logs, tdv::cli::CliUi& ui,
          const std::string& csv, tdv::remap::MessageBackupFiles::Strategy strategy,
          bool matchesOnly = false, double* preview = nullptr) {
    Run run;
    tdv::remap::FrmExtensionRemap form(ui, state, logs);
    form.logMatchesOnly = matchesOnly;
    auto start = Clock::now();
    tdv::remap::InitForm(form);
    ui.openPaths.push_back(csv);
    tdv::remap::cmdOpenCSVFile_Click(form);
    run.load = secondsSince(start);
    run.rows = form.myGrid.Rows() - 1;
    form.chkSelectAll = true;
    tdv::remap::chkSelectAll_Click(form);
    if (preview) {
        start = Clock::now();
        const auto result = tdv::remap::previewExtensionRemap(form);
        *preview = secondsSince(start);
        if (!result.failure.empty()) std::printf("preview failed: %s\n", result.failure.c_str());
    }
    tdv::remap::MessageBackupFiles files(tdv::remap::folderOf(state.strMDBFilePath), strategy);
    start = Clock::now();
    const double cpuBefore = cpuSeconds();
    tdv::remap::cmdRemap_Click(form, files);
    run.apply = secondsSince(start);
    run.applyCpu = cpuSeconds() - cpuBefore;
    run.saves = files.saves();
    run.opens = files.fileOpens();
    tdv::remap::Form_Unload(form);
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path dir =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("tdv-bench-remap-" + std::to_string(::getpid()));
    const int users = argc > 2 ? std::stoi(argv[2]) : 50000;
    const int messages = argc > 3 ? std::stoi(argv[3]) : 12000;
    const size_t rows = argc > 4 ? std::stoul(argv[4]) : 5000;
    const size_t plainRows = argc > 5 ? std::stoul(argv[5]) : 10;

    tdv::sample::SampleOptions options;
    options.users = users;
    options.messages = messages;
    auto start = Clock::now();
    const auto written = tdv::sample::writeSample((dir / "backups").string(),
                                                  tdv::sample::sampleVariants().front(), options);
    std::printf("sample: %d users, %d messages in %zu message backups, written in %.1f s\n", users,
                messages, written.messageBackups.size(), secondsSince(start));
    std::fflush(stdout);

    std::ostringstream quiet;
    tdv::cli::CliUi ui(quiet, true);
    // The apply itself is measured; safety copies cost what the files they copy weigh.
    tdv::backup::setSafetyCopyEnabled(ui, false);
    tdv::backup::AppState state;
    state.strMDBFilePath = written.directoryBackup;
    state.strMDBConnectString = tdv::backup::kConnectPrefix + written.directoryBackup;
    state.appFolder = (dir / "home").string();
    tdv::backup::BackedUpZerithVer(ui, state);
    tdv::backup::BackedUpAppVersion(ui, state);
    tdv::backup::LoadMDBVersion(ui, state);
    tdv::logging::ModLogging logs(ui, state.appFolder, tdv::logging::thisProgram("bench_remap"));

    const std::vector<std::string> all = aliases(state);
    const size_t step = all.size() / (rows + plainRows) > 0 ? all.size() / (rows + plainRows) : 1;
    const std::string csv = writeCsv(dir / "remap.csv", all, 0, rows, step, "_r");
    const Run counted =
        remap(state, logs, ui, csv, tdv::remap::MessageBackupFiles::Strategy::Counts);
    std::printf("load of %zu lines: %.2f s, %d rows in the grid\n", rows, counted.load,
                counted.rows);
    std::printf(
        "apply of %d rows: %.2f s (%.1f s of it on the processor), %ld message file opens, %ld "
        "message file saves, run log %.0f MB\n",
        counted.rows, counted.apply, counted.applyCpu, counted.opens, counted.saves,
        static_cast<double>(fs::file_size(logs.runLogPath())) / 1e6);
    std::fflush(stdout);

    // One bare save per row: the renamed users get their alias back, one statement each.
    double floor = 0;
    {
        auto rs = state.newRecordset();
        rs.Open("SELECT ObjectID, Alias FROM Subscribers", state.strMDBConnectString);
        std::vector<std::pair<std::string, std::string>> users;
        for (; !rs.Eof() && users.size() < static_cast<size_t>(counted.rows); rs.MoveNext()) {
            const auto alias = rs("Alias").Value();
            if (!alias.isNull() && alias.toText().ends_with("_r"))
                users.emplace_back(rs("ObjectID").Value().toText(), alias.toText());
        }
        rs.Close();
        start = Clock::now();
        for (const auto& [id, alias] : users) {
            auto update = state.newRecordset();
            update.Open("UPDATE Subscribers SET Alias=" + tdv::remap::sqlQuoted(alias + "x") +
                            " WHERE ObjectID=" + tdv::remap::sqlQuoted(id),
                        state.strMDBConnectString, tdv::db::adOpenKeyset,
                        tdv::db::adLockOptimistic);
        }
        const double bare = secondsSince(start);
        floor = bare * static_cast<double>(counted.rows) /
                static_cast<double>(std::max<size_t>(users.size(), 1));
        std::printf("one bare save per row, %zu rows: %.2f s\n", users.size(), bare);
        std::printf(
            "apply of %d rows against the floor of one bare save per row: %.1f s against %.1f s, "
            "ratio %.2f (goal: under 60 s)\n",
            counted.rows, counted.apply, floor, floor > 0 ? counted.apply / floor : 0.0);
        std::fflush(stdout);
    }

    // The preview of other users' rows, then their apply; then further rows applied with count
    // lines for matches only.
    {
        double previewTime = 0;
        const std::string other = writeCsv(dir / "remap_preview.csv", all, 1, rows, step, "_v");
        const Run applied =
            remap(state, logs, ui, other, tdv::remap::MessageBackupFiles::Strategy::Counts, false,
                  &previewTime);
        std::printf(
            "preview of %d rows: %.2f s, their apply %.2f s, ratio %.2f (goal: at most 1)\n",
            applied.rows, previewTime, applied.apply,
            applied.apply > 0 ? previewTime / applied.apply : 0.0);
        const std::string lean = writeCsv(dir / "remap_lean.csv", all, 2, rows, step, "_m");
        const Run matches =
            remap(state, logs, ui, lean, tdv::remap::MessageBackupFiles::Strategy::Counts, true);
        std::printf(
            "apply of %d rows with --log-matches-only: %.2f s (%.1f s on the processor) against "
            "the floor of %.1f s, ratio %.2f (goal: at most 1.5), run log %.1f MB\n",
            matches.rows, matches.apply, matches.applyCpu, floor,
            floor > 0 ? matches.apply / floor : 0.0,
            static_cast<double>(fs::file_size(logs.runLogPath())) / 1e6);
        std::fflush(stdout);
    }

    // Users not renamed above, with the plain algorithm.
    const std::string plainCsv =
        writeCsv(dir / "remap_plain.csv", all, rows * step, plainRows, step, "_p");
    const Run plain =
        remap(state, logs, ui, plainCsv, tdv::remap::MessageBackupFiles::Strategy::PerRowQueries);
    const double extrapolated = plain.rows > 0 ? plain.apply * counted.rows / plain.rows : 0;
    std::printf(
        "plain algorithm, %d rows: %.2f s, %ld message file opens; extrapolated to %d rows: "
        "%.0f s, %.0f file opens\n",
        plain.rows, plain.apply, plain.opens, counted.rows, extrapolated,
        plain.rows > 0 ? static_cast<double>(plain.opens) * counted.rows / plain.rows : 0);
    if (counted.apply > 0)
        std::printf("peer ratio (plain extrapolated / kept open and counted): %.1f\n",
                    extrapolated / counted.apply);
    return 0;
}
