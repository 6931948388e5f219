// Where a generated map has floor: rooms joined in a chain by corridors, each a rectangle of the
// world box with its own floor height. The map file's geometry and the bots' walking both use it.
#pragma once

#include <vector>

#include "simhost/geometry.h"

namespace simhost {

struct MapBox;

struct FloorArea {
    float mins[2];  // x, y
    float maxs[2];
    float floor;  // height of the walkable surface
};

struct MapLayout {
    std::vector<FloorArea> areas;  // each overlaps the next: walking goes along the chain

    // The area holding the point (the first of two overlapping), -1 when it is over no floor.
    int area_of(float x, float y) const;
    // The nearest point standing on floor, at least margin from an area's sides, at standing height.
    Point clamp(const Point &at, float margin) const;
    // Where to walk next from `from` to reach `goal`: the goal itself within one area, else the
    // middle of the overlap with the next area of the chain towards it.
    Point towards(const Point &from, const Point &goal) const;
};

// Players' eyes stand this far above the floor.
const float STANDING_HEIGHT = 36.0f;

// Two rooms at the ends of the box, the far one higher, joined by a corridor across the middle.
MapLayout map_layout(const MapBox &box);

}  // namespace simhost
