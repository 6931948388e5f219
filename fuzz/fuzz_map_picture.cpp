// What the gateway reads from a game folder: a map file's world model drawn as a floor plan, an
// overview text, a BMP image; the first byte picks which. Any bytes are refused with a reason or
// read, never read outside of.
#include <cstddef>
#include <cstdint>
#include <string>

#include "web/maps/bmp_reader.h"
#include "web/maps/bsp_world.h"
#include "web/maps/floor_plan.h"
#include "web/maps/overview_file.h"
#include "web/maps/png_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const std::string bytes(reinterpret_cast<const char *>(data) + 1, size - 1);
    std::string error;
    switch (data[0] % 3) {
        case 0: {
            web::maps::BspWorld world;
            if (web::maps::read_bsp_world(bytes, &world, &error)) {
                web::maps::Transform transform;
                web::maps::render_floor_plan(world, &transform);
            } else if (error.empty()) {
                __builtin_trap();
            }
            break;
        }
        case 1: {
            web::maps::Overview overview;
            if (!web::maps::parse_overview(bytes, &overview, &error) && error.empty())
                __builtin_trap();
            break;
        }
        default: {
            web::maps::Image image;
            if (web::maps::read_bmp(bytes, &image, &error) && web::maps::encode_png(image).empty())
                __builtin_trap();
            break;
        }
    }
    return 0;
}
