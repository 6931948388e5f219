// The game's user messages, as the simulated game library writes them.
#include <cstdlib>

#include "simhost/game_server.h"

namespace simhost {

void GameServer::begin_message(int destination, const std::string &name) {
    host_.message_begin(destination, engine_.user_message_id(name, nullptr), nullptr, nullptr);
}

namespace {

// What the current "cstrike" game appends to its death messages, chosen by mp_deathmsg_flags.
enum DeathMessageFlags { VICTIM_POSITION = 1, ASSISTANT = 2, KILL_RARITY = 4, ALL_FLAGS = 7 };
const int HEADSHOT_RARITY = 1;

}  // namespace

void GameServer::death_message(int killer, int victim, const std::string &weapon, bool headshot) {
    const bool cstrike = engine_.config().game_dir == "cstrike";
    begin_message(MSG_ALL, "DeathMsg");
    host_.write_byte(killer);
    host_.write_byte(victim);
    if (cstrike)
        host_.write_byte(headshot ? 1 : 0);
    host_.write_string(weapon.c_str());
    if (cstrike)
        death_message_extras(victim, headshot);
    host_.message_end();
}

void GameServer::death_message_extras(int victim, bool headshot) {
    const cvar_t *setting = engine_.cvars().find("mp_deathmsg_flags");
    const int flags = setting ? std::atoi(setting->string) & ALL_FLAGS : 0;
    if (flags == 0)
        return;
    host_.write_long(flags);
    if (flags & VICTIM_POSITION) {
        const edict_t *dead = engine_.world().edict(victim);
        for (int axis = 0; axis < 3; ++axis)
            host_.write_coord(dead ? dead->v.origin[axis] : 0.0f);
    }
    if (flags & ASSISTANT)
        host_.write_byte(0);  // nobody helped
    if (flags & KILL_RARITY)
        host_.write_long(headshot ? HEADSHOT_RARITY : 0);
}

void GameServer::team_score_message(const std::string &team, int score, int deaths) {
    const std::string &game = engine_.config().game_dir;
    begin_message(MSG_ALL, "TeamScore");
    if (game == "dod")
        host_.write_byte(std::atoi(team.c_str()));
    else
        host_.write_string(team.c_str());
    host_.write_short(score);
    if (game == "tfc")
        host_.write_short(deaths);
    host_.message_end();
}

}  // namespace simhost
