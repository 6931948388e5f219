// "cstrike" defusal maps: the bomb, as the game handles it. A "weapon_c4" carried by a terrorist
// (following him, without a model of its own); when he dies it is packed into a "weaponbox" that is
// thrown and lands a little way off, the weapon keeping the origin where it was packed; another
// terrorist picks the box up. Planting removes the weapon: the planted bomb is a "grenade" with the
// bomb's model, which explodes (and is removed) or is defused.
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
    void remove_all(MatchState &state);
    // `event`: the line the game logs for it.
    void give_to(MatchState &state, int carrier, const char *event);
    void pack(MatchState &state, const Point &at, bool thrown);
    void carry(MatchState &state);
    void lie(MatchState &state);
    void plant(MatchState &state, const Bot &planter);
    void tick(MatchState &state);
    Point where() const;

    bool in_play_ = false;        // a defusal map
    edict_t *weapon_ = nullptr;   // "weapon_c4" while carried or dropped
    edict_t *box_ = nullptr;      // "weaponbox" holding it while dropped
    edict_t *planted_ = nullptr;  // "grenade" once planted
    State state_ = DONE;
    int carrier_ = -1;  // bot index
    Point box_from_, box_to_;
    double thrown_at_ = 0.0;
    double planted_at_ = 0.0, defusing_ = 0.0;
    Point sites_[2];
    int winner_ = -1;
};

}  // namespace simhost
