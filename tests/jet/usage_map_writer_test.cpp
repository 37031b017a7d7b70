// Usage maps growing on a copy of a real file: an inline map moves its window, then turns
// into a reference map in the same row; pages come and go; the reader sees every change.
#include "jet/usage_map_writer.h"

#include <gtest/gtest.h>

#include "helpers/testdata.h"
#include "jet/database.h"
#include "jet/usage_map.h"

namespace {

using namespace jet;

std::vector<uint32_t> listed(PageFile& pages, const Format& f, uint32_t row) {
    std::vector<uint32_t> out;
    UsageMap m = UsageMap::load(pages, f, row);
    while (auto p = m.next(pages)) out.push_back(*p);
    return out;
}

TEST(UsageMapWriter, InlineMapMovesItsWindowThenBecomesAReferenceMap) {
    for (const char* name : {"V2000/testV2000.mdb", "V1997/testV1997.mdb"}) {
        SCOPED_TRACE(name);
        tdv::test::TempDir dir;
        auto file = dir.copy(tdv::test::testdataDir() / name);
        OpenOptions o;
        o.writable = true;
        auto db = Database::open(file.string(), o);
        const Format& f = db->format();
        uint32_t row = db->table("Table1").usedPagesMapRow;
        PageFile& pages = db->pages();
        std::vector<uint32_t> start = listed(pages, f, row);
        ASSERT_FALSE(start.empty());
        ASSERT_TRUE(UsageMap::load(pages, f, row).isInline());

        pages.beginWrite();
        // Far enough that the window must change (inline windows cover 512 / 1024 pages).
        std::vector<uint8_t> blank(f.pageSize, 0);
        uint32_t far = 0;
        while (pages.pageCount() < start.back() + 2100) far = pages.append(blank);
        UsageMapWriter w(pages, f, row);
        EXPECT_FALSE(w.contains(far));
        w.add(far);
        EXPECT_TRUE(w.contains(far));
        EXPECT_FALSE(UsageMap::load(pages, f, row).isInline());
        std::vector<uint32_t> want = start;
        want.push_back(far);
        EXPECT_EQ(listed(pages, f, row), want);
        w.remove(start.front());
        w.add(far);  // twice is once
        want.erase(want.begin());
        EXPECT_EQ(listed(pages, f, row), want);
        pages.commit();
        EXPECT_EQ(listed(pages, f, row), want);
    }
}

TEST(UsageMapWriter, InlineMapShiftsWhenThePagesStillFitOneWindow) {
    tdv::test::TempDir dir;
    auto file = dir.copy(tdv::test::testdataDir() / "V2000/testV2000.mdb");
    OpenOptions o;
    o.writable = true;
    auto db = Database::open(file.string(), o);
    const Format& f = db->format();
    const TableDef& t = db->table("Table1");
    PageFile& pages = db->pages();
    pages.beginWrite();
    UsageMapWriter w(pages, f, t.freeSpaceMapRow);
    for (uint32_t p : listed(pages, f, t.freeSpaceMapRow)) w.remove(p);
    std::vector<uint8_t> blank(f.pageSize, 0);
    uint32_t last = 0;
    const uint32_t base = pages.pageCount();
    while (pages.pageCount() < base + 700) last = pages.append(blank);
    w.add(last);
    w.add(last - 300);
    EXPECT_TRUE(UsageMap::load(pages, f, t.freeSpaceMapRow).isInline());
    EXPECT_EQ(listed(pages, f, t.freeSpaceMapRow), (std::vector<uint32_t>{last - 300, last}));
    pages.rollback();
}

}  // namespace
