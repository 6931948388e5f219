// Rounds: each ends when the objective decides it, when a side has nobody left standing (in games
// where the dead wait for the next round) or when its time is up. The game then sends every
// team's score, and in games that restart rounds puts every player and objective back a few
// seconds later. Games with match restarts start the match again ("Game Commencing") once both
// sides have players, and whenever the console sets sv_restart: every score, frag and death back to
// 0, every team sent its score of 0, a new round.
#pragma once

#include "simhost/match_state.h"
#include "simhost/objectives.h"

namespace simhost {

class Rounds {
public:
    // A new map: scores from nothing, the first round from now.
    void start_map(MatchState &state);
    // Ends the round when it is over, and starts the next when it is due.
    void update(MatchState &state, Objectives &objectives);
    // The game's TeamScore for each team, in team order (games without team names send none).
    void send_scores(MatchState &state) const;
    // `World triggered "Round_Start"` in the games that write it.
    void log_round_start(MatchState &state) const;
    // Rounds over and followed by the next.
    int played() const { return played_; }

private:
    void watch_restarts(MatchState &state);
    void restart_match(MatchState &state, Objectives &objectives);
    int decided_winner(const MatchState &state, const Objectives &objectives, bool *over) const;
    void end_round(MatchState &state, int winner);
    void next_round(MatchState &state, Objectives &objectives);
    void log_restart(MatchState &state, float seconds) const;
    static bool writes_round_lines(const MatchState &state);
    // Every player and objective as the round starts them.
    void put_back(MatchState &state, Objectives &objectives);

    double started_ = 0.0;
    double next_at_ = -1.0;  // when the next round starts; below 0 while a round is on
    int played_ = 0;
    bool commenced_ = false;
    double restart_at_ = -1.0;  // below 0: no restart pending
};

}  // namespace simhost
