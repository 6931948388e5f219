#include "state/game.h"

char game_dir[GAME_DIR_SIZE];
std::time_t server_start_time;
