// Checks the report stream a well-behaved client receives: every report cycle complete, in order,
// and none missing. A cycle is the SERVER record, the game's objective records, then PLAYER; chat
// records may come between them. A missing cycle shows as a step in the server's clock (from the
// SERVER record's TIMELEFT) of about two refresh periods where one is expected.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "stream/records.h"

namespace soak {

struct CycleRules {
    std::vector<std::string> objectives;  // the game's objective kinds, in sending order
    double refresh_seconds = 5.0;         // orlex_timer_refresh
    double time_limit_seconds = 1200.0;   // mp_timelimit in seconds: TIMELEFT counts down from it
    double map_seconds = 120.0;           // time on each map before the rotation moves on
};

// The clock step that separates one cycle from two. The SERVER record is rebuilt on its own timer,
// so a step between two cycles is the refresh period give or take that timer's period; with the
// server timer under half the refresh period, one period plus it stays below one and a half
// periods, and two periods less it stays above.
double longest_step(const CycleRules &rules);

// The chat records' kinds: they may come at any point of a cycle.
const std::vector<std::string> &chat_kinds();

class CycleCheck {
public:
    explicit CycleCheck(CycleRules rules) : rules_(std::move(rules)) {}

    void take(const records::Record &record);
    // A record that did not parse.
    void take_malformed() { fault("a record that is not well formed"); }

    std::uint64_t cycles() const { return cycles_; }
    std::uint64_t missed() const { return missed_; }
    std::uint64_t records() const { return records_; }
    std::uint64_t chat_records() const { return chat_; }
    std::uint64_t map_changes() const { return map_changes_; }
    std::uint64_t faults() const { return faults_; }
    // Game time the cycles covered, from the first SERVER record's clock to the latest.
    double game_seconds() const { return played_; }
    // The first faults, described.
    const std::vector<std::string> &fault_notes() const { return notes_; }

private:
    void start_cycle(const records::Record &server);
    void check_clock(const std::string &map, double clock);
    void step(const std::string &kind);
    // The report kind the cycle is at.
    std::string due() const;
    void fault(const std::string &what);

    CycleRules rules_;
    size_t next_ = 0;            // position in the cycle of the next report record; 0: SERVER
    bool synchronised_ = false;  // a whole cycle has begun since connecting
    bool has_clock_ = false;
    std::string map_;
    double clock_ = 0.0;
    double played_ = 0.0;
    std::uint64_t cycles_ = 0, missed_ = 0, records_ = 0, chat_ = 0, map_changes_ = 0, faults_ = 0;
    std::vector<std::string> notes_;
};

}  // namespace soak
