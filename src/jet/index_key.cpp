// Index keys of whole entries: one part per index column, each a flag byte and the value's
// bytes in an order where comparing bytes compares values.
//
//   flag: 0x7F ascending value, 0x00 ascending Null, 0x80 descending value, 0xFF descending
//         Null (a Null part is the flag alone; a Boolean is never Null, Null keys as No);
//   Byte: the byte;
//   Integer, Long, Currency: big-endian two's complement with the sign bit inverted;
//   Single, Double, Date/Time: big-endian IEEE bits; the sign bit inverted for a positive
//         value, all bits inverted for a negative one;
//   Boolean: 0x00 Yes, 0xFF No;
//   Decimal: a sign byte and the 16-byte big-endian magnitude at the column's scale; a
//         negative value has all bytes inverted, then the sign byte becomes 0x00 (negative)
//         or 0xFF;
//   GUID, Binary: the bytes (GUID in its text order) in groups of 8 padded with zeros, each
//         group followed by 9 when more follow or by the count of its bytes;
//   Text, Memo: the sort order key (see index_text_key.cpp).
// A descending part inverts the value's bytes (for GUID and Binary not the 9 markers; text
// has its own rule).
#include <cstring>
#include <string>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/text_key.h"

namespace jet {
namespace {

constexpr uint8_t kAscendingFlag = 0x7F;
constexpr uint8_t kAscendingNull = 0x00;
constexpr uint8_t kDescendingFlag = 0x80;
constexpr uint8_t kDescendingNull = 0xFF;

[[noreturn]] void throwType(const ColumnDef& column, const char* what) {
    throw Error(ErrorKind::Type, errnum::kType,
                "Cannot build an index key for column '" + column.name + "': " + what);
}

void invert(Bytes& b, size_t from) {
    for (size_t i = from; i < b.size(); ++i) b[i] = uint8_t(~b[i]);
}

void appendBigEndian(Bytes& out, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

int64_t integerOf(const ColumnDef& column, const Value& v) {
    if (v.is<int32_t>()) return v.get<int32_t>();
    if (v.is<int16_t>()) return v.get<int16_t>();
    if (v.is<uint8_t>()) return v.get<uint8_t>();
    if (v.is<bool>()) return v.get<bool>() ? -1 : 0;
    throwType(column, "the value is not a whole number");
}

void appendInteger(Bytes& out, const ColumnDef& column, int64_t v, int bytes) {
    int64_t limit = int64_t(1) << (8 * bytes - 1);
    if (bytes < 8 && (v < -limit || v >= limit)) throwType(column, "the value is out of range");
    size_t start = out.size();
    appendBigEndian(out, uint64_t(v), bytes);
    out[start] ^= 0x80;
}

void appendFloating(Bytes& out, uint64_t bits, int bytes) {
    size_t start = out.size();
    appendBigEndian(out, bits, bytes);
    if (out[start] & 0x80) {
        invert(out, start);
    } else {
        out[start] ^= 0x80;
    }
}

double doubleOf(const ColumnDef& column, const Value& v) {
    if (v.is<double>()) return v.get<double>();
    if (v.is<DateTime>()) return v.get<DateTime>().days;
    if (v.is<float>()) return v.get<float>();
    if (v.is<int32_t>() || v.is<int16_t>() || v.is<uint8_t>()) return double(integerOf(column, v));
    throwType(column, "the value is not a number");
}

void appendDecimal(Bytes& out, const ColumnDef& column, const Decimal& d) {
    unsigned __int128 mag = (unsigned __int128)d.mantissa[2] << 64 |
                            (unsigned __int128)d.mantissa[1] << 32 | d.mantissa[0];
    // Bring the value to the column's scale; the key holds the scaled integer.
    for (int s = d.scale; s < column.scale; ++s) {
        mag *= 10;
        if (mag >> 96) throwType(column, "the value is out of range");
    }
    for (int s = d.scale; s > column.scale; --s) {
        if (mag % 10 != 0) throwType(column, "the value has more decimal places than the column");
        mag /= 10;
    }
    bool negative = d.negative && mag != 0;
    size_t start = out.size();
    out.push_back(negative ? 0x80 : 0x00);
    appendBigEndian(out, uint64_t(mag >> 64), 8);
    appendBigEndian(out, uint64_t(mag), 8);
    if (negative) invert(out, start);
    out[start] = negative ? 0x00 : 0xFF;
}

// Bytes in groups of eight, each followed by 9 (more follows) or its count of bytes.
void appendBinary(Bytes& out, const uint8_t* data, size_t size, bool ascending) {
    size_t pos = 0;
    while (size - pos > 8) {
        for (size_t i = 0; i < 8; ++i) out.push_back(ascending ? data[pos + i] : ~data[pos + i]);
        out.push_back(9);
        pos += 8;
    }
    if (pos == size) return;
    size_t start = out.size();
    size_t n = size - pos;
    out.insert(out.end(), data + pos, data + size);
    out.insert(out.end(), 8 - n, 0);
    out.push_back(uint8_t(n));
    if (!ascending) invert(out, start);
}

void checkSortOrder(const ColumnDef& column, JetVersion version) {
    if (version == JetVersion::Jet4 && column.sortOrder != 0 && column.sortOrder != 0x409) {
        throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                    "Cannot build index keys for column '" + column.name + "': sort order " +
                        std::to_string(column.sortOrder) + " is not supported");
    }
}

// Appends the value's bytes as an ascending key; descending is applied by the caller
// except where a type has its own rule.
void appendValue(Bytes& out, const ColumnDef& column, const Value& v, bool ascending,
                 JetVersion version) {
    switch (column.type) {
        case ColumnType::Byte: {
            int64_t i = integerOf(column, v);
            if (i < 0 || i > 255) throwType(column, "the value is out of range");
            out.push_back(uint8_t(i));
            return;
        }
        case ColumnType::Integer:
            appendInteger(out, column, integerOf(column, v), 2);
            return;
        case ColumnType::Long:
            appendInteger(out, column, integerOf(column, v), 4);
            return;
        case ColumnType::Currency: {
            int64_t scaled =
                v.is<Currency>() ? v.get<Currency>().scaled : integerOf(column, v) * 10000;
            appendInteger(out, column, scaled, 8);
            return;
        }
        case ColumnType::Single: {
            float f = v.is<float>() ? v.get<float>() : float(doubleOf(column, v));
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            appendFloating(out, bits, 4);
            return;
        }
        case ColumnType::Double:
        case ColumnType::DateTime: {
            double d = doubleOf(column, v);
            uint64_t bits;
            std::memcpy(&bits, &d, 8);
            appendFloating(out, bits, 8);
            return;
        }
        case ColumnType::Decimal:
            if (!v.is<Decimal>()) throwType(column, "the value is not a decimal number");
            appendDecimal(out, column, v.get<Decimal>());
            return;
        default:
            break;
    }
    (void)ascending;
    (void)version;
    throwType(column, "the column type cannot be indexed");
}

}  // namespace

void appendColumnKey(Bytes& out, const ColumnDef& column, const Value& value, bool ascending,
                     JetVersion version) {
    if (column.type == ColumnType::Boolean) {
        bool yes = value.is<bool>() ? value.get<bool>()
                                    : (!value.isNull() && integerOf(column, value) != 0);
        out.push_back(ascending ? kAscendingFlag : kDescendingFlag);
        out.push_back(yes == ascending ? 0x00 : 0xFF);
        return;
    }
    if (value.isNull()) {
        out.push_back(ascending ? kAscendingNull : kDescendingNull);
        return;
    }
    out.push_back(ascending ? kAscendingFlag : kDescendingFlag);
    switch (column.type) {
        case ColumnType::Text:
        case ColumnType::Memo:
            if (!value.is<Text>()) throwType(column, "the value is not text");
            checkSortOrder(column, version);
            appendTextKey(out, toIndexedUnits(value.get<Text>().utf8), version, ascending);
            return;
        case ColumnType::Guid: {
            if (!value.is<Guid>()) throwType(column, "the value is not a GUID");
            // On disk the first three fields are little-endian; the key uses text order.
            const auto& g = value.get<Guid>().bytes;
            uint8_t t[16] = {g[3], g[2], g[1], g[0], g[5], g[4], g[7], g[6]};
            std::memcpy(t + 8, g.data() + 8, 8);
            appendBinary(out, t, 16, ascending);
            return;
        }
        case ColumnType::Binary: {
            if (!value.is<Bytes>()) throwType(column, "the value is not binary");
            const Bytes& b = value.get<Bytes>();
            appendBinary(out, b.data(), b.size(), ascending);
            return;
        }
        default:
            break;
    }
    size_t start = out.size();
    appendValue(out, column, value, ascending, version);
    if (!ascending) {
        if (column.type == ColumnType::Decimal) {
            // Decimal keeps its sign byte: a descending part inverts the magnitude only.
            for (size_t i = start + 1; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
        } else {
            invert(out, start);
        }
    }
}

Bytes encodeIndexKey(const TableDef& table, const IndexDef& index, const std::vector<Value>& row,
                     JetVersion version) {
    Bytes key;
    for (const IndexColumn& ic : index.columns) {
        if (ic.column >= table.columns.size() || ic.column >= row.size()) {
            throw Error(ErrorKind::Internal, errnum::kInternal,
                        "Index '" + index.name + "' of table '" + table.name +
                            "' names a column the row does not have");
        }
        appendColumnKey(key, table.columns[ic.column], row[ic.column], ic.ascending, version);
    }
    return key;
}

}  // namespace jet
