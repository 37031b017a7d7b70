#include "jet/global_usage_map.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/error.h"

namespace jet {
namespace {

constexpr uint32_t kMapPage = 1;
constexpr uint16_t kMapRow = 0;
constexpr uint8_t kInlineMap = 0;
constexpr uint8_t kReferenceMap = 1;
constexpr size_t kInlineHeader = 5;   // kind, 4-byte first page
constexpr size_t kMapPageHeader = 4;  // type 0x05, 0x01, 2 unused bytes

[[noreturn]] void damaged(const std::string& what) {
    throwCorrupt("the database's free-page map (page 1): " + what);
}

// The map's row, as bytes, and where it sits in page 1.
struct MapRow {
    std::vector<uint8_t> bytes;
    size_t start = 0;
};

MapRow loadRow(PageFile& pages, const Format& format) {
    if (pages.pageCount() <= kMapPage) damaged("the file has no page 1");
    Page page = pages.read(kMapPage);
    ByteView view(page->data(), page->size());
    if (view.u8(0) != pagetype::kData) damaged("page 1 is not a data page");
    if (dataPageRowCount(view, format) <= kMapRow) damaged("page 1 has no rows");
    RowSlot slot = dataPageRowChecked(view, format, kMapRow);
    MapRow row{{page->begin() + static_cast<long>(slot.start),
                page->begin() + static_cast<long>(slot.end)},
               slot.start};
    if (row.bytes.size() < kInlineHeader ||
        (row.bytes[0] != kInlineMap && row.bytes[0] != kReferenceMap))
        damaged("row 0 is not a usage map");
    return row;
}

void storeRow(PageFile& pages, const MapRow& row) {
    Page page = pages.read(kMapPage);
    std::vector<uint8_t> copy(*page);
    std::copy(row.bytes.begin(), row.bytes.end(), copy.begin() + static_cast<long>(row.start));
    if (copy != *page) pages.write(kMapPage, std::move(copy));
}

bool bitOf(const uint8_t* bitmap, uint64_t bit) {
    return (bitmap[bit / 8] >> (bit % 8)) & 1;
}

void setBit(uint8_t* bitmap, uint64_t bit, bool value) {
    auto mask = static_cast<uint8_t>(1u << (bit % 8));
    if (value)
        bitmap[bit / 8] |= mask;
    else
        bitmap[bit / 8] &= static_cast<uint8_t>(~mask);
}

// A reference map being edited: its map pages are loaded once and written back at the end.
class ReferenceEditor {
public:
    ReferenceEditor(PageFile& pages, const Format& format, MapRow& row)
        : pages_(pages), row_(row), perPage_((format.pageSize - kMapPageHeader) * 8) {}

    size_t slots() const { return (row_.bytes.size() - 1) / 4; }

    // Sets or clears page p's bit. A page beyond the row's slots cannot be listed: it is
    // then left out (a free page not listed is merely not reused).
    void set(uint32_t p, bool free) {
        size_t slot = p / perPage_;
        if (slot >= slots()) return;
        uint32_t mapPage = loadU32(row_.bytes.data() + 1 + slot * 4);
        if (mapPage == 0) {
            if (!free) return;
            std::vector<uint8_t> fresh(pages_.pageSize(), 0);
            fresh[0] = pagetype::kUsageMap;
            fresh[1] = 0x01;
            mapPage = pages_.append(fresh);
            storeU32(row_.bytes.data() + 1 + slot * 4, mapPage);
            edited_.emplace(mapPage, std::move(fresh));
        }
        setBit(load(mapPage).data() + kMapPageHeader, p % perPage_, free);
    }

    void flush() {
        for (auto& [n, bytes] : edited_) pages_.write(n, bytes);
        edited_.clear();
    }

private:
    std::vector<uint8_t>& load(uint32_t mapPage) {
        auto it = edited_.find(mapPage);
        if (it != edited_.end()) return it->second;
        if (mapPage <= kMapPage || mapPage >= pages_.pageCount())
            damaged("map page " + std::to_string(mapPage) + " is outside the file");
        Page page = pages_.read(mapPage);
        if ((*page)[0] != pagetype::kUsageMap)
            damaged("page " + std::to_string(mapPage) + " is not a usage map page");
        return edited_.emplace(mapPage, *page).first->second;
    }

    PageFile& pages_;
    MapRow& row_;
    uint32_t perPage_;
    std::map<uint32_t, std::vector<uint8_t>> edited_;
};

// Released pages become empty data pages owned by nothing (as Access leaves the pages it
// has not used yet): a page of a table, index or long value that was given up must not
// keep looking like one.
void blankReleased(PageFile& pages, const Format& format, const std::set<uint32_t>& released) {
    if (released.empty()) return;
    const std::vector<uint8_t> blank = DataPageEditor::fresh(format, 0).build();
    for (uint32_t p : released) pages.write(p, blank);
}

// The lowest set bit of bitmap[0, bits) whose page (base + bit) is below `end`.
std::optional<uint64_t> firstSetBit(const uint8_t* bitmap, uint64_t bits, uint64_t base,
                                    uint64_t end) {
    for (uint64_t byte = 0; byte * 8 < bits && base + byte * 8 < end; ++byte) {
        if (bitmap[byte] == 0) continue;
        for (uint64_t b = byte * 8; b < byte * 8 + 8 && b < bits; ++b)
            if (base + b >= kMapPage + 1 && base + b < end && bitOf(bitmap, b)) return b;
    }
    return std::nullopt;
}

}  // namespace

std::set<uint32_t> readFreePages(PageFile& pages, const Format& format) {
    MapRow row = loadRow(pages, format);
    const uint32_t count = pages.pageCount();
    std::set<uint32_t> out;
    if (row.bytes[0] == kInlineMap) {
        const uint64_t first = loadU32(row.bytes.data() + 1);
        const uint64_t bits = (row.bytes.size() - kInlineHeader) * 8;
        for (uint64_t b = 0; b < bits && first + b < count; ++b)
            if (bitOf(row.bytes.data() + kInlineHeader, b)) out.insert(uint32_t(first + b));
        return out;
    }
    const uint64_t perPage = (format.pageSize - kMapPageHeader) * 8;
    for (size_t slot = 0; 1 + slot * 4 + 4 <= row.bytes.size(); ++slot) {
        const uint64_t base = slot * perPage;
        // Slots past the end of the file list nothing of it (Access leaves stray bytes in
        // the last ones).
        if (base >= count) break;
        uint32_t mapPage = loadU32(row.bytes.data() + 1 + slot * 4);
        if (mapPage == 0) continue;
        if (mapPage <= kMapPage || mapPage >= count)
            damaged("map page " + std::to_string(mapPage) + " is outside the file");
        Page page = pages.read(mapPage);
        if ((*page)[0] != pagetype::kUsageMap)
            damaged("page " + std::to_string(mapPage) + " is not a usage map page");
        for (uint64_t b = 0; b < perPage && base + b < count; ++b)
            if (bitOf(page->data() + kMapPageHeader, b)) out.insert(uint32_t(base + b));
    }
    return out;
}

void updateFreePageMap(PageFile& pages, const Format& format) {
    const uint32_t firstAppended = pages.pageCountAtBegin();
    const std::set<uint32_t> released = pages.releasedPages();
    if (pages.pageCount() == firstAppended && released.empty()) return;
    blankReleased(pages, format, released);
    MapRow row = loadRow(pages, format);

    if (row.bytes[0] == kInlineMap) {
        const uint64_t first = loadU32(row.bytes.data() + 1);
        const uint64_t bits = (row.bytes.size() - kInlineHeader) * 8;
        auto inWindow = [&](uint64_t p) { return p >= first && p - first < bits; };
        const uint32_t end = pages.pageCount();
        bool fits = std::all_of(released.begin(), released.end(), inWindow) &&
                    (end == firstAppended || (inWindow(firstAppended) && inWindow(end - 1)));
        if (fits) {
            uint8_t* bitmap = row.bytes.data() + kInlineHeader;
            for (uint64_t p = firstAppended; p < end; ++p) setBit(bitmap, p - first, false);
            for (uint32_t p : released) setBit(bitmap, p - first, true);
            storeRow(pages, row);
            return;
        }
        // The window cannot hold the change: the row becomes a reference map listing the
        // free pages of the file (pages past its end are no longer marked).
        std::set<uint32_t> free = released;
        for (uint64_t b = 0; b < bits && first + b < firstAppended; ++b)
            if (bitOf(row.bytes.data() + kInlineHeader, b)) free.insert(uint32_t(first + b));
        std::fill(row.bytes.begin(), row.bytes.end(), 0);
        row.bytes[0] = kReferenceMap;
        ReferenceEditor editor(pages, format, row);
        for (uint32_t p : free) editor.set(p, true);
        // Map pages appended just now are in use: no bit is set for them.
        for (uint32_t p = firstAppended; p < pages.pageCount(); ++p)
            if (!free.count(p)) editor.set(p, false);
        editor.flush();
        storeRow(pages, row);
        return;
    }

    ReferenceEditor editor(pages, format, row);
    for (uint32_t p : released) editor.set(p, true);
    // Cleared after the releases, so that map pages they appended are covered as well. A
    // page appended and released by the same save is free.
    for (uint32_t p = firstAppended; p < pages.pageCount(); ++p)
        if (!released.count(p)) editor.set(p, false);
    editor.flush();
    storeRow(pages, row);
}

std::optional<uint32_t> takeFreePage(PageFile& pages, const Format& format) {
    // Pages appended by this save are past `end`: an inline window marks the pages after the
    // file's old end as free, and they are in use as soon as they are appended.
    const uint64_t end = pages.pageCountAtBegin();
    // A file being built has no map to take pages from yet.
    if (end <= kMapPage + 1) return std::nullopt;
    MapRow row = loadRow(pages, format);
    if (row.bytes[0] == kInlineMap) {
        const uint64_t first = loadU32(row.bytes.data() + 1);
        uint8_t* bitmap = row.bytes.data() + kInlineHeader;
        auto bit = firstSetBit(bitmap, (row.bytes.size() - kInlineHeader) * 8, first, end);
        if (!bit) return std::nullopt;
        setBit(bitmap, *bit, false);
        storeRow(pages, row);
        return uint32_t(first + *bit);
    }
    const uint64_t perPage = (format.pageSize - kMapPageHeader) * 8;
    for (size_t slot = 0; 1 + slot * 4 + 4 <= row.bytes.size(); ++slot) {
        const uint64_t base = slot * perPage;
        if (base >= end) break;
        uint32_t mapPage = loadU32(row.bytes.data() + 1 + slot * 4);
        if (mapPage == 0) continue;
        if (mapPage <= kMapPage || mapPage >= pages.pageCount())
            damaged("map page " + std::to_string(mapPage) + " is outside the file");
        Page page = pages.read(mapPage);
        if ((*page)[0] != pagetype::kUsageMap)
            damaged("page " + std::to_string(mapPage) + " is not a usage map page");
        auto bit = firstSetBit(page->data() + kMapPageHeader, perPage, base, end);
        if (!bit) continue;
        std::vector<uint8_t> copy(*page);
        setBit(copy.data() + kMapPageHeader, *bit, false);
        pages.write(mapPage, std::move(copy));
        return uint32_t(base + *bit);
    }
    return std::nullopt;
}

uint32_t allocatePage(PageFile& pages, const Format& format, std::vector<uint8_t> contents) {
    if (auto free = takeFreePage(pages, format)) {
        pages.write(*free, std::move(contents));
        return *free;
    }
    return pages.append(std::move(contents));
}

}  // namespace jet
