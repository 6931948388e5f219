// "cstrike" defusal maps: the bomb, carried by a terrorist (its origin moving with him), dropped
// where he dies and picked up by another, planted at a site, then exploding or defused.
#pragma once

#include "simhost/match_state.h"

namespace simhost {

class CstrikeBomb {
public:
    void spawn(MatchState &state);
    // Handed to a living terrorist, unplanted.
    void new_round(MatchState &state);
    void update(MatchState &state);
    bool goal_for(MatchState &state, const Bot &bot, Point *goal) const;
    // The side that won by it, -1 while undecided.
    int winner() const { return winner_; }
    bool ticking() const { return state_ == PLANTED; }

private:
    enum State { CARRIED, DROPPED, PLANTED, DONE };

    const Point &nearest_site(const Point &at) const;
    void carry(MatchState &state);
    void tick(MatchState &state);

    edict_t *entity_ = nullptr;
    State state_ = DROPPED;
    int carrier_ = -1;  // bot index
    double planted_at_ = 0.0, defusing_ = 0.0;
    Point sites_[2];
    int winner_ = -1;
};

}  // namespace simhost
