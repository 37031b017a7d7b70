// Long values (Memo and OLE columns).
//
// A row holds a 12-byte reference for each long value: a 4-byte length whose top bits tell
// where the bytes are (0x80 inline: right after the reference; 0x40 single page: the whole
// row at the row pointer; neither: a chain of rows, each starting with the 4-byte pointer
// to the next), the 4-byte row pointer, and 4 unused bytes. The chain is followed until the
// declared length is read; a chain that loops, ends early, leaves the file or passes through
// a page that is not a data page is damage.
#pragma once

#include <cstdint>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/page_file.h"
#include "jet/value.h"

namespace jet {

class LongValueReader {
public:
    LongValueReader(PageFile& pages, const Format& format) : pages_(pages), format_(format) {}

    // Replaces `out` with the bytes of the long value whose reference (and inline data)
    // is `field`.
    void read(ByteView field, Bytes& out);

    // The declared length of the value referenced by `field`.
    static uint32_t declaredLength(ByteView field) { return field.u32(0) & longvalue::kLengthMask; }

private:
    ByteView rowAt(uint32_t rawPointer, Page& holder);
    PageFile& pages_;
    const Format& format_;
};

}  // namespace jet
