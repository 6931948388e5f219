#include "bench/full_server.h"

#include <cstdio>

namespace bench {

static simhost::PlayerSpec player_spec(int i) {
    simhost::PlayerSpec joining;
    joining.name = "Player_" + std::to_string(i) + "_with_a_long_name_xx";
    joining.name.resize(31, 'x');
    joining.address = "192.168.100." + std::to_string(100 + i) + ":27005";
    joining.model = i % 2 ? "gign" : "leet";
    joining.team = 1 + i % 2;
    joining.bot = i % 4 == 0;
    return joining;
}

static void dress(simhost::Engine &engine, edict_t *player, int i) {
    player->v.frags = static_cast<float>(i * 3);
    player->v.health = 73.0f + static_cast<float>(i);
    player->v.armorvalue = 42.0f;
    player->v.playerclass = 1 + i % 9;
    player->v.origin[0] = -1234.567f + 77.7f * static_cast<float>(i);
    player->v.origin[1] = 987.654f - 55.5f * static_cast<float>(i);
    player->v.origin[2] = -64.03125f;
    player->v.v_angle[1] = 3.3f * static_cast<float>(i);
    player->v.weaponmodel = static_cast<int>(engine.strings().alloc("models/p_mp5navy.mdl"));
}

void fill_players(simhost::GameServer &server) {
    for (int i = 1; i <= 32; ++i) {
        edict_t *player = server.connect_player(player_spec(i));
        if (player)
            dress(server.engine(), player, i);
    }
}

void fill_players(simhost::Engine &engine, void (*announce)(edict_t *, const simhost::PlayerSpec &)) {
    for (int i = 1; i <= 32; ++i) {
        const simhost::PlayerSpec joining = player_spec(i);
        edict_t *player = engine.world().connect_player(joining);
        if (!player)
            continue;
        announce(player, joining);
        dress(engine, player, i);
    }
}

void fill_objectives(simhost::Engine &engine) {
    const char *const classes[] = {"item_tfgoal",        "dod_control_point",   "hostage_entity",     "weapon_c4",
                                   "building_sentrygun", "building_teleporter", "building_dispenser", "team_hive",
                                   "resourcetower",      "alienresourcetower",  "team_command"};
    for (const char *classname : classes) {
        for (int i = 0; i < 20; ++i) {
            edict_t *entity = engine.world().create_entity(classname);
            if (!entity)
                return;
            entity->v.origin[0] = 100.25f * static_cast<float>(i);
            entity->v.origin[1] = -33.5f * static_cast<float>(i);
            entity->v.health = 80.0f;
            entity->v.max_health = 150.0f;
            entity->v.colormap = 1274;
            entity->v.model = engine.strings().alloc("models/objective_model_name.mdl");
            entity->v.netname = engine.strings().alloc("Objective name");
        }
    }
}

ReadingClients::ReadingClients(int port, int count) {
    for (int i = 0; i < count; ++i)
        clients_.push_back(std::make_unique<testing_support::TcpClient>(port));
    reader_ = std::thread([this] {
        while (!stop_) {
            for (auto &client : clients_)
                bytes_ += client->receive_now().size();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
}

ReadingClients::~ReadingClients() {
    stop_ = true;
    reader_.join();
}

LoadedServer::LoadedServer(const std::string &game, int clients) {
    port = testing_support::free_port();
    simhost::ServerOptions options;
    options.engine.game_dir = game;
    options.fps = 1000;
    options.settings = {{"orlex_mm_port", std::to_string(port)}};
    server = std::make_unique<simhost::GameServer>(options);
    std::string error;
    if (!server->start(ORLEX_PLUGIN_PATH, &error)) {
        std::fprintf(stderr, "bench: cannot load the plug-in: %s\n", error.c_str());
        std::exit(1);
    }
    server->run_for(5.0);
    readers = std::make_unique<ReadingClients>(port, clients);
    for (int frame = 0; frame < 100000 && server->engine().cvars().find("orlex_port_avail")->value > 10 - clients;
         ++frame)
        server->run_frame();
}

LoadedServer::~LoadedServer() {
    readers.reset();
    server->stop();
}

}  // namespace bench
