#include "sample/wav.h"

#include <algorithm>
#include <string_view>

namespace tdv::sample {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void tag(std::vector<uint8_t>& out, std::string_view fourCC) {
    out.insert(out.end(), fourCC.begin(), fourCC.end());
}

// Sine of a 16-bit phase (65536 = one turn) scaled to +-32767, by Bhaskara's rational
// approximation of the half wave (error below 0.2 %), in integers only.
int32_t sine16(uint32_t phase) {
    const int64_t half = 32768;
    const int64_t x = phase & 0x7FFF;
    const int64_t p = x * (half - x);
    const int64_t s = 16 * p * 32767 / (5 * half * half - 4 * p);
    return static_cast<int32_t>((phase & 0x8000) ? -s : s);
}

// Amplitude (of 1024) at sample i of n: 20 ms linear ramps at both ends.
int32_t envelope(uint32_t i, uint32_t n, uint32_t sampleRate) {
    const uint32_t ramp = std::max<uint32_t>(1, std::min(sampleRate / 50, n / 2));
    const uint32_t edge = std::min(i, n - 1 - i);
    return edge >= ramp ? 1024 : static_cast<int32_t>(edge * 1024 / ramp);
}

}  // namespace

uint8_t muLawEncode(int16_t sample) {
    constexpr int32_t kBias = 0x84, kClip = 32635;
    int32_t v = sample;
    const uint8_t sign = v < 0 ? 0x80 : 0x00;
    if (v < 0) v = -v;
    v = std::min(v, kClip) + kBias;
    int exponent = 7;
    for (int32_t mask = 0x4000; (v & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
    const int mantissa = (v >> (exponent + 3)) & 0x0F;
    return static_cast<uint8_t>(~(sign | (exponent << 4) | mantissa));
}

std::vector<uint8_t> makeToneWav(const ToneShape& shape) {
    const bool pcm = shape.encoding == WavEncoding::Pcm16;
    const uint32_t rate = std::max<uint32_t>(shape.sampleRate, 1000);
    const uint32_t samples = std::max<uint32_t>(1, rate / 1000 * shape.milliseconds);
    const uint32_t bytesPerSample = pcm ? 2 : 1;
    const uint32_t dataBytes = samples * bytesPerSample;
    const uint32_t fmtBytes = pcm ? 16 : 18;

    std::vector<uint8_t> out;
    out.reserve(64 + dataBytes);
    tag(out, "RIFF");
    put32(out, 4 + (8 + fmtBytes) + (pcm ? 0 : 12) + 8 + dataBytes);
    tag(out, "WAVE");
    tag(out, "fmt ");
    put32(out, fmtBytes);
    put16(out, pcm ? 1 : 7);  // format tag: PCM or mu-law
    put16(out, 1);            // mono
    put32(out, rate);
    put32(out, rate * bytesPerSample);
    put16(out, bytesPerSample);
    put16(out, pcm ? 16 : 8);
    if (!pcm) {
        put16(out, 0);  // no extra format bytes
        tag(out, "fact");
        put32(out, 4);
        put32(out, samples);
    }
    tag(out, "data");
    put32(out, dataBytes);

    // Phase step per sample in 1/65536 turns, kept in 16.16 fixed point for exact pitch.
    const uint64_t step = (static_cast<uint64_t>(shape.frequencyHz) << 32) / rate;
    uint64_t phase = 0;
    for (uint32_t i = 0; i < samples; ++i, phase += step) {
        const int32_t level = sine16(static_cast<uint32_t>(phase >> 16)) *
                              envelope(i, samples, rate) / 1024 / 2;  // -6 dB
        const auto sample = static_cast<int16_t>(level);
        if (pcm) {
            put16(out, static_cast<uint16_t>(sample));
        } else {
            out.push_back(muLawEncode(sample));
        }
    }
    return out;
}

std::vector<uint8_t> makeStubRecording(size_t bytes) {
    static constexpr uint8_t kHeader[] = {'R', 'I', 'F', 'F', 0x24, 0,   0,    0, 'W', 'A',
                                          'V', 'E', 'f', 'm', 't',  ' ', 0x10, 0, 0,   0};
    std::vector<uint8_t> out;
    for (size_t i = 0; i < bytes; ++i) out.push_back(kHeader[i % sizeof kHeader]);
    return out;
}

}  // namespace tdv::sample
