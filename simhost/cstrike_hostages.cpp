#include "simhost/cstrike_hostages.h"

#include <algorithm>

#include "simhost/cstrike_sides.h"
#include "simhost/objectives.h"

namespace simhost {
namespace {

const int HOSTAGES = 4;
const float FOLLOW_RADIUS = 80.0f, FOLLOW_DISTANCE = 56.0f, RESCUE_RADIUS = 200.0f, SPEED = 240.0f;
const float CROSSFIRE_RADIUS = 500.0f;
const double HITS_A_SECOND = 0.08;  // in a crossfire

}  // namespace

void CstrikeHostages::spawn(MatchState &state) {
    hostages_.clear();
    rescue_zone_ = base_of(state.box, COUNTER_TERRORISTS);
    for (int number = 0; number < HOSTAGES; ++number) {
        Hostage hostage;
        hostage.home = state.box.spot(state.random.real(0.2f, 0.3f), state.random.real(0.3f, 0.7f));
        hostage.entity = spawn_entity(state, "hostage_entity", hostage.home, "models/scientist.mdl");
        if (!hostage.entity)
            continue;
        hostage.entity->v.skin = state.random.below(4);
        hostage.entity->v.max_health = 100.0f;
        hostages_.push_back(hostage);
    }
    new_round();
}

void CstrikeHostages::new_round() {
    for (Hostage &hostage : hostages_) {
        set_origin(hostage.entity, hostage.home);
        hostage.entity->v.health = 100.0f;
        hostage.entity->v.deadflag = DEAD_NO;
        hostage.follower = -1;
        hostage.rescued = false;
    }
}

void CstrikeHostages::update(MatchState &state) {
    for (Hostage &hostage : hostages_)
        if (!hostage.rescued && hostage.entity->v.deadflag == DEAD_NO)
            update(state, hostage);
}

void CstrikeHostages::update(MatchState &state, Hostage &hostage) {
    if (hostage.follower >= 0 && !alive(state.bots[hostage.follower]))
        hostage.follower = -1;
    if (hostage.follower < 0)
        hostage.follower =
            bot_index(state, nearest_bot(state, origin_of(hostage.entity), COUNTER_TERRORISTS, FOLLOW_RADIUS));
    if (hostage.follower >= 0)
        follow(state, hostage, position(state.bots[hostage.follower]));
    if (flat_distance(origin_of(hostage.entity), rescue_zone_) < RESCUE_RADIUS) {
        hostage.rescued = true;
        hostage.follower = -1;
    }
    stray_fire(state, hostage);
}

void CstrikeHostages::follow(MatchState &state, Hostage &hostage, const Point &leader) {
    const Point at = origin_of(hostage.entity);
    const float gap = distance(at, leader) - FOLLOW_DISTANCE;
    if (gap <= 0.0f)
        return;
    Point next = step_along(at, yaw_towards(at, leader), std::min(gap, SPEED * state.frame_time()));
    next.z = leader.z;
    set_origin(hostage.entity, next);
}

void CstrikeHostages::stray_fire(MatchState &state, Hostage &hostage) {
    const Point at = origin_of(hostage.entity);
    const bool crossfire = bots_near(state, at, TERRORISTS, CROSSFIRE_RADIUS) > 0 &&
                           bots_near(state, at, COUNTER_TERRORISTS, CROSSFIRE_RADIUS) > 0;
    if (!crossfire || !state.random.chance(HITS_A_SECOND * state.frame_time()))
        return;
    entvars_t &vars = hostage.entity->v;
    vars.health -= state.random.real(10.0f, 35.0f);
    if (vars.health <= 0.0f) {
        vars.health = 0.0f;
        vars.deadflag = DEAD_DEAD;
        hostage.follower = -1;
    }
}

// Counter-terrorists lead the hostages out; terrorists guard where they were held.
bool CstrikeHostages::goal_for(MatchState &state, const Bot &bot, Point *goal) const {
    const int me = bot_index(state, &bot);
    const Hostage *waiting = nullptr;
    for (const Hostage &hostage : hostages_) {
        if (hostage.follower == me) {
            *goal = rescue_zone_;
            return true;
        }
        if (!waiting && hostage.waiting())
            waiting = &hostage;
    }
    if (!waiting)
        return false;
    *goal = bot.side == COUNTER_TERRORISTS ? origin_of(waiting->entity) : waiting->home;
    return true;
}

int CstrikeHostages::winner() const {
    const bool any_rescued =
        std::any_of(hostages_.begin(), hostages_.end(), [](const Hostage &h) { return h.rescued; });
    const bool all_out = std::all_of(hostages_.begin(), hostages_.end(),
                                     [](const Hostage &h) { return h.rescued || h.entity->v.deadflag != DEAD_NO; });
    return any_rescued && all_out ? COUNTER_TERRORISTS : -1;
}

}  // namespace simhost
