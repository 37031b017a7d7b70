// Writing and freeing long values (Memo, OLE); long_value.h describes the stored forms.
//
// The form is chosen by size as Access chooses it: inline (in the row, after the 12-byte
// reference) when the value is at most WriteLimits::maxInlineLongValue bytes and the row has
// room; one long value row ("single page") when it fits in WriteLimits::maxLongValueRowSize;
// else a chain of rows, each starting with the pointer to the next (0 in the last).
// Long value rows live on pages owned by no table (owner "LVAL"); the writer fills the page
// it used last while it has room, then the pages whose rows it has just freed (an update
// rewriting a value), and otherwise takes a new page (a free one before the file grows,
// global_usage_map.h). Freeing a value deletes its rows (their space returns to their
// page); a page left without rows is released to the database's free-page map.
// Every change goes through the open save of the PageFile.
#pragma once

#include <cstdint>
#include <map>

#include "jet/bytes.h"
#include "jet/data_page_writer.h"
#include "jet/format.h"
#include "jet/page_file.h"
#include "jet/value.h"

namespace jet {

class LongValueWriter {
public:
    LongValueWriter(PageFile& pages, const Format& format) : pages_(pages), format_(format) {}

    // The stored field for `data`: the 12-byte reference, plus the bytes when inline.
    // rowSpace is the room left in the row for this field (reference included).
    Bytes write(const Bytes& data, size_t rowSpace);
    // Size of the field write() would return, without writing anything.
    size_t fieldSize(size_t dataSize, size_t rowSpace) const;
    // Deletes the rows of the value whose field this is (nothing for inline values).
    // Throws Error(Corrupt) when the chain is damaged.
    void free(ByteView field);
    // Writes every page changed since the last flush (done by write() and free()).
    void flush();
    // Forgets changes not flushed (after a failed write).
    void discard() { edited_.clear(); }

private:
    bool isInline(size_t dataSize, size_t rowSpace) const;
    DataPageEditor& edit(uint32_t page);
    // A page with room for a row of `size` bytes (the last used, or a new one).
    uint32_t pageFor(size_t size);
    // Places a row now and returns its pointer (page << 8 | row).
    uint32_t place(Bytes row);

    PageFile& pages_;
    const Format& format_;
    std::map<uint32_t, DataPageEditor> edited_;
    uint32_t current_ = 0;  // last long value page written to (0 = none)
};

}  // namespace jet
