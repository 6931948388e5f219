#include "plugin/map_change.h"

#include "state/map_world.h"
#include "state/players.h"
#include "state/teams.h"

float previous_time = -1.0f;

void start_new_map() {
    read_map_geometry();
    clear_team_scores();
    clear_player_deaths();
}
