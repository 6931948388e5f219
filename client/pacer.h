// Commands sent one at a time: the server reads each client once per query tick and honours
// only the first line of what it read, so two commands must never meet in one read.
#pragma once

#include <chrono>
#include <deque>
#include <set>
#include <string>

namespace client {

using Clock = std::chrono::steady_clock;

struct Command {
    std::string line;
    // A request for a record that is no longer needed once a record of this kind has arrived
    // ("" for a command always sent).
    std::string unless_seen;
};

class Pacer {
public:
    explicit Pacer(Clock::duration spacing) : spacing_(spacing) {}
    void add(const Command &command) { queue_.push_back(command); }
    // The next command to send now, if one is due; commands no longer needed are dropped.
    bool due(Clock::time_point now, const std::set<std::string> &seen_kinds, Command *command);
    // When the next command may go (meaningful while commands remain).
    Clock::time_point next_time() const { return sent_any_ ? last_sent_ + spacing_ : Clock::time_point(); }
    bool empty() const { return queue_.empty(); }

private:
    Clock::duration spacing_;
    std::deque<Command> queue_;
    bool sent_any_ = false;
    Clock::time_point last_sent_;
};

}  // namespace client
