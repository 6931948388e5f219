// Waits between reconnection attempts: 1 s, doubled after each failure, at most 30 s. The waits
// start again from the first only after a link that stayed up for a minute: a server that sends
// one good record and then fails is tried less and less often, not once a second for ever.
#pragma once

#include <chrono>
#include <optional>

namespace web {

class Backoff {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds first{1};
    static constexpr std::chrono::seconds longest{30};
    static constexpr std::chrono::seconds kSteady{60};

    // The link works (it delivers records) from this moment; later calls keep the first moment.
    void link_up(Clock::time_point now);
    // The link has worked for kSteady by now.
    bool steady(Clock::time_point now) const { return up_since_ && now - *up_since_ >= kSteady; }
    // The link ended or an attempt failed: the wait before the next attempt. Each call doubles the
    // one after, unless the link had been steady, when this wait is the first again.
    std::chrono::seconds next(Clock::time_point now = Clock::now());
    // The next wait is the first again.
    void reset() { next_ = first; }

private:
    std::chrono::seconds next_ = first;
    std::optional<Clock::time_point> up_since_;
};

}  // namespace web
