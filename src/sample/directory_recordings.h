// Recordings for the rows of a sample directory: voice names, greetings, questions.
//
// The first objects of each kind get realistic recordings (a third to one and a half
// seconds, mostly mu-law, some 16-bit PCM); beyond them, in large directories, recordings
// are a few hundredths of a second so a 50,000-user sample stays small. Tones come from a
// small set of pitches and lengths and are made once each (cached), then copied per row.
#pragma once

#include <cstdint>
#include <map>
#include <tuple>
#include <vector>

#include "sample/directory_random.h"
#include "sample/wav.h"

namespace tdv::sample {

class RecordingMaker {
public:
    // Objects of one kind numbered below this get full-length recordings.
    static constexpr size_t kFullLengthObjects = 40;

    // A recording for the object numbered `ordinal` among its kind.
    std::vector<uint8_t> recording(SampleRandom& rng, size_t ordinal);
    // A cut-off recording of n bytes (n <= 11 in the samples: around the size threshold).
    std::vector<uint8_t> stub(size_t n) { return makeStubRecording(n); }

private:
    const std::vector<uint8_t>& tone(uint32_t hz, uint32_t ms, WavEncoding encoding);

    std::map<std::tuple<uint32_t, uint32_t, int>, std::vector<uint8_t>> cache_;
};

}  // namespace tdv::sample
