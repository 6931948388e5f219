#include "state/teams.h"

char det_team_names[TEAM_SLOTS][TEAM_NAME_SIZE];
int team_scores[TEAM_SLOTS];

void clear_team_scores() {
    for (int team = 0; team < TEAM_SLOTS; ++team) {
        det_team_names[team][0] = '\0';
        team_scores[team] = 0;
    }
}
