// Actions per user within a sliding minute: a stolen or runaway admin token does a bounded harm.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <string>

namespace web::actions {

class RateLimit {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr size_t kPerMinute = 30;

    // True, and counted, when the user has done fewer than kPerMinute within the minute before `now`.
    bool take(const std::string &user, Clock::time_point now = Clock::now());

private:
    std::map<std::string, std::deque<Clock::time_point>> recent_;
};

}  // namespace web::actions
