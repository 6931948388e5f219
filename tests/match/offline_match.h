// A match on a simulated server with no plug-in loaded, played frame by frame, for the match's
// own rules.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "simhost/game_server.h"
#include "simhost/match.h"

namespace match_testing {

simhost::MatchOptions match_options(std::uint64_t seed = 1, double map_seconds = 0.0, int bots = 12);

class OfflineMatch {
public:
    explicit OfflineMatch(const std::string &game, const simhost::MatchOptions &options = match_options(),
                          int max_clients = 32);

    // Frames for this much server time; `each_frame` looks at the match after every frame.
    void play(double seconds, const std::function<void()> &each_frame = {});
    // Entities of a class now in the world, in index order.
    std::vector<edict_t *> entities(const std::string &classname);
    std::string text(string_t offset) { return server.engine().strings().text(offset); }
    const simhost::PlayerInfo &info(const simhost::Bot &bot) { return *server.engine().world().player_info(bot.edict); }

    simhost::GameServer server;
    simhost::Match match;
};

}  // namespace match_testing
