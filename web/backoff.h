// Waits between reconnection attempts: 1 s, doubled after each failure, at most 30 s.
#pragma once

#include <chrono>

namespace web {

class Backoff {
public:
    static constexpr std::chrono::seconds first{1};
    static constexpr std::chrono::seconds longest{30};

    // The wait before the next attempt; each call doubles the one after.
    std::chrono::seconds next();
    // After a connection that worked: the next wait is the first again.
    void reset() { next_ = first; }

private:
    std::chrono::seconds next_ = first;
};

}  // namespace web
