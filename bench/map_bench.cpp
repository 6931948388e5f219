// What drawing a floor plan costs the gateway: a large generated map (about 5 MB, a grid of rooms
// on several levels, as a big real map has), parsed, drawn and encoded as the gateway does it once
// per map and file time. Target: the whole picture in under 500 ms.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "simhost/bsp_writer.h"
#include "simhost/file_output.h"
#include "web/maps/bsp_world.h"
#include "web/maps/floor_plan.h"
#include "web/maps/map_picture.h"
#include "web/maps/png_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

const size_t kTargetBytes = 5 * 1000 * 1000;
const float kHalfWorld = 8192.0f;

// Rooms of a square grid across the world box, each on one of four levels.
std::vector<simhost::FloorArea> rooms(int side) {
    std::vector<simhost::FloorArea> areas;
    const float cell = 2 * kHalfWorld / side;
    for (int row = 0; row < side; ++row)
        for (int column = 0; column < side; ++column) {
            const float x = -kHalfWorld + column * cell, y = -kHalfWorld + row * cell;
            areas.push_back({{x + cell * 0.1f, y + cell * 0.1f},
                             {x + cell * 0.9f, y + cell * 0.9f},
                             static_cast<float>((row + column) % 4) * 96.0f - 256.0f});
        }
    return areas;
}

// The grid's side that makes the map file about kTargetBytes long.
std::string large_map() {
    const float mins[3] = {-kHalfWorld, -kHalfWorld, -512.0f}, maxs[3] = {kHalfWorld, kHalfWorld, 512.0f};
    const size_t small = simhost::make_bsp(mins, maxs, rooms(10)).size();
    const int side = static_cast<int>(10 * std::sqrt(static_cast<double>(kTargetBytes) / small)) + 1;
    return simhost::make_bsp(mins, maxs, rooms(side));
}

double milliseconds_since(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    const std::string bytes = large_map();
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("orlex_map_bench-" + std::to_string(Clock::now().time_since_epoch().count()));
    if (!simhost::write_whole_file((folder / "maps" / "large.bsp").string(), bytes)) {
        std::fprintf(stderr, "map bench: cannot write %s\n", folder.string().c_str());
        return 1;
    }
    std::vector<double> parse, draw, encode, whole;
    size_t faces = 0;
    for (int round = 0; round < 5; ++round) {
        Clock::time_point start = Clock::now();
        web::maps::BspWorld world;
        std::string error;
        if (!web::maps::read_bsp_world(bytes, &world, &error)) {
            std::fprintf(stderr, "map bench: the generated map does not read: %s\n", error.c_str());
            return 1;
        }
        parse.push_back(milliseconds_since(start));
        faces = world.faces.size();
        start = Clock::now();
        web::maps::Transform transform;
        const web::maps::Image plan = web::maps::render_floor_plan(world, &transform);
        draw.push_back(milliseconds_since(start));
        start = Clock::now();
        const std::string png = web::maps::encode_png(plan);
        encode.push_back(milliseconds_since(start));
        start = Clock::now();
        std::string problems;
        const web::maps::MapPicture picture = web::maps::make_map_picture(folder.string(), "large", &problems);
        whole.push_back(milliseconds_since(start));
        if (!picture.found || picture.source != "plan") {
            std::fprintf(stderr, "map bench: no floor plan: %s\n", problems.c_str());
            return 1;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::printf("floor plan of a %.1f MB map (%zu faces), median of 5: parse %.0f ms, draw %.0f ms, PNG %.0f ms\n",
                bytes.size() / 1e6, faces, median(parse), median(draw), median(encode));
    std::printf("%-42s %10.0f ms   target < 500 ms\n", "floor plan, file to PNG (5 MB map)", median(whole));
    return 0;
}
