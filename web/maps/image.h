// A picture in memory, 8-bit RGB rows from the top, and the affine map from world x/y to its pixels.
#pragma once

#include <cstdint>
#include <vector>

namespace web::maps {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3

    Image() = default;
    Image(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b) : width(w), height(h) {
        rgb.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 3);
        for (size_t at = 0; at < rgb.size(); at += 3) {
            rgb[at] = r;
            rgb[at + 1] = g;
            rgb[at + 2] = b;
        }
    }
    std::uint8_t *pixel(int x, int y) { return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3]; }
    const std::uint8_t *pixel(int x, int y) const {
        return &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 3];
    }
};

// px = a*x + b*y + c, py = d*x + e*y + f.
struct Transform {
    double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
};

}  // namespace web::maps
