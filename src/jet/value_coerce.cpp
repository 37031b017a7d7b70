#include "jet/value_coerce.h"

#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "jet/error.h"
#include "jet/text_encoder.h"
#include "jet/write_limits.h"

namespace jet {
namespace {

using S = Value::Storage;

[[noreturn]] void mismatch(const ColumnDef& c, const std::string& what) {
    throw Error(ErrorKind::Type, errnum::kType,
                "Data type mismatch: column '" + c.name + "' (" + columnTypeName(c.type) +
                    ") cannot take " + what);
}

[[noreturn]] void overflow(const ColumnDef& c) {
    throw Error(ErrorKind::Type, errnum::kNumericOverflow,
                "Numeric field overflow: the value does not fit column '" + c.name + "' (" +
                    columnTypeName(c.type) + ")");
}

[[noreturn]] void tooSmall(const ColumnDef& c, size_t have, size_t max) {
    throw Error(ErrorKind::Type, errnum::kFieldTooSmall,
                "The field is too small to accept the amount of data you attempted to add: "
                "column '" +
                    c.name + "' holds " + std::to_string(max) + ", the value has " +
                    std::to_string(have));
}

// The value as an exact integer, when it is one.
std::optional<int64_t> asInteger(const Value& v) {
    if (v.is<uint8_t>()) return v.get<uint8_t>();
    if (v.is<int16_t>()) return v.get<int16_t>();
    if (v.is<int32_t>()) return v.get<int32_t>();
    if (v.is<bool>()) return v.get<bool>() ? -1 : 0;  // Jet's True is -1
    return std::nullopt;
}

std::optional<double> asDouble(const Value& v) {
    if (auto i = asInteger(v)) return static_cast<double>(*i);
    if (v.is<double>()) return v.get<double>();
    if (v.is<float>()) return v.get<float>();
    if (v.is<Currency>()) return static_cast<double>(v.get<Currency>().scaled) / 10000.0;
    return std::nullopt;
}

template <class T>
Value integerValue(const ColumnDef& c, const Value& v) {
    std::optional<int64_t> i = asInteger(v);
    if (!i) {
        // A whole number held as a floating value is accepted; Jet rounds others.
        std::optional<double> d = asDouble(v);
        if (!d || !std::isfinite(*d)) mismatch(c, "this value");
        double r = std::nearbyint(*d);
        if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
            r > static_cast<double>(std::numeric_limits<T>::max()))
            overflow(c);
        return Value(S(static_cast<T>(r)));
    }
    if (*i < std::numeric_limits<T>::min() || *i > std::numeric_limits<T>::max()) overflow(c);
    return Value(S(static_cast<T>(*i)));
}

Value textValue(const ColumnDef& c, const Value& v, JetVersion version) {
    if (!v.is<Text>()) mismatch(c, "a value that is not text");
    const std::string& s = v.get<Text>().utf8;
    if (c.type == ColumnType::Text) {
        // Jet 4 sizes are in bytes of UTF-16; Jet 3 sizes in code page bytes (checked
        // exactly once encoded; here at least one byte per character).
        size_t have = utf16Length(s);
        size_t max = version == JetVersion::Jet4 ? c.length / 2u : c.length;
        if (have > max) tooSmall(c, have, max);
    } else if (utf16Length(s) > longvalue::kLengthMask / 2) {
        tooSmall(c, utf16Length(s), longvalue::kLengthMask / 2);
    }
    return v;
}

Value bytesValue(const ColumnDef& c, const Value& v) {
    if (!v.is<Bytes>()) mismatch(c, "a value that is not binary data");
    size_t n = v.get<Bytes>().size();
    size_t max = c.type == ColumnType::Binary ? c.length : longvalue::kLengthMask;
    if (n > max) tooSmall(c, n, max);
    return v;
}

}  // namespace

Value coerceValue(const ColumnDef& c, const Value& v, JetVersion version) {
    if (v.isNull()) return c.type == ColumnType::Boolean ? Value(S(false)) : Value();
    switch (c.type) {
        case ColumnType::Boolean:
            if (v.is<bool>()) return v;
            if (auto i = asInteger(v)) return Value(S(*i != 0));
            mismatch(c, "this value");
        case ColumnType::Byte:
            return integerValue<uint8_t>(c, v);
        case ColumnType::Integer:
            return integerValue<int16_t>(c, v);
        case ColumnType::Long:
            return integerValue<int32_t>(c, v);
        case ColumnType::Currency: {
            if (v.is<Currency>()) return v;
            if (auto i = asInteger(v)) return Value(S(Currency{*i * 10000}));
            std::optional<double> d = asDouble(v);
            if (!d || !std::isfinite(*d)) mismatch(c, "this value");
            double scaled = std::nearbyint(*d * 10000.0);
            if (std::fabs(scaled) >= 9.2e18) overflow(c);
            return Value(S(Currency{static_cast<int64_t>(scaled)}));
        }
        case ColumnType::Single: {
            std::optional<double> d = asDouble(v);
            if (!d) mismatch(c, "this value");
            if (std::isfinite(*d) && std::fabs(*d) > std::numeric_limits<float>::max()) overflow(c);
            return Value(S(static_cast<float>(*d)));
        }
        case ColumnType::Double: {
            std::optional<double> d = asDouble(v);
            if (!d) mismatch(c, "this value");
            return Value(S(*d));
        }
        case ColumnType::DateTime:
            if (v.is<DateTime>()) return v;
            if (v.is<double>()) return Value(S(DateTime{v.get<double>()}));
            mismatch(c, "a value that is not a date");
        case ColumnType::Text:
        case ColumnType::Memo:
            return textValue(c, v, version);
        case ColumnType::Binary:
        case ColumnType::OLE:
            return bytesValue(c, v);
        case ColumnType::Guid:
            if (v.is<Guid>()) return v;
            mismatch(c, "a value that is not a GUID");
        case ColumnType::Decimal: {
            if (!v.is<Decimal>()) mismatch(c, "a value that is not a Decimal");
            const Decimal& d = v.get<Decimal>();
            if (d.scale != c.scale) mismatch(c, "a Decimal of another scale");
            Decimal out = d;
            out.precision = c.precision;
            return Value(S(out));
        }
    }
    throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                "Column '" + c.name + "' has a type this engine cannot write (" +
                    std::to_string(static_cast<int>(c.type)) + ")");
}

}  // namespace jet
