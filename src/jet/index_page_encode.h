// Encoding one index page: the inverse of decodeIndexPage (index_page.h).
//
// The page is written the way Access lays it out: page type, the constant 0x01, the
// free-space count, the owning table definition page, previous/next/tail links, the prefix
// length and a flag byte (1 on intermediate pages, 0 on leaves), the entry-end bitmap, then
// the entries. The prefix is the common prefix of the keys of the first and the last entry
// (the same for every entry, the entries being sorted); the first entry is stored whole,
// every later one without the prefix. Bytes after the last entry are zero.
//
// IndexPage::prefixLength, usedBytes and freeSpace are outputs: encodeIndexPage ignores the
// values given and indexPageLayoutOf fills them.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/index_page.h"

namespace jet {

// The prefix length the page's entries are stored with.
uint32_t indexPagePrefixLength(const IndexPage& page, const IndexPageLayout& layout);

// Bytes the page's entries take in the entry area (prefix compression applied).
uint32_t indexPageEntryBytes(const IndexPage& page, const IndexPageLayout& layout);

// Whether the entries fit in one page.
inline bool indexPageFits(const IndexPage& page, const IndexPageLayout& layout) {
    return indexPageEntryBytes(page, layout) <= layout.entryAreaSize();
}

// The whole page (layout.pageSize bytes). Throws Error(Internal) when the entries do not
// fit, a leaf has a tail or a child page, or an entry's row pointer is out of range.
std::vector<uint8_t> encodeIndexPage(const IndexPage& page, const IndexPageLayout& layout);

// Adds (key, row) to the leaf page `page` (seen through `view`) in place, before the entry
// at `at` (or after the last one): the later entries move up, the bitmap and free-space
// count follow. Done only when the result is exactly what encodeIndexPage writes for the
// page with the entry added: not as the first entry, with the page's prefix length
// unchanged, and when it fits. Returns false, the page untouched, otherwise.
bool insertLeafEntryInPlace(std::vector<uint8_t>& page, const IndexPageView& view,
                            const IndexPageLayout& layout, IndexPageView::Slot at, const Bytes& key,
                            RowId row);

}  // namespace jet
