// What the server runs: its game and since when. Written by the game's start hook, read by the
// reports and the report schedule.
#pragma once

#include <ctime>

enum { GAME_DIR_SIZE = 256 };

extern char game_dir[GAME_DIR_SIZE];   // "cstrike", "tfc", "dod", "nsp", ...
extern std::time_t server_start_time;  // calendar time of the game's start
