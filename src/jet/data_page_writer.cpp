#include "jet/data_page_writer.h"

#include <string>

#include "jet/write_limits.h"

namespace jet {
namespace {

constexpr size_t kFreeSpaceOffset = 2;
constexpr size_t kSlotSize = 2;

}  // namespace

DataPageEditor DataPageEditor::load(ByteView page, const Format& f) {
    if (page.size() != f.pageSize || page.u8(0) != pagetype::kData)
        throwCorrupt("page is not a data page");
    DataPageEditor e(f);
    e.header_.assign(page.data(), page.data() + f.dataRowTableOffset);
    uint16_t count = page.u16(f.dataRowCountOffset);
    size_t tableEnd = f.dataRowTableOffset + size_t{count} * kSlotSize;
    if (tableEnd > page.size()) throwCorrupt("data page row count does not fit the page");
    size_t end = page.size();
    e.slots_.reserve(count);
    for (uint16_t r = 0; r < count; ++r) {
        uint16_t raw = page.u16(f.dataRowTableOffset + size_t{r} * kSlotSize);
        size_t start = raw & rowflag::kOffsetMask;
        if (start < tableEnd || start > end)
            throwCorrupt("row " + std::to_string(r) + " has bounds " + std::to_string(start) +
                         ".." + std::to_string(end) + " outside the page's row area");
        Slot s;
        s.flags = raw & (rowflag::kDeleted | rowflag::kLookup);
        s.bytes.assign(page.data() + start, page.data() + end);
        e.slots_.push_back(std::move(s));
        end = start;
    }
    return e;
}

DataPageEditor DataPageEditor::fresh(const Format& f, uint32_t owner) {
    DataPageEditor e(f);
    e.header_.assign(f.dataRowTableOffset, 0);
    e.header_[0] = pagetype::kData;
    e.header_[1] = 0x01;
    for (int i = 0; i < 4; ++i)
        e.header_[f.dataOwnerOffset + i] = static_cast<uint8_t>(owner >> (8 * i));
    return e;
}

uint32_t DataPageEditor::owner() const {
    return loadU32(header_.data() + format_->dataOwnerOffset);
}

size_t DataPageEditor::usedRows() const {
    size_t n = 0;
    for (const Slot& s : slots_) {
        const bool gone =
            (s.flags & rowflag::kDeleted) && ((s.flags & rowflag::kLookup) || s.bytes.empty());
        n += gone ? 0 : 1;
    }
    return n;
}

uint32_t DataPageEditor::freeSpace() const {
    size_t used = header_.size() + slots_.size() * kSlotSize;
    for (const Slot& s : slots_) used += s.bytes.size();
    return used >= format_->pageSize ? 0 : static_cast<uint32_t>(format_->pageSize - used);
}

bool DataPageEditor::fitsNew(size_t size) const {
    return slots_.size() < writeLimitsFor(*format_).maxRowsPerPage &&
           size + kSlotSize <= freeSpace();
}

bool DataPageEditor::fitsReplacing(uint16_t row, size_t size) const {
    size_t old = slots_.at(row).bytes.size();
    return size <= old || size - old <= freeSpace();
}

uint16_t DataPageEditor::add(Bytes bytes, uint16_t flags) {
    if (!fitsNew(bytes.size()))
        throw Error(ErrorKind::Internal, errnum::kInternal, "row does not fit its data page");
    slots_.push_back({flags, std::move(bytes)});
    return static_cast<uint16_t>(slots_.size() - 1);
}

void DataPageEditor::replace(uint16_t row, Bytes bytes, uint16_t flags) {
    if (!fitsReplacing(row, bytes.size()))
        throw Error(ErrorKind::Internal, errnum::kInternal, "row does not fit its data page");
    slots_.at(row) = {flags, std::move(bytes)};
}

void DataPageEditor::remove(uint16_t row) {
    slots_.at(row) = {static_cast<uint16_t>(rowflag::kDeleted | rowflag::kLookup), {}};
}

std::vector<uint8_t> DataPageEditor::build() const {
    const Format& f = *format_;
    std::vector<uint8_t> page(f.pageSize, 0);
    std::copy(header_.begin(), header_.end(), page.begin());
    uint32_t free = freeSpace();
    page[kFreeSpaceOffset] = static_cast<uint8_t>(free);
    page[kFreeSpaceOffset + 1] = static_cast<uint8_t>(free >> 8);
    page[f.dataRowCountOffset] = static_cast<uint8_t>(slots_.size());
    page[f.dataRowCountOffset + 1] = static_cast<uint8_t>(slots_.size() >> 8);
    size_t end = f.pageSize;
    for (size_t r = 0; r < slots_.size(); ++r) {
        const Slot& s = slots_[r];
        size_t start = end - s.bytes.size();
        std::copy(s.bytes.begin(), s.bytes.end(), page.begin() + static_cast<long>(start));
        uint16_t raw = static_cast<uint16_t>(start) | s.flags;
        page[f.dataRowTableOffset + r * kSlotSize] = static_cast<uint8_t>(raw);
        page[f.dataRowTableOffset + r * kSlotSize + 1] = static_cast<uint8_t>(raw >> 8);
        end = start;
    }
    return page;
}

}  // namespace jet
