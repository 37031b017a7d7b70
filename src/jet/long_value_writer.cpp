#include "jet/long_value_writer.h"

#include <string>
#include <unordered_set>

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/global_usage_map.h"
#include "jet/write_limits.h"

namespace jet {
namespace {

constexpr size_t kLinkSize = 4;

}  // namespace

bool LongValueWriter::isInline(size_t dataSize, size_t rowSpace) const {
    return dataSize <= writeLimitsFor(format_).maxInlineLongValue &&
           longvalue::kHeaderSize + dataSize <= rowSpace;
}

size_t LongValueWriter::fieldSize(size_t dataSize, size_t rowSpace) const {
    return longvalue::kHeaderSize + (isInline(dataSize, rowSpace) ? dataSize : 0);
}

DataPageEditor& LongValueWriter::edit(uint32_t page) {
    auto it = edited_.find(page);
    if (it != edited_.end()) return it->second;
    Page p = pages_.read(page);
    ByteView view(p->data(), p->size());
    try {
        return edited_.emplace(page, DataPageEditor::load(view, format_)).first->second;
    } catch (const Error& e) {
        rethrowWithContext(e, "long value page " + std::to_string(page));
    }
}

uint32_t LongValueWriter::pageFor(size_t size) {
    if (current_ != 0 && current_ < pages_.pageCount()) {
        // The page remembered from an earlier save may since have been rolled back or
        // reused: only a long value page qualifies.
        Page p = pages_.read(current_);
        ByteView view(p->data(), p->size());
        // A page released by another writer of this save still looks like one until the
        // save commits.
        bool lvalPage = view.u8(0) == pagetype::kData &&
                        dataPageOwner(view, format_) == kLongValuePageOwner &&
                        !pages_.releasedPages().count(current_);
        if (lvalPage && edit(current_).fitsNew(size)) return current_;
    }
    // A page whose rows this writer just freed (an update rewriting a value) has that room.
    for (auto& [page, editor] : edited_) {
        if (editor.owner() == kLongValuePageOwner && !pages_.releasedPages().count(page) &&
            editor.fitsNew(size)) {
            current_ = page;
            return page;
        }
    }
    DataPageEditor fresh = DataPageEditor::fresh(format_, kLongValuePageOwner);
    current_ = allocatePage(pages_, format_, fresh.build());
    edited_.insert_or_assign(current_, std::move(fresh));
    return current_;
}

uint32_t LongValueWriter::place(Bytes row) {
    uint32_t page = pageFor(row.size());
    uint16_t slot = edit(page).add(std::move(row));
    return RowPointer{page, slot}.raw();
}

Bytes LongValueWriter::write(const Bytes& data, size_t rowSpace) {
    const WriteLimits& lim = writeLimitsFor(format_);
    if (data.size() > longvalue::kLengthMask)
        throw Error(ErrorKind::Type, errnum::kFieldTooSmall, "long value is too large");
    Bytes field(longvalue::kHeaderSize, 0);
    uint32_t length = static_cast<uint32_t>(data.size());
    if (isInline(data.size(), rowSpace)) {
        storeU32(field.data(), length | longvalue::kInline);
        field.insert(field.end(), data.begin(), data.end());
        return field;
    }
    if (data.size() <= lim.maxLongValueRowSize) {
        storeU32(field.data(), length | longvalue::kSinglePage);
        storeU32(field.data() + 4, place(data));
        return field;
    }
    // A chain: each link holds the pointer to the next link, then up to a row's worth of
    // data. Links are placed last to first so each knows its successor.
    const size_t chunk = lim.maxLongValueRowSize - kLinkSize;
    size_t links = (data.size() + chunk - 1) / chunk;
    uint32_t next = 0;
    for (size_t i = links; i-- > 0;) {
        size_t from = i * chunk;
        size_t n = std::min(chunk, data.size() - from);
        Bytes row(kLinkSize, 0);
        storeU32(row.data(), next);
        row.insert(row.end(), data.begin() + static_cast<long>(from),
                   data.begin() + static_cast<long>(from + n));
        next = place(std::move(row));
    }
    storeU32(field.data(), length);
    storeU32(field.data() + 4, next);
    return field;
}

void LongValueWriter::free(ByteView field) {
    field.require(0, longvalue::kHeaderSize, "a long value reference");
    uint32_t raw = field.u32(0);
    if (raw & longvalue::kInline) return;
    uint32_t length = raw & longvalue::kLengthMask;
    uint32_t pointer = field.u32(4);
    if (length == 0 && pointer == 0) return;
    bool single = (raw & longvalue::kSinglePage) != 0;
    std::unordered_set<uint32_t> visited;
    size_t seen = 0;
    while (pointer != 0) {
        if (!visited.insert(pointer).second)
            throwCorrupt("long value chain loops at page " + std::to_string(pointer >> 8));
        RowPointer ptr = RowPointer::fromRaw(pointer);
        if (ptr.page == 0 || ptr.page >= pages_.pageCount())
            throwCorrupt("long value points to page " + std::to_string(ptr.page) +
                         " beyond the file");
        DataPageEditor& page = edit(ptr.page);
        if (ptr.row >= page.rowCount() || (page.flags(ptr.row) & rowflag::kDeleted))
            throwCorrupt("long value points to a missing row " + std::to_string(ptr.row) +
                         " of page " + std::to_string(ptr.page));
        const Bytes& row = page.row(ptr.row);
        uint32_t next = 0;
        if (!single) {
            if (row.size() < kLinkSize) throwCorrupt("long value chain link is too short");
            next = loadU32(row.data());
            seen += row.size() - kLinkSize;
        }
        page.remove(ptr.row);
        if (single || seen >= length) break;
        pointer = next;
    }
}

void LongValueWriter::flush() {
    for (auto& [page, editor] : edited_) {
        // A long value page left without rows is given up (it is in no table's maps).
        if (editor.usedRows() == 0 && editor.owner() == kLongValuePageOwner) {
            pages_.release(page);
            if (page == current_) current_ = 0;
            continue;
        }
        pages_.write(page, editor.build());
    }
    edited_.clear();
}

}  // namespace jet
