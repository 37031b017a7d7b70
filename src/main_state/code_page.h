// Code page conversions (module basInCodePage), through iconv.
//
// Code pages: 65001 UTF-8; 0 and -1 the system's ANSI code page, which is Windows-1252 here;
// other numbers name Windows code pages (1250...1258, 437, 850...). Both directions take the
// source up to its first NUL and return the converted text without a terminator. As the
// Windows converters do without flags, a character the code page cannot hold becomes '?' and
// a byte sequence that is not valid in the code page becomes U+FFFD; Windows-1252 keeps its
// five undefined bytes as the control characters of the same value, so every byte survives
// a round trip. A code page the system does not know throws DbError 5.
#pragma once

#include <string>

namespace tdv::app {

inline constexpr int kAnsiCodePage = 1252;

// UTF-8 text -> bytes in codePage.
std::string strUnicodeToMultiByte(const std::string& text, int codePage, int flags = 0);
// Bytes in codePage -> UTF-8 text.
std::string strMultiByteToUnicode(const std::string& bytes, int codePage, int flags = 0);

}  // namespace tdv::app
