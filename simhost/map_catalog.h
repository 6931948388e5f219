// The maps each game plays in turn, with the world box written into each generated map file.
#pragma once

#include <string>
#include <vector>

#include "simhost/geometry.h"

namespace simhost {

struct MapBox {
    float mins[3];
    float maxs[3];

    // The point at these fractions of the box's width and depth, on its floor.
    Point spot(float fraction_x, float fraction_y) const;
    // Where players stand: just above the bottom of the box.
    float floor() const { return mins[2] + 36.0f; }
    // The point moved inside the box, at least `margin` from its sides.
    Point clamp(const Point &at, float margin) const;
};

struct MapInfo {
    std::string name;
    MapBox box;
};

// The game's rotation, first map first; an unknown game plays the "valve" maps.
const std::vector<MapInfo> &map_rotation(const std::string &game);
// The box of a map of the rotation, or a default box for any other map.
MapBox map_box(const std::string &game, const std::string &map);
// The map after this one in the rotation (the first when it is not in the rotation).
std::string next_map(const std::string &game, const std::string &map);
// Whether the server can play the map: one of the rotation's, or a map file in the files folder.
bool map_available(const std::string &files_root, const std::string &game, const std::string &map);
// Writes maps/NAME.bsp under root for every map of the rotation and for `extra` (when not empty),
// and the first map's overview.
bool write_map_files(const std::string &root, const std::string &game, const std::string &extra);

}  // namespace simhost
