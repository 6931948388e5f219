#include "simhost/bot_motion.h"

#include <algorithm>
#include <cmath>

namespace simhost {
namespace {

const float TURN_SPEED = 270.0f;    // degrees a second
const float CLIMB_SPEED = 120.0f;   // units a second, up or down
const float ARRIVED = 48.0f;        // close enough to a goal
const float WALK_WITHIN = 60.0f;    // degrees off the goal's heading at which a bot walks on
const double GOAL_PATIENCE = 25.0;  // seconds before an unreached goal is given up

void choose_goal(MatchState &state, Objectives &objectives, Bot &bot) {
    Point goal;
    if (!(state.random.chance(0.7) && objectives.goal_for(state, bot, &goal)))
        goal = random_point(state);
    bot.goal = state.layout.clamp(goal, 32.0f);
    bot.has_goal = true;
    bot.goal_deadline = state.clock + GOAL_PATIENCE;
}

void turn_towards(entvars_t &vars, float yaw, float most) {
    const float turn = std::clamp(yaw_difference(vars.v_angle[1], yaw), -most, most);
    vars.v_angle[1] = normal_yaw(vars.v_angle[1] + turn);
    vars.angles[1] = vars.v_angle[1];
}

void walk(MatchState &state, Bot &bot) {
    entvars_t &vars = bot.edict->v;
    const float dt = state.frame_time();
    const Point at = position(bot);
    // Through the corridors: a room's far side is reached by way of the doorways.
    const Point waypoint = state.layout.towards(at, bot.goal);
    const float wanted = yaw_towards(at, waypoint);
    turn_towards(vars, wanted, TURN_SPEED * dt);
    Point next = at;
    if (std::fabs(yaw_difference(vars.v_angle[1], wanted)) < WALK_WITHIN)
        next = step_along(at, vars.v_angle[1], std::min(bot.speed * dt, flat_distance(at, waypoint)));
    const Point ground = state.layout.clamp(next, 16.0f);
    next.x = ground.x;
    next.y = ground.y;
    next.z = at.z + std::clamp(ground.z - at.z, -CLIMB_SPEED * dt, CLIMB_SPEED * dt);
    set_origin(bot.edict, next);
}

}  // namespace

void move_bots(MatchState &state, Objectives &objectives) {
    for (Bot &bot : state.bots) {
        if (!alive(bot))
            continue;
        if (!bot.has_goal || state.clock > bot.goal_deadline || flat_distance(position(bot), bot.goal) < ARRIVED)
            choose_goal(state, objectives, bot);
        walk(state, bot);
    }
}

}  // namespace simhost
