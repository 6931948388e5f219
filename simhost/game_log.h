// The game's own lines in the server's log, in the forms the real games write: kills, team joins,
// triggered objective and round lines. Only games with more than one player log them, as the real
// ones do (every simulated server has more than one slot).
#pragma once

#include <string>

#include "simhost/match_state.h"

namespace simhost {

// `"NAME<UID><AUTH><TEAM>"`, the team as the game writes it: the team's name, the player's user id
// in "valve" deathmatch.
std::string log_token(MatchState &state, const Bot &bot);
// The team's name in the log's lines ("cstrike": TERRORIST, CT; "dod": Allies, Axis).
std::string log_team(const MatchState &state, int side);

void log_game_line(MatchState &state, const std::string &body);
void log_kill(MatchState &state, const Bot &victim, const Bot *killer, const std::string &weapon);
void log_entered(MatchState &state, const Bot &bot);
void log_joined_team(MatchState &state, const Bot &bot);
// `"PLAYER" triggered "EVENT"`.
void log_triggered(MatchState &state, const Bot &bot, const std::string &event);
void log_world(MatchState &state, const std::string &event);
// The round's end in "cstrike": the winning team's line with both scores (a draw: the world's), then
// `World triggered "Round_End"`.
void log_round_end(MatchState &state, int winner, const std::string &event);

}  // namespace simhost
