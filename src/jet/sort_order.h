// Per-character codes of the Jet text sort orders (used by the index key encoder).
//
// A text index key is assembled from one code per UTF-16 unit of the value. The code says
// how the character takes part in the key:
//   - Simple: primary bytes only (letters of both cases share them: keys ignore case);
//   - Accented: primary bytes of the base letter plus one "extra" (accent) code;
//   - Unprintable: no primary bytes; the character is recorded after the text (control
//     characters, apostrophe, hyphen);
//   - ModifierExt: no primary bytes; adds to the accent code of the character before it
//     (combining marks);
//   - Kana: primary bytes, an optional extra code and a two-bit "kana kind" flag;
//   - Significant (General 97 only): primary bytes of a letter that has accented forms;
//   - Ignored: contributes nothing at all;
//   - Unknown: the sort order has no code we know for it (the encoder refuses it).
//
// General Legacy is the order of Jet 4 files (sort order id 0x409 in Access 2000-2003);
// General 97 the order of Jet 3 files (Windows-1252 text).
#pragma once

#include <array>
#include <cstdint>

namespace jet::sortorder {

enum class CharKind : uint8_t {
    Unknown,
    Ignored,
    Simple,
    Accented,
    Unprintable,
    ModifierExt,
    Kana,
    Significant,
};

struct CharCode {
    CharKind kind = CharKind::Unknown;
    uint8_t primaryLen = 0;
    std::array<uint8_t, 4> primary{};
    uint8_t extraLen = 0;  // accent code bytes (Accented, Kana) or the modifier (ModifierExt)
    std::array<uint8_t, 2> extra{};
    uint8_t unprintable = 0;  // the code recorded for an Unprintable character
    uint8_t kanaFlag = 0;     // Kana: 2 or 3
};

// Code of one UTF-16 unit in the General Legacy order (Jet 4).
CharCode generalLegacyCode(char16_t c);

// Code of one UTF-16 unit in the General 97 order (Jet 3). Characters outside
// Windows-1252 are Unknown.
CharCode general97Code(char16_t c);

// The Windows-1252 byte of a character, or -1 when it has none. Bytes 0x81, 0x8D, 0x8F,
// 0x90, 0x9D (undefined in the code page) map to the code points of the same value.
int toWindows1252(char16_t c);

}  // namespace jet::sortorder
