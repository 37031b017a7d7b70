// A value read from (or, later, written to) a recordset field, with the Basic runtime's
// conversions.
//
// A Variant is Empty, Null or one typed value: Boolean, Byte, Integer (16-bit), Long
// (32-bit), Currency (exact, scaled by 10000), Single, Double, Date (OLE automation date),
// String (UTF-8), a byte array, or Decimal. Engine values convert one to one, except GUIDs,
// which the provider handed over as the String "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
//
// Conversions follow the runtime: toText() of Null raises error 94 (joining a Null into text
// is how a report line disappears), numbers and dates take their CStr forms (vb_text.h),
// Booleans read "True"/"False", byte arrays give their raw bytes. toLong()/toDouble() of Null
// raise 94, of text that is not a number 13, and toLong() out of the Long range raises 6.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "jet/value.h"

namespace tdv::db {

// The runtime's VarType codes.
enum class VarType : int {
    Empty = 0,
    Null = 1,
    Integer = 2,
    Long = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    String = 8,
    Boolean = 11,
    Decimal = 14,
    Byte = 17,
    ByteArray = 8192 + 17,
};

class Variant {
public:
    struct EmptyTag {
        bool operator==(const EmptyTag&) const = default;
    };
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    using Storage =
        std::variant<EmptyTag, NullTag, bool, uint8_t, int16_t, int32_t, jet::Currency, float,
                     double, jet::DateTime, std::string, jet::Bytes, jet::Decimal>;

    Variant() = default;  // Empty
    static Variant null() { return Variant(NullTag{}); }
    static Variant fromBool(bool b) { return Variant(b); }
    static Variant fromByte(uint8_t v) { return Variant(v); }
    static Variant fromInteger(int16_t v) { return Variant(v); }
    static Variant fromLong(int32_t v) { return Variant(v); }
    static Variant fromCurrency(int64_t scaled) { return Variant(jet::Currency{scaled}); }
    static Variant fromSingle(float v) { return Variant(v); }
    static Variant fromDouble(double v) { return Variant(v); }
    static Variant fromDate(double oleDate) { return Variant(jet::DateTime{oleDate}); }
    static Variant fromString(std::string utf8) { return Variant(std::move(utf8)); }
    static Variant fromBytes(jet::Bytes b) { return Variant(std::move(b)); }
    static Variant fromDecimal(const jet::Decimal& d) { return Variant(d); }
    static Variant fromJet(const jet::Value& v);

    VarType type() const;
    bool isNull() const { return std::holds_alternative<NullTag>(v_); }
    bool isEmpty() const { return std::holds_alternative<EmptyTag>(v_); }
    bool isNumeric() const;  // Byte, Integer, Long, Currency, Single, Double, Decimal

    std::string toText() const;
    int32_t toLong() const;
    double toDouble() const;

    template <class T>
    bool is() const {
        return std::holds_alternative<T>(v_);
    }
    template <class T>
    const T& get() const {
        return std::get<T>(v_);
    }
    const Storage& storage() const { return v_; }

    // Same type and same value (Null equals Null here; the runtime's "=" is not this).
    bool operator==(const Variant&) const = default;

private:
    template <class T>
    explicit Variant(T v) : v_(std::move(v)) {}
    Storage v_;
};

}  // namespace tdv::db
