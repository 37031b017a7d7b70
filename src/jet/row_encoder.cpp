#include "jet/row_encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "jet/bytes.h"
#include "jet/row_codec.h"
#include "jet/write_limits.h"

namespace jet {
namespace {

size_t storedFixedSize(const ColumnDef& c) {
    uint32_t n = fixedSizeOf(c.type);
    return n != 0 ? n : c.length;
}

// Largest Jet 3 jump table a row of at most maxRowSize bytes can need.
size_t maxJumps(const Format& f) {
    return (writeLimitsFor(f).maxRowSize - 1) / 256 + 1;
}

}  // namespace

void appendVarTrailer(Bytes& row, const std::vector<uint32_t>& offsets, const Format& f,
                      size_t maskSize) {
    const size_t varCount = offsets.size() - 1;
    if (f.rowVarOffsetSize == 2) {
        for (size_t i = offsets.size(); i-- > 0;) {
            row.push_back(static_cast<uint8_t>(offsets[i]));
            row.push_back(static_cast<uint8_t>(offsets[i] >> 8));
        }
        row.push_back(static_cast<uint8_t>(varCount));
        row.push_back(static_cast<uint8_t>(varCount >> 8));
        return;
    }
    // One-byte offsets: the jump table has (rowSize - 1) / 256 entries, and the row's size
    // depends on it, so find the fixed point (it grows by at most a few steps).
    const size_t dataEnd = row.size();
    size_t jumps = 0;
    for (;;) {
        size_t total = dataEnd + (varCount + 1) + jumps + f.rowVarCountSize + maskSize;
        size_t need = (total - 1) / 256;
        if (need <= jumps) break;
        jumps = need;
    }
    for (size_t i = offsets.size(); i-- > 0;) row.push_back(static_cast<uint8_t>(offsets[i]));
    // Entry b-1 names the first offset at or past byte 256 * b; a boundary the offsets
    // never reach (the table is sized by the whole row) holds 0xFF, as Access writes it.
    std::vector<uint8_t> table(jumps, 0xFF);
    for (size_t b = 1; b <= jumps; ++b) {
        for (size_t i = 0; i <= varCount; ++i) {
            if (offsets[i] >= 256 * b) {
                table[b - 1] = static_cast<uint8_t>(i);
                break;
            }
        }
    }
    for (size_t j = jumps; j-- > 0;) row.push_back(table[j]);
    row.push_back(static_cast<uint8_t>(varCount));
}

RowEncoder::RowEncoder(const TableDef& table, const Format& format, const TextEncoder& text)
    : table_(table), format_(format), text_(text) {
    varCount_ = table.variableColumnCount;
    maskSize_ = (size_t{table.maxColumnNumber} + 7) / 8;
    varColumns_.assign(varCount_, SIZE_MAX);
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& c = table.columns[i];
        if (c.number >= table.maxColumnNumber)
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        "Table '" + table.name + "': column '" + c.name +
                            "' has a number beyond the table's column count");
        if (c.type == ColumnType::Boolean) continue;
        if (c.fixed) {
            fixedColumns_.push_back(i);
            fixedAreaSize_ = std::max(fixedAreaSize_, c.fixedOffset + storedFixedSize(c));
            continue;
        }
        if (c.varIndex >= varCount_ || varColumns_[c.varIndex] != SIZE_MAX)
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        "Table '" + table.name + "': column '" + c.name +
                            "' has a variable slot this engine cannot write");
        varColumns_[c.varIndex] = i;
    }
}

Bytes RowEncoder::encodeData(const ColumnDef& c, const Value& v) const {
    Bytes out;
    auto sized = [&](size_t n) -> uint8_t* {
        out.assign(n, 0);
        return out.data();
    };
    switch (c.type) {
        case ColumnType::Byte:
            sized(1)[0] = v.get<uint8_t>();
            break;
        case ColumnType::Integer:
            storeU16(sized(2), static_cast<uint16_t>(v.get<int16_t>()));
            break;
        case ColumnType::Long:
            storeU32(sized(4), static_cast<uint32_t>(v.get<int32_t>()));
            break;
        case ColumnType::Currency:
            storeU64(sized(8), static_cast<uint64_t>(v.get<Currency>().scaled));
            break;
        case ColumnType::Single:
            storeU32(sized(4), std::bit_cast<uint32_t>(v.get<float>()));
            break;
        case ColumnType::Double:
            storeU64(sized(8), std::bit_cast<uint64_t>(v.get<double>()));
            break;
        case ColumnType::DateTime:
            storeU64(sized(8), std::bit_cast<uint64_t>(v.get<DateTime>().days));
            break;
        case ColumnType::Guid:
            std::memcpy(sized(16), v.get<Guid>().bytes.data(), 16);
            break;
        case ColumnType::Decimal: {
            const Decimal& d = v.get<Decimal>();
            uint8_t* p = sized(17);
            p[0] = d.negative ? 0x80 : 0x00;
            storeU32(p + 5, d.mantissa[2]);
            storeU32(p + 9, d.mantissa[1]);
            storeU32(p + 13, d.mantissa[0]);
            break;
        }
        case ColumnType::Text:
        case ColumnType::Memo:
            out = text_.encode(v.get<Text>().utf8, c.compressedUnicode);
            break;
        case ColumnType::Binary:
        case ColumnType::OLE:
            out = v.get<Bytes>();
            break;
        default:
            throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                        "Column '" + c.name + "' has a type this engine cannot write");
    }
    return out;
}

size_t RowEncoder::trailerSize(size_t) const {
    if (varCount_ == 0) return maskSize_;
    if (format_.rowVarOffsetSize == 2)
        return 2 * (varCount_ + 1) + format_.rowVarCountSize + maskSize_;
    return (varCount_ + 1) + maxJumps(format_) + format_.rowVarCountSize + maskSize_;
}

Bytes RowEncoder::encode(const std::vector<Value>& values, const LongValueSink& sink) const {
    if (values.size() != table_.columns.size())
        throw Error(ErrorKind::Internal, errnum::kInternal,
                    "row has " + std::to_string(values.size()) + " values for " +
                        std::to_string(table_.columns.size()) + " columns");
    const size_t ccs = format_.rowColumnCountSize;
    const size_t maxRow = writeLimitsFor(format_).maxRowSize;
    std::vector<uint8_t> mask(maskSize_, 0);
    auto setBit = [&](const ColumnDef& c) { mask[c.number / 8] |= uint8_t(1u << (c.number % 8)); };

    Bytes row(ccs + fixedAreaSize_, 0);
    if (ccs == 1)
        row[0] = static_cast<uint8_t>(table_.maxColumnNumber);
    else
        storeU16(row.data(), table_.maxColumnNumber);

    for (size_t i = 0; i < table_.columns.size(); ++i) {
        const ColumnDef& c = table_.columns[i];
        if (c.type == ColumnType::Boolean && values[i].is<bool>() && values[i].get<bool>())
            setBit(c);
    }
    for (size_t i : fixedColumns_) {
        const ColumnDef& c = table_.columns[i];
        if (values[i].isNull()) continue;
        Bytes data = encodeData(c, values[i]);
        size_t size = storedFixedSize(c);
        if (data.size() > size)
            throw Error(ErrorKind::Type, errnum::kFieldTooSmall,
                        "The field is too small to accept the amount of data you attempted to "
                        "add: column '" +
                            c.name + "'");
        std::memcpy(row.data() + ccs + c.fixedOffset, data.data(), data.size());
        setBit(c);
    }

    // Variable data: everything but long values first, so that the row space left for
    // inline long values is known.
    std::vector<Bytes> varData(varCount_);
    size_t used = row.size() + trailerSize(0);
    size_t longValues = 0;
    for (size_t slot = 0; slot < varCount_; ++slot) {
        size_t i = varColumns_[slot];
        if (i == SIZE_MAX || values[i].isNull()) continue;
        const ColumnDef& c = table_.columns[i];
        if (c.isLongValue()) {
            ++longValues;
            continue;
        }
        varData[slot] = encodeData(c, values[i]);
        if (c.type == ColumnType::Text && varData[slot].size() > c.length)
            throw Error(ErrorKind::Type, errnum::kFieldTooSmall,
                        "The field is too small to accept the amount of data you attempted to "
                        "add: column '" +
                            c.name + "'");
        used += varData[slot].size();
    }
    used += longValues * longvalue::kHeaderSize;
    if (used > maxRow)
        throw Error(ErrorKind::Type, errnum::kRecordTooLarge,
                    "Record is too large: the row of table '" + table_.name + "' needs " +
                        std::to_string(used) + " bytes, at most " + std::to_string(maxRow) +
                        " fit");
    size_t free = maxRow - used;
    for (size_t slot = 0; slot < varCount_; ++slot) {
        size_t i = varColumns_[slot];
        if (i == SIZE_MAX || values[i].isNull()) continue;
        const ColumnDef& c = table_.columns[i];
        if (!c.isLongValue()) continue;
        Bytes data = encodeData(c, values[i]);
        varData[slot] = sink(c, data, free + longvalue::kHeaderSize);
        size_t extra =
            varData[slot].size() - std::min<size_t>(varData[slot].size(), longvalue::kHeaderSize);
        if (extra > free)
            throw Error(ErrorKind::Internal, errnum::kInternal,
                        "long value of column '" + c.name + "' took more row space than given");
        free -= extra;
    }

    std::vector<uint32_t> offsets(varCount_ + 1);
    for (size_t slot = 0; slot < varCount_; ++slot) {
        offsets[slot] = static_cast<uint32_t>(row.size());
        size_t i = varColumns_[slot];
        if (i == SIZE_MAX || values[i].isNull()) continue;
        row.insert(row.end(), varData[slot].begin(), varData[slot].end());
        setBit(table_.columns[i]);
    }
    offsets[varCount_] = static_cast<uint32_t>(row.size());
    if (varCount_ > 0) appendVarTrailer(row, offsets, format_, maskSize_);
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() > maxRow)
        throw Error(ErrorKind::Type, errnum::kRecordTooLarge,
                    "Record is too large: the row of table '" + table_.name + "' has " +
                        std::to_string(row.size()) + " bytes, at most " + std::to_string(maxRow) +
                        " fit");
    return row;
}

}  // namespace jet
