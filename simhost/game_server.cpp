#include "simhost/game_server.h"

namespace simhost {

GameServer::GameServer(const ServerOptions &options)
    : options_(options), engine_(options.engine), host_(engine_, options.engine_table_entries) {
    for (const auto &setting : options_.settings)
        engine_.cvars().set(setting.first, setting.second);
}

GameServer::~GameServer() { stop(); }

bool GameServer::start(const std::string &plugin_path, std::string *error) {
    engine_.set_time(0.0);
    if (!host_.load(plugin_path, error))
        return false;
    host_.game_init();
    change_map(options_.map);
    return true;
}

void GameServer::change_map(const std::string &map) {
    map_ = map;
    engine_.set_map(map);
    engine_.set_time(1.0);
    host_.server_activate(nullptr, 0, options_.engine.max_clients);
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

}  // namespace simhost
