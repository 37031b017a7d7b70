// tdv check: "ok" and status 0 on sound files, one line per problem and status 1 otherwise.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "helpers/testdata.h"
#include "jet/database.h"
#include "jet/format.h"

namespace {

using tdv::test::runTdv;
using tdv::test::shellQuote;
namespace fs = std::filesystem;

TEST(CheckCommand, SoundFilesPass) {
    for (const char* file :
         {"V1997/testV1997.mdb", "V2000/overflowTestV2000.mdb", "jet4-empty/adox_jet4.mdb"}) {
        auto r = runTdv("check " + shellQuote((tdv::test::testdataDir() / file).string()));
        EXPECT_EQ(r.status, 0) << file << "\n" << r.out << r.err;
        EXPECT_EQ(r.out.rfind("ok: ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find(" tables, "), std::string::npos) << r.out;
    }
}

TEST(CheckCommand, DamageIsListedAndFails) {
    tdv::test::TempDir dir;
    fs::path copy = dir.copy(tdv::test::testdataDir() / "V2000/indexTestV2000.mdb");
    uint32_t definitionPage = 0, pageSize = 0, offset = 0;
    {
        auto db = jet::Database::open(copy.string());
        definitionPage = db->table("Table3").definitionPage;
        pageSize = db->info().pageSize;
        offset = db->format().tdefRowCountOffset;
    }
    {
        std::fstream f(copy, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(std::streamoff{definitionPage} * pageSize + offset);
        const char count[4] = {77, 0, 0, 0};
        f.write(count, 4);
    }
    auto r = runTdv("check " + shellQuote(copy.string()));
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("problem: table 'Table3': the definition records 77 rows"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("1 problem found"), std::string::npos) << r.out;
}

TEST(CheckCommand, NotADatabaseFails) {
    tdv::test::TempDir dir;
    fs::path junk = dir.path() / "junk.mdb";
    std::ofstream(junk) << "this is not an Access database";
    auto r = runTdv("check " + shellQuote(junk.string()));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("cannot be opened"), std::string::npos) << r.out << r.err;
}

}  // namespace
