#include "simhost/geometry.h"

#include <algorithm>
#include <cmath>

namespace simhost {

static const float DEGREES_PER_RADIAN = 57.29577951308232f;

float distance(const Point &a, const Point &b) {
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

float flat_distance(const Point &a, const Point &b) { return std::hypot(a.x - b.x, a.y - b.y); }

float yaw_towards(const Point &from, const Point &to) {
    if (from.x == to.x && from.y == to.y)
        return 0.0f;
    return std::atan2(to.y - from.y, to.x - from.x) * DEGREES_PER_RADIAN;
}

float pitch_towards(const Point &from, const Point &to) {
    return -std::atan2(to.z - from.z, std::max(flat_distance(from, to), 1.0f)) * DEGREES_PER_RADIAN;
}

float normal_yaw(float yaw) {
    yaw = std::fmod(yaw, 360.0f);
    if (yaw > 180.0f)
        yaw -= 360.0f;
    if (yaw <= -180.0f)
        yaw += 360.0f;
    return yaw;
}

float yaw_difference(float from, float to) { return normal_yaw(to - from); }

Point step_along(const Point &from, float yaw, float length) {
    const float radians = yaw / DEGREES_PER_RADIAN;
    return {from.x + std::cos(radians) * length, from.y + std::sin(radians) * length, from.z};
}

Point origin_of(const edict_t *entity) { return {entity->v.origin[0], entity->v.origin[1], entity->v.origin[2]}; }

void set_origin(edict_t *entity, const Point &at) {
    entity->v.origin[0] = at.x;
    entity->v.origin[1] = at.y;
    entity->v.origin[2] = at.z;
}

}  // namespace simhost
