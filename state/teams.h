// The teams seen in the game's score messages this map, and their last scores. Written by the
// message hooks, cleared at every map start, read by the server report.
#pragma once

enum { TEAM_SLOTS = 4, TEAM_NAME_SIZE = 256 };

extern char det_team_names[TEAM_SLOTS][TEAM_NAME_SIZE];
extern int team_scores[TEAM_SLOTS];

// No team known, every score 0.
void clear_team_scores();
