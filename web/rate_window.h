// A server's byte rate over the last few seconds, in whole-second slots: what its recording is
// measured by.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace web {

class RateWindow {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kSeconds = 5;

    void add(size_t bytes, Clock::time_point now);
    // Bytes a second over the last kSeconds seconds (this one included).
    double rate(Clock::time_point now);

private:
    void advance(int64_t second);

    std::array<uint64_t, kSeconds> slots_{};
    int64_t newest_ = -1;  // the second slots_ ends at
};

}  // namespace web
