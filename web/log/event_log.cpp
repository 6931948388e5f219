#include "web/log/event_log.h"

#include <cstdlib>

#include "web/log/log_line.h"

namespace web::log {
namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t days_from_civil(int64_t year, int64_t month, int64_t day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t of_era = year - era * 400;
    const int64_t of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t of_cycle = of_era * 365 + of_era / 4 - of_era / 100 + of_year;
    return era * 146097 + of_cycle - 719468;
}

int64_t number(const std::string &text, size_t at, size_t length) {
    return std::atoll(text.substr(at, length).c_str());
}

bool resets_the_map(const LogEvent &event) {
    return event.kind == Kind::map ||
           (event.kind == Kind::other && (event.text.rfind("Loading map ", 0) == 0 || event.text == "Log file closed" ||
                                          event.text == "Server shutdown"));
}

}  // namespace

int64_t log_seconds(const std::string &time) {
    if (time.size() != 19)
        return 0;
    const int64_t days = days_from_civil(number(time, 0, 4), number(time, 5, 2), number(time, 8, 2));
    return days * 86400 + number(time, 11, 2) * 3600 + number(time, 14, 2) * 60 + number(time, 17, 2);
}

bool EventLog::take_text(const std::string &text) {
    LogEvent event;
    if (!parse_log_line(text, &event))
        return false;
    event.seq = 0;
    take(std::move(event));
    return true;
}

void EventLog::take(LogEvent event) {
    event.seq = event.seq > last_seq_ ? event.seq : last_seq_ + 1;
    last_seq_ = event.seq;
    follow(event);
    tally(event);
    events_.push_back(std::move(event));
    if (events_.size() > kLongestKept)
        events_.pop_front();
}

std::vector<const LogEvent *> EventLog::since(uint64_t seq) const {
    std::vector<const LogEvent *> after;
    for (auto it = events_.rbegin(); it != events_.rend() && it->seq > seq; ++it)
        after.push_back(&*it);
    return std::vector<const LogEvent *>(after.rbegin(), after.rend());
}

// The round panel: numbered from the map's (or the game's) start; UDP may lose a line, so each line
// sets what it says and no more.
void EventLog::follow(const LogEvent &event) {
    const int64_t seconds = log_seconds(event.time);
    if (seconds)
        latest_seconds_ = seconds;
    if (resets_the_map(event) || event.kind == Kind::game_commencing || event.kind == Kind::restart) {
        round_ = 0;
        in_round_ = false;
        if (event.kind != Kind::game_commencing)
            results_.clear();
    }
    if (event.kind == Kind::round_start) {
        ++round_;
        in_round_ = true;
        round_started_ = event.time;
        round_start_seconds_ = latest_seconds_;
    } else if (event.kind == Kind::round_end) {
        in_round_ = false;
    } else if (event.kind == Kind::team_win) {
        results_.push_back(RoundResult{event.team, event.event, event.scores});
        if (results_.size() > kResultsKept)
            results_.pop_front();
    }
}

PlayerTally *EventLog::tally_of(const LogPlayer &player) {
    if (player.user_id < 0)
        return nullptr;
    auto found = tallies_.find(player.user_id);
    if (found == tallies_.end()) {
        if (tallies_.size() >= kPlayersKept)
            return nullptr;
        found = tallies_.emplace(player.user_id, PlayerTally()).first;
    }
    found->second.name = player.name;
    found->second.team = player.team;
    return &found->second;
}

void EventLog::tally(const LogEvent &event) {
    if (resets_the_map(event))
        tallies_.clear();
    if (event.kind == Kind::kill) {
        if (PlayerTally *killer = tally_of(event.killer)) {
            ++(event.team_kill ? killer->team_kills : killer->kills);
            killer->headshots += event.headshot == 1;
        }
        if (PlayerTally *victim = tally_of(event.victim))
            ++victim->deaths;
    } else if (event.kind == Kind::suicide) {
        if (PlayerTally *victim = tally_of(event.player))
            ++victim->deaths;
    }
}

}  // namespace web::log
