// Decoding a stored WAV recording into 16-bit PCM samples, in memory, for playing it.
//
// The voice servers record 8 kHz mono telephone audio. Recordings in a backup are WAV
// files (RIFF/WAVE) whose "fmt " chunk names the encoding; these decode:
//   - PCM, 8-bit unsigned, 16-bit, 24-bit and 32-bit signed (format tag 1),
//   - G.711 A-law (tag 6) and mu-law (tag 7), 8 bits a sample,
//   - the same three inside WAVE_FORMAT_EXTENSIBLE (tag 0xFFFE).
// Compressed encodings that servers can also store (GSM 6.10, G.729, G.726, IMA and
// Microsoft ADPCM, ...) are recognised by name and refused with that name, as is anything
// that is not a whole WAV file. Nothing here writes a file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tdv::extract {

struct PcmAudio {
    int sampleRate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved by channel
    double seconds() const {
        return sampleRate > 0 && channels > 0
                   ? static_cast<double>(samples.size()) / (sampleRate * channels)
                   : 0;
    }
};

struct DecodedWav {
    bool ok = false;
    std::string error;     // why it cannot be played, when not ok
    std::string encoding;  // e.g. "G.711 mu-law, 8000 Hz, mono"
    PcmAudio audio;
};

DecodedWav decodeWav(const std::vector<uint8_t>& bytes);

// The audio at another sample rate and channel count (linear interpolation; channels are
// mixed down or copied), for a sound output that does not take the recording's own.
PcmAudio converted(const PcmAudio& audio, int sampleRate, int channels);

// G.711 expansions of one code to a 16-bit sample.
int16_t muLawDecode(uint8_t code);
int16_t aLawDecode(uint8_t code);

}  // namespace tdv::extract
