// Browsing a large directory backup: filling the user list and showing single user reports.
//
//   bench_browse [DIR] [USERS]
//
// Writes a sample directory backup of USERS users (default 50,000) into DIR (default a new
// folder under /tmp), then times what the main window does: the user list filled as the
// "Subscribers" entry fills it, and the full report of users picked across the list (each
// report is a dozen lookups that must go through indexes, not scans). The peer is mdb-export
// of the same Subscribers table: the list's time is printed as a ratio to it. The filter box
// is timed too: folding the list once, then each key press of a typed filter text, and
// sorting by the extension column.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "catalog/object_lists.h"
#include "catalog/row_filter.h"
#include "cli/cli_ui.h"
#include "main_window/frm_main_procedures.h"
#include "reports/subscriber_report.h"
#include "sample/sample.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double timeCommand(const std::string& command) {
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return secondsSince(start);
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const fs::path dir =
        argc > 1 ? fs::path(argv[1])
                 : fs::temp_directory_path() / ("tdv-bench-browse-" + std::to_string(::getpid()));
    const int users = argc > 2 ? std::stoi(argv[2]) : 50000;

    tdv::sample::SampleOptions options;
    options.users = users;
    options.messages = 0;
    auto start = Clock::now();
    const auto written =
        tdv::sample::writeSample(dir.string(), tdv::sample::sampleVariants().front(), options);
    std::printf("sample of %d users written in %.1f s (%.0f MB)\n", users, secondsSince(start),
                static_cast<double>(fs::file_size(written.directoryBackup)) / 1e6);

    std::ostringstream messages;
    tdv::cli::CliUi ui(messages);
    tdv::backup::AppState state;
    state.strMDBFilePath = written.directoryBackup;
    state.strMDBConnectString = tdv::backup::kConnectPrefix + written.directoryBackup;
    tdv::app::FrmMain form(ui, state);
    tdv::app::connectMainWindow(form);
    form.cmbObjectType = tdv::app::kSubscribers;

    // The first fill also opens the file and reads its catalog; the second is the steady
    // state of choosing the entry again.
    start = Clock::now();
    form.myGrid.setRows(1);
    tdv::catalog::populateSubscribers(form);
    const double firstFill = secondsSince(start);
    start = Clock::now();
    form.myGrid.setRows(1);
    tdv::catalog::populateSubscribers(form);
    const double fill = secondsSince(start);
    std::printf("user list: %d rows, first fill %.3f s, again %.3f s\n", form.myGrid.Rows() - 1,
                firstFill, fill);

    // The filter box: the list folded once, then one search per key press.
    start = Clock::now();
    tdv::catalog::RowFilter filter;
    filter.index(form.myGrid);
    const double indexing = secondsSince(start);
    const std::string typed = form.myGrid.TextMatrix(std::max(form.myGrid.Rows() / 2, 1), 2);
    double worstKey = 0;
    size_t shown = 0;
    for (size_t n = 1; n <= typed.size(); ++n) {
        start = Clock::now();
        auto matching = filter.match(typed.substr(0, n));
        worstKey = std::max(worstKey, secondsSince(start));
        shown = matching.size();
    }
    auto all = filter.match("");
    start = Clock::now();
    filter.sort(all, 4, true);
    const double sorting = secondsSince(start);
    std::printf(
        "filter: folding %.3f s; %zu key presses (\"%s\"), worst %.2f ms, %zu rows left;"
        " sort by extension %.3f s\n",
        indexing, typed.size(), typed.c_str(), 1000 * worstKey, shown, sorting);

    const int rows = form.myGrid.Rows() - 1;
    const int picks = std::min(rows, 50);
    double total = 0, worst = 0;
    size_t lines = 0;
    for (int i = 0; i < picks; ++i) {
        const int row = 1 + static_cast<int>((static_cast<long long>(i) * rows) / picks);
        const std::string id = form.myGrid.TextMatrix(row, 5);
        start = Clock::now();
        tdv::reports::listHandlers_Click(form, id);
        const double t = secondsSince(start);
        total += t;
        worst = std::max(worst, t);
        lines += static_cast<size_t>(
            std::count(form.txtInfo.Text.begin(), form.txtInfo.Text.end(), '\n'));
    }
    if (picks > 0) {
        std::printf("user report: %d users, %.2f ms each on average, worst %.2f ms, %zu lines\n",
                    picks, 1000 * total / picks, 1000 * worst, lines / static_cast<size_t>(picks));
    }

    const double peer =
        timeCommand("mdb-export '" + written.directoryBackup + "' Subscribers > /dev/null");
    if (peer > 0) {
        std::printf("mdb-export Subscribers: %.3f s; user list / mdb-export = %.2f\n", peer,
                    fill / peer);
    }
    if (!messages.str().empty()) std::cout << "message boxes:\n" << messages.str();
    if (argc <= 1) fs::remove_all(dir);
    return 0;
}
