// The match's one source of chance: a small generator of our own, so that a seed gives the same
// match on every platform and standard library.
#pragma once

#include <cstdint>

namespace simhost {

class Random {
public:
    explicit Random(std::uint64_t seed = 1) : state_(seed) {}

    std::uint64_t next();
    // 0..count-1; 0 when count is 0 or less.
    int below(int count);
    // low..high, both included.
    int between(int low, int high) { return low + below(high - low + 1); }
    // low..high, uniformly.
    float real(float low, float high);
    bool chance(double probability);

private:
    std::uint64_t state_;
};

}  // namespace simhost
