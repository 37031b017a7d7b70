#include "base/guid.h"

namespace tdv::base {

namespace {

// Where each written byte is stored: the first three fields are little-endian.
constexpr size_t kStoredAt[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

}  // namespace

int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<GuidBytes> guidFromText(std::string_view text) {
    if (text.size() >= 2 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, text.size() - 2);
    }
    if (text.size() != 36) return std::nullopt;
    std::string digits;
    for (size_t pos = 0; pos < text.size(); ++pos) {
        const bool dash = pos == 8 || pos == 13 || pos == 18 || pos == 23;
        if (dash != (text[pos] == '-')) return std::nullopt;
        if (!dash) digits += text[pos];
    }
    return guidFromHexDigits(digits);
}

std::optional<GuidBytes> guidFromHexDigits(std::string_view digits) {
    if (digits.size() != 32) return std::nullopt;
    GuidBytes g{};
    for (size_t i = 0; i < 16; ++i) {
        const int hi = hexDigitValue(digits[2 * i]);
        const int lo = hexDigitValue(digits[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        g[kStoredAt[i]] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return g;
}

std::string guidText(const GuidBytes& bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "{";
    for (size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        const uint8_t b = bytes[kStoredAt[i]];
        out += kHex[b >> 4];
        out += kHex[b & 0xF];
    }
    out += '}';
    return out;
}

}  // namespace tdv::base
