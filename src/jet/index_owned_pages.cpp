#include "jet/index_owned_pages.h"

#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/error.h"
#include "jet/table_def.h"
#include "jet/usage_map_writer.h"

namespace jet {
namespace {

// The owned-pages map pointer sits right before the root page in a real index definition.
constexpr uint32_t kMapBeforeRoot = 4;

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

void recordIndexPage(PageFile& pages, const Format& format, uint32_t definitionPage, int realNumber,
                     uint32_t page) {
    UsageMapWriter(pages, format, realIndexOwnedPagesRow(pages, format, definitionPage, realNumber))
        .add(page);
}

void forgetIndexPage(PageFile& pages, const Format& format, uint32_t definitionPage, int realNumber,
                     uint32_t page) {
    UsageMapWriter(pages, format, realIndexOwnedPagesRow(pages, format, definitionPage, realNumber))
        .remove(page);
}

}  // namespace jet
