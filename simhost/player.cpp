#include "simhost/player.h"

#include "simhost/info_buffer.h"

namespace simhost {

static std::string default_auth_id(const PlayerSpec &joining, int user_id) {
    return joining.bot ? "BOT" : "STEAM_0:0:" + std::to_string(user_id);
}

PlayerInfo describe_player(const PlayerSpec &joining, int user_id) {
    PlayerInfo info;
    info.connected = true;
    info.user_id = user_id;
    info.name = joining.name;
    info.address = joining.address;
    info.auth_id = joining.auth_id.empty() ? default_auth_id(joining, user_id) : joining.auth_id;
    info.ping = joining.ping;
    info.loss = joining.loss;
    info.info_buffer = make_info_buffer({{"model", joining.model}, {"name", joining.name}});
    return info;
}

void dress_player_edict(edict_t *player, const PlayerSpec &joining, StringPool &strings) {
    entvars_t &vars = player->v;
    player->free = 0;
    vars.classname = strings.alloc("player");
    vars.netname = strings.alloc(joining.name.c_str());
    vars.model = strings.alloc(joining.model.c_str());
    vars.flags = FL_CLIENT | (joining.bot ? FL_FAKECLIENT : 0);
    vars.team = joining.team;
    vars.health = 100.0f;
    vars.max_health = 100.0f;
    vars.pContainingEntity = player;
}

}  // namespace simhost
