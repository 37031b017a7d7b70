// Compact tables of the General Legacy order beyond Latin-1: runs of consecutive code
// points whose codes follow one rule.
//
// A run covers `count` code points from `first`. With step 0 every code point of the run has
// the same code; with step 1 the primary code is a two-byte weight that grows by one per code
// point (weights count through second bytes 0x02..0xFF, so 0x81FF is followed by 0x8202).
// Kinds are given by letter: X ignored, S simple, A accented, U unprintable, M combining
// modifier, K kana.
#pragma once

#include <cstdint>
#include <span>

namespace jet::sortorder {

struct CodeRun {
    char16_t first = 0;
    uint16_t count = 0;
    char kind = 'X';
    uint8_t step = 0;
    uint32_t primary = 0;  // big-endian bytes, primaryLen of them
    uint8_t primaryLen = 0;
    uint16_t extra = 0;  // big-endian bytes, extraLen of them
    uint8_t extraLen = 0;
    uint8_t unprintable = 0;
    uint8_t kanaFlag = 0;
};

// Runs sorted by first code point, together covering U+0100..U+D7FF and U+E000..U+FFFF.
std::span<const CodeRun> generalLegacyRunsLow();   // U+0100..U+D7FF
std::span<const CodeRun> generalLegacyRunsHigh();  // U+E000..U+FFFF

}  // namespace jet::sortorder
