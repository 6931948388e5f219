#include "simhost/game_server.h"

#include <cstdint>

namespace simhost {

GameServer::GameServer(const ServerOptions &options)
    : options_(options), engine_(options.engine), host_(engine_, options.engine_table_entries) {
    for (const auto &setting : options_.settings)
        engine_.cvars().set(setting.first, setting.second);
}

GameServer::~GameServer() { stop(); }

bool GameServer::start(const std::string &plugin_path, std::string *error) {
    engine_.set_time(0.0);
    // The game library registers its messages and variables as it loads.
    engine_.register_user_message("DeathMsg", -1);
    engine_.register_user_message("TeamScore", -1);
    register_game_variables();
    if (!host_.load(plugin_path, error))
        return false;
    host_.game_init();
    change_map(options_.map);
    return true;
}

// The map file's check value a real server logs; here one made from its name, signed as printed.
int GameServer::map_crc(const std::string &map) {
    std::uint32_t crc = 2166136261u;
    for (unsigned char c : map)
        crc = (crc ^ c) * 16777619u;
    return static_cast<int>(crc);
}

// A value set before the game loaded (the server's command line) is kept.
void GameServer::register_game_variables() {
    if (engine_.config().game_dir != "cstrike")
        return;
    const std::pair<const char *, const char *> variables[] = {{"mp_deathmsg_flags", "7"}, {"sv_restart", "0"}};
    for (const auto &variable : variables)
        if (!engine_.cvars().find(variable.first))
            engine_.cvars().set(variable.first, variable.second);
}

void GameServer::change_map(const std::string &map) {
    map_ = map;
    engine_.log().write("Loading map \"" + map + "\"\n");
    engine_.set_map(map);
    engine_.set_time(1.0);
    if (hooks_.spawn)
        hooks_.spawn(map);
    World &world = engine_.world();
    host_.server_activate(world.edicts(), world.edict_count(), world.max_clients());
    engine_.log().write("Started map \"" + map + "\" (CRC \"" + std::to_string(map_crc(map)) + "\")\n");
    if (hooks_.activated)
        hooks_.activated();
}

void GameServer::run_frame() {
    engine_.set_time(engine_.time() + frame_time());
    host_.start_frame();
}

void GameServer::run_for(double seconds) {
    const double end = engine_.time() + seconds;
    while (engine_.time() + frame_time() / 2 < end)
        run_frame();
}

void GameServer::stop() { host_.unload(); }

edict_t *GameServer::connect_player(const PlayerSpec &joining) {
    edict_t *player = engine_.world().connect_player(joining);
    if (!player)
        return nullptr;
    char reject_reason[128] = "";
    if (!host_.client_connect(player, joining.name.c_str(), joining.address.c_str(), reject_reason)) {
        engine_.world().disconnect_player(player);
        return nullptr;
    }
    host_.client_put_in_server(player);
    return player;
}

void GameServer::rejoin_player(edict_t *player) {
    const PlayerInfo *info = engine_.world().player_info(player);
    if (!info)
        return;
    char reject_reason[128] = "";
    if (!host_.client_connect(player, info->name.c_str(), info->address.c_str(), reject_reason)) {
        engine_.world().disconnect_player(player);
        return;
    }
    host_.client_put_in_server(player);
}

edict_t *GameServer::connect_game_bot(const PlayerSpec &joining) {
    edict_t *player = engine_.world().connect_player(joining);
    return player && game_connects(player) ? player : nullptr;
}

void GameServer::rejoin_game_bot(edict_t *player) {
    engine_.world().renew_user_id(player);
    if (engine_.world().player_info(player))
        game_connects(player);
}

bool GameServer::game_connects(edict_t *player) {
    const PlayerInfo *info = engine_.world().player_info(player);
    char reject_reason[128] = "";
    if (!host_.game_client_connect(player, info->name.c_str(), info->address.c_str(), reject_reason)) {
        engine_.world().disconnect_player(player);
        return false;
    }
    host_.game_client_put_in_server(player);
    return true;
}

void GameServer::disconnect_player(edict_t *player) {
    if (!engine_.world().player_info(player))
        return;
    host_.client_disconnect(player);
    engine_.world().disconnect_player(player);
}

void GameServer::client_command(edict_t *player, const std::vector<std::string> &args) {
    if (!engine_.world().player_info(player) || args.empty())
        return;
    engine_.command().set(args);
    host_.client_command(player);
    engine_.command().clear();
}

void GameServer::say(edict_t *player, const std::string &text) { client_command(player, {"say", text}); }

void GameServer::say_team(edict_t *player, const std::string &text) { client_command(player, {"say_team", text}); }

}  // namespace simhost
