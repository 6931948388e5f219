// One server's log as events: the latest kLongestKept of them numbered in order, the round under
// way with the latest results, and each player's kills and deaths since the map started.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "web/log/log_event.h"

namespace web::log {

struct PlayerTally {
    std::string name;
    std::string team;
    int kills = 0;  // of the other team's players
    int deaths = 0;
    int headshots = 0;
    int team_kills = 0;
};

struct RoundResult {
    std::string team;  // empty for a draw
    std::string event;
    std::vector<std::pair<std::string, int>> scores;
};

class EventLog {
public:
    static constexpr size_t kLongestKept = 1000;
    static constexpr size_t kResultsKept = 10;
    static constexpr size_t kPlayersKept = 256;  // tallies of one map; more players are not tallied

    // One log entry's text (stamp and body, secrets scrubbed); false when it has no stamp.
    bool take_text(const std::string &text);
    // An event as read (its seq is given here) or as replayed (its seq kept).
    void take(LogEvent event);
    // Forgets everything, as at the start of a replay's seek.
    void clear() { *this = EventLog(); }

    // The kept events after `seq`, oldest first.
    std::vector<const LogEvent *> since(uint64_t seq) const;
    const std::deque<LogEvent> &events() const { return events_; }
    // The seq of the latest event; 0 before the first.
    uint64_t last_seq() const { return last_seq_; }
    bool received() const { return !events_.empty(); }

    int round() const { return round_; }
    bool in_round() const { return in_round_; }
    const std::string &round_started() const { return round_started_; }
    // Log seconds from the round's start to the latest line; 0 outside a round.
    int64_t round_seconds() const { return in_round_ ? latest_seconds_ - round_start_seconds_ : 0; }
    const std::deque<RoundResult> &results() const { return results_; }
    const std::map<int, PlayerTally> &tallies() const { return tallies_; }

private:
    void follow(const LogEvent &event);
    void tally(const LogEvent &event);
    PlayerTally *tally_of(const LogPlayer &player);

    std::deque<LogEvent> events_;
    uint64_t last_seq_ = 0;
    int round_ = 0;
    bool in_round_ = false;
    std::string round_started_;
    int64_t round_start_seconds_ = 0, latest_seconds_ = 0;
    std::deque<RoundResult> results_;
    std::map<int, PlayerTally> tallies_;
};

// "YYYY-MM-DDTHH:MM:SS" as seconds since 1970 (the clock's zone ignored); 0 when it is not one.
int64_t log_seconds(const std::string &time);

}  // namespace web::log
