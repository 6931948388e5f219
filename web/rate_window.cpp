#include "web/rate_window.h"

namespace web {

// Slots of seconds gone by are emptied; a clock that went back changes nothing.
void RateWindow::advance(int64_t second) {
    const int64_t slots = static_cast<int64_t>(kSeconds);
    if (newest_ >= 0 && second <= newest_)
        return;
    if (newest_ < 0 || second - newest_ >= slots)
        slots_.fill(0);
    else
        for (int64_t gone = newest_ + 1; gone <= second; ++gone)
            slots_[static_cast<size_t>(gone % slots)] = 0;
    newest_ = second;
}

void RateWindow::add(size_t bytes, Clock::time_point now) {
    const int64_t second = std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count();
    advance(second);
    slots_[static_cast<size_t>(newest_ % static_cast<int64_t>(kSeconds))] += bytes;
}

double RateWindow::rate(Clock::time_point now) {
    advance(std::chrono::duration_cast<std::chrono::seconds>(now.time_since_epoch()).count());
    uint64_t sum = 0;
    for (const uint64_t bytes : slots_)
        sum += bytes;
    return static_cast<double>(sum) / kSeconds;
}

}  // namespace web
