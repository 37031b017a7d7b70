// GUID text. The bytes are in on-disk order: the first three fields little-endian, the last
// eight bytes as written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tdv::base {

using GuidBytes = std::array<uint8_t, 16>;

// The value of one hex digit (either case), -1 for any other character.
int hexDigitValue(char c);

// "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", braces optional, dashes where they stand in that
// form, hex digits in either case; nothing else is a GUID.
std::optional<GuidBytes> guidFromText(std::string_view text);

// Exactly 32 hex digits in written order, with no separators.
std::optional<GuidBytes> guidFromHexDigits(std::string_view digits);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case.
std::string guidText(const GuidBytes& bytes);

}  // namespace tdv::base
