#include "db/database_cache.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/db_error.h"
#include "db/error_mapping.h"
#include "helpers/testdata.h"

using namespace tdv::db;
namespace fs = std::filesystem;

namespace {

fs::path v2000(const char* name) {
    return tdv::test::testdataDir() / "V2000" / name;
}

}  // namespace

TEST(DatabaseCache, ReturnsTheSameDatabaseForTheSameUnchangedFile) {
    tdv::test::TempDir dir;
    const fs::path copy = dir.copy(v2000("testV2000.mdb"));
    DatabaseCache cache;
    auto a = cache.open(copy.string());
    // Another spelling of the same file is the same entry.
    auto b = cache.open((dir.path() / "." / copy.filename()).string());
    EXPECT_EQ(a, b);
    EXPECT_EQ(cache.size(), 1u);
    cache.clear();
    EXPECT_EQ(cache.size(), 0u);
    EXPECT_NE(cache.open(copy.string()), a);
}

TEST(DatabaseCache, SeesAFileReplacedByAnotherDatabase) {
    tdv::test::TempDir dir;
    const fs::path path = dir.path() / "backup.mdb";
    fs::copy_file(v2000("testV2000.mdb"), path);
    DatabaseCache cache;
    auto first = cache.open(path.string());
    EXPECT_TRUE(first->hasTable("Table1"));

    fs::copy_file(v2000("testPromotionV2000.mdb"), path, fs::copy_options::overwrite_existing);
    auto second = cache.open(path.string());
    EXPECT_NE(first, second);
    EXPECT_TRUE(second->hasTable("jobDB1"));
    EXPECT_FALSE(second->hasTable("Table1"));
    EXPECT_EQ(cache.size(), 1u);             // the stale entry is gone
    EXPECT_TRUE(first->hasTable("Table1"));  // and its holder keeps a working database

    // Replaced by rename (new inode), same content as before.
    const fs::path staged = dir.path() / "staged.mdb";
    fs::copy_file(v2000("testPromotionV2000.mdb"), staged);
    fs::rename(staged, path);
    EXPECT_NE(cache.open(path.string()), second);
}

TEST(DatabaseCache, KeepsOnlyTheMostRecentlyUsedFiles) {
    tdv::test::TempDir dir;
    const fs::path a = dir.copy(v2000("testV2000.mdb"));
    const fs::path b = dir.copy(v2000("testPromotionV2000.mdb"));
    const fs::path c = dir.copy(v2000("fixedNumericTestV2000.mdb"));
    DatabaseCache cache(2);
    auto dbA = cache.open(a.string());
    auto dbB = cache.open(b.string());
    EXPECT_EQ(cache.open(a.string()), dbA);  // a is now the most recent
    cache.open(c.string());                  // pushes out b
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(cache.open(a.string()), dbA);
    EXPECT_NE(cache.open(b.string()), dbB);
}

TEST(DatabaseCache, MissingOrInvalidFilesRaiseProviderErrors) {
    tdv::test::TempDir dir;
    DatabaseCache cache;
    const std::string missing = (dir.path() / "nothere.mdb").string();
    try {
        cache.open(missing);
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), hresult::kFail);
        EXPECT_EQ(e.description(), "Could not find file '" + missing + "'.");
    }
    EXPECT_THROW(cache.open(dir.path().string()), DbError);  // a folder is not a file
    const fs::path text = dir.path() / "notes.mdb";
    { std::ofstream(text) << std::string(5000, 'x'); }
    try {
        cache.open(text.string());
        FAIL();
    } catch (const DbError& e) {
        EXPECT_EQ(e.number(), hresult::kFail);
    }
    EXPECT_EQ(cache.size(), 0u);
}
