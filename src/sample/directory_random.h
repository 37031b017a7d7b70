// A small deterministic random source for the sample generator.
//
// splitmix64: the same seed gives the same sequence on every platform and compiler (the
// standard distributions are not portable, so ranges are derived here by plain arithmetic).
// Each table family draws from its own stream (forStream), so adding rows to one family
// never shifts the values of another.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tdv::sample {

class SampleRandom {
public:
    explicit SampleRandom(uint64_t seed) : state_(seed) {}

    // An independent stream for one purpose (a table family) derived from the seed.
    static SampleRandom forStream(uint64_t seed, uint64_t stream) {
        SampleRandom mix(seed ^ (stream * 0xD1B54A32D192ED03ull));
        return SampleRandom(mix.next());
    }

    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, n); n > 0. The bias of the modulo is irrelevant for sample data.
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }
    // Uniform in [lo, hi].
    int32_t between(int32_t lo, int32_t hi) {
        return lo + static_cast<int32_t>(below(static_cast<uint32_t>(hi - lo + 1)));
    }
    // True with the given percentage (0..100).
    bool percent(uint32_t p) { return below(100) < p; }

    template <class T>
    const T& pick(const std::vector<T>& items) {
        return items[below(static_cast<uint32_t>(items.size()))];
    }

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex, as the backup tool writes
    // ObjectIDs.
    std::string guidText() {
        static const char* const kHex = "0123456789ABCDEF";
        uint64_t hi = next(), lo = next();
        std::string out = "{";
        for (int i = 0; i < 32; ++i) {
            if (i == 8 || i == 12 || i == 16 || i == 20) out += '-';
            const uint64_t word = i < 16 ? hi : lo;
            out += kHex[(word >> (4 * (15 - i % 16))) & 0xF];
        }
        return out + "}";
    }

private:
    uint64_t state_;
};

}  // namespace tdv::sample
