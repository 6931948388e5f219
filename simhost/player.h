// A simulated player: what a test asks for when it connects one, and what the engine keeps about
// the client while it is connected.
#pragma once

#include <string>

#include "sdk/eiface.h"
#include "simhost/string_pool.h"

namespace simhost {

struct PlayerSpec {
    std::string name = "Player";
    std::string address = "10.0.0.2:27005";
    bool bot = false;              // flagged FL_FAKECLIENT
    std::string auth_id = "";      // empty: "BOT" for bots, else "STEAM_0:0:<user id>"
    std::string model = "gordon";  // the info key "model" and v.model
    int team = 0;
    int ping = 50, loss = 0;
};

// The engine's record of a connected client.
struct PlayerInfo {
    bool connected = false;
    int user_id = 0;
    std::string name;
    std::string address;
    std::string auth_id;
    int ping = 0, loss = 0;
    std::string info_buffer;  // "\model\gordon\name\Bob"; handed out as char *, so kept in place
};

PlayerInfo describe_player(const PlayerSpec &joining, int user_id);
// Fills a free player slot's edict the way the engine and game leave it for a fresh client.
void dress_player_edict(edict_t *player, const PlayerSpec &joining, StringPool &strings);

}  // namespace simhost
