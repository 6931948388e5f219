// The commands an operator types at the simulated server's console.
#pragma once

#include <cstdio>
#include <string>

#include "simhost/game_server.h"
#include "simhost/match.h"

namespace simhost {

enum class ConsoleOutcome { done, quit, unknown };

// Runs one console line: quit, say TEXT, status, with a match changelevel MAP, exec FILE (each line
// of a file of the game folder), the admin commands (kick, banid, addip, maps, ...), and NAME [VALUE]
// to show or set a console variable (sv_restart 1 restarts a "cstrike" match). Replies go to out.
ConsoleOutcome run_console_line(GameServer &server, const std::string &line, std::FILE *out, Match *match = nullptr);
// The same, the replies added to `out` (what a remote console sends back).
ConsoleOutcome run_console_line(GameServer &server, const std::string &line, std::string *out, Match *match = nullptr);

// The connected players, one line each after a heading, with their frags and (in a match) deaths.
std::string status_report(GameServer &server, const Match *match = nullptr);

}  // namespace simhost
