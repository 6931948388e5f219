// The commands an operator types at the simulated server's console.
#pragma once

#include <cstdio>
#include <string>

#include "simhost/game_server.h"

namespace simhost {

enum class ConsoleOutcome { done, quit, unknown };

// Runs one console line: quit, say TEXT, status. Replies go to out.
ConsoleOutcome run_console_line(GameServer &server, const std::string &line, std::FILE *out);

// The connected players, one line each after a heading.
std::string status_report(GameServer &server);

}  // namespace simhost
