// Points on a map and headings between them, in the engine's units and degrees.
#pragma once

#include "sdk/eiface.h"

namespace simhost {

struct Point {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

float distance(const Point &a, const Point &b);
// Along the ground only.
float flat_distance(const Point &a, const Point &b);
// The heading from one point to another, -180..180 (0 along +x, 90 along +y).
float yaw_towards(const Point &from, const Point &to);
// The view's pitch looking from one point at another (positive looking down, as the engine's is).
float pitch_towards(const Point &from, const Point &to);
// How far to turn from one heading to reach another, -180..180.
float yaw_difference(float from, float to);
// A heading brought into -180..180.
float normal_yaw(float yaw);
// The point reached from `from` by `length` units along a heading.
Point step_along(const Point &from, float yaw, float length);

Point origin_of(const edict_t *entity);
void set_origin(edict_t *entity, const Point &at);

}  // namespace simhost
