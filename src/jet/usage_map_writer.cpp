#include "jet/usage_map_writer.h"

#include <algorithm>
#include <string>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/global_usage_map.h"

namespace jet {
namespace {

constexpr uint8_t kInlineMap = 0;
constexpr uint8_t kReferenceMap = 1;
constexpr size_t kInlineHeader = 5;
constexpr size_t kMapPageHeader = 4;

[[noreturn]] void tooLarge(uint32_t page) {
    throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                "A usage map cannot list page " + std::to_string(page));
}

}  // namespace

UsageMapWriter::UsageMapWriter(PageFile& pages, const Format& format, uint32_t rowPointer)
    : pages_(pages), format_(format), rowPointer_(rowPointer) {
    std::vector<uint8_t> row = loadRow();
    if (row.size() < kInlineHeader || (row[0] != kInlineMap && row[0] != kReferenceMap))
        throwCorrupt("usage map row at page " + std::to_string(rowPointer >> 8) +
                     " is not a usage map");
}

std::vector<uint8_t> UsageMapWriter::loadRow() {
    RowPointer ptr = RowPointer::fromRaw(rowPointer_);
    Page page = pages_.read(ptr.page);
    ByteView view(page->data(), page->size());
    if (view.u8(0) != pagetype::kData) throwCorrupt("usage map row is not on a data page");
    RowSlot slot = dataPageRowChecked(view, format_, ptr.row);
    return {page->begin() + static_cast<long>(slot.start),
            page->begin() + static_cast<long>(slot.end)};
}

void UsageMapWriter::storeRow(const std::vector<uint8_t>& row) {
    RowPointer ptr = RowPointer::fromRaw(rowPointer_);
    Page page = pages_.read(ptr.page);
    ByteView view(page->data(), page->size());
    RowSlot slot = dataPageRowChecked(view, format_, ptr.row);
    if (slot.end - slot.start != row.size())
        throw Error(ErrorKind::Internal, errnum::kInternal, "usage map row changed size");
    std::vector<uint8_t> copy(*page);
    std::copy(row.begin(), row.end(), copy.begin() + static_cast<long>(slot.start));
    pages_.write(ptr.page, std::move(copy));
}

std::vector<uint32_t> UsageMapWriter::inlinePages(const std::vector<uint8_t>& row) const {
    std::vector<uint32_t> out;
    uint32_t first = loadU32(row.data() + 1);
    for (size_t i = kInlineHeader; i < row.size(); ++i)
        for (int b = 0; b < 8; ++b)
            if ((row[i] >> b) & 1)
                out.push_back(first + static_cast<uint32_t>((i - kInlineHeader) * 8 + b));
    return out;
}

bool UsageMapWriter::contains(uint32_t page) {
    std::vector<uint8_t> row = loadRow();
    if (row[0] == kInlineMap) {
        uint32_t first = loadU32(row.data() + 1);
        if (page < first) return false;
        uint64_t bit = uint64_t{page} - first;
        if (bit >= (row.size() - kInlineHeader) * 8) return false;
        return (row[kInlineHeader + bit / 8] >> (bit % 8)) & 1;
    }
    size_t slot = page / pagesPerMapPage();
    if (1 + slot * 4 + 4 > row.size()) return false;
    uint32_t mapPage = loadU32(row.data() + 1 + slot * 4);
    if (mapPage == 0) return false;
    Page mp = pages_.read(mapPage);
    if ((*mp)[0] != pagetype::kUsageMap)
        throwCorrupt("page " + std::to_string(mapPage) + " is not a usage map page");
    size_t bit = page % pagesPerMapPage();
    return ((*mp)[kMapPageHeader + bit / 8] >> (bit % 8)) & 1;
}

void UsageMapWriter::setReferenceBit(std::vector<uint8_t>& row, uint32_t page, bool value) {
    size_t slot = page / pagesPerMapPage();
    if (1 + slot * 4 + 4 > row.size()) {
        if (!value) return;
        tooLarge(page);
    }
    uint32_t mapPage = loadU32(row.data() + 1 + slot * 4);
    std::vector<uint8_t> bytes;
    if (mapPage == 0) {
        if (!value) return;
        bytes.assign(format_.pageSize, 0);
        bytes[0] = pagetype::kUsageMap;
        bytes[1] = 0x01;
        mapPage = allocatePage(pages_, format_, bytes);
        storeU32(row.data() + 1 + slot * 4, mapPage);
    } else {
        Page mp = pages_.read(mapPage);
        if ((*mp)[0] != pagetype::kUsageMap)
            throwCorrupt("page " + std::to_string(mapPage) + " is not a usage map page");
        bytes = *mp;
    }
    size_t bit = page % pagesPerMapPage();
    uint8_t mask = static_cast<uint8_t>(1u << (bit % 8));
    if (value)
        bytes[kMapPageHeader + bit / 8] |= mask;
    else
        bytes[kMapPageHeader + bit / 8] &= static_cast<uint8_t>(~mask);
    pages_.write(mapPage, std::move(bytes));
}

void UsageMapWriter::toReference(std::vector<uint8_t>& row, const std::vector<uint32_t>& pages) {
    std::fill(row.begin(), row.end(), 0);
    row[0] = kReferenceMap;
    for (uint32_t p : pages) setReferenceBit(row, p, true);
}

void UsageMapWriter::add(uint32_t page) {
    std::vector<uint8_t> row = loadRow();
    if (row[0] == kReferenceMap) {
        setReferenceBit(row, page, true);
        storeRow(row);
        return;
    }
    const uint64_t bits = (row.size() - kInlineHeader) * 8;
    uint32_t first = loadU32(row.data() + 1);
    if (page < first || page - first >= bits) {
        std::vector<uint32_t> listed = inlinePages(row);
        listed.push_back(page);
        auto [lo, hi] = std::minmax_element(listed.begin(), listed.end());
        uint32_t newFirst = *lo / 8 * 8;  // byte-aligned windows keep the bitmap simple
        if (*hi - newFirst >= bits) {
            toReference(row, listed);
            storeRow(row);
            return;
        }
        std::fill(row.begin() + kInlineHeader, row.end(), 0);
        storeU32(row.data() + 1, newFirst);
        first = newFirst;
        for (uint32_t p : listed) {
            uint32_t bit = p - first;
            row[kInlineHeader + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
        }
        storeRow(row);
        return;
    }
    uint32_t bit = page - first;
    row[kInlineHeader + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
    storeRow(row);
}

void UsageMapWriter::remove(uint32_t page) {
    std::vector<uint8_t> row = loadRow();
    if (row[0] == kReferenceMap) {
        setReferenceBit(row, page, false);
        return;  // the row itself is unchanged
    }
    uint32_t first = loadU32(row.data() + 1);
    if (page < first || page - first >= (row.size() - kInlineHeader) * 8) return;
    uint32_t bit = page - first;
    row[kInlineHeader + bit / 8] &= static_cast<uint8_t>(~(1u << (bit % 8)));
    storeRow(row);
}

}  // namespace jet
