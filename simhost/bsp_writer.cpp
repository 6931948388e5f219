#include "simhost/bsp_writer.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <map>

#include "simhost/file_output.h"

namespace simhost {
namespace {

// Byte by byte, so the file is little-endian whatever the host's order.
void put_int(std::string &out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>((bits >> shift) & 0xFF);
}

void put_short(std::string &out, int value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put_float(std::string &out, float value) {
    std::int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    put_int(out, bits);
}

void put_vector(std::string &out, const float vector[3]) {
    for (int axis = 0; axis < 3; ++axis)
        put_float(out, vector[axis]);
}

// mins, maxs, origin, four head nodes, visleafs, firstface, numfaces.
void put_model(std::string &out, const float mins[3], const float maxs[3], int face_count = 0) {
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    put_vector(out, mins);
    put_vector(out, maxs);
    put_vector(out, origin);
    for (int field = 0; field < 4 + 2; ++field)
        put_int(out, 0);
    put_int(out, face_count);
}

// The lumps of the world's geometry, built face by face; corners and edges shared between faces are
// written once, as map compilers do (an edge walked backwards is a negative surfedge).
struct Geometry {
    std::string planes, vertices, faces, surfedges;
    std::string edges = std::string(4, '\0');  // edge 0, unused: it cannot be walked backwards
    int plane_count = 0, face_count = 0;
    std::map<std::array<float, 3>, int> vertex_index;
    std::map<std::pair<int, int>, int> edge_index;

    int vertex(const float corner[3]) {
        const std::array<float, 3> key = {corner[0], corner[1], corner[2]};
        const auto found = vertex_index.find(key);
        if (found != vertex_index.end())
            return found->second;
        put_vector(vertices, corner);
        const int index = static_cast<int>(vertex_index.size());
        vertex_index.emplace(key, index);
        return index;
    }

    int surfedge(int from, int to) {
        const auto reversed = edge_index.find({to, from});
        if (reversed != edge_index.end())
            return -reversed->second;
        const auto found = edge_index.find({from, to});
        if (found != edge_index.end())
            return found->second;
        put_short(edges, from);
        put_short(edges, to);
        const int index = static_cast<int>(edge_index.size()) + 1;
        edge_index.emplace(std::make_pair(from, to), index);
        return index;
    }

    // A convex polygon, its corners in order, on the plane normal . p = distance.
    void add_face(const float normal[3], float distance, const float corners[][3], int corner_count) {
        put_vector(planes, normal);
        put_float(planes, distance);
        put_int(planes, normal[2] != 0.0f ? 2 : normal[0] != 0.0f ? 0 : 1);
        put_short(faces, plane_count++);
        put_short(faces, 0);  // faces the way of the plane's normal
        put_int(faces, static_cast<std::int32_t>(surfedges.size() / 4));
        put_short(faces, corner_count);
        put_short(faces, 0);  // texinfo
        put_int(faces, 0);    // light styles: none
        put_int(faces, -1);   // no lightmap
        for (int corner = 0; corner < corner_count; ++corner)
            put_int(surfedges, surfedge(vertex(corners[corner]), vertex(corners[(corner + 1) % corner_count])));
        ++face_count;
    }

    void add_area(const FloorArea &area) {
        const float x0 = area.mins[0], y0 = area.mins[1], x1 = area.maxs[0], y1 = area.maxs[1];
        const float z0 = area.floor, z1 = area.floor + BSP_WALL_HEIGHT;
        const float up[3] = {0, 0, 1};
        const float floor[4][3] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}};
        add_face(up, z0, floor, 4);
        // Walls face into the area.
        const float east[3] = {1, 0, 0}, west[3] = {-1, 0, 0}, north[3] = {0, 1, 0}, south[3] = {0, -1, 0};
        const float low_x[4][3] = {{x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}};
        const float high_x[4][3] = {{x1, y0, z0}, {x1, y0, z1}, {x1, y1, z1}, {x1, y1, z0}};
        const float low_y[4][3] = {{x0, y0, z0}, {x0, y0, z1}, {x1, y0, z1}, {x1, y0, z0}};
        const float high_y[4][3] = {{x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}};
        add_face(east, x0, low_x, 4);
        add_face(west, -x1, high_x, 4);
        add_face(north, y0, low_y, 4);
        add_face(south, -y1, high_y, 4);
    }
};

// The directory, then each lump in index order, 4-byte aligned.
std::string assemble(const std::string (&lumps)[BSP_LUMP_COUNT]) {
    std::string header, body;
    put_int(header, BSP_VERSION);
    for (const std::string &lump : lumps) {
        put_int(header, BSP_HEADER_SIZE + static_cast<std::int32_t>(body.size()));
        put_int(header, static_cast<std::int32_t>(lump.size()));
        body += lump;
        body.resize((body.size() + 3) / 4 * 4, '\0');
    }
    return header + body;
}

}  // namespace

std::string make_bsp(const float mins[3], const float maxs[3], int model_count) {
    if (model_count < 1)
        model_count = 1;
    std::string out;
    put_int(out, BSP_VERSION);
    for (int lump = 0; lump < BSP_LUMP_COUNT; ++lump) {
        put_int(out, BSP_HEADER_SIZE);
        put_int(out, lump == BSP_MODELS_LUMP ? model_count * BSP_MODEL_SIZE : 0);
    }
    const float empty[3] = {0.0f, 0.0f, 0.0f};
    put_model(out, mins, maxs);
    for (int model = 1; model < model_count; ++model)
        put_model(out, empty, empty);
    return out;
}

std::string make_bsp(const float mins[3], const float maxs[3], const std::vector<FloorArea> &areas) {
    Geometry geometry;
    for (const FloorArea &area : areas)
        geometry.add_area(area);
    std::string lumps[BSP_LUMP_COUNT];
    lumps[BSP_PLANES_LUMP] = geometry.planes;
    lumps[BSP_VERTICES_LUMP] = geometry.vertices;
    lumps[BSP_FACES_LUMP] = geometry.faces;
    lumps[BSP_EDGES_LUMP] = geometry.edges;
    lumps[BSP_SURFEDGES_LUMP] = geometry.surfedges;
    put_model(lumps[BSP_MODELS_LUMP], mins, maxs, geometry.face_count);
    return assemble(lumps);
}

bool write_bsp(const std::string &path, const float mins[3], const float maxs[3], int model_count) {
    return write_whole_file(path, make_bsp(mins, maxs, model_count));
}

bool write_bsp(const std::string &path, const float mins[3], const float maxs[3], const std::vector<FloorArea> &areas) {
    return write_whole_file(path, make_bsp(mins, maxs, areas));
}

}  // namespace simhost
