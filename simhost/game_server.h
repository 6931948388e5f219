// The simulated game server: an engine, a plug-in host and the game's course of events, in the
// order a real server follows.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "simhost/engine.h"
#include "simhost/player.h"
#include "simhost/plugin_host.h"

namespace simhost {

struct ServerOptions {
    EngineConfig engine;
    std::string map = "crossfire";
    double fps = 100.0;
    // Console variables set before the plug-in is attached, as a server's configuration does.
    std::vector<std::pair<std::string, std::string>> settings;
    int engine_table_entries = 158;
};

// The game's own part in a map change, for a game played on the simulated server.
struct MapHooks {
    // Before the server activates: the map's entities are placed.
    std::function<void(const std::string &map)> spawn;
    // After: the clients carried over from the last map join again.
    std::function<void()> activated;
};

class GameServer {
public:
    explicit GameServer(const ServerOptions &options);
    ~GameServer();

    // The plug-in is loaded and attached while the game library loads (server time 0.0), then
    // the game starts and the first map begins.
    bool start(const std::string &plugin_path, std::string *error);
    // A new map: the clock starts again from 1.0 and the game activates the server.
    void change_map(const std::string &map);
    void set_map_hooks(MapHooks hooks) { hooks_ = std::move(hooks); }
    // One frame: the clock advances by one frame time and the game's frame runs.
    void run_frame();
    void run_for(double seconds);
    // Detaches and unloads the plug-in.
    void stop();

    // A client joins: the lowest free slot 1..maxClients with the next user id, then ClientConnect;
    // the player is in only if the plug-in and the game accept. Null when full or refused.
    edict_t *connect_player(const PlayerSpec &joining);
    void disconnect_player(edict_t *player);
    // A connected client joins again on a new map, in its slot and with its user id, as clients do
    // after a map change; one the plug-in or the game refuses now is disconnected.
    void rejoin_player(edict_t *player);
    // A bot the game creates itself: seated like any client, but the game connects it by calling its
    // own functions, so no plug-in hook sees it.
    edict_t *connect_game_bot(const PlayerSpec &joining);
    // Such a bot on a new map: the engine drops fake clients at a map change and the game adds them
    // again, here into the same slot, with a new user id and again without the hooks.
    void rejoin_game_bot(edict_t *player);
    std::vector<edict_t *> players() { return engine_.world().connected_players(); }
    // A command typed by a connected client; args[0] is the command name.
    void client_command(edict_t *player, const std::vector<std::string> &args);
    void say(edict_t *player, const std::string &text);
    void say_team(edict_t *player, const std::string &text);
    // The server console's say.
    void console_say(const std::string &text) { engine_.console_say(text); }

    // The game's messages to all clients, written field by field through the engine (and so
    // through the plug-in's hooks), with the fields each game writes.
    // "DeathMsg": killer, victim, (headshot in "cstrike"), weapon name, and in "cstrike" what
    // mp_deathmsg_flags asks for (by default a flags long, the victim's position, an assistant and a
    // kill-rarity long; 0: nothing more).
    void death_message(int killer, int victim, const std::string &weapon = "crowbar", bool headshot = false);
    // "TeamScore": the team by name ("cstrike", "tfc") or number ("dod": 1 Allied, 2 Axis), its
    // score, and in "tfc" a second short (the team's deaths).
    void team_score_message(const std::string &team, int score, int deaths = 0);
    // Any message, for tests of unusual ones: destination, then the fields as written.
    void begin_message(int destination, const std::string &name);

    Engine &engine() { return engine_; }
    PluginHost &host() { return host_; }
    double frame_time() const { return 1.0 / options_.fps; }
    const std::string &map() const { return map_; }

private:
    void register_game_variables();
    bool game_connects(edict_t *player);
    void death_message_extras(int victim, bool headshot);
    static int map_crc(const std::string &map);

    ServerOptions options_;
    Engine engine_;
    PluginHost host_;
    std::string map_;
    MapHooks hooks_;
};

}  // namespace simhost
