// The world model of a version-30 map file: its box and its faces, every offset, count and index
// checked against the file (a map file is input from outside).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace web::maps {

struct BspFace {
    std::uint32_t first = 0;  // into BspWorld::corners
    std::uint32_t count = 0;
    bool floor = false;  // its outward normal points up
};

struct BspWorld {
    float mins[3] = {0, 0, 0};
    float maxs[3] = {0, 0, 0};
    std::vector<float> corners;  // x, y, z of each face's corners in order, face after face
    std::vector<BspFace> faces;

    // What the plug-in subtracts from world positions: the centre of the world model's box.
    double x_offset() const { return (static_cast<double>(mins[0]) + maxs[0]) / 2; }
    double y_offset() const { return (static_cast<double>(mins[1]) + maxs[1]) / 2; }
};

// False with the reason for anything but version 30 or a file that does not hold what it says.
bool read_bsp_world(const std::string &bytes, BspWorld *world, std::string *error);

}  // namespace web::maps
