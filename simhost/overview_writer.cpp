#include "simhost/overview_writer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "simhost/file_output.h"

namespace simhost {
namespace {

const std::uint8_t GROUND = 0, FLOOR = 1, RAISED = 2;
const std::uint8_t PALETTE[3][3] = {{20, 24, 20}, {96, 112, 80}, {150, 160, 110}};  // red, green, blue

void put16(std::string &out, unsigned value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string &out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// Bottom-up rows, as BMP files hold them; the palette's unused entries black.
std::string bitmap(const std::vector<std::uint8_t> &pixels) {
    const std::uint32_t palette = 256 * 4, pixels_at = 14 + 40 + palette;
    std::string out = "BM";
    put32(out, pixels_at + static_cast<std::uint32_t>(pixels.size()));
    put32(out, 0);
    put32(out, pixels_at);
    put32(out, 40);
    put32(out, OVERVIEW_WIDTH);
    put32(out, OVERVIEW_HEIGHT);
    put16(out, 1);
    put16(out, 8);
    put32(out, 0);  // uncompressed
    put32(out, static_cast<std::uint32_t>(pixels.size()));
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 256);
    put32(out, 0);
    for (int index = 0; index < 256; ++index) {
        const std::uint8_t *rgb = index < 3 ? PALETTE[index] : PALETTE[0];
        out += {static_cast<char>(rgb[2]), static_cast<char>(rgb[1]), static_cast<char>(rgb[0]), '\0'};
    }
    for (int row = OVERVIEW_HEIGHT - 1; row >= 0; --row)
        out.append(reinterpret_cast<const char *>(&pixels[static_cast<size_t>(row) * OVERVIEW_WIDTH]), OVERVIEW_WIDTH);
    return out;
}

}  // namespace

bool write_overview(const std::string &root, const std::string &map, const MapBox &box, const MapLayout &layout) {
    const float ox = (box.mins[0] + box.maxs[0]) / 2, oy = (box.mins[1] + box.maxs[1]) / 2;
    // The image spans 2 * 4096 / ZOOM across and 2 * 3072 / ZOOM down: the box with a margin.
    const float zoom = std::min(8192.0f / (box.maxs[0] - box.mins[0]), 6144.0f / (box.maxs[1] - box.mins[1])) * 0.9f;
    const float half_x = 4096.0f / zoom, half_y = 3072.0f / zoom;
    std::vector<std::uint8_t> pixels(static_cast<size_t>(OVERVIEW_WIDTH) * OVERVIEW_HEIGHT, GROUND);
    for (int row = 0; row < OVERVIEW_HEIGHT; ++row) {
        const float y = oy + half_y - (row + 0.5f) * 2 * half_y / OVERVIEW_HEIGHT;
        for (int column = 0; column < OVERVIEW_WIDTH; ++column) {
            const float x = ox - half_x + (column + 0.5f) * 2 * half_x / OVERVIEW_WIDTH;
            const int area = layout.area_of(x, y);
            if (area >= 0)
                pixels[static_cast<size_t>(row) * OVERVIEW_WIDTH + column] =
                    layout.areas[static_cast<size_t>(area)].floor > box.mins[2] ? RAISED : FLOOR;
        }
    }
    char text[512];
    std::snprintf(text, sizeof(text),
                  "// overview of %s\nglobal\n{\n\tZOOM\t%.4f\n\tORIGIN\t%.0f %.0f %.0f\n\tROTATED\t1\n}\n\nlayer\n{\n"
                  "\tIMAGE\t\"overviews/%s.bmp\"\n\tHEIGHT\t%.0f\n}\n",
                  map.c_str(), zoom, ox, oy, box.mins[2], map.c_str(), box.mins[2]);
    const std::filesystem::path folder = std::filesystem::path(root) / "overviews";
    return write_whole_file((folder / (map + ".txt")).string(), text) &&
           write_whole_file((folder / (map + ".bmp")).string(), bitmap(pixels));
}

}  // namespace simhost
