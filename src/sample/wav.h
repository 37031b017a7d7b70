// Playable WAV recordings for sample backups: voice names, greetings, interview questions.
//
// The voice servers record 8 kHz mono telephone audio, G.711 mu-law (8 bits a sample), and
// some tools store 16-bit PCM; both are made here. A recording is a short tone with a soft
// start and end, its pitch and length chosen by the caller. The samples come from integer
// arithmetic only, so the bytes are the same on every platform.
//
// makeStubRecording gives the few bytes a failed or cut-off recording leaves in a backup:
// the start of a RIFF header, n bytes long (tests use 10 and 11 around the size threshold
// below which a recording counts as missing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tdv::sample {

enum class WavEncoding { MuLaw8, Pcm16 };

struct ToneShape {
    uint32_t frequencyHz = 440;
    uint32_t milliseconds = 500;
    WavEncoding encoding = WavEncoding::MuLaw8;
    uint32_t sampleRate = 8000;
};

std::vector<uint8_t> makeToneWav(const ToneShape& shape);

std::vector<uint8_t> makeStubRecording(size_t bytes);

// G.711 mu-law code of a signed 16-bit sample.
uint8_t muLawEncode(int16_t sample);

}  // namespace tdv::sample
