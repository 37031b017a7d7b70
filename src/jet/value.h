// Typed column values as the engine reads and writes them.
//
// A Value is Null or one of the Jet column types. Text is held as UTF-8 whatever the file
// stores (Jet 4 UCS-2 / compressed unicode, Jet 3 code page bytes). Currency is the exact
// scaled integer (value * 10000); Date/Time is the OLE automation date (days since
// 1899-12-30, fraction = time of day); GUID bytes are in on-disk order; Decimal is the
// exact 96-bit mantissa with sign and scale.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

// Jet column type codes as stored in table definitions.
enum class ColumnType : uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Decimal = 0x10,
};

const char* columnTypeName(ColumnType t);  // "Boolean", "Text", ... for schema listings
// Whether t is one of the column types above (files may hold others, which are not written).
bool isKnownColumnType(ColumnType t);

using Bytes = std::vector<uint8_t>;

struct Currency {
    int64_t scaled = 0;  // value * 10000
    bool operator==(const Currency&) const = default;
};

struct DateTime {
    double days = 0;  // OLE automation date
    bool operator==(const DateTime&) const = default;
};

struct Guid {
    std::array<uint8_t, 16> bytes{};  // on-disk order (first three fields little-endian)
    bool operator==(const Guid&) const = default;
};

struct Decimal {
    bool negative = false;
    uint8_t precision = 18;
    uint8_t scale = 0;
    std::array<uint32_t, 3> mantissa{};  // little-endian 32-bit words of a 96-bit integer
    bool operator==(const Decimal&) const = default;
};

struct Text {
    std::string utf8;
    bool operator==(const Text&) const = default;
};

class Value {
public:
    using Storage = std::variant<std::monostate, bool, uint8_t, int16_t, int32_t, Currency, float,
                                 double, DateTime, Text, Bytes, Guid, Decimal>;

    Value() = default;
    Value(Storage s) : v_(std::move(s)) {}
    static Value null() { return Value(); }
    static Value text(std::string utf8) { return Value(Storage(Text{std::move(utf8)})); }

    bool isNull() const { return std::holds_alternative<std::monostate>(v_); }
    template <class T>
    bool is() const {
        return std::holds_alternative<T>(v_);
    }
    template <class T>
    const T& get() const {
        return std::get<T>(v_);
    }
    const Storage& storage() const { return v_; }
    // In-place access for decoders that reuse a value's buffers from row to row.
    Storage& mutableStorage() { return v_; }

    bool operator==(const Value&) const = default;

private:
    Storage v_;
};

// Exact text forms shared by every output of values.
std::string formatGuid(const Guid& g);          // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::string formatCurrency(const Currency& c);  // "3.5000"
std::string formatDecimal(const Decimal& d);    // "-12.340" (all scale digits)
std::string formatDateTime(const DateTime& d);  // "YYYY-MM-DDTHH:MM:SS[.fff]"
std::string formatDouble(double d);             // shortest text that reads back the same
std::string formatSingle(float f);              // shortest text that reads back the same float

}  // namespace jet
