// A new map, as the frame loop sees it: on the first frame after load, and whenever the server
// clock has gone back (it restarts with each map).
#pragma once

#include "host/local.h"

// The server clock at the end of the previous frame; -1 before the first frame.
extern ORLEX_LOCAL float previous_time;

// Reads the map's extent and clears the per-map scores and deaths.
void start_new_map();

// The server clock has gone back since the previous frame: it restarts with each map.
inline bool clock_went_back(float now) { return previous_time > now + 0.1f; }

// Last step of every frame, given the server clock: a new map is seen on the first frame after
// load and whenever the clock has gone back.
inline void map_start_step(float now) {
    if (previous_time == -1.0f || clock_went_back(now))
        start_new_map();
    previous_time = now;
}
