#include "simhost/random.h"

namespace simhost {

// splitmix64: every seed, 0 included, gives a full-period sequence.
std::uint64_t Random::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

int Random::below(int count) {
    if (count <= 0)
        return 0;
    return static_cast<int>(next() % static_cast<std::uint64_t>(count));
}

static double unit(std::uint64_t bits) { return static_cast<double>(bits >> 11) * (1.0 / 9007199254740992.0); }

float Random::real(float low, float high) { return low + static_cast<float>(unit(next()) * (high - low)); }

bool Random::chance(double probability) { return unit(next()) < probability; }

}  // namespace simhost
