#include "jet/index_owned_pages.h"

#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/table_def.h"

namespace jet {
namespace {

constexpr uint8_t kInlineMap = 0;
constexpr uint8_t kReferenceMap = 1;
constexpr size_t kInlineHeader = 5;   // kind + first page
constexpr size_t kMapPageHeader = 4;  // type, unknown, 2 bytes free
// The owned-pages map pointer sits right before the root page in a real index definition.
constexpr uint32_t kMapBeforeRoot = 4;

void setBit(std::vector<uint8_t>& bytes, size_t at, size_t bit) {
    bytes[at + bit / 8] |= static_cast<uint8_t>(1u << (bit % 8));
}

}  // namespace

uint32_t realIndexOwnedPagesRow(PageFile& pages, const Format& f, uint32_t definitionPage,
                                int realNumber) {
    std::vector<uint8_t> bytes = readTableDefBytes(pages, f, definitionPage);
    ByteView v(bytes.data(), bytes.size());
    const uint32_t columnCount = v.u16(f.tdefColumnCountOffset);
    const uint32_t realCount = v.u32(f.tdefRealIndexCountOffset);
    if (realNumber < 0 || static_cast<uint32_t>(realNumber) >= realCount)
        throwCorrupt("table definition at page " + std::to_string(definitionPage) +
                     " has no physical index " + std::to_string(realNumber));
    size_t pos = f.tdefHeaderSize + size_t{realCount} * f.realIndexCountEntrySize +
                 size_t{columnCount} * f.columnEntrySize;
    for (uint32_t i = 0; i < columnCount; ++i) {
        size_t length = f.nameLengthSize == 1 ? v.u8(pos) : v.u16(pos);
        pos += f.nameLengthSize + length;
    }
    pos += size_t{f.realIndexDefSize} * static_cast<size_t>(realNumber);
    return v.u32(pos + f.realIndexRootOffset - kMapBeforeRoot);
}

void addPageToUsageMap(PageFile& pages, const Format& format, uint32_t rowPointer, uint32_t page) {
    RowPointer ptr = RowPointer::fromRaw(rowPointer);
    const std::string where =
        "usage map at page " + std::to_string(ptr.page) + " row " + std::to_string(ptr.row);
    if (ptr.page == 0 || ptr.page >= pages.pageCount()) throwCorrupt(where + ": page out of range");
    std::vector<uint8_t> bytes = *pages.read(ptr.page);
    ByteView view(bytes.data(), bytes.size());
    if (view.u8(0) != pagetype::kData) throwCorrupt(where + ": not a data page");
    RowSlot slot = dataPageRowChecked(view, format, ptr.row);
    if (slot.end - slot.start < kInlineHeader) throwCorrupt(where + ": row too short");
    const uint8_t kind = bytes[slot.start];
    if (kind == kInlineMap) {
        const uint32_t first = view.u32(slot.start + 1);
        const size_t bits = (slot.end - slot.start - kInlineHeader) * 8;
        if (page < first || page - first >= bits)
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        where + " covers pages " + std::to_string(first) + " to " +
                            std::to_string(first + bits - 1) + ", not new page " +
                            std::to_string(page));
        setBit(bytes, slot.start + kInlineHeader, page - first);
        pages.write(ptr.page, std::move(bytes));
        return;
    }
    if (kind != kReferenceMap) throwCorrupt(where + ": unknown kind " + std::to_string(kind));
    const size_t bitsPerMapPage = (format.pageSize - kMapPageHeader) * 8;
    const size_t slotIndex = page / bitsPerMapPage;
    const size_t slots = (slot.end - slot.start - 1) / 4;
    const uint32_t mapPage = slotIndex < slots ? view.u32(slot.start + 1 + slotIndex * 4) : 0;
    if (mapPage == 0)
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    where + " has no map page for new page " + std::to_string(page));
    if (mapPage >= pages.pageCount()) throwCorrupt(where + ": map page out of range");
    std::vector<uint8_t> map = *pages.read(mapPage);
    if (map.size() != format.pageSize || map[0] != pagetype::kUsageMap)
        throwCorrupt(where + ": page " + std::to_string(mapPage) + " is not a usage map page");
    setBit(map, kMapPageHeader, page % bitsPerMapPage);
    pages.write(mapPage, std::move(map));
}

}  // namespace jet
