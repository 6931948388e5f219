#include "match/offline_match.h"

#include "simhost/map_catalog.h"

namespace match_testing {
namespace {

simhost::ServerOptions server_options(const std::string &game, int max_clients) {
    simhost::ServerOptions options;
    options.engine.game_dir = game;
    options.engine.max_clients = max_clients;
    options.map = simhost::map_rotation(game).front().name;
    return options;
}

}  // namespace

simhost::MatchOptions match_options(std::uint64_t seed, double map_seconds, int bots) {
    simhost::MatchOptions options;
    options.seed = seed;
    options.map_seconds = map_seconds;
    options.bots = bots;
    return options;
}

OfflineMatch::OfflineMatch(const std::string &game, const simhost::MatchOptions &options, int max_clients)
    : server(server_options(game, max_clients)), match(server, options) {
    server.change_map(simhost::map_rotation(game).front().name);
    match.begin();
}

void OfflineMatch::play(double seconds, const std::function<void()> &each_frame) {
    const int frames = static_cast<int>(seconds / server.frame_time() + 0.5);
    for (int frame = 0; frame < frames; ++frame) {
        server.run_frame();
        match.frame();
        if (each_frame)
            each_frame();
    }
}

std::vector<edict_t *> OfflineMatch::entities(const std::string &classname) {
    std::vector<edict_t *> found;
    simhost::World &world = server.engine().world();
    for (int index = world.max_clients() + 1; index < world.max_entities(); ++index) {
        edict_t *entity = world.edict(index);
        if (!entity->free && text(entity->v.classname) == classname)
            found.push_back(entity);
    }
    return found;
}

}  // namespace match_testing
