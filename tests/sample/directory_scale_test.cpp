// Large sample directories: built and written in reasonable time and size, still a file
// every reader accepts. The default size keeps the test quick; TDV_SAMPLE_SCALE_USERS sets
// another (50000 for the benchmark figures).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "jet/db_check.h"
#include "sample/directory_backup_support.h"

namespace tdv::sample::test {
namespace {

int scaleUsers() {
    const char* env = std::getenv("TDV_SAMPLE_SCALE_USERS");
    return env ? std::atoi(env) : 5000;
}

TEST(DirectoryBackupScale, LargeDirectoryBuildsFastAndStaysWellWithinJetLimits) {
    using Clock = std::chrono::steady_clock;
    SampleOptions options;
    options.users = scaleUsers();
    tdv::test::TempDir dir;
    const auto path = dir.path() / "ZerithDBData_Backup_large.mdb";

    const auto t0 = Clock::now();
    DirectoryBackup backup = buildDirectoryBackup(olderProductVariant(), options);
    const auto t1 = Clock::now();
    jet::createDatabase(path.string(), backup.database);
    const auto t2 = Clock::now();

    size_t rows = 0;
    for (const auto& t : backup.database.tables) rows += t.rows.size();
    const auto ms = [](auto d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    };
    const auto bytes = std::filesystem::file_size(path);
    std::cout << "[scale] " << options.users << " users, " << rows << " rows: build " << ms(t1 - t0)
              << " ms, createDatabase " << ms(t2 - t1) << " ms, file " << bytes / 1024 << " KiB\n";

    EXPECT_EQ(backup.users.size(), static_cast<size_t>(options.users));
    // Far below Jet's 2 GB: about 10 KiB a user is plenty.
    EXPECT_LT(bytes, static_cast<uintmax_t>(options.users) * 10 * 1024 + 4 * 1024 * 1024);
    auto db = jet::Database::open(path.string());
    EXPECT_EQ(db->table("Subscribers").rowCount, static_cast<uint32_t>(options.users));
    if (options.users <= 5000) {
        const auto problems = jet::checkDatabase(*db);
        for (const auto& p : problems) ADD_FAILURE() << p.describe();
    }
}

}  // namespace
}  // namespace tdv::sample::test
