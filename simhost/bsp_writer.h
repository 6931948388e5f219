// Map files in the version-30 layout: little-endian, a 15-lump directory, then the lumps. Either
// just the models (model 0 is the world), or also the world's geometry: planes, vertices, edges,
// surfedges and faces of each floor area's floor and walls.
#pragma once

#include <string>
#include <vector>

#include "simhost/map_layout.h"

namespace simhost {

const int BSP_VERSION = 30;
const int BSP_LUMP_COUNT = 15;
const int BSP_MODELS_LUMP = 14;
const int BSP_HEADER_SIZE = 4 + 8 * BSP_LUMP_COUNT;
const int BSP_MODEL_SIZE = 64;
const int BSP_PLANES_LUMP = 1;
const int BSP_VERTICES_LUMP = 3;
const int BSP_FACES_LUMP = 7;
const int BSP_EDGES_LUMP = 12;
const int BSP_SURFEDGES_LUMP = 13;
const float BSP_WALL_HEIGHT = 128.0f;

// The file's bytes: model 0 spans mins..maxs, the others are empty boxes at the origin; every lump
// but the models is empty and points just past the header.
std::string make_bsp(const float mins[3], const float maxs[3], int model_count = 1);
// The world model spans mins..maxs and holds, for each area, a floor facing up and four walls facing
// into it, BSP_WALL_HEIGHT tall.
std::string make_bsp(const float mins[3], const float maxs[3], const std::vector<FloorArea> &areas);
bool write_bsp(const std::string &path, const float mins[3], const float maxs[3], const std::vector<FloorArea> &areas);
// Writes make_bsp's bytes to path, creating its folders; false when that fails.
bool write_bsp(const std::string &path, const float mins[3], const float maxs[3], int model_count = 1);

}  // namespace simhost
