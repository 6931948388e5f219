// "cstrike" rescue maps: hostages that follow a counter-terrorist who reaches them to the rescue
// zone, and are sometimes hit when the sides fight around them.
#pragma once

#include <vector>

#include "simhost/match_state.h"

namespace simhost {

class CstrikeHostages {
public:
    void spawn(MatchState &state);
    // Back where the map put them, unhurt.
    void new_round();
    void update(MatchState &state);
    bool goal_for(MatchState &state, const Bot &bot, Point *goal) const;
    // The counter-terrorists once every hostage still alive has been rescued; else -1.
    int winner() const;

private:
    struct Hostage {
        edict_t *entity = nullptr;
        Point home;
        int follower = -1;  // bot index
        bool rescued = false;
        bool waiting() const { return !rescued && follower < 0 && entity->v.deadflag == DEAD_NO; }
    };

    void update(MatchState &state, Hostage &hostage);
    static void follow(MatchState &state, Hostage &hostage, const Point &leader);
    static void stray_fire(MatchState &state, Hostage &hostage);

    std::vector<Hostage> hostages_;
    Point rescue_zone_;
};

}  // namespace simhost
