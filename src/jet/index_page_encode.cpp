#include "jet/index_page_encode.h"

#include <algorithm>
#include <array>
#include <bit>

#include "jet/error.h"

namespace jet {
namespace {

// Largest page and row numbers an entry's row pointer can hold (3 bytes + 1 byte).
constexpr uint32_t kMaxEntryPage = 0xFFFFFF;
constexpr uint16_t kMaxEntryRow = 0xFF;

uint32_t trailerOf(const IndexPage& page) {
    return page.leaf ? kLeafEntryTrailer : kIntermediateEntryTrailer;
}

uint32_t commonPrefix(const Bytes& a, const Bytes& b) {
    size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < n && a[i] == b[i]) ++i;
    return static_cast<uint32_t>(i);
}

void putLe16(std::vector<uint8_t>& out, uint32_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void putLe32(std::vector<uint8_t>& out, uint32_t at, uint32_t v) {
    putLe16(out, at, v & 0xFFFF);
    putLe16(out, at + 2, v >> 16);
}

[[noreturn]] void internal(const std::string& what) {
    throw Error(ErrorKind::Internal, errnum::kInternal, "index page encoding: " + what);
}

}  // namespace

uint32_t indexPagePrefixLength(const IndexPage& page, const IndexPageLayout& layout) {
    if (page.entries.size() < 2) return 0;
    uint32_t n = commonPrefix(page.entries.front().key, page.entries.back().key);
    // Jet 3 stores the prefix length in one byte.
    uint32_t limit = layout.prefixSize == 1 ? 0xFFu : 0xFFFFu;
    return std::min(n, limit);
}

uint32_t indexPageEntryBytes(const IndexPage& page, const IndexPageLayout& layout) {
    const uint32_t prefix = indexPagePrefixLength(page, layout);
    const uint32_t trailer = trailerOf(page);
    uint64_t total = 0;
    for (size_t i = 0; i < page.entries.size(); ++i) {
        total += page.entries[i].key.size() + trailer;
        if (i > 0) total -= prefix;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(total, 0xFFFFFFFFu));
}

std::vector<uint8_t> encodeIndexPage(const IndexPage& page, const IndexPageLayout& layout) {
    if (page.leaf && page.tail != 0) internal("a leaf page cannot have a tail page");
    const uint32_t used = indexPageEntryBytes(page, layout);
    if (used > layout.entryAreaSize())
        internal("entries take " + std::to_string(used) + " bytes, the page holds " +
                 std::to_string(layout.entryAreaSize()));

    std::vector<uint8_t> out(layout.pageSize, 0);
    out[0] = page.leaf ? kIndexLeafPage : kIndexIntermediatePage;
    out[1] = 0x01;
    putLe16(out, layout.freeSpaceOffset, layout.pageSize - (layout.firstEntryOffset() + used));
    putLe32(out, layout.ownerOffset, page.owner);
    putLe32(out, layout.prevOffset, page.prev);
    putLe32(out, layout.nextOffset, page.next);
    putLe32(out, layout.tailOffset, page.tail);
    const uint32_t prefix = indexPagePrefixLength(page, layout);
    if (layout.prefixSize == 1)
        out[layout.prefixOffset] = static_cast<uint8_t>(prefix);
    else
        putLe16(out, layout.prefixOffset, prefix);
    out[layout.prefixOffset + layout.prefixSize] = page.leaf ? 0 : 1;

    uint32_t at = layout.firstEntryOffset();
    uint32_t end = 0;  // relative to the first entry
    for (size_t i = 0; i < page.entries.size(); ++i) {
        const IndexPageEntry& e = page.entries[i];
        if (e.row.page > kMaxEntryPage || e.row.row > kMaxEntryRow)
            internal("row pointer out of range");
        if (page.leaf && e.child != 0) internal("a leaf entry cannot point at a child page");
        uint8_t trailer[kIntermediateEntryTrailer] = {
            static_cast<uint8_t>(e.row.page >> 16), static_cast<uint8_t>(e.row.page >> 8),
            static_cast<uint8_t>(e.row.page),       static_cast<uint8_t>(e.row.row),
            static_cast<uint8_t>(e.child >> 24),    static_cast<uint8_t>(e.child >> 16),
            static_cast<uint8_t>(e.child >> 8),     static_cast<uint8_t>(e.child)};
        const uint32_t skip = i == 0 ? 0 : prefix;
        std::copy(e.key.begin() + skip, e.key.end(), out.begin() + at);
        at += static_cast<uint32_t>(e.key.size()) - skip;
        std::copy(trailer, trailer + trailerOf(page), out.begin() + at);
        at += trailerOf(page);
        end += static_cast<uint32_t>(e.key.size()) - skip + trailerOf(page);
        out[layout.bitmapOffset + end / 8] |= static_cast<uint8_t>(1u << (end % 8));
    }
    return out;
}

bool insertLeafEntryInPlace(std::vector<uint8_t>& page, const IndexPageView& view,
                            const IndexPageLayout& layout, IndexPageView::Slot at, const Bytes& key,
                            RowId row) {
    if (!view.valid() || !view.leaf() || at.start == 0) return false;
    if (page.size() != layout.pageSize) return false;
    if (row.page > kMaxEntryPage || row.row > kMaxEntryRow) return false;
    Bytes first;
    Bytes last;
    view.keyOf(view.first(), first);
    if (view.isEnd(at))
        last = key;
    else
        view.keyOf(view.last(), last);
    if (!view.valid()) return false;
    const uint32_t limit = layout.prefixSize == 1 ? 0xFFu : 0xFFFFu;
    const uint32_t prefix = std::min(commonPrefix(first, last), limit);
    if (prefix != view.prefixLength() || prefix > key.size()) return false;

    const uint32_t length = static_cast<uint32_t>(key.size()) - prefix + kLeafEntryTrailer;
    const uint32_t used = view.usedBytes();
    if (used + length > layout.entryAreaSize()) return false;
    const uint32_t start = at.start;
    uint8_t* base = page.data() + layout.firstEntryOffset();
    std::copy_backward(base + start, base + used, base + used + length);
    std::copy(key.begin() + prefix, key.end(), base + start);
    uint8_t* trailer = base + start + key.size() - prefix;
    trailer[0] = static_cast<uint8_t>(row.page >> 16);
    trailer[1] = static_cast<uint8_t>(row.page >> 8);
    trailer[2] = static_cast<uint8_t>(row.page);
    trailer[3] = static_cast<uint8_t>(row.row);

    // The ends after `start` move up by `length`; the new entry ends at start + length.
    uint8_t* bitmap = page.data() + layout.bitmapOffset;
    const uint32_t from = start / 8;
    const uint32_t to = used / 8;
    std::array<uint8_t, 512> old{};
    if (to - from + 1 > old.size()) return false;  // beyond any layout's bitmap
    std::copy(bitmap + from, bitmap + to + 1, old.begin());
    bitmap[from] &= static_cast<uint8_t>((2u << (start % 8)) - 1u);  // keeps ends <= start
    std::fill(bitmap + from + 1, bitmap + to + 1, 0);
    for (uint32_t i = 0; i <= to - from; ++i) {
        for (unsigned bits = old[i]; bits != 0; bits &= bits - 1) {
            const uint32_t b = (from + i) * 8 + static_cast<uint32_t>(std::countr_zero(bits));
            if (b <= start) continue;
            const uint32_t moved = b + length;
            bitmap[moved / 8] |= static_cast<uint8_t>(1u << (moved % 8));
        }
    }
    const uint32_t added = start + length;
    bitmap[added / 8] |= static_cast<uint8_t>(1u << (added % 8));
    putLe16(page, layout.freeSpaceOffset,
            layout.pageSize - (layout.firstEntryOffset() + used + length));
    return true;
}

}  // namespace jet
