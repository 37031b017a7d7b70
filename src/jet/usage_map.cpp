#include "jet/usage_map.h"

#include <string>

#include "jet/data_page.h"

namespace jet {
namespace {

constexpr uint8_t kInlineMap = 0;
constexpr uint8_t kReferenceMap = 1;
constexpr size_t kInlineHeader = 5;   // kind + first page
constexpr size_t kMapPageHeader = 4;  // type, unknown, 2 bytes free

// Finds the first set bit at or after `bit` in bytes[0..n); returns n*8 when none.
size_t nextSetBit(const uint8_t* bytes, size_t n, size_t bit) {
    size_t total = n * 8;
    while (bit < total) {
        uint8_t b = bytes[bit / 8] >> (bit % 8);
        if (b == 0) {
            bit = (bit / 8 + 1) * 8;
            continue;
        }
        while ((b & 1) == 0) {
            b >>= 1;
            ++bit;
        }
        return bit;
    }
    return total;
}

}  // namespace

UsageMap UsageMap::fromRow(ByteView row, const Format& format) {
    UsageMap m;
    m.format_ = &format;
    uint8_t kind = row.u8(0);
    if (kind == kInlineMap) {
        m.inline_ = true;
        m.firstPage_ = row.u32(1);
        m.bitmap_.assign(row.data() + kInlineHeader, row.data() + row.size());
    } else if (kind == kReferenceMap) {
        m.inline_ = false;
        size_t n = (row.size() - 1) / 4;
        m.mapPages_.reserve(n);
        for (size_t i = 0; i < n; ++i) m.mapPages_.push_back(row.u32(1 + i * 4));
    } else {
        throwCorrupt("usage map of unknown kind " + std::to_string(kind));
    }
    return m;
}

UsageMap UsageMap::load(PageFile& pages, const Format& format, uint32_t rowPointer) {
    RowPointer ptr = RowPointer::fromRaw(rowPointer);
    try {
        Page page = pages.read(ptr.page);
        ByteView view(page->data(), page->size());
        if (view.u8(0) != pagetype::kData) throwCorrupt("page is not a data page");
        RowSlot slot = dataPageRow(view, format, ptr.row);
        if (slot.deleted()) throwCorrupt("the map's row is deleted");
        return fromRow(view.sub(slot.start, slot.end - slot.start), format);
    } catch (const Error& e) {
        rethrowWithContext(
            e, "usage map at page " + std::to_string(ptr.page) + " row " + std::to_string(ptr.row));
    }
}

void UsageMap::rewind() {
    slot_ = 0;
    bit_ = 0;
    current_.reset();
}

std::optional<uint32_t> UsageMap::next(PageFile& pages) {
    uint32_t pageCount = pages.pageCount();
    if (inline_) {
        size_t b = nextSetBit(bitmap_.data(), bitmap_.size(), bit_);
        if (b >= bitmap_.size() * 8) {
            bit_ = b;
            return std::nullopt;
        }
        bit_ = b + 1;
        uint64_t page = uint64_t{firstPage_} + b;
        if (page >= pageCount)
            throwCorrupt("usage map names page " + std::to_string(page) +
                         " beyond the end of the file");
        return static_cast<uint32_t>(page);
    }
    size_t bitsPerPage = (format_->pageSize - kMapPageHeader) * 8;
    while (slot_ < mapPages_.size()) {
        uint32_t mapPage = mapPages_[slot_];
        if (mapPage == 0) {
            ++slot_;
            bit_ = 0;
            continue;
        }
        if (!current_) {
            current_ = pages.read(mapPage);
            if ((*current_)[0] != pagetype::kUsageMap)
                throwCorrupt("page " + std::to_string(mapPage) + " is not a usage map page");
        }
        const uint8_t* bits = current_->data() + kMapPageHeader;
        size_t n = current_->size() - kMapPageHeader;
        size_t b = nextSetBit(bits, n, bit_);
        if (b < n * 8) {
            bit_ = b + 1;
            uint64_t page = uint64_t{slot_} * bitsPerPage + b;
            if (page >= pageCount)
                throwCorrupt("usage map names page " + std::to_string(page) +
                             " beyond the end of the file");
            return static_cast<uint32_t>(page);
        }
        ++slot_;
        bit_ = 0;
        current_.reset();
    }
    return std::nullopt;
}

}  // namespace jet
