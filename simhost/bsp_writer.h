// Map files in the version-30 layout, with just enough in them for readers of the header and the
// models lump: little-endian, a 15-lump directory, then the models (model 0 is the world).
#pragma once

#include <string>

namespace simhost {

const int BSP_VERSION = 30;
const int BSP_LUMP_COUNT = 15;
const int BSP_MODELS_LUMP = 14;
const int BSP_HEADER_SIZE = 4 + 8 * BSP_LUMP_COUNT;
const int BSP_MODEL_SIZE = 64;

// The file's bytes: model 0 spans mins..maxs, the others are empty boxes at the origin; every lump
// but the models is empty and points just past the header.
std::string make_bsp(const float mins[3], const float maxs[3], int model_count = 1);
// Writes make_bsp's bytes to path, creating its folders; false when that fails.
bool write_bsp(const std::string &path, const float mins[3], const float maxs[3], int model_count = 1);

}  // namespace simhost
