// Fuzz target: arbitrary bytes as a stored recording, decoded for playing.
//
// Besides crashes, sanitizer reports and hangs, a finding is a broken promise of the
// decoder: an accepted recording without samples or with a sample count that is not whole
// frames, a refusal without a reason, or a conversion to the output's format whose length
// is not whole output frames.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "extract/wav_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const tdv::extract::DecodedWav d = tdv::extract::decodeWav(bytes);
    if (!d.ok) {
        if (d.error.empty()) std::abort();
        return 0;
    }
    const auto& audio = d.audio;
    if (audio.samples.empty() || audio.channels < 1 ||
        audio.samples.size() % static_cast<size_t>(audio.channels) != 0) {
        std::abort();
    }
    // Short recordings only: the conversion's cost grows with the length.
    if (audio.samples.size() < 100000) {
        const auto out = tdv::extract::converted(audio, 48000, 2);
        if (out.samples.size() % 2 != 0) std::abort();
    }
    return 0;
}
