#include "web/actions/rate_limit.h"

namespace web::actions {

bool RateLimit::take(const std::string &user, Clock::time_point now) {
    // Users are few (the users file's), so their entries are kept; each holds at most kPerMinute.
    std::deque<Clock::time_point> &times = recent_[user];
    while (!times.empty() && now - times.front() >= std::chrono::minutes(1))
        times.pop_front();
    if (times.size() >= kPerMinute)
        return false;
    times.push_back(now);
    return true;
}

}  // namespace web::actions
