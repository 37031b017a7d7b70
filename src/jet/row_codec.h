// Decoding one row of a table.
//
// Row layout (offsets from the row's first byte; Jet 3 / Jet 4 widths from Format):
//   [column count: 1 | 2 bytes][fixed area][variable data] ...
//   ... [variable offsets, last column first, then the end-of-data offset]
//       [Jet 3 only: jump table][variable column count: 1 | 2 bytes][null mask]
// The null mask has one bit per column number (set = has a value); a Boolean column has
// no data, its bit IS the value. Fixed columns sit at their fixed offset after the column
// count. Variable column i spans offset[i]..offset[i+1]. Jet 3 offsets are one byte: the
// jump table lists, for each 256-byte boundary, the first variable column at or past it.
// A column whose number is not below the row's column count was added after the row was
// written: it reads as Null (Boolean: false).
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/format.h"
#include "jet/long_value.h"
#include "jet/schema.h"
#include "jet/text_codec.h"
#include "jet/types.h"

namespace jet {

// Bytes a fixed-size type occupies in the fixed area (0 for Text/Binary/Memo/OLE/unknown,
// whose size comes from the column definition).
uint32_t fixedSizeOf(ColumnType type);

class RowCodec {
public:
    // Decodes the columns selected by mask (empty = all) of `table`. The table, format
    // and decoder must outlive the codec.
    RowCodec(const TableDef& table, const Format& format, const TextDecoder& text,
             const ColumnMask& mask = {});

    // Decodes one row's bytes into out (one Value per TableDef::columns entry; columns left
    // out by the mask are Null). Reuses out's buffers. Throws Error(Corrupt) on a row whose
    // structure does not fit its bytes.
    void decode(ByteView row, LongValueReader& longValues, std::vector<Value>& out);

private:
    struct Plan {
        size_t position;  // in TableDef::columns and in the output
        ColumnType type;
        uint16_t number;
        bool fixed;
        uint16_t fixedOffset;
        uint16_t length;
        uint16_t varIndex;
        uint8_t precision;
        uint8_t scale;
    };
    void loadVarOffsets(ByteView row, size_t varCountPos, size_t varCount);
    void decodeData(const Plan& p, ByteView data, LongValueReader& lv, Value& out);

    const Format& format_;
    const TextDecoder& text_;
    size_t columnCount_;
    bool hasVarColumns_;
    std::vector<Plan> plan_;
    std::vector<uint32_t> varOffsets_;  // scratch: offsets of the current row
    Bytes longValue_;                   // scratch: bytes of a Memo
};

}  // namespace jet
