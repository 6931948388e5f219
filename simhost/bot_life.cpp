#include "simhost/bot_life.h"

#include <algorithm>

#include "simhost/game_log.h"

namespace simhost {
namespace {

const double SPAWN_PROTECTION = 1.0;  // seconds: nobody is killed on the frame they come back

void face(entvars_t &vars, float yaw) {
    vars.v_angle[0] = 0.0f;
    vars.v_angle[1] = normal_yaw(yaw);
    vars.angles[1] = vars.v_angle[1];
}

}  // namespace

void spawn_bot(MatchState &state, Bot &bot) {
    entvars_t &vars = bot.edict->v;
    const std::vector<Weapon> &weapons = state.game.sides[bot.side].weapons;
    const Point at = spawn_point(state, bot.side);
    set_origin(bot.edict, at);
    face(vars, yaw_towards(at, state.box.spot(0.5f, 0.5f)) + state.random.real(-30.0f, 30.0f));
    vars.team = state.team_of(bot.side);
    vars.playerclass = bot.kind->number;
    if (!bot.kind->body_model.empty())
        vars.model = state.strings().intern(bot.kind->body_model);
    vars.max_health = bot.kind->health;
    vars.health = bot.kind->health;
    vars.armorvalue = bot.kind->armor;
    vars.deadflag = DEAD_NO;
    bot.weapon = state.random.below(static_cast<int>(weapons.size()));
    vars.weaponmodel = static_cast<int>(state.strings().intern(weapons[bot.weapon].model));
    bot.respawn_at = -1.0;
    bot.protected_until = state.clock + SPAWN_PROTECTION;
    bot.has_goal = false;
    bot.speed = state.random.real(190.0f, 250.0f);
    bot.next_shot = state.clock + state.random.real(0.5f, 1.5f);
}

void hurt_bot(MatchState &state, Bot &victim, Bot *attacker, float damage, const std::string &weapon, bool headshot) {
    entvars_t &vars = victim.edict->v;
    if (!alive(victim) || damage <= 0.0f || state.clock < victim.protected_until)
        return;
    const float absorbed = std::min(vars.armorvalue, damage / 2);
    vars.armorvalue -= absorbed;
    vars.health -= damage - absorbed;
    if (vars.health <= 0.0f)
        kill_bot(state, victim, attacker, weapon, headshot);
}

void kill_bot(MatchState &state, Bot &victim, Bot *killer, const std::string &weapon, bool headshot) {
    entvars_t &vars = victim.edict->v;
    vars.deadflag = DEAD_DEAD;
    vars.health = 0.0f;
    vars.armorvalue = 0.0f;
    ++victim.deaths;
    if (killer && killer != &victim)
        killer->edict->v.frags += 1.0f;
    else
        vars.frags -= 1.0f;
    state.server.death_message(killer ? killer->slot : 0, victim.slot, weapon, headshot);
    log_kill(state, victim, killer, weapon);
    victim.respawn_at = state.game.respawn_seconds < 0 ? -1.0 : state.clock + state.game.respawn_seconds;
}

void respawn_due(MatchState &state) {
    for (Bot &bot : state.bots)
        if (!alive(bot) && bot.respawn_at >= 0.0 && state.clock >= bot.respawn_at)
            spawn_bot(state, bot);
}

}  // namespace simhost
