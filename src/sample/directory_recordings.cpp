#include "sample/directory_recordings.h"

namespace tdv::sample {

std::vector<uint8_t> RecordingMaker::recording(SampleRandom& rng, size_t ordinal) {
    static constexpr uint32_t kPitches[] = {262, 330, 392, 440, 494, 523, 587, 659};
    const uint32_t hz = kPitches[rng.below(8)];
    if (ordinal < kFullLengthObjects) {
        const uint32_t ms = 300 + 150 * rng.below(9);
        return tone(hz, ms, ordinal % 5 == 2 ? WavEncoding::Pcm16 : WavEncoding::MuLaw8);
    }
    return tone(hz, 20 + 10 * rng.below(4), WavEncoding::MuLaw8);
}

const std::vector<uint8_t>& RecordingMaker::tone(uint32_t hz, uint32_t ms, WavEncoding encoding) {
    const auto key = std::make_tuple(hz, ms, static_cast<int>(encoding));
    auto it = cache_.find(key);
    if (it == cache_.end()) {
        ToneShape shape;
        shape.frequencyHz = hz;
        shape.milliseconds = ms;
        shape.encoding = encoding;
        it = cache_.emplace(key, makeToneWav(shape)).first;
    }
    return it->second;
}

}  // namespace tdv::sample
