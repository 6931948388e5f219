// The map's horizontal extent, read from its file at every map start; reported coordinates are
// centred on it.
#pragma once

extern float worldsize_x;  // maxs x - mins x of the world model
extern float worldsize_y;
extern float x_offset;  // centre of the world model along x
extern float y_offset;

// Last step of every frame: on the first frame after load and the first frame of every map
// (the clock has gone back), reads the map's extent and clears the per-map scores and deaths.
void map_start_step();
