// The one line orlex_simhost prints on start: what is being played and how to watch it.
#pragma once

#include <string>

#include "simhost/game_server.h"
#include "simhost/match.h"

namespace simhost {

// Where the plug-in will listen, as its console variables and the server's port decide; the address
// is the one it binds ("0.0.0.0" for every interface).
std::string listener_ip(GameServer &server);
int listener_port(GameServer &server);

// e.g. "orlex_simhost: cstrike on de_dust with 12 bots; the plug-in listens on 0.0.0.0:40015 (every
// interface) five seconds after start; watch it with: build/orlex_client 127.0.0.1 40015"
std::string startup_line(GameServer &server, const Match &match, const std::string &client_program);

}  // namespace simhost
