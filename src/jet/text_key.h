// Engine-internal pieces of text keys shared by the index key encoder and text comparison.
#pragma once

#include <string>
#include <string_view>

#include "jet/types.h"
#include "jet/value.h"

namespace jet {

// UTF-8 to UTF-16 units, at most maxUnits of them (a character outside the BMP becomes a
// surrogate pair; a malformed sequence becomes U+FFFD).
std::u16string utf8ToUtf16(std::string_view utf8, size_t maxUnits = std::u16string::npos);

// The units of a text that its index key covers: the first 255, trailing spaces removed.
std::u16string toIndexedUnits(std::string_view utf8);

// Appends the key of a text (no flag byte), inverted when descending. Throws
// Error(Unsupported) for a character without a code.
void appendTextKey(Bytes& out, const std::u16string& units, JetVersion version, bool ascending);

}  // namespace jet
