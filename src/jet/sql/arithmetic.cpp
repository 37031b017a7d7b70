#include "jet/sql/arithmetic.h"

#include <cmath>
#include <limits>

#include "jet/error.h"
#include "jet/sql/value_forms.h"

namespace jet::sql {
namespace {

constexpr long kDivisionByZero = 11;
constexpr long kInvalidArgument = 5;

// Precision ranks of the numeric types (Yes/No ranks as Integer).
enum Rank { kByte = 1, kInteger, kLong, kSingle, kDouble, kCurrency, kDecimal };

[[noreturn]] void overflow() {
    throw Error(ErrorKind::Type, errnum::kOverflow, "Overflow.");
}

[[noreturn]] void divisionByZero() {
    throw Error(ErrorKind::Type, kDivisionByZero, "Division by zero.");
}

struct Operand {
    long double n = 0;
    Rank rank = kDouble;
    bool date = false;
};

Operand operandOf(const Value& v) {
    Operand o;
    if (v.is<Text>()) {
        auto n = parseNumber(v.get<Text>().utf8);
        if (!n) throwTypeMismatch();
        o.n = *n;
        return o;
    }
    auto n = numericValue(v);
    if (!n) throwTypeMismatch();
    o.n = *n;
    if (v.is<uint8_t>()) o.rank = kByte;
    if (v.is<int16_t>() || v.is<bool>()) o.rank = kInteger;
    if (v.is<int32_t>()) o.rank = kLong;
    if (v.is<float>()) o.rank = kSingle;
    if (v.is<Currency>()) o.rank = kCurrency;
    if (v.is<Decimal>()) o.rank = kDouble;  // computed as a Double
    o.date = v.is<DateTime>();
    return o;
}

// A result of the given rank, widened as Variants widen when it does not fit.
Value ofRank(long double r, Rank rank) {
    if (!std::isfinite(r)) overflow();
    if (rank == kByte) {
        if (r >= 0 && r <= 255) return Value(Value::Storage(static_cast<uint8_t>(r)));
        rank = kInteger;
    }
    if (rank == kInteger) {
        if (r >= -32768 && r <= 32767) return Value(Value::Storage(static_cast<int16_t>(r)));
        rank = kLong;
    }
    if (rank == kLong) {
        if (r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max())
            return Value(Value::Storage(static_cast<int32_t>(r)));
        rank = kDouble;
    }
    if (rank == kSingle) {
        if (std::fabs(r) <= std::numeric_limits<float>::max())
            return Value(Value::Storage(static_cast<float>(r)));
        rank = kDouble;
    }
    if (rank == kCurrency) {
        const long double scaled = std::round(r * 10000.0L);
        if (std::fabs(scaled) > 9.2233720368547758e18L) overflow();
        return Value(Value::Storage(Currency{static_cast<int64_t>(scaled)}));
    }
    if (std::fabs(r) > std::numeric_limits<double>::max()) overflow();
    return Value(Value::Storage(static_cast<double>(r)));
}

// Rounds half to even to a Long, as `\` and Mod take their operands.
int64_t wholeOperand(long double n) {
    long double r = std::nearbyint(n);
    if (std::fabs(n - std::trunc(n)) == 0.5L) r = 2 * std::round(n / 2);
    if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
        overflow();
    return static_cast<int64_t>(r);
}

Value integerOperation(ArithOp op, const Operand& a, const Operand& b) {
    const int64_t x = wholeOperand(a.n);
    const int64_t y = wholeOperand(b.n);
    if (y == 0) divisionByZero();
    Rank rank = std::max(a.rank, b.rank);
    if (rank > kLong) rank = kLong;
    const int64_t r = op == ArithOp::Mod ? x % y : x / y;
    // The one quotient beyond a Long: -2147483648 \ -1.
    if (r > std::numeric_limits<int32_t>::max()) overflow();
    return ofRank(static_cast<long double>(r), rank);
}

}  // namespace

Value arithmetic(ArithOp op, const Value& a, const Value& b) {
    if (a.isNull() || b.isNull()) return Value::null();
    if (op == ArithOp::Add && a.is<Text>() && b.is<Text>())
        return Value::text(a.get<Text>().utf8 + b.get<Text>().utf8);
    const Operand x = operandOf(a);
    const Operand y = operandOf(b);
    const Rank wider = std::max(x.rank, y.rank);
    switch (op) {
        case ArithOp::Add:
        case ArithOp::Sub:
        case ArithOp::Mul: {
            const long double r =
                op == ArithOp::Add ? x.n + y.n : (op == ArithOp::Sub ? x.n - y.n : x.n * y.n);
            if (op != ArithOp::Mul && (x.date || y.date)) {
                // date + n, n + date, date - n: a date; date - date: the days between.
                if (op == ArithOp::Sub && x.date && y.date) return ofRank(r, kDouble);
                if (!std::isfinite(r) || r < -657434.0L || r >= 2958466.0L) overflow();
                return Value(Value::Storage(DateTime{static_cast<double>(r)}));
            }
            Rank rank = wider;
            if ((x.rank == kSingle && y.rank == kLong) || (x.rank == kLong && y.rank == kSingle))
                rank = kDouble;
            return ofRank(r, rank);
        }
        case ArithOp::Div: {
            if (y.n == 0) {
                if (x.n == 0) overflow();
                divisionByZero();
            }
            return ofRank(x.n / y.n, wider <= kSingle && x.rank != kLong && y.rank != kLong
                                         ? kSingle
                                         : kDouble);
        }
        case ArithOp::IntDiv:
        case ArithOp::Mod:
            return integerOperation(op, x, y);
        case ArithOp::Pow: {
            if (x.n < 0 && y.n != std::trunc(y.n))
                throw Error(ErrorKind::Type, kInvalidArgument,
                            "Invalid procedure call or argument.");
            if (x.n == 0 && y.n < 0)
                throw Error(ErrorKind::Type, kInvalidArgument,
                            "Invalid procedure call or argument.");
            return ofRank(std::pow(x.n, y.n), kDouble);
        }
    }
    return Value::null();
}

Value negate(const Value& v) {
    if (v.isNull()) return Value::null();
    const Operand o = operandOf(v);
    if (o.date) return Value(Value::Storage(DateTime{static_cast<double>(-o.n)}));
    // A negated Byte is an Integer.
    return ofRank(-o.n, o.rank == kByte ? kInteger : o.rank);
}

}  // namespace jet::sql
