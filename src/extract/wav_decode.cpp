#include "extract/wav_decode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tdv::extract {
namespace {

constexpr uint16_t kPcm = 0x0001;
constexpr uint16_t kALaw = 0x0006;
constexpr uint16_t kMuLaw = 0x0007;
constexpr uint16_t kExtensible = 0xFFFE;
constexpr int kMaxChannels = 8;
constexpr uint32_t kMaxSampleRate = 384000;

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The names of the encodings a telephone recording may come in and that are not decoded.
std::string encodingName(uint16_t tag) {
    switch (tag) {
        case 0x0002:
            return "Microsoft ADPCM";
        case 0x0003:
            return "IEEE float";
        case 0x0011:
            return "IMA ADPCM";
        case 0x0031:
            return "GSM 6.10";
        case 0x0040:
            return "G.721 ADPCM";
        case 0x0045:
            return "G.726 ADPCM";
        case 0x0064:
            return "G.726 ADPCM";
        case 0x0065:
            return "G.722 ADPCM";
        case 0x0083:
            return "G.729";
        case 0x0133:
            return "G.729A";
        case 0x0055:
            return "MPEG Layer 3";
        default:
            return {};
    }
}

std::string channelsText(int channels) {
    return channels == 1   ? "mono"
           : channels == 2 ? "stereo"
                           : std::to_string(channels) + " channels";
}

DecodedWav refused(std::string why) {
    DecodedWav d;
    d.error = std::move(why);
    return d;
}

}  // namespace

int16_t muLawDecode(uint8_t code) {
    code = static_cast<uint8_t>(~code);
    const int sign = code & 0x80;
    const int exponent = (code >> 4) & 0x07;
    const int mantissa = code & 0x0F;
    const int magnitude = ((mantissa << 3) + 0x84) << exponent;
    return static_cast<int16_t>(sign ? 0x84 - magnitude : magnitude - 0x84);
}

int16_t aLawDecode(uint8_t code) {
    code ^= 0x55;
    const int sign = code & 0x80;
    const int exponent = (code >> 4) & 0x07;
    const int mantissa = code & 0x0F;
    int magnitude =
        exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
    return static_cast<int16_t>(sign ? magnitude : -magnitude);
}

DecodedWav decodeWav(const std::vector<uint8_t>& bytes) {
    const size_t size = bytes.size();
    const uint8_t* p = bytes.data();
    if (size < 12 || std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) {
        return refused("The recording is not a WAV file.");
    }
    // Walk the chunks: "fmt " first, then "data" (a data chunk cut short by the end of the
    // stored bytes plays as far as it goes).
    const uint8_t* fmt = nullptr;
    uint32_t fmtSize = 0;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
    size_t at = 12;
    while (at + 8 <= size) {
        const uint32_t chunkSize = le32(p + at + 4);
        const size_t body = at + 8;
        const size_t available = size - body;
        if (std::memcmp(p + at, "fmt ", 4) == 0 && fmt == nullptr) {
            if (chunkSize < 16 || chunkSize > available) break;
            fmt = p + body;
            fmtSize = chunkSize;
        } else if (std::memcmp(p + at, "data", 4) == 0) {
            data = p + body;
            dataSize = chunkSize < available ? chunkSize : available;
            break;
        }
        if (chunkSize > available) break;
        at = body + chunkSize + (chunkSize & 1);
    }
    if (fmt == nullptr) return refused("The WAV file has no format description.");
    uint16_t tag = le16(fmt);
    const int channels = le16(fmt + 2);
    const uint32_t rate = le32(fmt + 4);
    const uint16_t blockAlign = le16(fmt + 12);
    const int bits = le16(fmt + 14);
    if (tag == kExtensible && fmtSize >= 40) tag = le16(fmt + 24);  // the sub-format GUID
    if (tag != kPcm && tag != kALaw && tag != kMuLaw) {
        const std::string name = encodingName(tag);
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(tag));
        return refused(
            "The recording is encoded as " +
            (name.empty() ? std::string("format ") + hex : name + " (format " + hex + ")") +
            ", which this viewer cannot play; extract it and play it with a "
            "program that knows that encoding.");
    }
    if (channels < 1 || channels > kMaxChannels || rate < 1000 || rate > kMaxSampleRate) {
        return refused("The WAV file's format description is damaged.");
    }
    const bool g711 = tag != kPcm;
    if ((g711 && bits != 8) || (!g711 && bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        return refused("The recording uses " + std::to_string(bits) +
                       " bits a sample, which this viewer cannot play.");
    }
    const size_t bytesPerSample = static_cast<size_t>(bits / 8);
    const size_t frame = bytesPerSample * static_cast<size_t>(channels);
    if (blockAlign != 0 && blockAlign != frame) {
        return refused("The WAV file's format description is damaged.");
    }
    if (data == nullptr || dataSize < frame) return refused("The recording holds no sound.");

    DecodedWav d;
    d.ok = true;
    d.audio.sampleRate = static_cast<int>(rate);
    d.audio.channels = channels;
    const size_t count = dataSize / frame * static_cast<size_t>(channels);
    d.audio.samples.resize(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* s = data + i * bytesPerSample;
        int16_t v = 0;
        if (tag == kMuLaw) {
            v = muLawDecode(*s);
        } else if (tag == kALaw) {
            v = aLawDecode(*s);
        } else if (bits == 8) {
            v = static_cast<int16_t>((static_cast<int>(*s) - 128) << 8);
        } else {
            // The top 16 bits of a little-endian signed sample.
            v = static_cast<int16_t>(s[bytesPerSample - 1] << 8 | s[bytesPerSample - 2]);
        }
        d.audio.samples[i] = v;
    }
    const std::string kind = tag == kMuLaw  ? "G.711 mu-law"
                             : tag == kALaw ? "G.711 A-law"
                                            : std::to_string(bits) + "-bit PCM";
    d.encoding = kind + ", " + std::to_string(rate) + " Hz, " + channelsText(channels);
    return d;
}

PcmAudio converted(const PcmAudio& audio, int sampleRate, int channels) {
    PcmAudio out;
    out.sampleRate = sampleRate;
    out.channels = channels;
    if (audio.channels < 1 || audio.sampleRate < 1 || sampleRate < 1 || channels < 1) return out;
    const size_t frames = audio.samples.size() / static_cast<size_t>(audio.channels);
    if (frames == 0) return out;
    // One mono value per source frame (channels averaged), then spread to the target.
    std::vector<int> mono(frames);
    for (size_t f = 0; f < frames; ++f) {
        int sum = 0;
        for (int c = 0; c < audio.channels; ++c) {
            sum += audio.samples[f * static_cast<size_t>(audio.channels) + static_cast<size_t>(c)];
        }
        mono[f] = sum / audio.channels;
    }
    const size_t outFrames =
        static_cast<size_t>(static_cast<double>(frames) * sampleRate / audio.sampleRate);
    out.samples.reserve(outFrames * static_cast<size_t>(channels));
    for (size_t f = 0; f < outFrames; ++f) {
        const double pos = static_cast<double>(f) * audio.sampleRate / sampleRate;
        const size_t i = static_cast<size_t>(pos);
        const double frac = pos - static_cast<double>(i);
        const int a = mono[std::min(i, frames - 1)];
        const int b = mono[std::min(i + 1, frames - 1)];
        const auto v = static_cast<int16_t>(a + (b - a) * frac);
        for (int c = 0; c < channels; ++c) out.samples.push_back(v);
    }
    return out;
}

}  // namespace tdv::extract
