// Windows-1252, the code page of Western Access files and of the program's ANSI text.
//
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control characters of the same value, as Windows maps them, so that every byte survives a
// round trip through text (the UTF-8 repair of newer-product text depends on that).
#pragma once

#include <string>
#include <string_view>

namespace tdv::base {

// The code point of a byte.
char32_t cp1252ToChar(unsigned char b);

// The byte of a code point, or -1 when Windows-1252 has none.
int charToCp1252(char32_t c);

// Reads each byte as one Windows-1252 character and gives the text as UTF-8.
std::string cp1252ToUtf8(std::string_view bytes);

}  // namespace tdv::base
