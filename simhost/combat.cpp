#include "simhost/combat.h"

#include <cmath>

#include "simhost/bot_life.h"

namespace simhost {
namespace {

const float FIELD_OF_VIEW = 150.0f;  // degrees, across

bool in_view(const Bot &shooter, const Bot &other) {
    const float bearing = yaw_towards(position(shooter), position(other));
    return std::fabs(yaw_difference(shooter.edict->v.v_angle[1], bearing)) <= FIELD_OF_VIEW / 2;
}

// Only enemies the shooter is facing: bots walking past each other's backs do not fight.
Bot *nearest_enemy(MatchState &state, const Bot &shooter, float range) {
    Bot *nearest = nullptr;
    float best = range;
    for (Bot &other : state.bots) {
        const float away = distance(position(shooter), position(other));
        if (alive(other) && state.enemies(shooter, other) && away <= best && in_view(shooter, other)) {
            nearest = &other;
            best = away;
        }
    }
    return nearest;
}

void aim(Bot &shooter, const Bot &target) {
    entvars_t &vars = shooter.edict->v;
    vars.v_angle[0] = pitch_towards(position(shooter), position(target));
    vars.v_angle[1] = yaw_towards(position(shooter), position(target));
    vars.angles[1] = vars.v_angle[1];
}

float hit_chance(float away, float range) { return 0.4f * (1.0f - 0.6f * away / range); }

void shoot(MatchState &state, Bot &shooter, Bot &target, const Weapon &weapon) {
    aim(shooter, target);
    shooter.next_shot = state.clock + weapon.interval * state.random.real(0.8f, 1.4f);
    if (!state.random.chance(hit_chance(distance(position(shooter), position(target)), weapon.range)))
        return;
    const bool headshot = state.random.chance(0.15);
    const float damage = weapon.damage * state.random.real(0.7f, 1.2f) * (headshot ? 2.5f : 1.0f);
    hurt_bot(state, target, &shooter, damage, weapon.name, headshot);
}

}  // namespace

void fight(MatchState &state) {
    for (Bot &shooter : state.bots) {
        if (!alive(shooter) || state.clock < shooter.next_shot)
            continue;
        const Weapon &weapon = state.game.sides[shooter.side].weapons[shooter.weapon];
        Bot *target = nearest_enemy(state, shooter, weapon.range);
        if (target)
            shoot(state, shooter, *target, weapon);
    }
}

}  // namespace simhost
