// The public view shows each server as it was some seconds ago, so that nobody playing can read
// live enemy positions from it. The public renderings of each server are kept with their time, at
// most one per kSpacing, for as long as the delay asks.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

namespace web::access {

class PublicDelay {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kSpacing{200};
    static constexpr int kLongestDelaySeconds = 300;

    explicit PublicDelay(std::chrono::seconds delay) : delay_(delay) {}
    std::chrono::seconds delay() const { return delay_; }

    // The server's state now, as the public sees it (its detail JSON), and the seq of the latest
    // event of its log then (0: none).
    void add(const std::string &server, std::shared_ptr<const std::string> detail, Clock::time_point now,
             uint64_t last_event_seq = 0);
    // The newest rendering at least the delay old; null while there is none.
    std::shared_ptr<const std::string> at(const std::string &server, Clock::time_point now);
    // The latest event seq of that rendering: the public sees the log's events up to it. False
    // while there is none.
    bool events_until(const std::string &server, Clock::time_point now, uint64_t *seq);
    void forget(const std::string &server) { servers_.erase(server); }

private:
    struct Rendering {
        Clock::time_point time;
        std::shared_ptr<const std::string> detail;
        uint64_t last_event_seq;
    };
    void prune(std::deque<Rendering> &renderings, Clock::time_point now) const;
    // The rendering shown now; null while none is the delay old.
    const Rendering *shown(const std::string &server, Clock::time_point now);

    std::chrono::seconds delay_;
    std::map<std::string, std::deque<Rendering>> servers_;
};

}  // namespace web::access
