// What the parts of a match share: the server, the game's rules, the map, the bots and the clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "simhost/bot.h"
#include "simhost/game_profile.h"
#include "simhost/game_server.h"
#include "simhost/map_catalog.h"
#include "simhost/map_layout.h"
#include "simhost/random.h"

namespace simhost {

struct MatchState {
    MatchState(GameServer &server, std::uint64_t seed)
        : server(server), game(game_profile(server.engine().config().game_dir)), random(seed) {}

    StringPool &strings() { return server.engine().strings(); }
    World &world() { return server.engine().world(); }
    float frame_time() const { return static_cast<float>(server.frame_time()); }
    bool enemies(const Bot &a, const Bot &b) const { return &a != &b && (!game.teams || a.side != b.side); }
    // entvars team of a side: 1 and 2 in team games, 0 in deathmatch.
    int team_of(int side) const { return game.teams ? side + 1 : 0; }

    GameServer &server;
    const GameProfile &game;
    Random random;
    std::string map;
    MapBox box{};
    MapLayout layout;  // where the map has floor
    std::vector<Bot> bots;
    double clock = 0.0;  // seconds of match time, running on across maps (the engine's restarts)
    int scores[2] = {0, 0};
};

// Where a side's players appear: its end of the map (anywhere in deathmatch).
Point spawn_point(MatchState &state, int side);
// The middle of a side's end of the map.
Point base_of(const MapBox &box, int side);
// Any point a player can walk to.
Point random_point(MatchState &state);

}  // namespace simhost
