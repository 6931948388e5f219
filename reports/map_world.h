// The map's horizontal extent, read from its file at every map start; reported coordinates are
// centred on it.
#pragma once

#include "host/local.h"

extern float worldsize_x;  // maxs x - mins x of the world model
extern float worldsize_y;
extern float x_offset;  // centre of the world model along x
extern float y_offset;

// The world model's box, from a whole map file; false when the file is shorter than its header or
// its models lump lies outside it or holds no model.
struct WorldBox {
    float mins[3];
    float maxs[3];
};
bool read_world_box(const unsigned char *file, long size, WorldBox *box);

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
