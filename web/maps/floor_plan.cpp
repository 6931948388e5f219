#include "web/maps/floor_plan.h"

#include <algorithm>
#include <cmath>

namespace web::maps {
namespace {

const int kMargin = 8;
const std::uint8_t kWall[3] = {190, 200, 212};
const std::uint8_t kLowFloor[3] = {38, 52, 70};
const std::uint8_t kHighFloor[3] = {110, 140, 170};

// Held well inside int's range: a hostile file's corners may lie anywhere.
double bounded(double pixel) { return std::clamp(pixel, -1e6, 1e6); }

struct Pen {
    Image &image;
    const Transform &t;
    double px(double x, double y) const { return bounded(t.a * x + t.b * y + t.c); }
    double py(double x, double y) const { return bounded(t.d * x + t.e * y + t.f); }
};

void shade(const BspWorld &world, double z, std::uint8_t colour[3]) {
    const double span = static_cast<double>(world.maxs[2]) - world.mins[2];
    const double level = span > 0 ? std::clamp((z - world.mins[2]) / span, 0.0, 1.0) : 0.0;
    for (int c = 0; c < 3; ++c)
        colour[c] = static_cast<std::uint8_t>(kLowFloor[c] + (kHighFloor[c] - kLowFloor[c]) * level);
}

// Even-odd scanline fill of the face's outline, sampled at pixel centres.
void fill(Pen &pen, const BspWorld &world, const BspFace &face, const std::uint8_t colour[3], std::vector<double> &xs,
          std::vector<double> &ys, std::vector<double> &crossings) {
    xs.clear();
    ys.clear();
    for (std::uint32_t at = face.first; at < face.first + face.count; ++at) {
        const float *corner = &world.corners[3 * static_cast<size_t>(at)];
        xs.push_back(pen.px(corner[0], corner[1]));
        ys.push_back(pen.py(corner[0], corner[1]));
    }
    const auto [low, high] = std::minmax_element(ys.begin(), ys.end());
    const int top = std::max(0, static_cast<int>(std::ceil(*low - 0.5)));
    const int bottom = std::min(pen.image.height - 1, static_cast<int>(std::floor(*high - 0.5)));
    for (int row = top; row <= bottom; ++row) {
        const double y = row + 0.5;
        crossings.clear();
        for (size_t i = 0, j = xs.size() - 1; i < xs.size(); j = i++)
            if ((ys[i] <= y) != (ys[j] <= y))
                crossings.push_back(xs[i] + (y - ys[i]) * (xs[j] - xs[i]) / (ys[j] - ys[i]));
        std::sort(crossings.begin(), crossings.end());
        for (size_t k = 0; k + 1 < crossings.size(); k += 2) {
            const int from = std::max(0, static_cast<int>(std::ceil(crossings[k] - 0.5)));
            const int to = std::min(pen.image.width - 1, static_cast<int>(std::floor(crossings[k + 1] - 0.5)));
            for (int x = from; x <= to; ++x)
                std::copy(colour, colour + 3, pen.image.pixel(x, row));
        }
    }
}

void line(Image &image, double x0, double y0, double x1, double y1) {
    const int steps = static_cast<int>(std::ceil(std::max(std::fabs(x1 - x0), std::fabs(y1 - y0)))) + 1;
    for (int step = 0; step <= steps && steps < 4 * kPlanSide; ++step) {
        const double f = static_cast<double>(step) / steps;
        const int x = static_cast<int>(std::floor(x0 + (x1 - x0) * f)),
                  y = static_cast<int>(std::floor(y0 + (y1 - y0) * f));
        if (x >= 0 && y >= 0 && x < image.width && y < image.height)
            std::copy(kWall, kWall + 3, image.pixel(x, y));
    }
}

void outline(Pen &pen, const BspWorld &world, const BspFace &face) {
    for (std::uint32_t i = 0; i < face.count; ++i) {
        const float *a = &world.corners[3 * static_cast<size_t>(face.first + i)];
        const float *b = &world.corners[3 * static_cast<size_t>(face.first + (i + 1) % face.count)];
        line(pen.image, pen.px(a[0], a[1]), pen.py(a[0], a[1]), pen.px(b[0], b[1]), pen.py(b[0], b[1]));
    }
}

double face_height(const BspWorld &world, const BspFace &face) {
    double sum = 0;
    for (std::uint32_t at = face.first; at < face.first + face.count; ++at)
        sum += world.corners[3 * static_cast<size_t>(at) + 2];
    return face.count ? sum / face.count : 0;
}

}  // namespace

Image render_floor_plan(const BspWorld &world, Transform *transform) {
    const double width = std::max(1.0, static_cast<double>(world.maxs[0]) - world.mins[0]);
    const double depth = std::max(1.0, static_cast<double>(world.maxs[1]) - world.mins[1]);
    const double scale = (kPlanSide - 2 * kMargin) / std::max(width, depth);
    const int columns = std::clamp(static_cast<int>(std::ceil(width * scale)) + 2 * kMargin, 1, kPlanSide);
    const int rows = std::clamp(static_cast<int>(std::ceil(depth * scale)) + 2 * kMargin, 1, kPlanSide);
    *transform = {scale, 0, kMargin - world.mins[0] * scale, 0, -scale, kMargin + world.maxs[1] * scale};
    Image image(columns, rows, kPlanBackground[0], kPlanBackground[1], kPlanBackground[2]);
    Pen pen{image, *transform};
    // Lower floors first, so that a floor above another is what is seen.
    std::vector<std::pair<double, size_t>> floors;
    for (size_t index = 0; index < world.faces.size(); ++index)
        if (world.faces[index].floor)
            floors.emplace_back(face_height(world, world.faces[index]), index);
    std::sort(floors.begin(), floors.end());
    std::vector<double> xs, ys, crossings;
    for (const auto &[height, index] : floors) {
        std::uint8_t colour[3];
        shade(world, height, colour);
        fill(pen, world, world.faces[index], colour, xs, ys, crossings);
    }
    for (const BspFace &face : world.faces)
        if (!face.floor)
            outline(pen, world, face);
    return image;
}

}  // namespace web::maps
