#include "simhost/cstrike_bomb.h"

#include <algorithm>
#include <vector>

#include "simhost/cstrike_sides.h"
#include "simhost/game_log.h"
#include "simhost/objectives.h"

namespace simhost {
namespace {

const double BOMB_TIMER = 35.0, DEFUSE_TIME = 5.0, FLIGHT_TIME = 0.5;
const float PLANT_RADIUS = 160.0f, PICKUP_RADIUS = 64.0f, DEFUSE_RADIUS = 72.0f;
const float THROW_MIN = 100.0f, THROW_MAX = 130.0f;  // how far a dropped box lands, as measured
const char *const BOX_MODEL = "models/w_backpack.mdl";
const char *const PLANTED_MODEL = "models/w_c4.mdl";

void remove(MatchState &state, edict_t *&entity) {
    if (entity)
        state.world().remove_entity(entity);
    entity = nullptr;
}

}  // namespace

void CstrikeBomb::spawn(MatchState &state) {
    sites_[0] = state.box.spot(0.75f, 0.25f);
    sites_[1] = state.box.spot(0.8f, 0.75f);
    weapon_ = box_ = planted_ = nullptr;  // the new map holds none of the last one's entities
    in_play_ = true;
}

// Every round the game clears the last round's bomb and gives a new one to a terrorist; with none
// alive it waits in a box at their spawn for the first to come by.
void CstrikeBomb::new_round(MatchState &state) {
    if (!in_play_)
        return;
    remove_all(state);
    winner_ = -1;
    carrier_ = -1;
    std::vector<int> terrorists;
    for (const Bot &bot : state.bots)
        if (bot.side == TERRORISTS && alive(bot))
            terrorists.push_back(bot_index(state, &bot));
    weapon_ = spawn_entity(state, "weapon_c4", base_of(state.box, TERRORISTS), "");
    if (!weapon_) {
        state_ = DONE;
        return;
    }
    if (terrorists.empty())
        pack(state, base_of(state.box, TERRORISTS), false);
    else
        give_to(state, terrorists[state.random.below(static_cast<int>(terrorists.size()))], "Spawned_With_The_Bomb");
}

void CstrikeBomb::remove_all(MatchState &state) {
    remove(state, weapon_);
    remove(state, box_);
    remove(state, planted_);
}

void CstrikeBomb::give_to(MatchState &state, int carrier, const char *event) {
    log_triggered(state, state.bots[carrier], event);
    remove(state, box_);
    carrier_ = carrier;
    weapon_->v.owner = state.bots[carrier].edict;
    set_origin(weapon_, position(state.bots[carrier]));
    state_ = CARRIED;
}

// The weapon stays where it is packed; the box, thrown, lands a little way off.
void CstrikeBomb::pack(MatchState &state, const Point &at, bool thrown) {
    carrier_ = -1;
    state_ = DROPPED;
    set_origin(weapon_, at);
    box_ = spawn_entity(state, "weaponbox", at, BOX_MODEL);
    if (!box_) {
        weapon_->v.owner = nullptr;  // no room for a box: it lies where it fell
        return;
    }
    weapon_->v.owner = box_;
    box_from_ = box_to_ = at;
    if (thrown) {
        const float yaw = state.random.real(-180.0f, 180.0f);
        box_to_ = step_along(at, yaw, state.random.real(THROW_MIN, THROW_MAX));
    }
    thrown_at_ = state.clock;
}

void CstrikeBomb::update(MatchState &state) {
    switch (state_) {
        case CARRIED:
            return carry(state);
        case DROPPED:
            return lie(state);
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
        log_triggered(state, carrier, "Dropped_The_Bomb");
        return pack(state, position(carrier), true);
    }
    set_origin(weapon_, position(carrier));
    if (flat_distance(position(carrier), nearest_site(position(carrier))) < PLANT_RADIUS)
        plant(state, carrier);
}

// In flight, then on the ground until a terrorist comes by.
void CstrikeBomb::lie(MatchState &state) {
    if (!box_)
        return;
    const float flown = static_cast<float>(std::min(1.0, (state.clock - thrown_at_) / FLIGHT_TIME));
    set_origin(box_, {box_from_.x + (box_to_.x - box_from_.x) * flown, box_from_.y + (box_to_.y - box_from_.y) * flown,
                      box_from_.z + (box_to_.z - box_from_.z) * flown});
    if (flown < 1.0f)
        return;
    const int taker = bot_index(state, nearest_bot(state, origin_of(box_), TERRORISTS, PICKUP_RADIUS));
    if (taker >= 0)
        give_to(state, taker, "Got_The_Bomb");
}

void CstrikeBomb::plant(MatchState &state, const Bot &planter) {
    log_triggered(state, planter, "Planted_The_Bomb");
    const Point at = position(planter);
    remove(state, weapon_);
    carrier_ = -1;
    planted_ = spawn_entity(state, "grenade", at, PLANTED_MODEL);
    state_ = planted_ ? PLANTED : DONE;
    planted_at_ = state.clock;
    defusing_ = 0.0;
}

// Counting down, while a counter-terrorist standing at it defuses it. An exploded bomb is gone; a
// defused one stays on the ground until the round ends.
void CstrikeBomb::tick(MatchState &state) {
    if (state.clock - planted_at_ >= BOMB_TIMER) {
        state_ = DONE;
        winner_ = TERRORISTS;
        remove(state, planted_);
        return;
    }
    const bool defuser = bots_near(state, origin_of(planted_), COUNTER_TERRORISTS, DEFUSE_RADIUS) > 0;
    if (defuser && defusing_ == 0.0)
        if (const Bot *starting = nearest_bot(state, origin_of(planted_), COUNTER_TERRORISTS, DEFUSE_RADIUS))
            log_triggered(state, *starting, "Begin_Bomb_Defuse_Without_Kit");
    defusing_ = defuser ? defusing_ + state.frame_time() : 0.0;
    if (defusing_ >= DEFUSE_TIME) {
        if (const Bot *defuser_bot = nearest_bot(state, origin_of(planted_), COUNTER_TERRORISTS, DEFUSE_RADIUS))
            log_triggered(state, *defuser_bot, "Defused_The_Bomb");
        state_ = DONE;
        winner_ = COUNTER_TERRORISTS;
    }
}

Point CstrikeBomb::where() const {
    if (state_ == PLANTED)
        return origin_of(planted_);
    return origin_of(box_ ? box_ : weapon_);
}

bool CstrikeBomb::goal_for(MatchState &state, const Bot &bot, Point *goal) const {
    if (state_ == DONE)
        return false;
    if (state_ == PLANTED || (state_ == DROPPED && bot.side == TERRORISTS)) {
        *goal = where();
    } else if (bot.side == TERRORISTS && carrier_ == bot_index(state, &bot)) {
        *goal = nearest_site(position(bot));
    } else {
        *goal = sites_[state.random.below(2)];  // attackers and defenders both make for the sites
    }
    return true;
}

}  // namespace simhost
