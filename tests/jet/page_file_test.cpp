#include "jet/page_file.h"

#include <gtest/gtest.h>

#include "jet/error.h"
#include "support/testdata.h"

using namespace jet;

TEST(PageFile, ReadsWholePagesAndRejectsPagesBeyondTheEnd) {
    auto path = tdv::test::testdataDir() / "V2000" / "testV2000.mdb";
    PageFile pf(FileSystem::real().open(path.string(), FileSystem::Mode::ReadOnly), 4096);
    ASSERT_GT(pf.pageCount(), 2u);
    Page p0 = pf.read(0);
    ASSERT_EQ(p0->size(), 4096u);
    EXPECT_EQ((*p0)[0], 0x00);  // the definition page
    EXPECT_EQ(pf.read(0), p0);  // served from the cache
    EXPECT_THROW(pf.read(pf.pageCount()), Error);
    try {
        pf.read(0xFFFFFFFFu);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Corrupt);
    }
}

TEST(PageFile, MissingFileIsAnIoError) {
    try {
        FileSystem::real().open("/nonexistent/x.mdb", FileSystem::Mode::ReadOnly);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::Io);
        EXPECT_NE(std::string(e.what()).find("/nonexistent/x.mdb"), std::string::npos);
    }
}
