#include "simhost/cstrike_bomb.h"

#include <vector>

#include "simhost/cstrike_sides.h"
#include "simhost/objectives.h"

namespace simhost {
namespace {

const double BOMB_TIMER = 35.0, DEFUSE_TIME = 5.0;
const float PLANT_RADIUS = 160.0f, PICKUP_RADIUS = 64.0f, DEFUSE_RADIUS = 72.0f;
const char *const CARRIED_MODEL = "models/w_backpack.mdl";
const char *const PLANTED_MODEL = "models/w_c4.mdl";

}  // namespace

void CstrikeBomb::spawn(MatchState &state) {
    sites_[0] = state.box.spot(0.75f, 0.25f);
    sites_[1] = state.box.spot(0.8f, 0.75f);
    entity_ = spawn_entity(state, "weapon_c4", base_of(state.box, TERRORISTS), CARRIED_MODEL);
}

void CstrikeBomb::new_round(MatchState &state) {
    winner_ = -1;
    state_ = DROPPED;
    carrier_ = -1;
    if (!entity_)
        return;
    set_model(state, entity_, CARRIED_MODEL);
    set_origin(entity_, base_of(state.box, TERRORISTS));
    std::vector<int> terrorists;
    for (const Bot &bot : state.bots)
        if (bot.side == TERRORISTS && alive(bot))
            terrorists.push_back(bot_index(state, &bot));
    if (terrorists.empty())
        return;  // it waits at their spawn for the first to come by
    carrier_ = terrorists[state.random.below(static_cast<int>(terrorists.size()))];
    state_ = CARRIED;
}

void CstrikeBomb::update(MatchState &state) {
    if (!entity_)
        return;
    switch (state_) {
        case CARRIED:
            return carry(state);
        case DROPPED:
            carrier_ = bot_index(state, nearest_bot(state, origin_of(entity_), TERRORISTS, PICKUP_RADIUS));
            if (carrier_ >= 0)
                state_ = CARRIED;
            return;
        case PLANTED:
            return tick(state);
        case DONE:
            return;
    }
}

const Point &CstrikeBomb::nearest_site(const Point &at) const {
    return distance(at, sites_[0]) <= distance(at, sites_[1]) ? sites_[0] : sites_[1];
}

void CstrikeBomb::carry(MatchState &state) {
    const Bot &carrier = state.bots[carrier_];
    if (!alive(carrier)) {
        state_ = DROPPED;
        carrier_ = -1;
        return;
    }
    set_origin(entity_, position(carrier));
    if (flat_distance(position(carrier), nearest_site(position(carrier))) < PLANT_RADIUS) {
        state_ = PLANTED;
        carrier_ = -1;
        planted_at_ = state.clock;
        defusing_ = 0.0;
        set_model(state, entity_, PLANTED_MODEL);
    }
}

// Counting down, while a counter-terrorist standing at it defuses it.
void CstrikeBomb::tick(MatchState &state) {
    if (state.clock - planted_at_ >= BOMB_TIMER) {
        state_ = DONE;
        winner_ = TERRORISTS;
        return;
    }
    const bool defuser = bots_near(state, origin_of(entity_), COUNTER_TERRORISTS, DEFUSE_RADIUS) > 0;
    defusing_ = defuser ? defusing_ + state.frame_time() : 0.0;
    if (defusing_ >= DEFUSE_TIME) {
        state_ = DONE;
        winner_ = COUNTER_TERRORISTS;
    }
}

bool CstrikeBomb::goal_for(MatchState &state, const Bot &bot, Point *goal) const {
    if (!entity_ || state_ == DONE)
        return false;
    if (state_ == PLANTED || (state_ == DROPPED && bot.side == TERRORISTS)) {
        *goal = origin_of(entity_);
    } else if (bot.side == TERRORISTS && carrier_ == bot_index(state, &bot)) {
        *goal = nearest_site(position(bot));
    } else {
        *goal = sites_[state.random.below(2)];  // attackers and defenders both make for the sites
    }
    return true;
}

}  // namespace simhost
