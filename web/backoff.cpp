#include "web/backoff.h"

#include <algorithm>

namespace web {

void Backoff::link_up(Clock::time_point now) {
    if (!up_since_)
        up_since_ = now;
}

std::chrono::seconds Backoff::next(Clock::time_point now) {
    if (steady(now))
        reset();
    up_since_.reset();
    const std::chrono::seconds wait = next_;
    next_ = std::min(next_ * 2, longest);
    return wait;
}

}  // namespace web
