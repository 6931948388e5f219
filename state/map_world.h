// The map's horizontal extent, read from its file at every map start; reported coordinates are
// centred on it.
#pragma once

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

// Reads the current map's file for its extent; a file that cannot be read gives an extent of 0,
// and a line in the server log.
void read_map_geometry();
