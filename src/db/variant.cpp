#include "db/variant.h"

#include <cmath>
#include <limits>

#include "db/db_error.h"
#include "db/vb_text.h"

namespace tdv::db {
namespace {

template <class... Fs>
struct Overloaded : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overloaded(Fs...) -> Overloaded<Fs...>;

// CLng rounds halves to the even neighbour and refuses what a Long cannot hold.
int32_t roundToLong(double d) {
    if (!std::isfinite(d)) throw overflowError();
    const double r = std::nearbyint(d);  // default rounding mode: to nearest, ties to even
    if (r < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
        r > static_cast<double>(std::numeric_limits<int32_t>::max()))
        throw overflowError();
    return static_cast<int32_t>(r);
}

}  // namespace

Variant Variant::fromJet(const jet::Value& value) {
    return std::visit(Overloaded{
                          [](std::monostate) { return Variant::null(); },
                          [](bool b) { return Variant(b); },
                          [](uint8_t v) { return Variant(v); },
                          [](int16_t v) { return Variant(v); },
                          [](int32_t v) { return Variant(v); },
                          [](const jet::Currency& c) { return Variant(c); },
                          [](float v) { return Variant(v); },
                          [](double v) { return Variant(v); },
                          [](const jet::DateTime& d) { return Variant(d); },
                          [](const jet::Text& t) { return Variant(t.utf8); },
                          [](const jet::Bytes& b) { return Variant(b); },
                          [](const jet::Guid& g) { return Variant(jet::formatGuid(g)); },
                          [](const jet::Decimal& d) { return Variant(d); },
                      },
                      value.storage());
}

VarType Variant::type() const {
    return std::visit(Overloaded{
                          [](EmptyTag) { return VarType::Empty; },
                          [](NullTag) { return VarType::Null; },
                          [](bool) { return VarType::Boolean; },
                          [](uint8_t) { return VarType::Byte; },
                          [](int16_t) { return VarType::Integer; },
                          [](int32_t) { return VarType::Long; },
                          [](const jet::Currency&) { return VarType::Currency; },
                          [](float) { return VarType::Single; },
                          [](double) { return VarType::Double; },
                          [](const jet::DateTime&) { return VarType::Date; },
                          [](const std::string&) { return VarType::String; },
                          [](const jet::Bytes&) { return VarType::ByteArray; },
                          [](const jet::Decimal&) { return VarType::Decimal; },
                      },
                      v_);
}

bool Variant::isNumeric() const {
    switch (type()) {
        case VarType::Byte:
        case VarType::Integer:
        case VarType::Long:
        case VarType::Currency:
        case VarType::Single:
        case VarType::Double:
        case VarType::Decimal:
            return true;
        default:
            return false;
    }
}

std::string Variant::toText() const {
    return std::visit(Overloaded{
                          [](EmptyTag) { return std::string(); },
                          [](NullTag) -> std::string { throw invalidUseOfNullError(); },
                          [](bool b) { return std::string(b ? "True" : "False"); },
                          [](uint8_t v) { return std::to_string(v); },
                          [](int16_t v) { return std::to_string(v); },
                          [](int32_t v) { return std::to_string(v); },
                          [](const jet::Currency& c) { return vbTextOfCurrency(c.scaled); },
                          [](float v) { return vbTextOfSingle(v); },
                          [](double v) { return vbTextOfDouble(v); },
                          [](const jet::DateTime& d) { return vbTextOfDate(d.days); },
                          [](const std::string& s) { return s; },
                          [](const jet::Bytes& b) { return std::string(b.begin(), b.end()); },
                          [](const jet::Decimal& d) { return vbTextOfDecimal(d); },
                      },
                      v_);
}

double Variant::toDouble() const {
    return std::visit(
        Overloaded{
            [](EmptyTag) { return 0.0; },
            [](NullTag) -> double { throw invalidUseOfNullError(); },
            [](bool b) { return b ? -1.0 : 0.0; },
            [](uint8_t v) { return static_cast<double>(v); },
            [](int16_t v) { return static_cast<double>(v); },
            [](int32_t v) { return static_cast<double>(v); },
            [](const jet::Currency& c) { return static_cast<double>(c.scaled) / 10000.0; },
            [](float v) { return static_cast<double>(v); },
            [](double v) { return v; },
            [](const jet::DateTime& d) { return d.days; },
            [](const std::string& s) -> double {
                auto v = vbParseNumber(s);
                if (!v) throw typeMismatchError();
                return *v;
            },
            [](const jet::Bytes&) -> double { throw typeMismatchError(); },
            [](const jet::Decimal& d) { return decimalToDouble(d); },
        },
        v_);
}

int32_t Variant::toLong() const {
    if (const auto* c = std::get_if<jet::Currency>(&v_)) {
        // Exact: round the scaled integer half to even without going through a double.
        const int64_t q = c->scaled / 10000, r = c->scaled % 10000;
        int64_t n = q;
        if (r > 5000 || (r == 5000 && (q & 1))) ++n;
        if (r < -5000 || (r == -5000 && (q & 1))) --n;
        if (n < std::numeric_limits<int32_t>::min() || n > std::numeric_limits<int32_t>::max())
            throw overflowError();
        return static_cast<int32_t>(n);
    }
    return roundToLong(toDouble());
}

}  // namespace tdv::db
