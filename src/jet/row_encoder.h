// Encoding one row of a table: the inverse of RowCodec (row_codec.h has the layout).
//
// The row is written as Access writes it: the column count is the table's highest column
// number + 1, the fixed area always holds every fixed column (zeros for Null), variable
// columns follow in variable-index order, then the end-of-data offset, the offsets (last
// column first; Jet 3: one byte each plus the jump table for 256-byte boundaries), the
// variable column count and the null mask. Columns left out of the table (deleted) keep
// their variable slot at zero length.
//
// Values must already be coerced to their column types (value_coerce.h). Long values
// (Memo, OLE) are placed by the caller: for each non-Null one, the encoder asks the sink for
// the field bytes (12-byte reference plus inline data), passing the row space still free,
// so the sink can choose inline storage exactly as Access does. A row larger than the
// version's maximum is refused with Error(Type, kRecordTooLarge) before the sink is asked
// anything... except the sink's own choice of inline data, which is bounded by the space
// it is given.
#pragma once

#include <functional>
#include <vector>

#include "jet/format.h"
#include "jet/schema.h"
#include "jet/text_encoder.h"
#include "jet/value.h"

namespace jet {

class RowEncoder {
public:
    // Gives the stored field of a long value: (column, value bytes, free row space).
    using LongValueSink = std::function<Bytes(const ColumnDef&, const Bytes&, size_t)>;

    // The table, format and text encoder must outlive the encoder. Throws
    // Error(Unsupported) for a table whose layout it cannot write.
    RowEncoder(const TableDef& table, const Format& format, const TextEncoder& text);

    // Row bytes for values (one per TableDef::columns entry).
    Bytes encode(const std::vector<Value>& values, const LongValueSink& longValues) const;

    // The stored bytes of one value of a column (text in the database's encoding, numbers
    // little-endian; not for long values or Boolean).
    Bytes encodeData(const ColumnDef& column, const Value& value) const;

private:
    size_t trailerSize(size_t varDataEnd) const;

    const TableDef& table_;
    const Format& format_;
    const TextEncoder& text_;
    std::vector<size_t> fixedColumns_;  // positions in table_.columns
    std::vector<size_t> varColumns_;    // positions, by variable index
    size_t fixedAreaSize_ = 0;
    size_t maskSize_ = 0;
    size_t varCount_ = 0;
};

// Bytes of the Jet 3 / Jet 4 variable-offset trailer (offsets, jump table, count) for the
// given offsets (offsets.back() = end of variable data) starting at offsets.back();
// appends them to row. Exposed for tests.
void appendVarTrailer(Bytes& row, const std::vector<uint32_t>& offsets, const Format& format,
                      size_t maskSize);

}  // namespace jet
