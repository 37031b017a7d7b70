// Windows-1252, the code page of Western Access files and of the program's ANSI text.
//
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1
// control characters of the same value, as Windows maps them, so that every byte survives a
// round trip through text (the UTF-8 repair of newer-product text depends on that).
#pragma once

#include <array>
#include <cstddef>

namespace jet {

// Code points of the bytes 0x80..0x9F; the other bytes are their own code points.
inline constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline char32_t cp1252ToChar(unsigned char b) {
    return b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char32_t{b};
}

// The byte of a code point, or -1 when Windows-1252 has none.
inline int charToCp1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
    for (size_t k = 0; k < kCp1252High.size(); ++k) {
        if (kCp1252High[k] == c) return static_cast<int>(0x80 + k);
    }
    return -1;
}

}  // namespace jet
