#include "web/maps/bsp_world.h"

#include <cmath>
#include <cstring>

namespace web::maps {
namespace {

const int kVersion = 30;
const int kLumps = 15;
const int kPlanes = 1, kVertices = 3, kFaces = 7, kEdges = 12, kSurfedges = 13, kModels = 14;
const size_t kPlaneSize = 20, kVertexSize = 12, kFaceSize = 20, kEdgeSize = 4, kSurfedgeSize = 4, kModelSize = 64;
const double kFloorNormal = 0.7;  // z of a unit normal: steeper than this is a wall
const std::uint32_t kMostCornersOfAFace = 1024;

std::uint32_t u32(const unsigned char *at) {
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}
std::int32_t i32(const unsigned char *at) { return static_cast<std::int32_t>(u32(at)); }
std::uint16_t u16(const unsigned char *at) { return static_cast<std::uint16_t>(at[0] | at[1] << 8); }
float f32(const unsigned char *at) {
    const std::uint32_t bits = u32(at);
    float value = 0;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

struct Lump {
    const unsigned char *data = nullptr;
    size_t count = 0;  // whole records
};

bool fail(std::string *error, const std::string &why) {
    *error = why;
    return false;
}

bool lump(const std::string &bytes, int index, size_t record, Lump *out, std::string *error) {
    const auto *file = reinterpret_cast<const unsigned char *>(bytes.data());
    const std::int64_t offset = i32(file + 4 + 8 * static_cast<std::ptrdiff_t>(index)),
                       length = i32(file + 8 + 8 * static_cast<std::ptrdiff_t>(index));
    if (offset < 0 || length < 0 || static_cast<std::uint64_t>(offset + length) > bytes.size())
        return fail(error, "lump " + std::to_string(index) + " lies outside the file");
    out->data = file + offset;
    out->count = static_cast<size_t>(length) / record;
    return true;
}

// The face's polygon, appended to world->corners; false when an index is out of range.
bool add_corners(const Lump &vertices, const Lump &edges, const Lump &surfedges, std::uint32_t first,
                 std::uint32_t count, BspWorld *world) {
    if (count < 3 || count > kMostCornersOfAFace || first > surfedges.count || count > surfedges.count - first)
        return false;
    for (std::uint32_t at = first; at < first + count; ++at) {
        const std::int32_t surfedge = i32(surfedges.data + kSurfedgeSize * at);
        const std::int64_t edge = surfedge < 0 ? -static_cast<std::int64_t>(surfedge) : surfedge;
        if (static_cast<std::uint64_t>(edge) >= edges.count)
            return false;
        const unsigned char *pair = edges.data + kEdgeSize * static_cast<size_t>(edge);
        const std::uint16_t vertex = u16(pair + (surfedge < 0 ? 2 : 0));
        if (vertex >= vertices.count)
            return false;
        for (int axis = 0; axis < 3; ++axis) {
            const float value = f32(vertices.data + kVertexSize * vertex + 4 * static_cast<size_t>(axis));
            if (!std::isfinite(value))
                return false;
            world->corners.push_back(value);
        }
    }
    return true;
}

}  // namespace

bool read_bsp_world(const std::string &bytes, BspWorld *world, std::string *error) {
    *world = BspWorld();
    if (bytes.size() < 4 + 8 * kLumps)
        return fail(error, "shorter than a map file's header");
    const auto *file = reinterpret_cast<const unsigned char *>(bytes.data());
    if (i32(file) != kVersion)
        return fail(error, "map file version " + std::to_string(i32(file)) + ", not 30");
    Lump planes, vertices, faces, edges, surfedges, models;
    if (!lump(bytes, kPlanes, kPlaneSize, &planes, error) || !lump(bytes, kVertices, kVertexSize, &vertices, error) ||
        !lump(bytes, kFaces, kFaceSize, &faces, error) || !lump(bytes, kEdges, kEdgeSize, &edges, error) ||
        !lump(bytes, kSurfedges, kSurfedgeSize, &surfedges, error) || !lump(bytes, kModels, kModelSize, &models, error))
        return false;
    if (models.count == 0)
        return fail(error, "no world model");
    for (int axis = 0; axis < 3; ++axis) {
        world->mins[axis] = f32(models.data + 4 * static_cast<size_t>(axis));
        world->maxs[axis] = f32(models.data + 12 + 4 * static_cast<size_t>(axis));
        if (!std::isfinite(world->mins[axis]) || !std::isfinite(world->maxs[axis]))
            return fail(error, "world model's box is not finite");
    }
    const std::int64_t first_face = i32(models.data + 56), face_count = i32(models.data + 60);
    if (first_face < 0 || face_count < 0 || static_cast<std::uint64_t>(first_face + face_count) > faces.count)
        return fail(error, "world model's faces lie outside the faces lump");
    world->faces.reserve(static_cast<size_t>(face_count));
    for (std::int64_t index = first_face; index < first_face + face_count; ++index) {
        const unsigned char *face = faces.data + kFaceSize * static_cast<size_t>(index);
        const std::uint16_t plane = u16(face);
        if (plane >= planes.count)
            return fail(error, "face " + std::to_string(index) + " names a plane out of range");
        const float normal_z = f32(planes.data + kPlaneSize * plane + 8);
        BspFace out;
        out.first = static_cast<std::uint32_t>(world->corners.size() / 3);
        out.count = u16(face + 8);
        out.floor = (u16(face + 2) != 0 ? -normal_z : normal_z) > kFloorNormal;
        if (!add_corners(vertices, edges, surfedges, u32(face + 4), out.count, world))
            return fail(error, "face " + std::to_string(index) + " has an edge or corner out of range");
        world->faces.push_back(out);
    }
    return true;
}

}  // namespace web::maps
