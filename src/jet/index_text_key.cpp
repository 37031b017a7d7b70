// Text index keys: assembling the per-character sort order codes into the key bytes.
//
// General Legacy (Jet 4) key of a text:
//   primary codes of the characters that have them, 0x01,
//   then, when any character carries more than its primary code:
//     accent codes (0x02 for a character without one; trailing 0x00..0x02 dropped),
//     and when there are kana flags or unprintable characters: 0x01 0x01,
//       the kana flags packed three to a byte (0x80 | f1<<4 | f2<<2 | f3, trailing 3s
//       dropped) followed by FF 02 80 FF 80 (and one more FF if unprintables follow),
//       then for unprintable characters: 0x01 and per character the big-endian position
//       (7 + 4 * position) | 0x8000, 0x06 and its code,
//   and finally 0x00. A descending key inverts all of that plus one 0x00 and then ends
//   with 0x00.
// General 97 (Jet 3) key: primary codes, then either 0x00 or the accent codes as nibbles
// between two 0 nibbles, where each accent is preceded by one 2 nibble per "significant"
// letter since the previous accent. A descending key inverts all of it.
//
// Keys cover the first 255 UTF-16 units of a value, after trailing spaces are removed.
#include <cstdio>
#include <string>

#include "jet/error.h"
#include "jet/index_key.h"
#include "jet/sort_order.h"
#include "jet/text_key.h"

namespace jet {
namespace {

using sortorder::CharCode;
using sortorder::CharKind;

constexpr size_t kMaxIndexedUnits = 255;

[[noreturn]] void throwUnkeyable(char16_t c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", unsigned(c));
    throw Error(ErrorKind::Unsupported, errnum::kUnsupported,
                std::string("Cannot build an index key for the character ") + buf +
                    ": it has no code in the sort order");
}

void appendPrimary(Bytes& out, const CharCode& code) {
    out.insert(out.end(), code.primary.begin(), code.primary.begin() + code.primaryLen);
}

void encodeGeneralLegacy(const std::u16string& text, Bytes& out) {
    Bytes extra;             // accent codes
    size_t extraChars = 0;   // characters the accent codes account for
    size_t extraPrefix = 0;  // 1 when the accent codes begin with a lone modifier
    bool haveExtra = false;
    Bytes unprintables;
    Bytes kana;
    size_t position = 0;  // characters with primary codes so far

    for (char16_t ch : text) {
        CharCode code = sortorder::generalLegacyCode(ch);
        if (code.kind == CharKind::Unknown) throwUnkeyable(ch);
        size_t charPosition = position;
        if (code.primaryLen > 0) {
            appendPrimary(out, code);
            ++position;
        }
        if (code.kind == CharKind::Simple || code.kind == CharKind::Ignored) continue;

        bool accent =
            code.kind == CharKind::Accented || (code.kind == CharKind::Kana && code.extraLen > 0);
        if (accent || code.kind == CharKind::ModifierExt) {
            haveExtra = true;
            if (extraChars < charPosition) {
                extra.insert(extra.end(), charPosition - extraChars, 0x02);
                extraChars = charPosition;
            }
            if (accent) {
                extra.insert(extra.end(), code.extra.begin(), code.extra.begin() + code.extraLen);
                ++extraChars;
            } else if (!extra.empty()) {
                extra.back() = uint8_t(extra.back() + code.extra[0]);
            } else {
                extra.push_back(code.extra[0]);
                extraPrefix = 1;
            }
        }
        if (code.kind == CharKind::Unprintable) {
            // The position counts accent bytes written so far (when there are any) rather
            // than characters.
            size_t pos = charPosition;
            if (haveExtra) pos = extra.size() + (charPosition - extraChars) - extraPrefix;
            unsigned value = (7 + 4 * unsigned(pos)) | 0x8000;
            unprintables.push_back(uint8_t(value >> 8));
            unprintables.push_back(uint8_t(value & 0xFF));
            unprintables.push_back(0x06);
            unprintables.push_back(code.unprintable);
        }
        if (code.kind == CharKind::Kana) kana.push_back(code.kanaFlag);
    }

    out.push_back(0x01);
    while (!extra.empty() && extra.back() <= 0x02) extra.pop_back();
    bool haveUnprintables = !unprintables.empty();
    bool haveKana = !kana.empty();
    out.insert(out.end(), extra.begin(), extra.end());
    if (!haveKana && !haveUnprintables) return;
    out.push_back(0x01);
    out.push_back(0x01);
    if (haveKana) {
        while (!kana.empty() && kana.back() == 3) kana.pop_back();
        for (size_t i = 0; i < kana.size(); i += 3) {
            uint8_t b = 0x80;
            for (size_t j = 0; j < 3 && i + j < kana.size(); ++j)
                b = uint8_t(b | kana[i + j] << (2 * (2 - j)));
            out.push_back(b);
        }
        for (uint8_t b : {0xFF, 0x02, 0x80, 0xFF, 0x80}) out.push_back(b);
        if (haveUnprintables) out.push_back(0xFF);
    }
    if (haveUnprintables) {
        out.push_back(0x01);
        out.insert(out.end(), unprintables.begin(), unprintables.end());
    }
}

class NibbleWriter {
public:
    explicit NibbleWriter(Bytes& out) : out_(out) {}
    void put(uint8_t nibble) {
        if (high_) {
            out_.push_back(uint8_t((nibble & 0x0F) << 4));
        } else {
            out_.back() = uint8_t(out_.back() | (nibble & 0x0F));
        }
        high_ = !high_;
    }

private:
    Bytes& out_;
    bool high_ = true;
};

void encodeGeneral97(const std::u16string& text, Bytes& out) {
    Bytes accents;
    NibbleWriter nibbles(accents);
    size_t significant = 0;
    for (char16_t ch : text) {
        CharCode code = sortorder::general97Code(ch);
        if (code.kind == CharKind::Unknown) throwUnkeyable(ch);
        appendPrimary(out, code);
        if (code.kind == CharKind::Significant) {
            ++significant;
        } else if (code.kind == CharKind::Accented) {
            if (accents.empty()) nibbles.put(0);
            for (; significant > 0; --significant) nibbles.put(0x02);
            nibbles.put(code.extra[0]);
        }
    }
    if (accents.empty()) {
        out.push_back(0x00);
        return;
    }
    nibbles.put(0);
    out.insert(out.end(), accents.begin(), accents.end());
}

}  // namespace

std::u16string toIndexedUnits(std::string_view utf8) {
    std::u16string units = utf8ToUtf16(utf8, kMaxIndexedUnits);
    while (!units.empty() && units.back() == u' ') units.pop_back();
    return units;
}

void appendTextKey(Bytes& out, const std::u16string& units, JetVersion version, bool ascending) {
    size_t start = out.size();
    if (version == JetVersion::Jet3) {
        encodeGeneral97(units, out);
        if (!ascending) {
            for (size_t i = start; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
        }
        return;
    }
    encodeGeneralLegacy(units, out);
    if (!ascending) {
        out.push_back(0x00);
        for (size_t i = start; i < out.size(); ++i) out[i] = uint8_t(~out[i]);
    }
    out.push_back(0x00);
}

Bytes encodeTextKey(std::string_view utf8, JetVersion version) {
    Bytes out;
    appendTextKey(out, toIndexedUnits(utf8), version, true);
    return out;
}

}  // namespace jet
