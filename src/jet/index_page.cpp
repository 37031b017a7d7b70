#include "jet/index_page.h"

#include <algorithm>

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

// End offsets (relative to the first entry) of every entry, from the bitmap.
std::vector<uint32_t> entryEnds(std::span<const uint8_t> bytes, const IndexPageLayout& layout) {
    std::vector<uint32_t> ends;
    for (uint32_t i = 0; i < layout.bitmapSize; ++i) {
        uint8_t bits = bytes[layout.bitmapOffset + i];
        for (uint32_t j = 0; bits != 0 && j < 8; ++j) {
            if (bits & (1u << j)) ends.push_back(i * 8 + j);
        }
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
    if (int c = compareKeys(keyA, keyB); c != 0) return c;
    auto c = rowA <=> rowB;
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string IndexLocation::describe(uint32_t page) const {
    return "index '" + index + "' of table '" + table + "', page " + std::to_string(page);
}

void throwIndexDamage(const IndexLocation& where, uint32_t page, const std::string& what) {
    throwCorrupt(where.describe(page) + ": " + what);
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

}  // namespace jet
