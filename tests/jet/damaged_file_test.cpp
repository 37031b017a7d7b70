// Damaged files give jet::Error, never a crash, a hang or unbounded memory. A damaged page
// stops every read of it (never fewer rows) and every write that would build on it (the
// file left byte for byte as it was), and our checker reports the same page.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "helpers/testdata.h"
#include "jet/bytes.h"
#include "jet/database.h"
#include "jet/db_check.h"
#include "jet/index_page.h"
#include "jet/memory_file.h"
#include "jet/sql/sql.h"
#include "sample/sample.h"

using namespace jet;

namespace {

std::vector<uint8_t> fileBytes(const std::string& rel) {
    std::ifstream in(tdv::test::testdataDir() / rel, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Opens the bytes and reads every row of every table; returns the first error's kind
// and text, or nothing when the whole file reads.
std::optional<std::pair<ErrorKind, std::string>> readEverything(std::vector<uint8_t> bytes) {
    MemoryFileSystem fs;
    fs.addFile("/db.mdb", std::move(bytes));
    try {
        auto db = Database::open("/db.mdb", fs);
        for (const auto& name : db->allTableNames()) {
            auto scan = db->scan(db->table(name));
            while (scan.next()) {
            }
        }
    } catch (const Error& e) {
        return std::make_pair(e.kind(), std::string(e.what()));
    }
    return std::nullopt;
}

uint32_t definitionPageOf(const std::string& rel, const std::string& table) {
    auto db = Database::open((tdv::test::testdataDir() / rel).string());
    return db->table(table).definitionPage;
}

}  // namespace

TEST(DamagedFile, NotADatabase) {
    EXPECT_EQ(readEverything({})->first, ErrorKind::NotADatabase);
    EXPECT_EQ(readEverything(std::vector<uint8_t>(8192, 0x41))->first, ErrorKind::NotADatabase);
    auto bytes = fileBytes("V2000/testV2000.mdb");
    bytes.resize(300);  // the signature is there, the first page is not
    EXPECT_EQ(readEverything(bytes)->first, ErrorKind::NotADatabase);
}

TEST(DamagedFile, NewerEngineVersionIsUnsupported) {
    auto bytes = fileBytes("V2000/testV2000.mdb");
    bytes[0x14] = 3;  // the version field of Access 2010 files
    EXPECT_EQ(readEverything(bytes)->first, ErrorKind::Unsupported);
}

TEST(DamagedFile, TruncatedFiles) {
    for (const char* rel : {"V2000/testV2000.mdb", "V1997/test2V1997.mdb"}) {
        auto full = fileBytes(rel);
        ASSERT_FALSE(readEverything(full));
        for (size_t keep : {full.size() / 2, full.size() / 4, size_t{4096 * 3}, size_t{4096}}) {
            SCOPED_TRACE(std::string(rel) + " cut to " + std::to_string(keep));
            auto cut = full;
            cut.resize(keep);
            auto err = readEverything(cut);
            ASSERT_TRUE(err);
            EXPECT_EQ(err->first, ErrorKind::Corrupt);
            EXPECT_NE(err->second.find("Damaged database"), std::string::npos);
        }
    }
}

TEST(DamagedFile, GarbageInATableDefinitionNamesTheTable) {
    const std::string rel = "V2000/testV2000.mdb";
    uint32_t page = definitionPageOf(rel, "Table1");
    auto bytes = fileBytes(rel);
    size_t base = size_t{page} * 4096;
    for (size_t i = 16; i < 4096; ++i) bytes[base + i] = static_cast<uint8_t>(0xFF - i);
    MemoryFileSystem fs;
    fs.addFile("/db.mdb", bytes);
    auto db = Database::open("/db.mdb", fs);
    try {
        db->table("Table1");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
        EXPECT_NE(std::string(e.what()).find("Table1"), std::string::npos) << e.what();
    }
    EXPECT_NO_THROW(db->table("Table2"));  // the rest of the file still reads
}

TEST(DamagedFile, TableDefinitionChainThatLoops) {
    for (auto [rel, pageSize] :
         {std::pair{"V2000/testV2000.mdb", 4096}, {"V1997/testV1997.mdb", 2048}}) {
        uint32_t page = definitionPageOf(rel, "Table1");
        auto bytes = fileBytes(rel);
        size_t next = size_t{page} * pageSize + 4;
        for (int i = 0; i < 4; ++i) bytes[next + i] = static_cast<uint8_t>(page >> (8 * i));
        auto err = readEverything(bytes);
        ASSERT_TRUE(err);
        EXPECT_EQ(err->first, ErrorKind::Corrupt);
        EXPECT_NE(err->second.find("loop"), std::string::npos) << err->second;
    }
}

TEST(DamagedFile, UsageMapPointingOutsideTheFile) {
    const std::string rel = "V2000/testV2000.mdb";
    uint32_t page = definitionPageOf(rel, "Table1");
    auto bytes = fileBytes(rel);
    // The owned-pages map row pointer: a page far beyond the end.
    size_t field = size_t{page} * 4096 + 55;
    uint32_t bogus = 0x00FFFF00;
    for (int i = 0; i < 4; ++i) bytes[field + i] = static_cast<uint8_t>(bogus >> (8 * i));
    auto err = readEverything(bytes);
    ASSERT_TRUE(err);
    EXPECT_EQ(err->first, ErrorKind::Corrupt);
    EXPECT_NE(err->second.find("Table1"), std::string::npos) << err->second;
}

// Random damage anywhere after the header: every outcome is either a full read or an Error.
TEST(DamagedFile, RandomByteDamageNeverCrashes) {
    for (const char* rel : {"V2000/testV2000.mdb", "V1997/testV1997.mdb", "V2000/test2V2000.mdb",
                            "V2000/overflowTestV2000.mdb", "V1997/overflowTestV1997.mdb"}) {
        auto original = fileBytes(rel);
        std::mt19937 rng(12345);
        int errors = 0;
        for (int round = 0; round < 150; ++round) {
            auto bytes = original;
            std::uniform_int_distribution<size_t> pos(2048, bytes.size() - 1);
            std::uniform_int_distribution<int> val(0, 255);
            int flips = 1 + round % 40;
            for (int i = 0; i < flips; ++i) bytes[pos(rng)] = static_cast<uint8_t>(val(rng));
            if (readEverything(std::move(bytes))) ++errors;
        }
        EXPECT_GT(errors, 0) << rel;  // the damage is noticed at least sometimes
    }
}

namespace {

// The sample's address book: 25 contacts on one data page, a primary key and a LastName
// index whose only page is a leaf.
struct AddressBook {
    std::vector<uint8_t> bytes;
    uint32_t pageSize = 0;
    uint32_t dataPage = 0;
    uint32_t nameLeaf = 0;
    size_t rowCountAt = 0;  // in the data page
    size_t ownerAt = 0;     // in the data page
    size_t leafFreeAt = 0;  // in the index leaf
};

const AddressBook& addressBook() {
    static const AddressBook book = [] {
        tdv::test::TempDir dir;
        tdv::sample::SampleOptions options;
        options.users = 2;
        options.messages = 1;
        auto written = tdv::sample::writeSample((dir.path() / "s").string(),
                                                tdv::sample::sampleVariants().front(), options);
        AddressBook b;
        auto db = Database::open(written.unrelatedDatabase);
        const TableDef& t = db->table("Contacts");
        auto scan = db->scan(t);
        EXPECT_TRUE(scan.next());
        b.dataPage = scan.rowId().page;
        b.nameLeaf = t.findIndex("LastName")->rootPage;
        b.pageSize = db->info().pageSize;
        b.rowCountAt = db->format().dataRowCountOffset;
        b.ownerAt = db->format().dataOwnerOffset;
        b.leafFreeAt = indexPageLayout(db->info().version).freeSpaceOffset;
        std::ifstream in(written.unrelatedDatabase, std::ios::binary);
        b.bytes.assign(std::istreambuf_iterator<char>(in), {});
        return b;
    }();
    return book;
}

std::string errorText(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt) << e.what();
        return e.what();
    }
    return "(no error)";
}

}  // namespace

// One flipped bit each; a read that meets the page and each kind of write refuse, naming the
// table and the page, and tdv check reports that page too.
TEST(DamagedFile, DamagedPageStopsReadsAndWritesAndCheckAgrees) {
    const AddressBook& book = addressBook();
    ASSERT_EQ(loadU16(book.bytes.data() + size_t{book.dataPage} * book.pageSize + book.rowCountAt),
              25);
    struct Case {
        const char* damage;
        uint32_t page;
        size_t at;
        uint8_t bit;
        const char* read;  // a read that meets the damaged page
    } cases[] = {
        {"row count 25 -> 17", book.dataPage, book.rowCountAt, 0x08,
         "SELECT COUNT(*) FROM Contacts"},
        {"owner", book.dataPage, book.ownerAt, 0x01, "SELECT * FROM Contacts"},
        {"page type", book.dataPage, 0, 0x02, "SELECT * FROM Contacts"},
        {"index leaf free space", book.nameLeaf, book.leafFreeAt, 0x01,
         "SELECT * FROM Contacts WHERE LastName = 'Zed'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.damage);
        std::vector<uint8_t> damaged = book.bytes;
        damaged[size_t{c.page} * book.pageSize + c.at] ^= c.bit;
        const std::string page = "page " + std::to_string(c.page);
        MemoryFileSystem fs;
        fs.addFile("/db.mdb", damaged);
        auto db = Database::open("/db.mdb", fs, OpenOptions{.writable = true});

        bool reported = false;
        for (const Problem& p : checkDatabase(*db))
            reported = reported || p.describe().find(page) != std::string::npos;
        EXPECT_TRUE(reported) << "tdv check does not report " << page;

        std::string read = errorText([&] { jet::sql::query(*db, c.read); });
        EXPECT_NE(read.find("Damaged database"), std::string::npos) << read;
        EXPECT_NE(read.find("'Contacts'"), std::string::npos) << read;
        EXPECT_NE(read.find(page), std::string::npos) << read;

        for (const char* write :
             {"INSERT INTO Contacts (ContactID, LastName) VALUES (999, 'Zed')",
              "UPDATE Contacts SET LastName = 'Zed' WHERE ContactID = 5", "DELETE FROM Contacts"}) {
            SCOPED_TRACE(write);
            std::string refused = errorText([&] { jet::sql::execute(*db, write); });
            EXPECT_NE(refused.find("'Contacts'"), std::string::npos) << refused;
            EXPECT_NE(refused.find(page), std::string::npos) << refused;
            EXPECT_TRUE(fs.bytes("/db.mdb") == damaged);
        }
    }
}
