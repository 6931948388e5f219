// A map seen from above, drawn from its world model: floors filled and shaded by height (higher is
// lighter), walls as lines, on the page's dark background.
#pragma once

#include "web/maps/bsp_world.h"
#include "web/maps/image.h"

namespace web::maps {

constexpr int kPlanSide = 1024;  // pixels along the longer side of the world box
constexpr std::uint8_t kPlanBackground[3] = {11, 14, 18};

// The picture and the transform from world x/y to its pixels (y grows upwards on the map).
Image render_floor_plan(const BspWorld &world, Transform *transform);

}  // namespace web::maps
