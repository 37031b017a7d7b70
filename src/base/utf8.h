// UTF-8 checks and repairs. Well-formed means no overlong forms, no surrogates and nothing
// past U+10FFFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tdv::base {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Length of the well-formed UTF-8 sequence at bytes[i], 0 when none starts there (a
// sequence cut by the end of the bytes is not well-formed).
size_t utf8SequenceLength(std::string_view bytes, size_t i);

// Characters of UTF-8 text: the bytes that are not continuation bytes.
size_t utf8CharacterCount(std::string_view text);

// Decodes the well-formed sequence at bytes[i] and moves i past it; a byte that starts none
// gives U+FFFD and moves i by that one byte (as the Windows converter does without
// MB_ERR_INVALID_CHARS).
char32_t nextUtf8(std::string_view bytes, size_t& i);

// True when the bytes are well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// The text with every byte that starts no well-formed sequence replaced by U+FFFD, as the
// Windows converter replaces it.
std::string repairUtf8(std::string_view bytes);

// Appends the UTF-8 form of a code point (invalid code points become U+FFFD).
void appendUtf8(std::string& out, uint32_t codePoint);

}  // namespace tdv::base
