#include "simhost/map_layout.h"

#include <algorithm>
#include <cmath>

#include "simhost/map_catalog.h"

namespace simhost {
namespace {

float inside(float value, float low, float high, float margin) {
    return low + margin > high - margin ? (low + high) / 2 : std::clamp(value, low + margin, high - margin);
}

Point clamp_to(const FloorArea &area, const Point &at, float margin) {
    return {inside(at.x, area.mins[0], area.maxs[0], margin), inside(at.y, area.mins[1], area.maxs[1], margin),
            area.floor + STANDING_HEIGHT};
}

FloorArea fraction_area(const MapBox &box, float x0, float y0, float x1, float y1, float floor) {
    const float width = box.maxs[0] - box.mins[0], depth = box.maxs[1] - box.mins[1];
    return {{box.mins[0] + width * x0, box.mins[1] + depth * y0},
            {box.mins[0] + width * x1, box.mins[1] + depth * y1},
            floor};
}

}  // namespace

int MapLayout::area_of(float x, float y) const {
    for (size_t index = 0; index < areas.size(); ++index) {
        const FloorArea &area = areas[index];
        if (x >= area.mins[0] && x <= area.maxs[0] && y >= area.mins[1] && y <= area.maxs[1])
            return static_cast<int>(index);
    }
    return -1;
}

Point MapLayout::clamp(const Point &at, float margin) const {
    Point best = at;
    float best_distance = INFINITY;
    for (const FloorArea &area : areas) {
        const Point candidate = clamp_to(area, at, margin);
        const float distance = flat_distance(candidate, at);
        if (distance < best_distance) {
            best = candidate;
            best_distance = distance;
        }
    }
    return best;
}

Point MapLayout::towards(const Point &from, const Point &goal) const {
    const int there = area_of(goal.x, goal.y);
    // Standing where two areas overlap, a walker is in the one nearer the goal along the chain.
    int here = -1;
    for (int index = 0; index < static_cast<int>(areas.size()); ++index) {
        const FloorArea &area = areas[static_cast<size_t>(index)];
        const bool inside =
            from.x >= area.mins[0] && from.x <= area.maxs[0] && from.y >= area.mins[1] && from.y <= area.maxs[1];
        if (inside && (here < 0 || std::abs(index - there) < std::abs(here - there)))
            here = index;
    }
    if (here < 0 || there < 0 || here == there)
        return goal;
    const FloorArea &a = areas[static_cast<size_t>(here)];
    const size_t next = there > here ? static_cast<size_t>(here) + 1 : static_cast<size_t>(here) - 1;
    const FloorArea &b = areas[next];
    const float x = (std::max(a.mins[0], b.mins[0]) + std::min(a.maxs[0], b.maxs[0])) / 2;
    const float y = (std::max(a.mins[1], b.mins[1]) + std::min(a.maxs[1], b.maxs[1])) / 2;
    return {x, y, b.floor + STANDING_HEIGHT};
}

MapLayout map_layout(const MapBox &box) {
    const float low = box.mins[2], raised = box.mins[2] + std::min(96.0f, (box.maxs[2] - box.mins[2]) / 4);
    MapLayout layout;
    layout.areas.push_back(fraction_area(box, 0.02f, 0.08f, 0.40f, 0.92f, low));
    layout.areas.push_back(fraction_area(box, 0.38f, 0.36f, 0.62f, 0.64f, low));
    layout.areas.push_back(fraction_area(box, 0.60f, 0.08f, 0.98f, 0.92f, raised));
    return layout;
}

}  // namespace simhost
