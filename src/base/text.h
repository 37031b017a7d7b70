// Small text helpers shared by every layer: the Basic runtime's Trim, ASCII case folding,
// and the apostrophe doubling of a quoted SQL literal.
#pragma once

#include <string>
#include <string_view>

namespace tdv::base {

// The Basic runtime's Trim: leading and trailing spaces go, other white space stays.
std::string trimSpaces(std::string_view text);

// The text with A-Z lowered; every other byte (UTF-8 included) is kept.
std::string asciiLower(std::string_view text);

// True when the texts are equal once A-Z are folded to a-z.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The text with every apostrophe doubled, for a quoted SQL literal; nothing else changes.
std::string doubledApostrophes(std::string_view text);

}  // namespace tdv::base
