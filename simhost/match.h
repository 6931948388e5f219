// A live simulated match on a GameServer: bots that join, walk, fight, die, respawn and chat,
// the game's objectives, rounds with their scores, and a map rotation. Driven once per frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "simhost/game_server.h"
#include "simhost/match_state.h"
#include "simhost/objectives.h"
#include "simhost/rounds.h"

namespace simhost {

struct MatchOptions {
    int bots = 12;  // held to the server's player slots
    std::uint64_t seed = 1;
    double map_seconds = 300.0;  // time on each map before the next of the rotation; 0 or less: no rotation
};

class Match {
public:
    // Takes part in the server's map changes from now on: made before GameServer::start, the first
    // map's objectives are in place when the server activates.
    Match(GameServer &server, const MatchOptions &options);
    ~Match();
    Match(const Match &) = delete;
    Match &operator=(const Match &) = delete;

    // The bots join; once the server has started.
    void begin();
    // One frame of play, after each of the server's frames.
    void frame();
    // A new map now, as the console's changelevel; false when the server has no such map.
    bool change_level(const std::string &map);

    const std::string &game() const { return state_.game.game; }
    const std::vector<Bot> &bots() const { return state_.bots; }
    // The bot playing in a player slot; null for anyone else.
    const Bot *bot_of(const edict_t *player) const;
    // A player kicked or banned: a bot playing in that slot stops playing, and does not come back.
    void player_left(const edict_t *player);
    int team_score(int side) const { return state_.scores[side & 1]; }
    int rounds_played() const { return rounds_.played(); }
    // When the map changes by itself next, in seconds of match time from now; negative: never.
    double time_to_rotation() const;

private:
    void spawn_map(const std::string &map);
    void rejoin_bots();
    void join_bots();

    GameServer &server_;
    MatchOptions options_;
    MatchState state_;
    std::unique_ptr<Objectives> objectives_;
    Rounds rounds_;
    double map_started_ = 0.0;
    bool spawned_ = false;
    bool scores_due_ = false;
};

}  // namespace simhost
