#include "jet/row_codec.h"

#include <bit>
#include <cstring>
#include <string>

namespace jet {
namespace {

std::string& textSlot(Value& v) {
    auto& st = v.mutableStorage();
    if (!std::holds_alternative<Text>(st)) st.emplace<Text>();
    std::string& s = std::get<Text>(st).utf8;
    s.clear();
    return s;
}

Bytes& bytesSlot(Value& v) {
    auto& st = v.mutableStorage();
    if (!std::holds_alternative<Bytes>(st)) st.emplace<Bytes>();
    Bytes& b = std::get<Bytes>(st);
    b.clear();
    return b;
}

void requireSize(ByteView data, size_t n, ColumnType type) {
    if (data.size() < n)
        throwCorrupt(std::string(columnTypeName(type)) + " value has " +
                     std::to_string(data.size()) + " bytes, needs " + std::to_string(n));
}

}  // namespace

uint32_t fixedSizeOf(ColumnType type) {
    switch (type) {
        case ColumnType::Boolean:
            return 0;
        case ColumnType::Byte:
            return 1;
        case ColumnType::Integer:
            return 2;
        case ColumnType::Long:
            return 4;
        case ColumnType::Currency:
            return 8;
        case ColumnType::Single:
            return 4;
        case ColumnType::Double:
            return 8;
        case ColumnType::DateTime:
            return 8;
        case ColumnType::Guid:
            return 16;
        case ColumnType::Decimal:
            return 17;
        default:
            return 0;
    }
}

RowCodec::RowCodec(const TableDef& table, const Format& format, const TextDecoder& text,
                   const ColumnMask& mask)
    : format_(format),
      text_(text),
      columnCount_(table.columns.size()),
      hasVarColumns_(table.variableColumnCount > 0) {
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (!mask.empty() && (i >= mask.size() || !mask[i])) continue;
        const ColumnDef& c = table.columns[i];
        uint16_t length = c.length;
        if (c.fixed && fixedSizeOf(c.type) != 0)
            length = static_cast<uint16_t>(fixedSizeOf(c.type));
        plan_.push_back({i, c.type, c.number, c.fixed, c.fixedOffset, length, c.varIndex,
                         c.precision, c.scale});
    }
}

void RowCodec::loadVarOffsets(ByteView row, size_t varCountPos, size_t varCount) {
    varOffsets_.resize(varCount + 1);
    if (format_.rowVarOffsetSize == 2) {
        if (varCountPos < 2 * (varCount + 1) + format_.rowColumnCountSize)
            throwCorrupt("variable column offsets do not fit the row");
        for (size_t i = 0; i <= varCount; ++i) varOffsets_[i] = row.u16(varCountPos - 2 * (i + 1));
        return;
    }
    // One-byte offsets: the jump table before the count says where each offset passes
    // another 256-byte boundary. Its last entry is a placeholder when the offsets
    // themselves end before that boundary.
    size_t numJumps = (row.size() - 1) / 256;
    if (varCountPos < numJumps + 1 + varCount + format_.rowColumnCountSize)
        throwCorrupt("variable column offsets do not fit the row");
    size_t colPtr = varCountPos - numJumps - 1;
    if ((colPtr - varCount) / 256 < numJumps) --numJumps;
    size_t jumpsUsed = 0;
    for (size_t i = 0; i <= varCount; ++i) {
        while (jumpsUsed < numJumps && i == row.u8(varCountPos - 1 - jumpsUsed)) ++jumpsUsed;
        varOffsets_[i] = row.u8(colPtr - i) + 256 * static_cast<uint32_t>(jumpsUsed);
    }
}

void RowCodec::decode(ByteView row, LongValueReader& lv, std::vector<Value>& out) {
    out.resize(columnCount_);  // columns outside the plan are never written: they stay Null
    const size_t ccs = format_.rowColumnCountSize;
    row.require(0, ccs, "the row's column count");
    size_t numCols = ccs == 1 ? row.u8(0) : row.u16(0);
    size_t maskLen = (numCols + 7) / 8;
    if (row.size() < ccs + maskLen)
        throwCorrupt("row of " + std::to_string(row.size()) + " bytes cannot hold its null mask");
    size_t maskPos = row.size() - maskLen;

    size_t varCount = 0;
    size_t varCountPos = maskPos;
    bool varLoaded = false;
    if (hasVarColumns_) {
        if (maskPos < ccs + format_.rowVarCountSize)
            throwCorrupt("row cannot hold its variable column count");
        varCountPos = maskPos - format_.rowVarCountSize;
        varCount = format_.rowVarCountSize == 1 ? row.u8(varCountPos) : row.u16(varCountPos);
    }

    for (const Plan& p : plan_) {
        Value& v = out[p.position];
        bool present = p.number < numCols;
        bool bit = present && ((row.u8(maskPos + p.number / 8) >> (p.number % 8)) & 1);
        if (p.type == ColumnType::Boolean) {
            v = Value(Value::Storage(bit));
            continue;
        }
        if (!bit) {
            v = Value();
            continue;
        }
        ByteView data;
        if (p.fixed) {
            size_t start = ccs + p.fixedOffset;
            if (!row.has(start, p.length) || start + p.length > varCountPos)
                throwCorrupt("fixed column data at " + std::to_string(start) +
                             " lies outside the row");
            data = row.sub(start, p.length);
        } else {
            if (p.varIndex >= varCount) {
                v = Value();
                continue;
            }
            if (!varLoaded) {
                loadVarOffsets(row, varCountPos, varCount);
                varLoaded = true;
            }
            uint32_t s = varOffsets_[p.varIndex], e = varOffsets_[p.varIndex + 1];
            if (s > e || e > varCountPos || s < ccs)
                throwCorrupt("variable column data " + std::to_string(s) + ".." +
                             std::to_string(e) + " lies outside the row");
            data = row.sub(s, e - s);
        }
        decodeData(p, data, lv, v);
    }
}

void RowCodec::decodeData(const Plan& p, ByteView d, LongValueReader& lv, Value& v) {
    using S = Value::Storage;
    const uint8_t* b = d.data();
    switch (p.type) {
        case ColumnType::Byte:
            requireSize(d, 1, p.type);
            v = Value(S(b[0]));
            return;
        case ColumnType::Integer:
            requireSize(d, 2, p.type);
            v = Value(S(static_cast<int16_t>(loadU16(b))));
            return;
        case ColumnType::Long:
            requireSize(d, 4, p.type);
            v = Value(S(static_cast<int32_t>(loadU32(b))));
            return;
        case ColumnType::Currency:
            requireSize(d, 8, p.type);
            v = Value(S(Currency{static_cast<int64_t>(loadU64(b))}));
            return;
        case ColumnType::Single:
            requireSize(d, 4, p.type);
            v = Value(S(std::bit_cast<float>(loadU32(b))));
            return;
        case ColumnType::Double:
            requireSize(d, 8, p.type);
            v = Value(S(std::bit_cast<double>(loadU64(b))));
            return;
        case ColumnType::DateTime:
            requireSize(d, 8, p.type);
            v = Value(S(DateTime{std::bit_cast<double>(loadU64(b))}));
            return;
        case ColumnType::Guid: {
            requireSize(d, 16, p.type);
            Guid g;
            std::memcpy(g.bytes.data(), b, 16);
            v = Value(S(g));
            return;
        }
        case ColumnType::Decimal: {
            requireSize(d, 17, p.type);
            Decimal dec;
            dec.negative = (b[0] & 0x80) != 0;
            dec.mantissa[2] = loadU32(b + 5);
            dec.mantissa[1] = loadU32(b + 9);
            dec.mantissa[0] = loadU32(b + 13);
            if (loadU32(b + 1) != 0) throwCorrupt("Decimal value exceeds 96 bits");
            dec.precision = p.precision;
            dec.scale = p.scale;
            v = Value(S(dec));
            return;
        }
        case ColumnType::Text:
            text_.append(textSlot(v), b, d.size());
            return;
        case ColumnType::Memo:
            lv.read(d, longValue_);
            text_.append(textSlot(v), longValue_.data(), longValue_.size());
            return;
        case ColumnType::OLE:
            lv.read(d, bytesSlot(v));
            return;
        default:  // Binary and types this engine does not interpret: raw bytes
            bytesSlot(v).assign(b, b + d.size());
            return;
    }
}

}  // namespace jet
