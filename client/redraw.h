// When to redraw: the plug-in sends a report cycle over a few frames, and one redraw for the
// whole burst is enough; a steady trickle still redraws twice a second.
#pragma once

#include <algorithm>
#include <chrono>

namespace client {

using Clock = std::chrono::steady_clock;

class RedrawSchedule {
public:
    void changed(Clock::time_point now) {
        if (!pending_)
            first_change_ = now;
        pending_ = true;
        last_change_ = now;
    }
    bool pending() const { return pending_; }
    Clock::time_point due_time() const { return std::min(last_change_ + kQuiet, first_change_ + kLongest); }
    bool due(Clock::time_point now) const { return pending_ && now >= due_time(); }
    void shown() { pending_ = false; }

private:
    static constexpr Clock::duration kQuiet = std::chrono::milliseconds(80);
    static constexpr Clock::duration kLongest = std::chrono::milliseconds(500);
    bool pending_ = false;
    Clock::time_point first_change_;
    Clock::time_point last_change_;
};

}  // namespace client
