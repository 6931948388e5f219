// The console commands an administrator sends (mostly over rcon): kick, banid, addip, removeid,
// removeip, listid, listip and maps, acting on the simulated match.
#pragma once

#include <string>

#include "simhost/game_server.h"
#include "simhost/match.h"

namespace simhost {

// Runs the command when it is one of these, its replies added to `out`; false for any other.
bool run_admin_command(GameServer &server, Match *match, const std::string &command, std::string *out);

// The maps the server can play whose names hold `filter` ("*" or empty: all), one "NAME.bsp" a line
// after a dashed line, as the engine's "maps" lists them.
std::string map_list(GameServer &server, const std::string &filter);

}  // namespace simhost
