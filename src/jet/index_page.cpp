#include "jet/index_page.h"

#include <algorithm>
#include <bit>
#include <compare>
#include <cstring>

#include "jet/error.h"

namespace jet {
namespace {

// Jet 3: 2 KiB pages; the prefix length is one byte (the byte after it is a flag).
constexpr IndexPageLayout kJet3Layout{
    .freeSpaceOffset = 2,
    .ownerOffset = 4,
    .prevOffset = 8,
    .nextOffset = 12,
    .tailOffset = 16,
    .prefixOffset = 20,
    .prefixSize = 1,
    .bitmapOffset = 22,
    .bitmapSize = 226,
    .pageSize = 2048,
};

// Jet 4: 4 KiB pages; four unknown bytes after the owner, two-byte prefix length.
constexpr IndexPageLayout kJet4Layout{
    .freeSpaceOffset = 2,
    .ownerOffset = 4,
    .prevOffset = 12,
    .nextOffset = 16,
    .tailOffset = 20,
    .prefixOffset = 24,
    .prefixSize = 2,
    .bitmapOffset = 27,
    .bitmapSize = 453,
    .pageSize = 4096,
};

uint32_t le16(std::span<const uint8_t> b, uint32_t at) {
    return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8);
}

uint32_t le32(std::span<const uint8_t> b, uint32_t at) {
    return le16(b, at) | (le16(b, at + 2) << 16);
}

uint32_t be24(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}

uint32_t be32(const uint8_t* p) {
    return (be24(p) << 8) | p[3];
}

// The order of index entries: keys as unsigned bytes (a shorter key first on a common
// prefix), then the row.
int compareEntryBytes(std::span<const uint8_t> keyA, RowId rowA, std::span<const uint8_t> keyB,
                      RowId rowB) {
    auto c =
        std::lexicographical_compare_three_way(keyA.begin(), keyA.end(), keyB.begin(), keyB.end());
    if (c != 0) return c < 0 ? -1 : 1;
    auto r = rowA <=> rowB;
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

// End offsets (relative to the first entry) of every entry, from the bitmap.
std::vector<uint32_t> entryEnds(std::span<const uint8_t> bytes, const IndexPageLayout& layout) {
    // Eight bytes of the bitmap at a time (little-endian, so bit k of the word is bit k%8
    // of byte k/8): most of a page's bitmap is zero.
    const uint8_t* bitmap = bytes.data() + layout.bitmapOffset;
    std::vector<uint32_t> ends;
    ends.reserve(layout.entryAreaSize() / 16);
    for (uint32_t i = 0; i < layout.bitmapSize; i += 8) {
        uint64_t word = 0;
        const uint32_t n = std::min<uint32_t>(8, layout.bitmapSize - i);
        for (uint32_t b = 0; b < n; ++b) word |= static_cast<uint64_t>(bitmap[i + b]) << (8 * b);
        for (; word != 0; word &= word - 1)
            ends.push_back(i * 8 + static_cast<uint32_t>(std::countr_zero(word)));
    }
    return ends;
}

}  // namespace

uint32_t IndexPageLayout::entryAreaSize() const {
    return std::min(pageSize - firstEntryOffset(), bitmapSize * 8);
}

const IndexPageLayout& indexPageLayout(JetVersion version) {
    return version == JetVersion::Jet3 ? kJet3Layout : kJet4Layout;
}

int compareKeys(const Bytes& a, const Bytes& b) {
    auto c = a <=> b;  // lexicographic on unsigned bytes, shorter first on a common prefix
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareEntries(const Bytes& keyA, RowId rowA, const Bytes& keyB, RowId rowB) {
    return compareEntryBytes(keyA, rowA, keyB, rowB);
}

std::string IndexLocation::describe(uint32_t page) const {
    return "index '" + index + "' of table '" + table + "', page " + std::to_string(page);
}

void throwIndexDamage(const IndexLocation& where, uint32_t page, const std::string& what) {
    throwCorrupt(where.describe(page) + ": " + what);
}

IndexPageView::IndexPageView(std::span<const uint8_t> bytes, const IndexPageLayout& layout)
    : bytes_(bytes), layout_(&layout) {
    if (bytes.size() != layout.pageSize) return;
    if (bytes[0] != kIndexLeafPage && bytes[0] != kIndexIntermediatePage) return;
    leaf_ = bytes[0] == kIndexLeafPage;
    trailer_ = leaf_ ? kLeafEntryTrailer : kIntermediateEntryTrailer;
    prefix_ =
        layout.prefixSize == 1 ? bytes[layout.prefixOffset] : le16(bytes, layout.prefixOffset);
    // The entries end where the free space begins: the last bit of the bitmap marks it.
    const uint32_t free = le16(bytes, layout.freeSpaceOffset);
    const uint32_t room = layout.pageSize - layout.firstEntryOffset();
    if (free > room) return;
    used_ = room - free;
    if (used_ > layout.entryAreaSize()) return;
    const uint8_t* bitmap = bytes.data() + layout.bitmapOffset;
    if (bitmap[0] & 1u) return;  // an entry of no bytes
    // The last entry ends at used_, and no bit is set after it.
    if (!(bitmap[used_ / 8] & (1u << (used_ % 8))) && used_ > 0) return;
    if ((static_cast<unsigned>(bitmap[used_ / 8]) >> (used_ % 8)) > 1u) return;
    for (uint32_t i = used_ / 8 + 1; i < layout.bitmapSize; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bitmap + i, std::min<uint32_t>(8, layout.bitmapSize - i));
        if (word != 0) return;
    }
    if (used_ == 0 && (bitmap[0] != 0)) return;
    if (used_ > 0 && prefix_ > nextEnd(1)) return;
    valid_ = true;
}

uint32_t IndexPageView::owner() const {
    return le32(bytes_, layout_->ownerOffset);
}

uint32_t IndexPageView::next() const {
    return le32(bytes_, layout_->nextOffset);
}

uint32_t IndexPageView::tail() const {
    return le32(bytes_, layout_->tailOffset);
}

uint32_t IndexPageView::nextEnd(uint32_t from) const {
    const uint8_t* bitmap = bytes_.data() + layout_->bitmapOffset;
    for (uint32_t i = from / 8; i * 8 < used_; ++i) {
        unsigned bits = bitmap[i];
        if (i == from / 8) bits &= ~((1u << (from % 8)) - 1u);
        if (bits != 0)
            return std::min(used_, i * 8 + static_cast<uint32_t>(std::countr_zero(bits)));
    }
    return used_;
}

IndexPageView::Slot IndexPageView::slotAt(uint32_t byte) const {
    if (byte >= used_) return end();
    const uint8_t* bitmap = bytes_.data() + layout_->bitmapOffset;
    // The entry starts after the last end at or before `byte` (or at 0).
    uint32_t start = 0;
    for (uint32_t i = byte / 8 + 1; i-- > 0;) {
        unsigned bits = bitmap[i];
        if (i == byte / 8) bits &= (2u << (byte % 8)) - 1u;
        if (bits != 0) {
            start = i * 8 + static_cast<uint32_t>(std::bit_width(bits)) - 1;
            break;
        }
    }
    return {start, nextEnd(byte + 1)};
}

void IndexPageView::entry(Slot s, Bytes& out) const {
    const uint8_t* base = bytes_.data() + layout_->firstEntryOffset();
    out.clear();
    if (s.start > 0) out.assign(base, base + prefix_);
    out.insert(out.end(), base + s.start, base + s.end);
    if (out.size() < trailer_) {
        damaged_ = true;
        out.resize(trailer_, 0);
    }
}

void IndexPageView::keyOf(Slot s, Bytes& out) const {
    entry(s, out);
    out.resize(out.size() - trailer_);
}

RowId IndexPageView::rowOf(Slot s) const {
    // The prefix may reach into the row pointer: read it from the whole entry.
    entry(s, scratch_);
    const uint8_t* t = scratch_.data() + scratch_.size() - trailer_;
    return RowId{be24(t), t[3]};
}

uint32_t IndexPageView::childOf(Slot s) const {
    entry(s, scratch_);
    return be32(scratch_.data() + scratch_.size() - 4);
}

int IndexPageView::compareAt(Slot s, const Bytes& key, RowId row) const {
    entry(s, scratch_);
    const size_t keyLength = scratch_.size() - trailer_;
    const uint8_t* t = scratch_.data() + keyLength;
    return compareEntryBytes({scratch_.data(), keyLength}, RowId{be24(t), t[3]}, key, row);
}

IndexPageView::Slot IndexPageView::lowerBound(const Bytes& key, RowId row, bool* equal) const {
    // Bytes before lo hold entries ordered before (key, row); entries from hi on are not.
    uint32_t lo = 0;
    uint32_t hi = used_;
    while (lo < hi) {
        const Slot s = slotAt(lo + (hi - lo) / 2);
        if (s.start < lo || s.end > hi || s.end <= s.start) {
            damaged_ = true;
            break;
        }
        if (compareAt(s, key, row) < 0)
            lo = s.end;
        else
            hi = s.start;
    }
    const Slot found = slotAt(lo);
    if (equal) *equal = !isEnd(found) && compareAt(found, key, row) == 0;
    return found;
}

IndexPage decodeIndexPage(std::span<const uint8_t> bytes, uint32_t number,
                          const IndexPageLayout& layout, const IndexLocation& where) {
    if (bytes.size() != layout.pageSize)
        throwIndexDamage(where, number, "page has " + std::to_string(bytes.size()) + " bytes");
    IndexPage page;
    page.number = number;
    uint8_t type = bytes[0];
    if (type != kIndexLeafPage && type != kIndexIntermediatePage)
        throwIndexDamage(where, number, "not an index page (type " + std::to_string(type) + ")");
    page.leaf = type == kIndexLeafPage;
    page.freeSpace = le16(bytes, layout.freeSpaceOffset);
    page.owner = le32(bytes, layout.ownerOffset);
    page.prev = le32(bytes, layout.prevOffset);
    page.next = le32(bytes, layout.nextOffset);
    page.tail = le32(bytes, layout.tailOffset);
    page.prefixLength =
        layout.prefixSize == 1 ? bytes[layout.prefixOffset] : le16(bytes, layout.prefixOffset);

    const std::vector<uint32_t> ends = entryEnds(bytes, layout);
    const uint32_t area = layout.entryAreaSize();
    const uint32_t trailer = page.leaf ? kLeafEntryTrailer : kIntermediateEntryTrailer;
    const uint8_t* base = bytes.data() + layout.firstEntryOffset();
    page.entries.reserve(ends.size());
    Bytes prefix;
    uint32_t start = 0;
    for (uint32_t end : ends) {
        if (end > area)
            throwIndexDamage(where, number,
                             "entry ends at " + std::to_string(end) + ", beyond the entry area");
        Bytes whole;
        if (page.entries.empty()) {
            if (page.prefixLength > end)
                throwIndexDamage(where, number,
                                 "prefix length " + std::to_string(page.prefixLength) +
                                     " exceeds the first entry (" + std::to_string(end) +
                                     " bytes)");
            prefix.assign(base, base + page.prefixLength);
        } else {
            whole = prefix;
        }
        whole.insert(whole.end(), base + start, base + end);
        if (whole.size() < trailer)
            throwIndexDamage(where, number,
                             "entry " + std::to_string(page.entries.size()) + " has only " +
                                 std::to_string(whole.size()) + " bytes");
        IndexPageEntry entry;
        const size_t keyLength = whole.size() - trailer;
        const uint8_t* tail = whole.data() + keyLength;
        entry.row.page = be24(tail);
        entry.row.row = tail[3];
        if (!page.leaf) entry.child = be32(tail + 4);
        whole.resize(keyLength);
        entry.key = std::move(whole);
        page.entries.push_back(std::move(entry));
        start = end;
    }
    page.usedBytes = start;
    return page;
}

std::string keyHex(const Bytes& key) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    const size_t n = std::min<size_t>(key.size(), 32);
    for (size_t i = 0; i < n; ++i) {
        s += digits[key[i] >> 4];
        s += digits[key[i] & 15];
    }
    if (n < key.size()) s += "...";
    return s.empty() ? "(empty)" : s;
}

std::optional<std::string> indexPageFault(const IndexPage& page, const IndexPageLayout& layout) {
    const uint64_t used = uint64_t{layout.firstEntryOffset()} + page.usedBytes;
    if (used + page.freeSpace != layout.pageSize)
        return "free space " + std::to_string(page.freeSpace) + " does not match the " +
               std::to_string(used) + " bytes in use";
    if (page.leaf && page.tail != 0)
        return "leaf page has a tail page " + std::to_string(page.tail);
    if (!page.leaf && page.entries.empty() && page.tail == 0)
        return std::string("intermediate page has no entries and no tail page");
    for (size_t i = 1; i < page.entries.size(); ++i) {
        const IndexPageEntry& a = page.entries[i - 1];
        const IndexPageEntry& b = page.entries[i];
        if (compareEntries(a.key, a.row, b.key, b.row) < 0) continue;
        return "entry " + std::to_string(i) + " (key " + keyHex(b.key) + ", page " +
               std::to_string(b.row.page) + " row " + std::to_string(b.row.row) +
               ") is not after the entry before it";
    }
    return std::nullopt;
}

}  // namespace jet
