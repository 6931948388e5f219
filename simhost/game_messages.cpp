// The game's user messages, as the simulated game library writes them.
#include <cstdlib>

#include "simhost/game_server.h"

namespace simhost {

void GameServer::begin_message(int destination, const std::string &name) {
    host_.message_begin(destination, engine_.user_message_id(name, nullptr), nullptr, nullptr);
}

void GameServer::death_message(int killer, int victim, const std::string &weapon, bool headshot) {
    begin_message(MSG_ALL, "DeathMsg");
    host_.write_byte(killer);
    host_.write_byte(victim);
    if (engine_.config().game_dir == "cstrike")
        host_.write_byte(headshot ? 1 : 0);
    host_.write_string(weapon.c_str());
    host_.message_end();
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
