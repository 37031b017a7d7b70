// Usage maps of both kinds, built by hand, and maps that name pages that cannot exist.
#include "jet/usage_map.h"

#include <gtest/gtest.h>

#include "jet/memory_file.h"

using namespace jet;

namespace {

constexpr uint32_t kPages = 40;

std::vector<uint32_t> pagesOf(UsageMap map, PageFile& pages) {
    std::vector<uint32_t> out;
    while (auto p = map.next(pages)) out.push_back(*p);
    return out;
}

UsageMap mapFrom(const std::vector<uint8_t>& row) {
    return UsageMap::fromRow(ByteView(row.data(), row.size()), jet4Format());
}

struct PagesOf {
    explicit PagesOf(std::vector<uint8_t> bytes)
        : pages(std::make_unique<MemoryFile>(std::move(bytes)), jet4Format().pageSize) {}
    PageFile pages;
};

std::vector<uint8_t> blankFile() {
    return std::vector<uint8_t>(kPages * 4096);
}

}  // namespace

TEST(UsageMap, InlineMapListsPagesFromItsFirstPage) {
    PagesOf f(blankFile());
    // Kind 0, first page 10, bits 0 and 2 of byte 0 and bit 7 of byte 2.
    auto map = mapFrom({0, 10, 0, 0, 0, 0x05, 0x00, 0x80});
    EXPECT_TRUE(map.isInline());
    EXPECT_EQ(pagesOf(map, f.pages), (std::vector<uint32_t>{10, 12, 33}));
    // Bit 30 names page 40, one past the end of the file: damage.
    EXPECT_THROW(pagesOf(mapFrom({0, 10, 0, 0, 0, 0x00, 0x00, 0x00, 0x40}), f.pages), Error);
    EXPECT_TRUE(pagesOf(mapFrom({0, 1, 0, 0, 0}), f.pages).empty());
}

TEST(UsageMap, ReferenceMapReadsItsMapPages) {
    auto bytes = blankFile();
    uint8_t* mapPage = bytes.data() + 2 * 4096;
    mapPage[0] = pagetype::kUsageMap;
    mapPage[4] = 0x20;      // page 5
    mapPage[4 + 3] = 0x40;  // page 30
    PagesOf f(std::move(bytes));
    // Kind 1: map page 2 for the first range, none for the second.
    auto map = mapFrom({1, 2, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_FALSE(map.isInline());
    EXPECT_EQ(pagesOf(map, f.pages), (std::vector<uint32_t>{5, 30}));
    map.rewind();
    EXPECT_EQ(map.next(f.pages), std::optional<uint32_t>(5));
    // A map page that is not a usage map page, or beyond the file.
    EXPECT_THROW(pagesOf(mapFrom({1, 3, 0, 0, 0}), f.pages), Error);
    EXPECT_THROW(pagesOf(mapFrom({1, 99, 0, 0, 0}), f.pages), Error);
}

TEST(UsageMap, UnknownKindOrShortRowIsDamage) {
    EXPECT_THROW(mapFrom({7, 0, 0, 0, 0}), Error);
    EXPECT_THROW(mapFrom({0, 1, 0}), Error);
    EXPECT_THROW(mapFrom({}), Error);
}
