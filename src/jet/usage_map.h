// Usage maps: the set of pages a table owns (or has free space on).
//
// A map is stored in a row (addressed by a row pointer in the table definition). Its first
// byte is the kind:
//   0 (inline):    [4-byte first page][bitmap]; bit i set = page first + i.
//   1 (reference): [4-byte map page]...; map page j (type 0x05) holds a bitmap at byte 4
//                  covering pages j * (pageSize - 4) * 8 and on; map page 0 = none.
// Pages are enumerated in increasing order, one at a time (map pages are read on demand),
// so walking a map costs one page of memory whatever the table's size. A page number
// beyond the end of the file or a map page of the wrong type is damage.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/page_file.h"

namespace jet {

class UsageMap {
public:
    // Reads the map held in the row at rowPointer (page << 8 | row).
    static UsageMap load(PageFile& pages, const Format& format, uint32_t rowPointer);
    // A map from its row bytes (for tests and writers).
    static UsageMap fromRow(ByteView row, const Format& format);

    // The next page in the map, in increasing page order; nullopt at the end.
    std::optional<uint32_t> next(PageFile& pages);
    // Starts over from the first page.
    void rewind();

    bool isInline() const { return inline_; }

private:
    UsageMap() = default;
    const Format* format_ = nullptr;
    bool inline_ = true;
    uint32_t firstPage_ = 0;          // inline: page of bit 0
    std::vector<uint8_t> bitmap_;     // inline: the bitmap
    std::vector<uint32_t> mapPages_;  // reference: map page per slot (0 = none)
    // Position: map slot (reference) and bit within the current bitmap.
    size_t slot_ = 0;
    size_t bit_ = 0;
    Page current_;  // reference: the map page of slot_
};

}  // namespace jet
